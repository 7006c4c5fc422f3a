#include "console/PortMap.h"

#include "runtime/Registry.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace console {

namespace {

// Where the operating system lists its serial ports, under HKEY_LOCAL_MACHINE.
constexpr char SerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The value's text up to its first NUL; empty when it has no data. Data of any other type than
// text raises ERegistryException.
std::string PortText(TRegistryKey& Map, const std::string& Name) {
    const std::optional<TRegDataInfo> info = Map.DataInfo(Name);
    if (!info || info->DataSize == 0)
        return {};
    if (info->RegData != REG_SZ && info->RegData != REG_EXPAND_SZ)
        throw ERegistryException("the serial-port map's value '" + Name + "' holds no text");
    return Map.ReadString(Name);
}

bool LessIgnoringCase(const MappedPort& Left, const MappedPort& Right) {
    const std::string& A = Left.Port;
    const std::string& B = Right.Port;
    return std::lexicographical_compare(
        A.begin(), A.end(), B.begin(), B.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) < std::tolower(b); });
}

} // namespace

PortMap ReadPortMap() {
    PortMap map;
    std::optional<TRegistryKey> key;
    try {
        key.emplace(HKEY_LOCAL_MACHINE, SerialCommKey, TRegistryKey::ReadOnly);
    } catch (const ERegistryException&) {
        return map; // a machine without serial ports has no map
    }
    map.Found = true;
    try {
        for (const std::string& name : key->ValueNames()) {
            map.Ports.push_back({.Name = name, .Port = PortText(*key, name)});
        }
    } catch (...) {
        map.Error = std::current_exception();
    }
    return map;
}

std::vector<MappedPort> SortedPorts(std::vector<MappedPort> Ports) {
    std::stable_sort(Ports.begin(), Ports.end(), LessIgnoringCase);
    return Ports;
}

} // namespace console
