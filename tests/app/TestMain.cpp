// One QApplication for the whole binary, on the offscreen platform, before any test runs.
#include "app/MainWindow.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Qt and the font libraries keep caches for the life of the process and free them in ways the
// leak sanitizer cannot follow; our own code gets no such pass.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Core.so\n"
           "leak:libglib-2.0.so\n";
}

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(ApplicationTitle));
    return RUN_ALL_TESTS();
}
