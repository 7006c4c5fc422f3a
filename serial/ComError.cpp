#include "serial/ComError.h"

#include <array>
#include <string>

namespace {
constexpr std::array<const char*, 23> Messages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
} // namespace

const char* ComErrorMessage(std::int32_t PortErrorCode) {
    if (PortErrorCode < 1 || PortErrorCode > static_cast<std::int32_t>(Messages.size()))
        return "";
    return Messages[static_cast<std::size_t>(PortErrorCode - 1)];
}

EComPort::EComPort(std::int32_t APortErrorCode, std::int32_t AOsErrorCode)
    : std::runtime_error(std::string(ComErrorMessage(APortErrorCode)) +
                         " (win error code: " + std::to_string(AOsErrorCode) + ")"),
      FOsErrorCode(AOsErrorCode), FPortErrorCode(APortErrorCode) {}

EComPort::EComPort(std::int32_t APortErrorCode)
    : std::runtime_error(ComErrorMessage(APortErrorCode)), FOsErrorCode(-1),
      FPortErrorCode(APortErrorCode) {}
