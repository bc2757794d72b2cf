// The yardstick for the desktop program's start-up: the least a Qt program does to show a
// window with the same title and one Japanese label.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("穴区分け図"));
    window.setCentralWidget(new QLabel(QStringLiteral("穴径"), &window));
    window.show();
    return app.exec();
}
