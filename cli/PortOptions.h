// Options shared by the commands that open a serial port: a settings file, then the line
// settings given on the command line, which win over the file.
#pragma once

#include "serial/CPort.h"

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace cli {

// The section the settings live in, the same name the console's port has.
inline constexpr char PortComponentName[] = "ComPort1";

struct PortOptions {
    std::string SettingsFile;
    std::optional<std::string> Port;
    std::optional<std::int64_t> Baud;
    std::optional<TDataBits> DataBits;
    std::optional<TParityBits> Parity;
    std::optional<TStopBits> StopBits;
    std::optional<TFlowControl> Flow;
};

// --settings FILE.ini; with Line also --baud, --data-bits, --parity, --stop-bits and --flow.
void AddPortOptions(CLI::App& Command, PortOptions& Options, bool Line);

// A port named PortComponentName, every settings group selected, loaded from the settings file
// when one is given, then with the command line's values. Raises EIniFileException for an
// unreadable file.
void ApplyPortOptions(TCustomComPort& Port, const PortOptions& Options);

// Sets the port's speed: the matching TBaudRate, else brCustom with CustomBaudRate.
void SetSpeed(TCustomComPort& Port, std::int64_t BitsPerSecond);

} // namespace cli
