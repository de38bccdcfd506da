// A bare Qt window that ends on Alt+X: how long Qt itself takes to exit under Wine.
#include <QApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    QShortcut quit(QKeySequence(QStringLiteral("Alt+X")), &window);
    QObject::connect(&quit, &QShortcut::activated, &app, &QApplication::quit);
    window.show();
    return QApplication::exec();
}
