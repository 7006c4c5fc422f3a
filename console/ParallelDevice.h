// The first parallel port as a text channel: lines go out through a small buffer, flushed at every
// line end when the device is a character device, as a printer expects whole lines promptly.
#pragma once

#include "platform/Win32.h"

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

// A failed step of the channel: the operating system's error number, or one of the codes below.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(int Code);
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

// The handle is no device the channel can write to (its type is unknown).
inline constexpr int ioNotOpenForOutput = 105;
// The device took fewer bytes than it was given.
inline constexpr int ioWriteFault = 101;

// Raises EInOutError for a non-zero result code.
void IOCheck(int Result);

class TParallelDevice {
public:
    static constexpr std::size_t BufferSize = 128;

    explicit TParallelDevice(std::string Name = "LPT1");
    // A channel still open here was abandoned after a failed step: the handle is released and
    // nothing more is written to a device that has already failed.
    ~TParallelDevice();
    TParallelDevice(const TParallelDevice&) = delete;
    TParallelDevice& operator=(const TParallelDevice&) = delete;

    // Each step returns its result code: 0, or what IOCheck turns into an error.
    int Open();
    // The bytes unchanged, then CR LF.
    int WriteLine(std::string_view Bytes);
    // The bytes unchanged and at once, with no line end (a request, not a line to print).
    int Write(std::string_view Bytes);
    // Sends what is still buffered, then closes the device.
    int Close();

    bool IsOpen() const { return FHandle != INVALID_HANDLE_VALUE; }
    // Whether every line end sends the buffer (a character device).
    bool FlushesLines() const { return FFlushLines; }

private:
    int Put(std::string_view Bytes);
    int Flush();

    std::string FName;
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    bool FFlushLines = false;
    std::array<char, BufferSize> FBuffer{};
    std::size_t FCount = 0;
};
