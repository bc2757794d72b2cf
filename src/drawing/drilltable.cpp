#include "drawing/drilltable.h"

#include "common/captions.h"

#include <QFileInfo>

namespace kivotrek {

QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && QByteArrayView("=+-@\t\r").contains(bytes.front()))
        bytes.prepend('\'');
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

bool listedInDrillTable(const HoleRow& row)
{
    return row.isUsed() && row.kind != HoleKind::Outline;
}

QString rowFileName(const Board& board, int i)
{
    const int f = board.fileOfRow(i);
    return f < 0 ? QString() : QFileInfo(board.files[size_t(f)].path).fileName();
}

QByteArray drillTableCsv(const HoleTable& table, const HoleCounts& counts, const Board& board)
{
    QByteArray out = "\xEF\xBB\xBF";
    out += msg::drillTableHeadings().toUtf8() + "\r\n";
    qint64 holes = 0, slotsTotal = 0;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& row = table.row(i);
        if (!listedInDrillTable(row))
            continue;
        const RowCount& n = counts[size_t(i)];
        holes += n.holeCount;
        slotsTotal += n.slotCount;
        out += QByteArray::number(i + 1) + ',' + csvField(row.dcode) + ',' + csvField(rowFileName(board, i))
            + ',' + csvField(row.diameter) + ',' + csvField(row.sign1 + row.tol1) + ','
            + csvField(row.sign2 + row.tol2) + ',' + csvField(row.kind.name()) + ','
            + QByteArray::number(n.holeCount) + ',' + QByteArray::number(n.slotCount) + "\r\n";
    }
    out += msg::totalsRowLabel().toUtf8() + ",,,,,,," + QByteArray::number(holes) + ','
        + QByteArray::number(slotsTotal) + "\r\n";
    return out;
}

} // namespace kivotrek
