// One QApplication for the whole binary, on the offscreen platform, before any test runs.
#include "app/MainWindow.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(console::ApplicationTitle));
    return RUN_ALL_TESTS();
}
