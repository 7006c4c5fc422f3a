// What the runtime layer needs from Qt: a way to serve work queued for the window's thread while
// the event loop idles, and a message box for errors that nothing else handled.
#pragma once

#include "runtime/Application.h"

#include <string>

// While alive, work queued for the main thread is served from Qt's event loop, and the
// application's handler shows an error's message in a message box. Create it after the
// QApplication and before any window; it puts back what it replaced.
class TQtRuntime {
public:
    TQtRuntime();
    ~TQtRuntime();
    TQtRuntime(const TQtRuntime&) = delete;
    TQtRuntime& operator=(const TQtRuntime&) = delete;

private:
    TExceptionHandler FPreviousHandler;
};

// Shows Message in a modal message box titled with the application's title.
void ShowErrorMessage(const std::string& Message);

// Whether Qt can show a window here; when it cannot, says so on standard error, with how to get
// a display.
bool CheckDisplay();
