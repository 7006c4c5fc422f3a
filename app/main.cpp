// tillmark: the test console window.
#include "app/MainWindow.h"
#include "app/QtRuntime.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (!CheckDisplay())
        return 1;
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(console::ApplicationTitle));
    TQtRuntime runtime;
    TfrmMain frmMain;
    frmMain.show();
    return QApplication::exec();
}
