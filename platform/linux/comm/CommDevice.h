// Internal to the Linux backend: how CreateFileA reaches comm devices.
#pragma once

#include "platform/linux/sync/Handles.h"

#include <memory>
#include <optional>
#include <string>

namespace platform {

// Opens a comm device that is no node under /dev, such as one a test made. None when Name (what
// follows "\\.\") is not one of its devices; otherwise the device opened (for overlapped
// transfers when Overlapped), or null with the last error set when it refuses the open, which
// then stands: a refused open never goes on to a real device of the same name.
using CommDeviceProvider = std::optional<std::shared_ptr<KernelObject>> (*)(const std::string& Name,
                                                                            bool Overlapped);

// Installs the provider CreateFileA asks for every comm name before it looks under /dev; null
// removes it. The programs install none: a device made for tests plugs in here when a test
// installs one, so the programs never carry it.
void SetCommDeviceProvider(CommDeviceProvider Provider);

// The installed provider's answer for Name; none when no provider is installed.
std::optional<std::shared_ptr<KernelObject>> OpenProvidedComm(const std::string& Name,
                                                              bool Overlapped);

struct CheckedNode;

// Opens a terminal device (already resolved and checked to lie under /dev) exclusively; null
// with the last error set on failure. Overlapped: opened with FILE_FLAG_OVERLAPPED, so transfers
// and event waits take a record and may be left pending; otherwise each completes before it
// returns. Given the node the checks looked at, it opens that node itself, so what is opened is
// what was checked.
std::shared_ptr<KernelObject> OpenCommDevice(const std::string& DevicePath, bool Overlapped,
                                             const CheckedNode* Checked = nullptr);

} // namespace platform
