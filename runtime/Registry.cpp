#include "runtime/Registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
// Our store is a file on this platform: after a failed call, which one and what is wrong with
// it (the line that does not parse, say), or nothing.
std::string StoreProblem(LONG Result) {
#ifndef _WIN32
    if (Result == static_cast<LONG>(ERROR_BADDB) || Result == static_cast<LONG>(ERROR_WRITE_FAULT))
        return RegUserStoreProblem();
#endif
    (void)Result;
    return "";
}

[[noreturn]] void Fail(const char* What, const std::string& Name, LONG Result = ERROR_SUCCESS) {
    std::string message = std::string(What) + " '" + Name + "'";
    if (const std::string problem = StoreProblem(Result); !problem.empty())
        message += ": " + problem;
    throw ERegistryException(message);
}
} // namespace

TRegistryKey::TRegistryKey(HKEY Root, const std::string& Path, bool CanCreate) : FPath(Path) {
    const REGSAM access = KEY_READ | KEY_WRITE;
    const LONG result = CanCreate ? RegCreateKeyExA(Root, Path.c_str(), 0, nullptr, 0, access,
                                                    nullptr, &FKey, nullptr)
                                  : RegOpenKeyExA(Root, Path.c_str(), 0, access, &FKey);
    if (result == ERROR_SUCCESS)
        return;
    FKey = nullptr;
    Fail("Failed to open key", Path, result);
}

TRegistryKey::TRegistryKey(HKEY Root, const std::string& Path, TReadOnlyAccess) : FPath(Path) {
    const LONG result = RegOpenKeyExA(Root, Path.c_str(), 0, KEY_READ, &FKey);
    if (result == ERROR_SUCCESS)
        return;
    FKey = nullptr;
    Fail("Failed to open key", Path, result);
}

TRegistryKey::~TRegistryKey() {
    if (FKey)
        RegCloseKey(FKey);
}

void TRegistryKey::WriteString(const std::string& Name, const std::string& Value) {
    const LONG result =
        RegSetValueExA(FKey, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                       static_cast<DWORD>(Value.size() + 1));
    if (result != ERROR_SUCCESS)
        Fail("Failed to set data for", Name, result);
}

void TRegistryKey::WriteInteger(const std::string& Name, std::int32_t Value) {
    DWORD data = static_cast<DWORD>(Value);
    const LONG result = RegSetValueExA(FKey, Name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS)
        Fail("Failed to set data for", Name, result);
}

std::string TRegistryKey::ReadString(const std::string& Name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = RegQueryValueExA(FKey, Name.c_str(), nullptr, &type, nullptr, &size);
    // Only a missing text value reads as empty text; a store that cannot be read is an error.
    if (result == ERROR_FILE_NOT_FOUND)
        return "";
    if (result != ERROR_SUCCESS)
        Fail("Failed to get data for", Name, result);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        Fail("Invalid data type for", Name);
    std::vector<BYTE> data(size + 1, 0);
    result = RegQueryValueExA(FKey, Name.c_str(), nullptr, &type, data.data(), &size);
    if (result != ERROR_SUCCESS)
        Fail("Failed to get data for", Name, result);
    const auto* text = reinterpret_cast<const char*>(data.data());
    return std::string(text, strnlen(text, size));
}

std::int32_t TRegistryKey::ReadInteger(const std::string& Name) {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG result =
        RegQueryValueExA(FKey, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        Fail("Failed to get data for", Name, result);
    if (type != REG_DWORD || result == ERROR_MORE_DATA)
        Fail("Invalid data type for", Name);
    return static_cast<std::int32_t>(data);
}

std::vector<std::string> TRegistryKey::ValueNames() const {
    DWORD count = 0;
    DWORD longest = 0;
    LONG result = RegQueryInfoKeyA(FKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &count, &longest, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS)
        Fail("Failed to get info for key", FPath, result);
    std::vector<std::string> names;
    names.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::string name(longest + 1, '\0');
        DWORD length = longest + 1;
        result = RegEnumValueA(FKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break; // values removed since the count
        if (result == ERROR_MORE_DATA)
            continue; // a name longer than any counted: renamed since
        if (result != ERROR_SUCCESS)
            Fail("Failed to get info for key", FPath, result);
        name.resize(std::min<std::size_t>(length, longest));
        names.push_back(std::move(name));
    }
    return names;
}

std::optional<TRegDataInfo> TRegistryKey::DataInfo(const std::string& Name) const {
    TRegDataInfo info;
    const LONG result =
        RegQueryValueExA(FKey, Name.c_str(), nullptr, &info.RegData, nullptr, &info.DataSize);
    if (result == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (result != ERROR_SUCCESS)
        Fail("Failed to get data for", Name, result);
    return info;
}
