#include "gerber/linecuts.h"

#include "common/numbers.h"

namespace kivotrek {

LineMarks::LineMarks(QByteArrayView line) : line_(line)
{
    for (qsizetype& p : pos_)
        p = -1;
    const char* data = line.data();
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int k = slot(data[i]);
        if (k >= 0 && pos_[k] < 0)
            pos_[k] = i;
    }
}

std::optional<QByteArrayView> cutDCode(const LineMarks& m)
{
    const qsizetype d = m.first('D');
    const qsizetype star = m.first('*');
    if (d < 0 || star <= d)
        return std::nullopt;
    return m.line().sliced(d, star - d);
}

CoordinateTexts cutCoordinateTexts(const LineMarks& m)
{
    CoordinateTexts out;
    const qsizetype x = m.first('X');
    const qsizetype y = m.first('Y');
    if (x < 0 && y < 0)
        return out;
    const qsizetype d = m.first('D');
    const qsizetype star = m.first('*');
    const QByteArrayView line = m.line();

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

bool cutCoordinatesStrict(const LineMarks& line, FilePosition& pos)
{
    const CoordinateTexts t = cutCoordinateTexts(line);
    return takeValue(t.x, t.xText, pos.x) && takeValue(t.y, t.yText, pos.y);
}

void cutCoordinatesLenient(const LineMarks& line, FilePosition& pos)
{
    const CoordinateTexts t = cutCoordinateTexts(line);
    takeValue(t.x, t.xText, pos.x);
    takeValue(t.y, t.yText, pos.y);
}

} // namespace kivotrek
