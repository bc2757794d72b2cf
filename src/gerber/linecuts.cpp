#include "gerber/linecuts.h"

#include "common/numbers.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivotrek {

namespace {
// 1 + the index of each letter a line's marks track, 0 for the others.
constexpr std::array<unsigned char, 256> slotTable()
{
    std::array<unsigned char, 256> slot {};
    const char letters[] = {'J', 'X', 'Y', 'D', 'G', '*', '%'};
    for (int k = 0; k < 7; ++k)
        slot[static_cast<unsigned char>(letters[k])] = static_cast<unsigned char>(k + 1);
    return slot;
}
} // namespace

const std::array<unsigned char, 256> LineMarks::kSlot = slotTable();

LineMarks::LineMarks(QByteArrayView line) : line_(line)
{
    for (qsizetype& p : pos_)
        p = -1;
    const auto* data = reinterpret_cast<const unsigned char*>(line.data());
    const qsizetype n = line.size();
    int missing = 7;
    const auto note = [&](qsizetype i) {
        const int k = kSlot[data[i]];
        if (k > 0 && pos_[k - 1] < 0) {
            pos_[k - 1] = i;
            --missing;
        }
    };
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: only letters (0x40 and up), "*" and "%" can be markers, and
    // the digits that fill most of a line are passed over at once.
    const __m128i below = _mm_set1_epi8(0x3F);
    const __m128i star = _mm_set1_epi8('*');
    const __m128i percent = _mm_set1_epi8('%');
    for (; i + 16 <= n && missing > 0; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        // Signed compare: bytes of 0x80 and up count as below, and are no markers either.
        const __m128i hit = _mm_or_si128(
            _mm_cmpgt_epi8(v, below), _mm_or_si128(_mm_cmpeq_epi8(v, star), _mm_cmpeq_epi8(v, percent)));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        while (mask) {
            note(i + __builtin_ctz(mask));
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n && missing > 0; ++i)
        note(i);
}

qsizetype LineMarks::find(QByteArrayView marker, qsizetype from) const
{
    const qsizetype m = marker.size();
    const char* data = line_.data();
    const char* want = marker.data();
    const qsizetype last = line_.size() - m;
    for (qsizetype i = from; i <= last; ++i) {
        if (data[i] != want[0])
            continue;
        qsizetype k = 1;
        while (k < m && data[i + k] == want[k])
            ++k;
        if (k == m)
            return i;
    }
    return -1;
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
// Takes one cut value; a value the line does not give leaves the coordinate alone.
bool takeValue(CoordinateTexts::Cut kind, QByteArrayView text, int32_t& coordinate)
{
    std::optional<int32_t> v;
    if (!cutValue(kind, text, v))
        return false;
    if (v)
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
