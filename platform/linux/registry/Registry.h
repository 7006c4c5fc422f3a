// Internal to the Linux backend: registry keys as kernel objects, and the serial-port map.
//
// A key is an object in the handle table that lists its values; the Reg* calls apply Windows'
// size and error conventions on top. A store of its own (settings under HKEY_CURRENT_USER, say)
// plugs in as another RegistryKey whose Values reads that store.
#pragma once

#include "platform/linux/Win32Registry.h"
#include "platform/linux/sync/Handles.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct RegistryValue {
    std::string Name;
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
    bool operator==(const RegistryValue&) const = default;
};

// Key and value names compare without regard to ASCII letter case, as Windows compares them.
bool SameText(const std::string& A, const std::string& B);

// Text as Windows stores it: the characters and a terminating NUL.
RegistryValue TextValue(std::string Name, const std::string& Text, DWORD Type = REG_SZ);
RegistryValue DwordValue(std::string Name, DWORD Value);

class RegistryKey : public KernelObject {
public:
    // The values in index order, as they are now, or the error of a store that cannot be read
    // (ERROR_BADDB for a file that does not parse), never an empty key in its place.
    virtual LONG Values(std::vector<RegistryValue>& Out) const = 0;
};

// "HARDWARE\DEVICEMAP\SERIALCOMM" under HKEY_LOCAL_MACHINE.
inline constexpr char SerialCommKeyPath[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The serial ports of this machine, read afresh: every tty sysfs gives a device (UARTs only when
// their type is known, so not the phantom ttyS nodes), except the kernel's console and ports an
// alias already stands for, under "\Device\<tty>", with data "COMn" for ttyS<n-1> and the tty
// name otherwise; then every alias but lptN whose target passes the comm device checks, under
// "\Device\Alias\<name>", with data "COMn" for comN and the alias name otherwise. Opens no port.
std::vector<RegistryValue> BuildSerialCommMap();

// Replaces the map for tests, with values of any type; none means the key does not exist.
// RestoreSerialCommMap goes back to the machine's ports.
void InstallSerialCommMapForTest(std::optional<std::vector<RegistryValue>> Map);
void RestoreSerialCommMap();

} // namespace platform
