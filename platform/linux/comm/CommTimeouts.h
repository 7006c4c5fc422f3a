// Internal to the Linux backend: when a comm read or write must end, from COMMTIMEOUTS alone.
// Pure: the engine hands in the time, so tests drive it with a clock of their own.
#pragma once

#include "platform/linux/Win32Comm.h"

#include <chrono>
#include <optional>

namespace platform {

using CommClock = std::chrono::steady_clock;

class TransferTimer {
public:
    // A read of Count bytes that starts at Start.
    static TransferTimer ForRead(const COMMTIMEOUTS& Timeouts, DWORD Count,
                                 CommClock::time_point Start);
    // A write of Count bytes that starts at Start.
    static TransferTimer ForWrite(const COMMTIMEOUTS& Timeouts, DWORD Count,
                                  CommClock::time_point Start);

    // The read ends at once with whatever is queued, even nothing.
    bool ReturnsAtOnce() const { return AtOnce; }
    // The read ends as soon as it holds at least one byte.
    bool ReturnsOnFirstByte() const { return OnFirstByte; }

    // Bytes reached the transfer at Now: interval timing starts, or starts over.
    void BytesArrived(CommClock::time_point Now);

    // The earliest moment the transfer must end; none while it may wait for ever.
    std::optional<CommClock::time_point> Deadline() const;
    bool Expired(CommClock::time_point Now) const;

private:
    bool AtOnce = false;
    bool OnFirstByte = false;
    std::optional<CommClock::time_point> Total;
    std::optional<std::chrono::milliseconds> Interval;
    std::optional<CommClock::time_point> LastByte;
};

// SetCommTimeouts refuses the one combination Windows refuses: all three read values MAXDWORD.
bool TimeoutsValid(const COMMTIMEOUTS& Timeouts);

} // namespace platform
