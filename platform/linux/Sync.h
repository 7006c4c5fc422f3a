// Internal to the Linux backend: the deadline of a wait, and a hook tests use to observe waits.
#pragma once

#include "platform/linux/Handles.h"

#include <chrono>
#include <functional>
#include <optional>

namespace platform {

using SteadyTime = std::chrono::steady_clock::time_point;

// The moment a wait of Milliseconds that starts at Now gives up; none for INFINITE.
std::optional<SteadyTime> DeadlineAfter(DWORD Milliseconds, SteadyTime Now);

// Called by every wait just before it blocks, with the wait already registered on its events, so
// a test knows that a SetEvent made from then on has to wake a sleeping waiter. Runs under the
// events' lock: the hook must not call back into this layer. Pass an empty function to remove.
void SetWaitBlockedHookForTest(std::function<void()> Hook);

} // namespace platform
