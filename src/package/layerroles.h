#pragma once

// What each layer of a package is on the board, whatever of it is read: the copper of a side or
// an inner layer, solder mask, silk, paste, the outline, a drawing (mechanical layers,
// fabrication and assembly drawings, drill maps), a rout, a drill file, or other. From the
// layer's .FileFunction (its own or the job file's), else from the names the CAD programs give
// their layers.

#include <QString>
#include <optional>

namespace kivotrek {

struct LayerRole {
    // "copper-top", "copper-bottom", "copper-inner", "mask-top", "mask-bottom", "silk-top",
    // "silk-bottom", "paste-top", "paste-bottom", "outline", "drawing", "rout", "drill", "other";
    // empty where nothing says.
    QString role;
    std::optional<int> copper; // the copper layer's number from the top (1 the top), where known
    bool empty() const { return role.isEmpty(); }
};

// The role a .FileFunction value gives ("Copper,L2,Inr,Plane", "Soldermask,Top", "Legend,Bot",
// "Profile,NP", "NonPlated,1,2,NPTH,Route", "FabricationDrawing", ...); "other" for a function
// of no role above.
LayerRole layerOfFunction(const QString& function);

// The role a layer's file name gives by the names of the CAD programs: Protel / Altium
// extensions (.GTL, .GBS, .GTO, .GTP, .G1, .GM1, ...), Eagle's (.cmp, .sol, .stc, .plc, .crc,
// ...), KiCad's layer names (F_Cu, In1_Cu, B_Mask, F_Silkscreen, Edge_Cuts, F_Fab, ...),
// gEDA's (.top.gbr, .bottommask.gbr, ...), Allegro's (smt, sst, spt, ...) and the words of
// EasyEDA, DipTrace, Fritzing, Eagle's CAM jobs, Siemens and others (TopLayer, copper_bottom,
// _TopMask, SolderPaste_Top, ...); empty where the name says none.
LayerRole layerOfName(const QString& name);

// The key of a role in the batch command's JSON, as role is; the role's name in the window.
QString layerRoleText(const QString& role);

} // namespace kivotrek
