// Internal to the Linux backend: keys under HKEY_CURRENT_USER, kept in one text file in the
// registry export format under the user's configuration folder. Every change rewrites the file
// through a temporary file and a rename, so a crash never leaves half a file; a file that does
// not parse is never overwritten.
#pragma once

#include "platform/linux/registry/RegistryKey.h"

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

struct RegFileKey {
    std::string Path; // below HKEY_CURRENT_USER, "" for the root itself
    std::vector<RegistryValue> Values;
};

// The file's text to keys, or a message naming FileName and the line that is wrong.
std::variant<std::vector<RegFileKey>, std::string> ParseRegFile(const std::string& Text,
                                                                const std::string& FileName);
std::string FormatRegFile(const std::vector<RegFileKey>& Keys);

// $XDG_CONFIG_HOME/tillmark/registry.reg, else ~/.config/tillmark/registry.reg.
std::string UserStorePath();

// HKEY_CURRENT_USER or a key opened below it.
bool IsUserKey(HKEY Key);
// RegOpenKeyExA below such a key: ERROR_FILE_NOT_FOUND when the key is not in the store,
// ERROR_BADDB when the file does not parse (RegUserStoreProblem says where).
LONG OpenUserKey(HKEY Base, const char* SubKey, PHKEY Result);

// Replaces rename(2) for the final step of a save, so tests can make it fail.
void SetUserStoreRenameForTest(std::function<int(const char* From, const char* To)> Rename);

} // namespace platform
