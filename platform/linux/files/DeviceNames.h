// Internal to the Linux backend: from the names Windows programs use ("COM3", "LPT1", "ttyUSB0")
// to device nodes, and the checks that keep a port name from reaching anything but a usable
// device: not a file, not a directory, nothing outside /dev, and never the kernel's console.
#pragma once

#include "platform/linux/sync/Handles.h"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Where device nodes and sysfs live. Tests point these at trees of their own (a fake console
// list, a fake set of ports); everything else uses the defaults.
struct DeviceRoots {
    std::string Dev = "/dev";
    std::string Sys = "/sys";
};
DeviceRoots CurrentDeviceRoots();
void SetDeviceRootsForTest(DeviceRoots Roots);

// The alias folder: $XDG_CONFIG_HOME/tillmark/devices, else ~/.config/tillmark/devices; empty
// when neither variable gives an absolute path. Read afresh on every call.
std::string AliasFolder();

// Name in lower case (ASCII): device and alias names are compared that way.
std::string LowerName(std::string Name);

// The folder's entry for Name (compared in lower case), when there is one, dangling or not.
std::optional<std::string> FindAlias(const std::string& Name);

// The lower-case names in the alias folder, sorted.
std::vector<std::string> AliasNames();

// "COMn" / "LPTn" in any letter case, n from 1 without leading zeros; 0 when Name is not one.
unsigned CommNumber(const std::string& Name);
unsigned PrinterNumber(const std::string& Name);

// A name turned into the node to open, before any check.
struct DevicePath {
    DevicePath(std::string Where, bool Alias, std::shared_ptr<const int> Opened = nullptr)
        : Path(std::move(Where)), ViaAlias(Alias), Node(std::move(Opened)) {}

    std::string Path;
    bool ViaAlias = false;
    // An O_PATH descriptor on the node Path reached, when resolving already opened one: the
    // checks then ask it, not the name. Closed with the last copy.
    std::shared_ptr<const int> Node;
};

// A comm port name (what follows "\\.\"): its alias, else COMn as ttyS<n-1>, else a path under
// the /dev root. Null with the last error set when the name is empty (ERROR_PATH_NOT_FOUND) or
// steps outside /dev by ".." or an absolute path elsewhere (ERROR_ACCESS_DENIED).
std::optional<DevicePath> ResolveCommName(const std::string& Name);

// Resolves symlinks and checks that the node is a character device that may serve as a comm
// port. The real path on success; otherwise null with the last error set:
//   no such node, a regular file, a FIFO, a socket, a block device,
//   or a character device sysfs places outside the tty class       ERROR_FILE_NOT_FOUND
//   a directory                                                      ERROR_ACCESS_DENIED
//   a non-alias name whose links lead outside /dev                   ERROR_ACCESS_DENIED
//   the kernel's console (also through an alias), /dev/console, /dev/tty   ERROR_ACCESS_DENIED
// Checked, when given, receives the node that was checked and its device number, so the device
// can be opened through that very node; the path returned for an alias is then the alias's own,
// as nothing else needs the real one.
struct CheckedNode {
    std::shared_ptr<const int> Node;
    dev_t Number = 0;
};
std::optional<std::string> CheckCommDevice(const DevicePath& Device,
                                           CheckedNode* Checked = nullptr);

// Whether Device is a Unix98 pseudo-terminal's terminal side (majors 136 to 143).
bool IsPseudoTerminal(dev_t Device);

// The tty names the kernel writes its console to (sysfs "console/active"), with the virtual
// terminal that "tty0" currently stands for.
std::vector<std::string> ConsoleNames();

// True when Device (a device number) is one of the consoles, /dev/console or /dev/tty.
bool IsConsoleDevice(dev_t Device);

// Opens the line printer LPTn for writing: its alias when there is one (a character device, a
// FIFO, or an existing regular file that is appended to), else the first of /dev/usb/lp<n-1> and
// /dev/lp<n-1> that is a character device. Never creates or truncates anything. Null with the
// last error set on failure (ERROR_FILE_NOT_FOUND when there is no device). Writes complete
// before they return; opened Overlapped (FILE_FLAG_OVERLAPPED), a write needs its record.
std::shared_ptr<KernelObject> OpenLinePrinter(unsigned Number, DWORD DesiredAccess,
                                              bool Overlapped);

} // namespace platform
