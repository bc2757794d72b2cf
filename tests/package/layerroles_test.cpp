// What each layer of a package is, from its .FileFunction and from the names the CAD programs
// give their layers.

#include "package/layerroles.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(LayerRoles, FromTheFileFunction)
{
    const struct {
        const char* function;
        const char* role;
        int copper; // 0: none
    } cases[] = {
        {"Copper,L1,Top", "copper-top", 1},
        {"Copper,L2,Inr,Plane", "copper-inner", 2},
        {"Copper,L4,Bot,Signal", "copper-bottom", 4},
        {"Soldermask,Top", "mask-top", 0},
        {"Soldermask,Bot", "mask-bottom", 0},
        {"Legend,Bot", "silk-bottom", 0},
        {"Paste,Top", "paste-top", 0},
        {"Profile,NP", "outline", 0},
        {"Plated,1,2,PTH,Drill", "drill", 0},
        {"NonPlated,1,2,NPTH,Route", "rout", 0},
        {"MixedPlating,1,2,Route", "rout", 0},
        {"FabricationDrawing", "drawing", 0},
        {"Drillmap", "drawing", 0},
        {"Vcut", "other", 0},
    };
    for (const auto& c : cases) {
        const LayerRole r = layerOfFunction(QString::fromLatin1(c.function));
        EXPECT_EQ(r.role, QString::fromLatin1(c.role)) << c.function;
        EXPECT_EQ(r.copper.value_or(0), c.copper) << c.function;
    }
}

TEST(LayerRoles, FromTheNamesOfTheCadPrograms)
{
    const struct {
        const char* name;
        const char* role; // "" for none
        int copper;
    } cases[] = {
        // Protel / Altium, EasyEDA.
        {"Project Outputs/board.GTL", "copper-top", 1}, {"board.GBL", "copper-bottom", 0},
        {"board.G2", "copper-inner", 0}, {"board.GP1", "copper-inner", 0}, {"board.GTS", "mask-top", 0},
        {"board.GBO", "silk-bottom", 0}, {"board.GTP", "paste-top", 0}, {"board.GKO", "outline", 0},
        {"board.GM13", "drawing", 0}, {"Gerber_TopSolderMaskLayer.GTS", "mask-top", 0},
        {"Gerber_InnerLayer2.G2", "copper-inner", 0},
        // Eagle.
        {"board.cmp", "copper-top", 1}, {"board.sol", "copper-bottom", 0}, {"board.ly3", "copper-inner", 3},
        {"board.stc", "mask-top", 0}, {"board.pls", "silk-bottom", 0}, {"board.crc", "paste-top", 0},
        {"copper_bottom.gbr", "copper-bottom", 0}, {"soldermask_top.gbr", "mask-top", 0},
        {"silkscreen_bottom.gbr", "silk-bottom", 0}, {"solderpaste_top.gbr", "paste-top", 0},
        // KiCad.
        {"board-F_Cu.gbr", "copper-top", 1}, {"board-In2_Cu.gbr", "copper-inner", 3},
        {"board-B.Cu.gbl", "copper-bottom", 0}, {"board-B_Mask.gbr", "mask-bottom", 0},
        {"board-F_Silkscreen.gbr", "silk-top", 0}, {"board-F_SilkS.gto", "silk-top", 0},
        {"board-F_Paste.gbr", "paste-top", 0}, {"board-Edge_Cuts.gbr", "outline", 0},
        {"board-F_Fab.gbr", "drawing", 0}, {"board-Dwgs_User.gbr", "drawing", 0},
        // gEDA, DipTrace, Fritzing, Siemens, Allegro.
        {"board.top.gbr", "copper-top", 1}, {"board.bottommask.gbr", "mask-bottom", 0},
        {"board.topsilk.gbr", "silk-top", 0}, {"board.group3.gbr", "copper-inner", 0},
        {"board.fab.gbr", "drawing", 0}, {"mainboard_TopMask.gbr", "mask-top", 0},
        {"mainboard_BottomSilk.gbr", "silk-bottom", 0}, {"mainboard_Top.gbr", "copper-top", 1},
        {"board_copperBottom.gbl", "copper-bottom", 0}, {"board_maskTop.gts", "mask-top", 0},
        {"SolderMask_Bottom.gdo", "mask-bottom", 0}, {"Silkscreen_Top.gdo", "silk-top", 0},
        {"BoardOutline.gdo", "outline", 0}, {"DrillDrawingThrough.gdo", "drawing", 0},
        {"smt.art", "mask-top", 0}, {"ssb.art", "silk-bottom", 0}, {"board.rou", "rout", 0},
        // Names that say nothing.
        {"board.gbr", "", 0}, {"readme.txt", "", 0},
        {"BoardOutlline.gdo", "", 0}, // so spelt: only its shape can tell
    };
    for (const auto& c : cases) {
        const LayerRole r = layerOfName(QString::fromLatin1(c.name));
        EXPECT_EQ(r.role, QString::fromLatin1(c.role)) << c.name;
        EXPECT_EQ(r.copper.value_or(0), c.copper) << c.name;
    }
}
