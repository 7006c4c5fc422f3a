// Internal to the Linux backend: the one thread that watches every open comm device. Engines
// register their descriptor and their next deadline; the reactor sleeps in epoll_wait until a
// descriptor is ready or a deadline is due, and then calls the engine back. Opening and closing
// a port therefore starts and joins no thread, and a change of interest is an epoll_ctl from the
// caller's thread rather than a wake-up of another.
#pragma once

#include "platform/linux/sync/Sync.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

// What the reactor calls. Calls come from the reactor's thread, never with its lock held; a
// client that is going away may still get one call that began before it unregistered.
class ReactorClient {
public:
    virtual ~ReactorClient() = default;
    // The descriptor is ready; Events are EPOLL* bits.
    virtual void DescriptorReady(std::uint32_t Events) = 0;
    // The deadline given last has passed; it is forgotten, so the client names its next one.
    virtual void DeadlinePassed() = 0;
};

// One client's registration. Not thread-safe: its owner calls it under its own lock.
class ReactorEntry {
public:
    // Registers Client; 0 or an errno when the reactor cannot start.
    int Open(std::weak_ptr<ReactorClient> Client);
    // Watch Fd (-1: none) for Events; ready-for-nothing still reports hang-ups and errors.
    // Returns 0 or an errno.
    int Watch(int Fd, std::uint32_t Events);
    // Call DeadlinePassed once at When, or never (nullopt).
    void WakeAt(std::optional<SteadyTime> When);
    // Forgets the deadline the reactor has just reported, so the next WakeAt is passed on.
    void DeadlineReported() { Deadline.reset(); }
    // Unregisters. A call the reactor had already begun may still arrive, so clients ignore
    // calls once they are closing.
    void Close();

    ~ReactorEntry() { Close(); }

private:
    std::uint64_t Id = 0;
    int Fd = -1;
    std::uint32_t Events = 0;
    std::optional<SteadyTime> Deadline;
};

} // namespace platform
