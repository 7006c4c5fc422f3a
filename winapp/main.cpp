// tillmark.exe: the test console window on Windows.
#include "winapp/MainWindow.h"

#include "runtime/Application.h"

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
    try {
        TMainWindow window(Instance, Show);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (window.HandleNavigation(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (...) {
        MessageBoxA(nullptr, ExceptionMessage(std::current_exception()).c_str(),
                    console::ApplicationTitle, MB_OK | MB_ICONERROR);
        return 1;
    }
}
