#include "platform/linux/registry/Registry.h"
#include "platform/linux/registry/RegistryKey.h"
#include "platform/linux/registry/UserRegistry.h"

#include "platform/linux/files/DeviceNames.h"

#include "platform/Win32.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>

namespace platform {

namespace {

class SnapshotKey final : public RegistryKey {
public:
    explicit SnapshotKey(std::vector<RegistryValue> Values) : Values_(std::move(Values)) {}
    LONG Values(std::vector<RegistryValue>& Out) const override {
        Out = Values_;
        return ERROR_SUCCESS;
    }

private:
    const std::vector<RegistryValue> Values_;
};

std::mutex& MapLock() {
    static std::mutex lock;
    return lock;
}

// Outer: whether a test installed a map; inner: whether the key exists.
std::optional<std::optional<std::vector<RegistryValue>>>& TestMap() {
    static std::optional<std::optional<std::vector<RegistryValue>>> map;
    return map;
}

bool IsPredefined(HKEY Key) {
    return Key == HKEY_CLASSES_ROOT || Key == HKEY_CURRENT_USER || Key == HKEY_LOCAL_MACHINE ||
           Key == HKEY_USERS;
}

// The registry reports errors by its results only; looking a key up must leave the last error
// as the caller had it.
std::shared_ptr<RegistryKey> FindKey(HKEY Key) {
    const DWORD saved = GetLastError();
    auto key = std::dynamic_pointer_cast<RegistryKey>(FindHandle(reinterpret_cast<HANDLE>(Key)));
    SetLastError(saved);
    return key;
}

// The values of a key handle; a predefined key is an empty key here. ERROR_INVALID_HANDLE when
// Key is no key, or the store's own error.
LONG KeyValues(HKEY Key, std::vector<RegistryValue>& Out) {
    Out.clear();
    if (IsPredefined(Key))
        return ERROR_SUCCESS;
    if (auto key = FindKey(Key))
        return key->Values(Out);
    return ERROR_INVALID_HANDLE;
}

std::string ReadFirstLine(const std::string& Path) {
    std::ifstream in(Path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool Exists(const std::string& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0;
}

std::vector<std::string> SysfsPorts(const std::string& Sys) {
    const std::string classDir = Sys + "/class/tty";
    std::vector<std::string> names;
    DIR* dir = ::opendir(classDir.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || !Exists(classDir + "/" + name + "/device"))
            continue;
        // Serial drivers give each port a UART type; 0 means no UART answered at that address.
        const std::string type = ReadFirstLine(classDir + "/" + name + "/type");
        if (!type.empty() && type.find_first_not_of('0') == std::string::npos)
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Upper(std::string Text) {
    for (char& c : Text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return Text;
}

} // namespace

std::vector<RegistryValue> BuildSerialCommMap() {
    const DWORD savedError = GetLastError();
    const DeviceRoots roots = CurrentDeviceRoots();
    const auto consoles = ConsoleNames();

    std::vector<RegistryValue> ports;
    std::set<dev_t> aliased;
    std::vector<RegistryValue> aliases;
    std::set<std::string> aliasNames;
    for (const auto& name : AliasNames()) {
        if (PrinterNumber(name) != 0)
            continue; // the parallel path's, not a serial port
        auto path = CheckCommDevice({*FindAlias(name), true});
        if (!path)
            continue;
        struct stat st {};
        if (::stat(path->c_str(), &st) == 0)
            aliased.insert(st.st_rdev);
        aliasNames.insert(name);
        const std::string data = CommNumber(name) != 0 ? Upper(name) : name;
        aliases.push_back(TextValue("\\Device\\Alias\\" + name, data));
    }

    for (const auto& name : SysfsPorts(roots.Sys)) {
        if (std::find(consoles.begin(), consoles.end(), name) != consoles.end())
            continue;
        struct stat st {};
        if (::stat((roots.Dev + "/" + name).c_str(), &st) == 0 && aliased.count(st.st_rdev))
            continue; // listed under the alias its user gave it
        std::string data = name;
        if (name.starts_with("ttyS") && name.size() > 4 &&
            name.find_first_not_of("0123456789", 4) == std::string::npos) {
            const std::string com = "com" + std::to_string(std::stoul(name.substr(4)) + 1);
            // "COMn" would open the alias of that name instead.
            if (!FindAlias(com))
                data = Upper(com);
        }
        ports.push_back(TextValue("\\Device\\" + name, data));
    }
    ports.insert(ports.end(), aliases.begin(), aliases.end());
    SetLastError(savedError);
    return ports;
}

void InstallSerialCommMapForTest(std::optional<std::vector<RegistryValue>> Map) {
    std::lock_guard lock(MapLock());
    TestMap() = std::move(Map);
}

void RestoreSerialCommMap() {
    std::lock_guard lock(MapLock());
    TestMap().reset();
}

} // namespace platform

using platform::RegistryValue;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    const std::string subKey = lpSubKey ? lpSubKey : "";
    if (platform::IsUserKey(hKey) && !(hKey == HKEY_CURRENT_USER && subKey.empty()))
        return platform::OpenUserKey(hKey, lpSubKey, phkResult);
    if (!platform::IsPredefined(hKey)) {
        if (!platform::FindKey(hKey))
            return ERROR_INVALID_HANDLE;
        if (subKey.empty())
            return ERROR_NOT_SUPPORTED; // a second handle to an open key is not needed here
        return ERROR_FILE_NOT_FOUND;
    }
    if (subKey.empty()) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    if (hKey != HKEY_LOCAL_MACHINE || !platform::SameText(subKey, platform::SerialCommKeyPath))
        return ERROR_FILE_NOT_FOUND;

    std::optional<std::vector<RegistryValue>> map;
    bool installed = false;
    {
        std::lock_guard lock(platform::MapLock());
        if ((installed = platform::TestMap().has_value()))
            map = *platform::TestMap();
    }
    if (!installed)
        map = platform::BuildSerialCommMap();
    if (!map)
        return ERROR_FILE_NOT_FOUND;
    // The map describes the machine; nobody writes to it.
    constexpr REGSAM readable = KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY;
    if (samDesired & ~readable)
        return ERROR_ACCESS_DENIED;
    const DWORD savedError = GetLastError();
    *phkResult = reinterpret_cast<HKEY>(
        platform::InsertHandle(std::make_shared<platform::SnapshotKey>(std::move(*map))));
    SetLastError(savedError);
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    std::vector<RegistryValue> values;
    if (const LONG result = platform::KeyValues(hKey, values); result != ERROR_SUCCESS)
        return result;
    // Keys here have no class: an empty text, its length without the NUL.
    if (lpClass && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    DWORD maxName = 0;
    DWORD maxData = 0;
    for (const auto& v : values) {
        maxName = std::max(maxName, static_cast<DWORD>(v.Name.size()));
        maxData = std::max(maxData, static_cast<DWORD>(v.Data.size()));
    }
    if (lpcSubKeys)
        *lpcSubKeys = 0;
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = 0;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(values.size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = maxName; // characters, without the NUL
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = maxData; // bytes, a text's NUL included
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    std::vector<RegistryValue> values;
    if (const LONG result = platform::KeyValues(hKey, values); result != ERROR_SUCCESS)
        return result;
    if (dwIndex >= values.size())
        return ERROR_NO_MORE_ITEMS;
    const RegistryValue& v = values[dwIndex];
    const auto size = static_cast<DWORD>(v.Data.size());
    // As Windows: when either buffer is short, neither is written and the name's length stays
    // as given, while the type and the data size needed are reported.
    const bool nameFits = v.Name.size() < *lpcchValueName;
    const bool dataFits = !lpData || size <= *lpcbData;
    if (lpType)
        *lpType = v.Type;
    if (lpcbData)
        *lpcbData = size;
    if (!nameFits || !dataFits)
        return ERROR_MORE_DATA;
    std::memcpy(lpValueName, v.Name.c_str(), v.Name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(v.Name.size());
    if (lpData && size)
        std::memcpy(lpData, v.Data.data(), size);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    std::vector<RegistryValue> values;
    if (const LONG result = platform::KeyValues(hKey, values); result != ERROR_SUCCESS)
        return result;
    const std::string name = lpValueName ? lpValueName : "";
    auto it = std::find_if(values.begin(), values.end(), [&](const RegistryValue& v) {
        return platform::SameText(v.Name, name);
    });
    if (it == values.end())
        return ERROR_FILE_NOT_FOUND;
    const auto size = static_cast<DWORD>(it->Data.size());
    if (lpType)
        *lpType = it->Type;
    if (lpData && size > *lpcbData) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData && size)
        std::memcpy(lpData, it->Data.data(), size);
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (platform::IsPredefined(hKey))
        return ERROR_SUCCESS;
    if (!platform::FindKey(hKey))
        return ERROR_INVALID_HANDLE;
    auto key = platform::RemoveHandle(reinterpret_cast<HANDLE>(hKey));
    if (!key)
        return ERROR_INVALID_HANDLE; // closed by another thread in between
    key->Close();
    return ERROR_SUCCESS;
}
