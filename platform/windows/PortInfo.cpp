#include "platform/PortInfo.h"

#include "platform/Win32.h"

#include <devguid.h>
#include <setupapi.h>

#include <string_view>

namespace platform {

namespace {

std::string DeviceProperty(HDEVINFO Devices, SP_DEVINFO_DATA& Device, DWORD Property) {
    char buffer[512];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(Devices, &Device, Property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 1,
                                           nullptr))
        return {};
    buffer[sizeof buffer - 1] = '\0';
    // A multi-string (hardware ids) gives its first entry, the most specific one.
    return buffer;
}

// The port name ("COM3") a Ports-class device was given, from its own registry key.
std::string PortNameOf(HDEVINFO Devices, SP_DEVINFO_DATA& Device) {
    HKEY key = SetupDiOpenDevRegKey(Devices, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    char name[64];
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return {};
    name[size] = '\0';
    return name;
}

// "USB\VID_0403&PID_6001\..." -> the four hex digits after Tag, lower case as sysfs gives them.
std::string HexAfter(std::string_view HardwareId, std::string_view Tag) {
    const auto at = HardwareId.find(Tag);
    if (at == std::string_view::npos || HardwareId.size() < at + Tag.size() + 4)
        return {};
    std::string hex(HardwareId.substr(at + Tag.size(), 4));
    for (char& c : hex)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return hex;
}

// Port names are ASCII and Windows matches them regardless of case.
bool SameName(std::string_view A, std::string_view B) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (A.size() != B.size())
        return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (upper(A[i]) != upper(B[i]))
            return false;
    return true;
}

} // namespace

PortDetails DescribePort(const std::string& Name) {
    PortDetails details;
    // What the DOS name leads to: "\Device\Serial0" on Windows, the Unix node under Wine.
    char target[512];
    if (QueryDosDeviceA(Name.c_str(), target, sizeof target) != 0)
        details.Device = target;

    HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return details;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        if (!SameName(PortNameOf(devices, device), Name))
            continue;
        details.Driver = DeviceProperty(devices, device, SPDRP_SERVICE);
        details.Manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
        details.Product = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
        const std::string hardwareId = DeviceProperty(devices, device, SPDRP_HARDWAREID);
        details.UsbVendor = HexAfter(hardwareId, "VID_");
        details.UsbProduct = HexAfter(hardwareId, "PID_");
        break;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return details;
}

} // namespace platform
