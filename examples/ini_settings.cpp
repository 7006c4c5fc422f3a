// Keeps a port's settings in an INI file: "save" writes them to the section named after the
// port ([Printer]), "open" loads them into a new port and opens it. The component's errors
// (EComPort) and the file's (EIniFileException) are reported with what went wrong.
//
//   ini_settings FILE.ini save PORT BAUD      ini_settings till.ini save COM3 19200
//   ini_settings FILE.ini open
#include "runtime/IniFiles.h"
#include "serial/CPort.h"

#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    const std::string command = argc > 2 ? argv[2] : "";
    if (!(command == "save" && argc == 5) && !(command == "open" && argc == 3)) {
        std::cerr << "usage: ini_settings FILE.ini save PORT BAUD | ini_settings FILE.ini open\n";
        return 2;
    }
    TComPort port(nullptr);
    port.SetName("Printer");
    // Which settings travel: the line (port, speed, bits), the time-outs, the flow control.
    port.SetSettingsGroups({sgLine, sgTimeouts, sgFlowDetails});
    try {
        TIniFile file(argv[1]);
        if (command == "save") {
            port.SetPort(argv[3]);
            port.SetBaudRate(TextToBaudRate(argv[4]));
            if (BaudRateToText(port.BaudRate()) != argv[4]) {
                std::cerr << "ini_settings: " << argv[4] << " is no standard speed\n";
                return 2;
            }
            port.Timeouts().SetReadTotalConstant(2000);
            port.SaveSettingsToIni(file); // each write goes to the file at once
            std::cout << "saved " << port.Port() << " at " << argv[4] << " bit/s to " << argv[1]
                      << '\n';
            return 0;
        }
        port.LoadSettingsFromIni(file);
        port.OpenPort();
        std::cout << "opened " << port.Port() << " at " << BaudRateToText(port.BaudRate())
                  << " bit/s, reads wait " << port.Timeouts().ReadTotalConstant() << " ms\n";
        port.ClosePort();
        return 0;
    } catch (const EComPort& e) {
        // PortErrorCode names the step that failed, OsErrorCode the system's reason (-1: none).
        std::cerr << "ini_settings: " << port.Port() << ": " << e.what() << '\n';
        if (e.PortErrorCode() == peOpenPort)
            std::cerr << "ini_settings: is the port's name right, and no other program using it?\n";
        return 1;
    } catch (const EIniFileException& e) {
        std::cerr << "ini_settings: " << argv[1] << ": " << e.what() << '\n';
        return 1;
    }
}
