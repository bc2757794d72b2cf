// kivotrek-cli report: the drill table of a board (rows, tolerances, kinds, counts, totals) as
// CSV or JSON.

#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/readers.h"
#include "drawing/drilltable.h"

#include <algorithm>
#include <cstdio>

namespace kivotrek::cli {

int runReport(const QStringList& args)
{
    TableArguments a;
    if (const int bad = parseTableArguments("report", args, a))
        return bad;
    HoleTable table;
    BoardExtent extent;
    ReadOutcome r;
    if (const int failed = readTableBoard(a, table, extent, r))
        return failed;
    HoleCounts counts;
    const DrawResult drawn = countHoles(r.board, table, counts);
    if (drawn.ending == DrawResult::Ending::Stopped) {
        // The counts are those of the drawing, which stops there.
        std::fprintf(stderr, "%s\n", drawingProblem(drawn, r.board.mainPath()).toLocal8Bit().constData());
        r.status = std::max(r.status, int(kStopped));
    }

    if (!a.json) {
        const QByteArray out = drillTableCsv(table, counts, r.board);
        printOut(out);
        return r.status;
    }
    const HoleTotals totals = holeTotals(counts, table);
    JsonWriter out;
    out.beginObject();
    out.key("rows").beginArray();
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& row = table.row(i);
        if (!listedInDrillTable(row))
            continue;
        out.beginObject();
        out.key("row").value(static_cast<long long>(i) + 1);
        out.key("dcode").value(row.dcode);
        out.key("file").value(rowFileName(r.board, i));
        out.key("diameter").value(row.diameter);
        out.key("tolerance1").value(row.sign1 + row.tol1);
        out.key("tolerance2").value(row.sign2 + row.tol2);
        out.key("kind").value(row.kind.name());
        out.key("holes").value(static_cast<long long>(counts[size_t(i)].holeCount));
        out.key("slots").value(static_cast<long long>(counts[size_t(i)].slotCount));
        out.endObject();
    }
    out.endArray();
    writeTotals(out, totals);
    out.endObject();
    out.print();
    return r.status;
}

} // namespace kivotrek::cli
