#include "platform/linux/comm/CommTimeouts.h"

#include <algorithm>

namespace platform {

namespace {
// constant + count * multiplier, computed wide so MAXDWORD multipliers cannot wrap.
std::chrono::milliseconds TotalOf(DWORD Multiplier, DWORD Constant, DWORD Count) {
    const std::uint64_t total = std::uint64_t{Multiplier} * Count + Constant;
    // A year is "for ever" for a transfer, and keeps the time point arithmetic in range.
    const std::uint64_t cap = 365ull * 24 * 3600 * 1000;
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::min(total, cap)));
}
} // namespace

TransferTimer TransferTimer::ForRead(const COMMTIMEOUTS& T, DWORD Count,
                                     CommClock::time_point Start) {
    TransferTimer timer;
    const DWORD interval = T.ReadIntervalTimeout;
    const DWORD multiplier = T.ReadTotalTimeoutMultiplier;
    const DWORD constant = T.ReadTotalTimeoutConstant;
    if (interval == MAXDWORD && multiplier == 0 && constant == 0) {
        timer.AtOnce = true;
        return timer;
    }
    if (interval == MAXDWORD && multiplier == MAXDWORD && constant != 0 && constant != MAXDWORD) {
        timer.OnFirstByte = true;
        timer.Total = Start + std::chrono::milliseconds(constant);
        return timer;
    }
    if (multiplier != 0 || constant != 0)
        timer.Total = Start + TotalOf(multiplier, constant, Count);
    // MAXDWORD here is no interval limit: only the special pairs above give it a meaning.
    if (interval != 0 && interval != MAXDWORD)
        timer.Interval = std::chrono::milliseconds(interval);
    return timer;
}

TransferTimer TransferTimer::ForWrite(const COMMTIMEOUTS& T, DWORD Count,
                                      CommClock::time_point Start) {
    TransferTimer timer;
    if (T.WriteTotalTimeoutMultiplier != 0 || T.WriteTotalTimeoutConstant != 0)
        timer.Total =
            Start + TotalOf(T.WriteTotalTimeoutMultiplier, T.WriteTotalTimeoutConstant, Count);
    return timer;
}

void TransferTimer::BytesArrived(CommClock::time_point Now) {
    LastByte = Now;
}

std::optional<CommClock::time_point> TransferTimer::Deadline() const {
    std::optional<CommClock::time_point> deadline = Total;
    if (Interval && LastByte) {
        const auto intervalEnd = *LastByte + *Interval;
        if (!deadline || intervalEnd < *deadline)
            deadline = intervalEnd;
    }
    return deadline;
}

bool TransferTimer::Expired(CommClock::time_point Now) const {
    const auto deadline = Deadline();
    return deadline && Now >= *deadline;
}

bool TimeoutsValid(const COMMTIMEOUTS& T) {
    return !(T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == MAXDWORD &&
             T.ReadTotalTimeoutConstant == MAXDWORD);
}

} // namespace platform
