// Internal to the Linux backend: how CreateFileA reaches comm devices.
#pragma once

#include "platform/linux/sync/Handles.h"

#include <memory>
#include <string>

namespace platform {

// Whether a test installed a simulated comm device under Name (any case).
bool IsSimulatedComm(const std::string& Name);

// A simulated comm device a test installed under Name, opened; null when none is installed, or
// null with the last error set when the installed device refuses the open (already open, or a
// failure the test asked for). Callers that must not fall back to a real device on a refusal ask
// IsSimulatedComm first.
std::shared_ptr<KernelObject> OpenSimulatedComm(const std::string& Name);

// Opens a terminal device (already resolved and checked to lie under /dev) exclusively, for
// overlapped I/O; null with the last error set on failure.
std::shared_ptr<KernelObject> OpenCommDevice(const std::string& DevicePath);

} // namespace platform
