#include "runtime/process_protection.h"
#include "runtime/qt_runtime.h"
#include "windows/MainWin.h"

#include <QApplication>
#include <QString>

int main(int argc, char* argv[])
{
    // First: before anything holds a password, and on the thread that will run the windows.
    cipherloom::ProtectProcess();
    QApplication app(argc, argv);
    // Wayland compositors match the window to its desktop entry (and icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(CIPHERLOOM_APP_ID));
    cipherloom::QtRuntime runtime;
    cipherloom::MainWin mainWin(runtime);
    mainWin.show();
    return QApplication::exec();
}
