#include "console/PortMap.h"

#include "platform/Win32.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace console {

namespace {

// A map value that holds no text.
class ERegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TOpenKey {
public:
    explicit TOpenKey(HKEY Key) : FKey(Key) {}
    ~TOpenKey() { RegCloseKey(FKey); }
    TOpenKey(const TOpenKey&) = delete;
    TOpenKey& operator=(const TOpenKey&) = delete;

private:
    HKEY FKey;
};

std::vector<std::string> ValueNames(HKEY Key) {
    std::vector<std::string> names;
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0; i < count; ++i) {
        std::string name(longest + 1, '\0');
        DWORD length = longest + 1;
        if (RegEnumValueA(Key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue; // a value that went away since the count was taken
        name.resize(std::min<std::size_t>(length, name.size()));
        names.push_back(std::move(name));
    }
    return names;
}

// The value's text up to its first NUL; empty when it has no data. Data of any other type than
// text raises ERegistryError.
std::string ValueText(HKEY Key, const std::string& Name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(Key, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        size == 0)
        return {};
    std::string data(size, '\0');
    if (RegQueryValueExA(Key, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        throw ERegistryError("cannot read the serial-port map's value '" + Name + "'");
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryError("the serial-port map's value '" + Name + "' holds no text");
    data.resize(std::min<std::size_t>(size, data.size()));
    if (const auto nul = data.find('\0'); nul != std::string::npos)
        data.resize(nul);
    return data;
}

bool LessIgnoringCase(const std::string& A, const std::string& B) {
    return std::lexicographical_compare(
        A.begin(), A.end(), B.begin(), B.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) < std::tolower(b); });
}

} // namespace

PortMap ReadPortMap() {
    PortMap map;
    try {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            return map;
        map.Found = true;
        const TOpenKey open(key);
        for (const std::string& name : ValueNames(key)) {
            map.Ports.push_back(ValueText(key, name));
            map.Names.push_back(name);
        }
    } catch (...) {
        map.Error = std::current_exception();
    }
    return map;
}

std::vector<std::string> SortedPorts(std::vector<std::string> Ports) {
    std::stable_sort(Ports.begin(), Ports.end(), LessIgnoringCase);
    return Ports;
}

} // namespace console
