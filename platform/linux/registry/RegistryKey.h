// Internal to the Linux backend: a registry key as a kernel object, and its values: all a store
// of keys needs. The user's file (UserRegistry.h) stands on this alone, so only the Reg* calls
// that choose between the stores (Registry.cpp) know both stores.
//
// A key is an object in the handle table that lists its values; the Reg* calls apply Windows'
// size and error conventions on top. A store of its own (settings under HKEY_CURRENT_USER, say)
// plugs in as another RegistryKey whose Values reads that store.
#pragma once

#include "platform/linux/Win32Registry.h"
#include "platform/linux/sync/Handles.h"

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

} // namespace platform
