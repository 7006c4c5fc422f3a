#include "runtime/Registry.h"

#include <cstring>
#include <vector>

namespace {
[[noreturn]] void Fail(const char* What, const std::string& Name) {
    throw ERegistryException(std::string(What) + " '" + Name + "'");
}
} // namespace

TRegistryKey::TRegistryKey(HKEY Root, const std::string& Path, bool CanCreate) {
    const REGSAM access = KEY_READ | KEY_WRITE;
    const LONG result = CanCreate ? RegCreateKeyExA(Root, Path.c_str(), 0, nullptr, 0, access,
                                                    nullptr, &FKey, nullptr)
                                  : RegOpenKeyExA(Root, Path.c_str(), 0, access, &FKey);
    if (result == ERROR_SUCCESS)
        return;
    FKey = nullptr;
    std::string message = "Failed to open key '" + Path + "'";
#ifndef _WIN32
    // Our store is a file: say which one and what is wrong with it.
    const std::string problem = RegUserStoreProblem();
    if (!problem.empty())
        message += ": " + problem;
#endif
    throw ERegistryException(message);
}

TRegistryKey::~TRegistryKey() {
    if (FKey)
        RegCloseKey(FKey);
}

void TRegistryKey::WriteString(const std::string& Name, const std::string& Value) {
    if (RegSetValueExA(FKey, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                       static_cast<DWORD>(Value.size() + 1)) != ERROR_SUCCESS)
        Fail("Failed to set data for", Name);
}

void TRegistryKey::WriteInteger(const std::string& Name, std::int32_t Value) {
    DWORD data = static_cast<DWORD>(Value);
    if (RegSetValueExA(FKey, Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof data) != ERROR_SUCCESS)
        Fail("Failed to set data for", Name);
}

std::string TRegistryKey::ReadString(const std::string& Name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(FKey, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return ""; // a missing text value reads as empty text
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        Fail("Invalid data type for", Name);
    std::vector<BYTE> data(size + 1, 0);
    if (RegQueryValueExA(FKey, Name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        Fail("Failed to get data for", Name);
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
        Fail("Failed to get data for", Name);
    if (type != REG_DWORD || result == ERROR_MORE_DATA)
        Fail("Invalid data type for", Name);
    return static_cast<std::int32_t>(data);
}
