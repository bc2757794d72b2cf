#pragma once

// A board of 100 x 80 mm read as F4.3, with diameters on its first rows, drawn as the preview.

#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "testutil.h"

namespace kivotrek::test {

using Op = RecordingSurface::Op;

// A table with diameters on rows 0..n-1 and the board of 100 x 80 mm read as F4.3.
struct DrawnBoard {
    HoleTable table;
    BoardExtent extent {5670, 4536, 0.0567f};
    test::Scratch scratch;
    RecordingSurface surface {6855, 6300};

    DrawnBoard(int rowsWithDiameter = 10)
    {
        for (int i = 0; i < rowsWithDiameter; ++i) {
            table.row(i).dcode = QStringLiteral("D%1").arg(10 + i);
            table.row(i).diameter = QStringLiteral("0.8");
        }
    }
    DrawResult draw(const QByteArray& gerber)
    {
        return drawPreview(scratch.write(QStringLiteral("d.gbr"), gerber), table, extent, surface);
    }
    std::vector<Op> dots() const { return surface.only(Op::Dot); }
    std::vector<Op> lines() const { return surface.only(Op::Line); }
    std::vector<Op> texts() const { return surface.only(Op::Text); }
};

constexpr Rgb kBlack {0, 0, 0};

} // namespace kivotrek::test
