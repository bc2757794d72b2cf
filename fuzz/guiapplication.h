#pragma once

// Targets that draw need a GUI application, as the programs have: the legend's texts are
// measured with the system's fonts. Offscreen, made once before the first input.

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}
