#include "platform/linux/registry/RegistryKey.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform {

bool SameText(const std::string& A, const std::string& B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

RegistryValue TextValue(std::string Name, const std::string& Text, DWORD Type) {
    RegistryValue value{std::move(Name), Type, std::vector<BYTE>(Text.begin(), Text.end())};
    value.Data.push_back(0);
    return value;
}

RegistryValue DwordValue(std::string Name, DWORD Value) {
    RegistryValue value{std::move(Name), REG_DWORD, std::vector<BYTE>(sizeof Value)};
    std::memcpy(value.Data.data(), &Value, sizeof Value);
    return value;
}

} // namespace platform
