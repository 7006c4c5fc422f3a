// Sends one line to a serial port and prints the line that comes back: plain blocking calls, no
// events, every write and read bounded by the port's time-outs.
//
//   send_line PORT [TEXT [BAUD]]        send_line COM3 "hello" 19200
//
// Exits with 0 when a whole line came back, 1 when the port failed or no line came in time.
#include "serial/CPort.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 4) {
        std::cerr << "usage: send_line PORT [TEXT [BAUD]]\n";
        return 2;
    }
    const std::string line = std::string(argc > 2 ? argv[2] : "hello") + "\r\n";

    TComPort port(nullptr);
    port.SetPort(argv[1]);      // "COM3", "ttyUSB0", or a name from the alias folder
    port.SetBaudRate(brCustom); // any speed in bit/s; the named ones (br9600 ...) work as well
    port.SetCustomBaudRate(argc > 3 ? std::atoi(argv[3]) : 9600);
    port.SetEvents({}); // nothing to watch: the port starts no event thread
    port.Timeouts().SetWriteTotalConstant(1000); // ms a write may take
    port.Timeouts().SetReadTotalConstant(2000);  // ms each read waits for its bytes
    try {
        port.OpenPort();
        if (port.SendText(line) != static_cast<std::int32_t>(line.size())) {
            std::cerr << "send_line: " << port.Port() << ": the line was not sent within 1 s\n";
            return 1;
        }
        // A byte at a time up to the line's end: a read of one byte under a total time-out
        // behaves the same on every system.
        std::string answer;
        char c = 0;
        while (c != '\n' && port.ReceiveBytes(&c, 1) == 1)
            answer += c;
        port.ClosePort();
        if (c != '\n') {
            std::cerr << "send_line: " << port.Port() << ": no whole line back within 2 s ("
                      << answer.size() << " bytes)\n";
            return 1;
        }
        std::cout << answer;
        return 0;
    } catch (const EComPort& e) {
        // The message names the step and the system's error code, as in
        // "Unable to open com port (win error code: 2)".
        std::cerr << "send_line: " << port.Port() << ": " << e.what() << '\n';
        return 1;
    }
}
