#include "app/appicon.h"
#include "app/mainwindow.h"
#include "common/temporarypaths.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <algorithm>

int main(int argc, char** argv)
{
    // Before any thread starts: a package's unpacked files go with the program, also when it is
    // ended by a signal (a closed terminal, a logout).
    kivotrek::temporaryPaths::removeOnSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivotrek"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.1"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);

    // The program speaks Japanese: so do the system dialogs and buttons.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    kivotrek::MainWindow window;
    window.show();
    // The icon's seven sizes (and the icon engines Qt looks for) once the window is up: the
    // window manager takes an icon given after the window is mapped as well.
    QTimer::singleShot(0, &window, [] { QApplication::setWindowIcon(kivotrek::appIcon()); });
    // Files named on the command line (as a file manager passes them) are read at once, once
    // the window is up to show what the read has to say: a package (a folder or an archive)
    // through its window, or the first file read and the others added to its board (the
    // plated and non-plated drill files and the outline of one board).
    QStringList files;
    for (const QString& a : QApplication::arguments().mid(1)) {
        if (!a.startsWith(QLatin1Char('-')))
            files << a;
    }
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, files] { window.openArguments(files); });
    return app.exec();
}
