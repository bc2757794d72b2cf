#include "table/holetable.h"

#include "common/messages.h"
#include "common/numbers.h"

#include <algorithm>

namespace kivotrek {

namespace {
// Colours by position k = i mod 21 on the row's page; page 1 differs at k = 3.
constexpr uint32_t kPageColors[HoleTable::kRowsPerPage] = {
    fillColor(0, 0, 0),
    fillColor(255, 0, 0),
    fillColor(0, 0, 255),
    fillColor(255, 255, 0),
    fillColor(0, 255, 0),
    fillColor(255, 0, 255),
    fillColor(128, 128, 128),
    fillColor(255, 128, 128),
    fillColor(128, 128, 255),
    fillColor(64, 64, 0),
    fillColor(128, 0, 0),
    fillColor(0, 0, 192),
    fillColor(0, 192, 0),
    fillColor(255, 128, 0),
    fillColor(0, 192, 192),
    fillColor(128, 64, 64),
    fillColor(255, 255, 0),
    fillColor(64, 64, 64),
    fillColor(128, 0, 128),
    fillColor(0, 255, 255),
    fillColor(0, 0, 64),
};
constexpr uint32_t kFirstPageK3 = fillColor(64, 0, 0);
} // namespace

HoleTable::HoleTable()
{
    for (int i = 0; i < kRows; ++i)
        row(i).color = initialColor(i);
}

uint32_t HoleTable::initialColor(int i)
{
    const int k = i % kRowsPerPage;
    if (i < kRowsPerPage && k == 3)
        return kFirstPageK3;
    return kPageColors[k];
}

QStringList HoleTable::signChoices()
{
    return {msg::plusMinusSign(), msg::minusSign(), msg::plusSign()};
}

QString HoleTable::listSign(const QString& typed)
{
    QString sign = typed;
    for (QChar& c : sign) {
        if (c == QLatin1Char('-') || c == QChar(0x2212) || c == QChar(0x2010))
            c = msg::minusSign().front();
        else if (c == QLatin1Char('+'))
            c = msg::plusSign().front();
    }
    return sign;
}

QStringList HoleTable::valueChoices(int i)
{
    QStringList list = {QStringLiteral("0.1"), QStringLiteral("0.05"), QStringLiteral("0.01"),
        QStringLiteral("0.02"), QStringLiteral("0.03"), QStringLiteral("0.04"), QStringLiteral("0.07"),
        QStringLiteral("0.08")};
    if (i < 2 * kRowsPerPage)
        list << QStringLiteral("0");
    return list;
}

QStringList HoleTable::kindChoices()
{
    return {QStringLiteral("TH"), QStringLiteral("NTH"), outlineKind()};
}

QString HoleTable::outlineKind()
{
    return msg::outlineKind();
}

void HoleTable::clear()
{
    for (HoleRow& r : rows_) {
        r.dcode = QStringLiteral("D");
        r.diameter.clear();
    }
}

namespace {
// A diameter the drawing takes as it is meant: a number at its start, no decimal comma.
bool readsAsNumber(const QString& diameter)
{
    return numberAtStart(diameter) && !diameter.contains(QLatin1Char(','))
        && !diameter.contains(QChar(0xFF0C));
}

bool checkRows(const std::array<HoleRow, HoleTable::kRows>& rows, bool missing, const MessageSink& sink)
{
    bool ok = true;
    for (size_t i = 0; i < rows.size(); ++i) {
        const HoleRow& r = rows[i];
        if (!r.isUsed())
            continue;
        QString problem;
        if (r.diameter.isEmpty()) {
            if (missing)
                problem = msg::diameterMissing(r.dcode);
        } else if (!readsAsNumber(r.diameter)) {
            problem = msg::diameterNotANumber(int(i) + 1, r.dcode, r.diameter);
        }
        if (problem.isEmpty())
            continue;
        if (sink)
            sink(problem);
        ok = false;
    }
    return ok;
}
} // namespace

void HoleTable::removeRows(int first, int count)
{
    first = std::clamp(first, 0, kRows);
    count = std::clamp(count, 0, kRows - first);
    for (int i = first; i < kRows; ++i) {
        if (i + count < kRows) {
            row(i) = row(i + count);
        } else {
            row(i) = HoleRow();
            row(i).color = initialColor(i);
        }
    }
}

bool HoleTable::check(const MessageSink& sink) const
{
    return checkRows(rows_, true, sink);
}

bool HoleTable::checkNumbers(const MessageSink& sink) const
{
    return checkRows(rows_, false, sink);
}

int HoleTable::rowsWithDiameter() const
{
    const auto it =
        std::find_if(rows_.begin(), rows_.end(), [](const HoleRow& r) { return r.diameter.isEmpty(); });
    return static_cast<int>(it - rows_.begin());
}

DCodeFiller::Result DCodeFiller::add(const QString& dcode, const QString* diameter)
{
    const int last = std::min(next_, HoleTable::kRows - 1);
    for (int i = 0; i <= last; ++i) {
        if (table_.row(i).dcode == dcode)
            return Result::Present;
    }
    if (next_ >= HoleTable::kRows)
        return Result::Full;
    HoleRow& r = table_.row(next_);
    r.dcode = dcode;
    if (diameter)
        r.diameter = *diameter;
    ++next_;
    return Result::Added;
}

} // namespace kivotrek
