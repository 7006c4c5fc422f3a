// Internal to the Linux backend: the machine's own keys (the serial-port map), which the Reg*
// calls in Registry.cpp serve beside the user's file (UserRegistry.h).
#pragma once

#include "platform/linux/registry/RegistryKey.h"

#include <optional>
#include <string>
#include <vector>

namespace platform {

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
