// Internal to the Linux backend: how CreateFileA reaches comm devices.
#pragma once

#include "platform/linux/Handles.h"

#include <memory>
#include <string>

namespace platform {

// A simulated comm device a test installed under Name, opened; null when none is installed.
std::shared_ptr<KernelObject> OpenSimulatedComm(const std::string& Name);

// Opens a terminal device (already resolved and checked to lie under /dev) exclusively, for
// overlapped I/O; null with the last error set on failure.
std::shared_ptr<KernelObject> OpenCommDevice(const std::string& DevicePath);

} // namespace platform
