// Internal to runtime/: what TThread needs from the hand-over to the main thread.
#pragma once

#include "platform/Win32.h"

#include <thread>

namespace handover {

// Lets Sender go on from every call of its own queued with Synchronize that is running on the
// calling thread. A thread that waits for Sender to end from inside such a call would otherwise
// wait for itself.
void ReleaseCallsFrom(std::thread::id Sender);

// Waits until Object is signalled, serving the calling thread's queue meanwhile: calls queued
// for it (on the main thread) and messages sent to its windows.
void WaitServing(HANDLE Object);

} // namespace handover
