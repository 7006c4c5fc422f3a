// Watching the printer's status: automatic status back (GS a) switched on, each status the printer
// sends handed on as it comes, until told to stop or the line goes away; switched off on the way
// out. A printer that sends none at first (offline, it holds GS a until it recovers) is asked its
// real-time status once, so the watch starts from what it is.
#pragma once

#include "console/ConsoleActions.h"
#include "console/net/Socket.h"
#include "console/status/PrinterStatus.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace console {

// GS a n: the items whose change the printer reports: drawer pin 3, online/offline, errors, paper.
inline constexpr std::uint8_t AsbAllItems = 0x0F;
std::string AsbCommand(std::uint8_t Items);

// The first byte of the four automatic status back sends: bits 0, 1, 4, 7 are 0, 0, 1, 0.
bool IsAsbFirstByte(std::uint8_t Byte);
// What the four bytes say; the feed button's being held and a paper-end stop they do not tell.
TStatusFacts AsbFacts(const std::array<std::uint8_t, 4>& Bytes);

// What comes back on a watched line: an automatic status, or a real-time status answer.
struct TStatusMessage {
    bool Automatic = true;
    std::array<std::uint8_t, 4> Bytes{}; // automatic: all four; real-time: DLE EOT 1 to 4
    TStatusFacts Facts;
};

// Takes the bytes as they come, in pieces, and gives each whole automatic status; real-time
// answers (one byte each, bits 1 and 4 set) come out one by one in RealTime.
class TAsbReader {
public:
    std::vector<std::array<std::uint8_t, 4>> Feed(std::string_view Bytes,
                                                  std::vector<std::uint8_t>* RealTime = nullptr);

private:
    std::string FPartial;
};

// The far side of a watched line closed: the printer went away.
class ELineGone : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TWatchEnd { Stopped, NoAnswer };

// Watches over Line until Stop; each status that differs from the one before goes to Tell.
// Raises ELineGone when the line closes, after which nothing more is sent.
TWatchEnd WatchStatus(TPrinterLine& Line, int TimeoutMs, const std::atomic<bool>& Stop,
                      const std::function<void(const TStatusMessage&)>& Tell);

// The same on each path; the error that kept it from watching (the port would not open, no
// connection, the line went away: ELineGone), or null.
std::exception_ptr WatchStatusSerial(TCustomComPort& Port, const SerialChoice& Choice,
                                     int TimeoutMs, const std::atomic<bool>& Stop,
                                     const std::function<void(const TStatusMessage&)>& Tell,
                                     TWatchEnd& End);
std::exception_ptr WatchStatusTcp(const TEndpoint& Where, int TimeoutMs,
                                  const std::atomic<bool>& Stop,
                                  const std::function<void(const TStatusMessage&)>& Tell,
                                  TWatchEnd& End);

} // namespace console
