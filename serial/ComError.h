// The one error type of the serial port component.
#pragma once

#include "platform/Export.h"
#include <cstdint>
#include <stdexcept>

// Port error codes (EComPort::PortErrorCode), each naming the step that failed. The numbers are
// fixed; those marked are kept for their number and never raised by this component.
inline constexpr std::int32_t peOpenPort = 1;
inline constexpr std::int32_t peWriteFile = 2;
inline constexpr std::int32_t peReadFile = 3;
inline constexpr std::int32_t peBadAsyncParam = 4;
inline constexpr std::int32_t pePurgeComm = 5;
inline constexpr std::int32_t peAsyncStatus = 6; // not raised
inline constexpr std::int32_t peSetCommState = 7;
inline constexpr std::int32_t peSetCommTimeouts = 8;
inline constexpr std::int32_t peSetupComm = 9;
inline constexpr std::int32_t peClearCommError = 10;
inline constexpr std::int32_t peGetModemStatus = 11;
inline constexpr std::int32_t peEscapeCommFunction = 12; // not raised
inline constexpr std::int32_t peTransmitCommChar = 13;   // not raised
inline constexpr std::int32_t pePropertyWhileOpen = 14;
inline constexpr std::int32_t peEnumPorts = 15;     // not raised
inline constexpr std::int32_t peStoreSettings = 16; // not raised
inline constexpr std::int32_t peLoadSettings = 17;  // not raised
inline constexpr std::int32_t peLinkRegistration = 18;
inline constexpr std::int32_t peLedStateLocked = 19; // not raised
inline constexpr std::int32_t peWaitWithThread = 20; // not raised
inline constexpr std::int32_t peWaitForEvent = 21;   // not raised
inline constexpr std::int32_t peRxBufLinked = 22;    // not raised
inline constexpr std::int32_t peRegistry = 23;       // not raised

// The message of a port error code (1 to 23); empty for any other number.
TILLMARK_SERIAL_API const char* ComErrorMessage(std::int32_t PortErrorCode);

// The error the component raises: the step that failed, and the operating system's error number.
class TILLMARK_SERIAL_API EComPort : public std::runtime_error {
public:
    // A failed operating-system call: the message gets " (win error code: <n>)".
    EComPort(std::int32_t APortErrorCode, std::int32_t AOsErrorCode);
    // A failure of the component itself: OsErrorCode is -1.
    explicit EComPort(std::int32_t APortErrorCode);

    // The operating system's error number (GetLastError), or -1; and the pe* code of the step.
    std::int32_t OsErrorCode() const { return FOsErrorCode; }
    std::int32_t PortErrorCode() const { return FPortErrorCode; }

private:
    std::int32_t FOsErrorCode;
    std::int32_t FPortErrorCode;
};
