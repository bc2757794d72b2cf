#include "common/numbers.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <string>

namespace kivotrek {

namespace {
bool isBlank(char c)
{
    return c == ' ';
}
} // namespace

std::optional<double> parseDecimal(QByteArrayView text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && isBlank(*p))
        ++p;
    while (end > p && isBlank(end[-1]))
        --end;

    // Validate the grammar ourselves; std::from_chars takes no leading '+' and never
    // looks at the locale, which is what we want.
    std::string clean;
    clean.reserve(static_cast<size_t>(end - p));
    if (p < end && (*p == '+' || *p == '-')) {
        if (*p == '-')
            clean.push_back('-');
        ++p;
    }
    int digits = 0;
    bool point = false;
    while (p < end && (isDigit(*p) || *p == '.')) {
        if (*p == '.') {
            if (point)
                return std::nullopt;
            point = true;
        } else {
            ++digits;
        }
        clean.push_back(*p++);
    }
    if (digits == 0)
        return std::nullopt;
    if (p < end && (*p == 'E' || *p == 'e')) {
        clean.push_back('e');
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            clean.push_back(*p++);
        int expDigits = 0;
        while (p < end && isDigit(*p)) {
            clean.push_back(*p++);
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (p != end)
        return std::nullopt;

    double value = 0;
    const auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Underflow towards zero is a small number, not an error; overflow is.
        bool nonZeroDigit = false;
        for (char c : clean) {
            if (c == 'e')
                break;
            if (c >= '1' && c <= '9')
                nonZeroDigit = true;
        }
        const auto e = clean.find('e');
        const bool negativeExponent = e != std::string::npos && e + 1 < clean.size() && clean[e + 1] == '-';
        if (nonZeroDigit && negativeExponent)
            return clean[0] == '-' ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || ptr != clean.data() + clean.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> numberAtStart(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    const int start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else if (c == QLatin1Char('.') && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return std::nullopt;
    int end = i;
    // An exponent counts only with its digits.
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        int j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        int expDigits = 0;
        while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9')) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    const QByteArray number = text.mid(start, end - start).toLatin1();
    return parseDecimal(number);
}

double leadingNumber(const QString& text)
{
    return numberAtStart(text).value_or(0.0);
}

} // namespace kivotrek
