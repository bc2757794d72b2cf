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

namespace {
// The kinds' names in the settings file, the drill list and the batch command's outputs: fixed,
// whatever the captions are.
QString fixedName(HoleKind::Value value)
{
    switch (value) {
    case HoleKind::Plated: return QStringLiteral("TH");
    case HoleKind::NonPlated: return QStringLiteral("NTH");
    case HoleKind::Outline: return QStringLiteral("外形");
    case HoleKind::None:
    case HoleKind::Typed: break;
    }
    return QString();
}

QString captionOf(HoleKind::Value value)
{
    switch (value) {
    case HoleKind::Plated: return msg::platedKind();
    case HoleKind::NonPlated: return msg::nonPlatedKind();
    case HoleKind::Outline: return msg::outlineKind();
    case HoleKind::None:
    case HoleKind::Typed: break;
    }
    return QString();
}

constexpr HoleKind::Value kNamedKinds[] = {HoleKind::Plated, HoleKind::NonPlated, HoleKind::Outline};

} // namespace

HoleKind HoleKind::ofText(const QString& text, QString (*textOf)(Value))
{
    if (text.isEmpty())
        return None;
    for (const Value v : kNamedKinds) {
        if (text == textOf(v))
            return v;
    }
    HoleKind typed(Typed);
    typed.typed_ = text;
    return typed;
}

HoleKind HoleKind::named(const QString& name)
{
    return ofText(name, fixedName);
}

HoleKind HoleKind::captioned(const QString& text)
{
    return ofText(text, captionOf);
}

QString HoleKind::name() const
{
    return value_ == Typed ? typed_ : fixedName(value_);
}

QString HoleKind::caption() const
{
    return value_ == Typed ? typed_ : captionOf(value_);
}

QString HoleTable::plusMinusSign()
{
    return QStringLiteral("±");
}

QString HoleTable::minusSign()
{
    return QStringLiteral("－");
}

QString HoleTable::plusSign()
{
    return QStringLiteral("＋");
}

QStringList HoleTable::signChoices()
{
    return {plusMinusSign(), minusSign(), plusSign()};
}

QString HoleTable::listSign(const QString& typed)
{
    QString sign = typed;
    for (QChar& c : sign) {
        if (c == QLatin1Char('-') || c == QChar(0x2212) || c == QChar(0x2010))
            c = minusSign().front();
        else if (c == QLatin1Char('+'))
            c = plusSign().front();
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
    QStringList captions;
    for (const HoleKind::Value v : kNamedKinds)
        captions << captionOf(v);
    return captions;
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
        sink.error(problem); // the table cannot be drawn (or printed) so
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
