#include "gerber/linecuts.h"

#include "common/numbers.h"

namespace kivotrek {

std::optional<QByteArrayView> cutDCode(QByteArrayView line)
{
    const qsizetype d = line.indexOf('D');
    const qsizetype star = line.indexOf('*');
    if (d < 0 || star <= d)
        return std::nullopt;
    return line.sliced(d, star - d);
}

CoordinateTexts cutCoordinateTexts(QByteArrayView line)
{
    CoordinateTexts out;
    const qsizetype x = line.indexOf('X');
    const qsizetype y = line.indexOf('Y');
    if (x < 0 && y < 0)
        return out;
    const qsizetype d = line.indexOf('D');
    const qsizetype star = line.indexOf('*');

    auto cut = [&](qsizetype start, qsizetype end, CoordinateTexts::Cut& kind, QByteArrayView& text) {
        if (end < 0 || end < start) {
            kind = CoordinateTexts::Cut::Fault;
            return;
        }
        kind = CoordinateTexts::Cut::Text;
        text = line.sliced(start, end - start);
    };
    if (x >= 0)
        cut(x + 1, y >= 0 ? y : (d >= 0 ? d : star), out.x, out.xText);
    if (y >= 0)
        cut(y + 1, d >= 0 ? d : star, out.y, out.yText);
    return out;
}

namespace {
// Converts one cut value; Absent leaves the coordinate alone.
bool takeValue(CoordinateTexts::Cut kind, QByteArrayView text, int32_t& coordinate)
{
    if (kind == CoordinateTexts::Cut::Absent)
        return true;
    if (kind == CoordinateTexts::Cut::Fault)
        return false;
    const auto v = toFileUnits(text);
    if (!v)
        return false;
    coordinate = *v;
    return true;
}
} // namespace

bool cutCoordinatesStrict(QByteArrayView line, FilePosition& pos)
{
    const CoordinateTexts t = cutCoordinateTexts(line);
    return takeValue(t.x, t.xText, pos.x) && takeValue(t.y, t.yText, pos.y);
}

void cutCoordinatesLenient(QByteArrayView line, FilePosition& pos)
{
    const CoordinateTexts t = cutCoordinateTexts(line);
    takeValue(t.x, t.xText, pos.x);
    takeValue(t.y, t.yText, pos.y);
}

} // namespace kivotrek
