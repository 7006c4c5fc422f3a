#include "app/QtRuntime.h"

#include "runtime/Threads.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include <cstdio>
#include <cstdlib>

namespace {

// Runs on the window's thread: serves what other threads queued for it.
void ServeMainThreadQueue() {
    try {
        CheckSynchronize(0);
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
}

bool Set(const char* Name) {
    const char* value = std::getenv(Name);
    return value && *value;
}

} // namespace

TQtRuntime::TQtRuntime() {
    // Called from any thread; the queued call runs on the thread that owns the application.
    SetWakeMainThread([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, &ServeMainThreadQueue, Qt::QueuedConnection);
    });
    FPreviousHandler = SetApplicationErrorHandler(
        [](std::exception_ptr Error) { ShowErrorMessage(ExceptionMessage(Error)); });
}

TQtRuntime::~TQtRuntime() {
    SetApplicationErrorHandler(FPreviousHandler);
    SetWakeMainThread({});
}

void ShowErrorMessage(const std::string& Message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromLocal8Bit(Message.data(), static_cast<qsizetype>(Message.size())),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool CheckDisplay() {
    if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY"))
        return true;
    std::fputs("tillmark: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
               "is set).\n"
               "  Run it inside a desktop session, or on a virtual display:\n"
               "    apt-get install xvfb && xvfb-run -a build/debug/app/tillmark\n"
               "  or draw it off screen: QT_QPA_PLATFORM=offscreen build/debug/app/tillmark\n",
               stderr);
    return false;
}
