#include "gerber/diameterformat.h"

#include "common/cp932.h"
#include "common/numbers.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace kivotrek {

namespace {
// Adds one to a string of decimal digits.
void increment(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}
} // namespace

QString formatDiameter(QByteArrayView text)
{
    // The same grammar as every other number; parseDecimal also refuses values beyond a double.
    if (!parseDecimal(text))
        return cp932::decode(text);

    // Walk the text again to get its exact decimal digits: value = digits x 10^exp10.
    const std::string s(text.data(), static_cast<size_t>(text.size()));
    size_t i = s.find_first_not_of(' ');
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    std::string digits;
    long exp10 = 0;
    bool point = false;
    for (; i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.'); ++i) {
        if (s[i] == '.') {
            point = true;
            continue;
        }
        digits.push_back(s[i]);
        if (point)
            --exp10;
    }
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        bool expNegative = false;
        if (s[i] == '+' || s[i] == '-')
            expNegative = s[i++] == '-';
        long e = 0;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
            e = std::min(e * 10 + (s[i] - '0'), 100000L);
        exp10 += expNegative ? -e : e;
    }

    // Hundredths: digits x 10^(exp10 + 2), rounded half away from zero.
    const long shift = exp10 + 2;
    std::string hundredths;
    if (shift >= 0) {
        hundredths = digits + std::string(static_cast<size_t>(shift), '0');
    } else {
        const auto drop = static_cast<size_t>(-shift);
        if (drop > digits.size()) {
            hundredths = "0"; // far below one hundredth: rounds to zero
        } else {
            hundredths = digits.substr(0, digits.size() - drop);
            const bool up = digits[digits.size() - drop] >= '5';
            if (hundredths.empty())
                hundredths = "0";
            if (up)
                increment(hundredths);
        }
    }
    const size_t nz = hundredths.find_first_not_of('0');
    hundredths = nz == std::string::npos ? std::string("0") : hundredths.substr(nz);
    const bool zero = hundredths == "0";
    if (hundredths.size() < 3)
        hundredths.insert(0, 3 - hundredths.size(), '0');
    std::string out =
        hundredths.substr(0, hundredths.size() - 2) + "." + hundredths.substr(hundredths.size() - 2);
    if (negative && !zero)
        out.insert(0, 1, '-');
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

} // namespace kivotrek
