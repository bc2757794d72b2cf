#!/usr/bin/python3
# Plots one of KiCad's demo boards (Debian "kicad-demos") as a package: every copper layer, the
# masks, silk, paste, the edge cuts and the fabrication layers as Gerber X2, the drill files as
# Excellon (plated and non-plated apart) and a job file.
# Usage: /usr/bin/python3 bench/plot-kicad-demo.py BOARD.kicad_pcb OUTPUT_FOLDER
import os
import sys

import pcbnew

board_path, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
board = pcbnew.LoadBoard(board_path)
plotter = pcbnew.PLOT_CONTROLLER(board)
options = plotter.GetPlotOptions()
options.SetOutputDirectory(out)
options.SetUseGerberX2format(True)
options.SetIncludeGerberNetlistInfo(True)
options.SetCreateGerberJobFile(True)
options.SetUseAuxOrigin(False)
options.SetPlotFrameRef(False)
options.SetSubtractMaskFromSilk(False)
layers = [layer for layer in board.GetEnabledLayers().Seq()]
for layer in layers:
    name = board.GetLayerName(layer)
    if name.endswith(("Adhes", "Adhesive", "Margin")) or name.startswith("User") or name.startswith("Cmts") \
            or name.startswith("Dwgs") or name.startswith("Eco"):
        continue
    plotter.SetLayer(layer)
    plotter.OpenPlotfile(name.replace(".", "_"), pcbnew.PLOT_FORMAT_GERBER, name)
    plotter.PlotLayer()
plotter.ClosePlot()
drill = pcbnew.EXCELLON_WRITER(board)
drill.SetMapFileFormat(pcbnew.PLOT_FORMAT_GERBER)
# The drill files at the Gerber files' origin (not the board's auxiliary one), as the layers are.
drill.SetOptions(False, False, pcbnew.wxPoint(0, 0), False)
drill.SetFormat(True)
drill.CreateDrillandMapFilesSet(out, True, False)
print("plotted", len(os.listdir(out)), "files into", out)
