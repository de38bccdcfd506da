#include "runtime/qt_runtime.h"
#include "windows/MainWin.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    cipherloom::QtRuntime runtime;
    cipherloom::MainWin mainWin(runtime);
    mainWin.show();
    return QApplication::exec();
}
