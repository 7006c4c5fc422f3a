// Settings kept in an open registry key, as the toolkit's registry class reads and writes them.
#pragma once

#include "platform/Export.h"
#include "platform/Win32.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TILLMARK_RUNTIME_API ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An open registry key holding values directly (no subkeys).
class TILLMARK_RUNTIME_API RegistryKeyStore {
public:
    virtual ~RegistryKeyStore() = default;
    // A text value (REG_SZ, its size counting the closing NUL); "Failed to set data for '%s'".
    virtual void WriteString(const std::string& Name, const std::string& Value) = 0;
    // A REG_DWORD value of 4 bytes; "Failed to set data for '%s'".
    virtual void WriteInteger(const std::string& Name, std::int32_t Value) = 0;
    // Empty text when the value is missing; "Invalid data type for '%s'" unless REG_SZ or
    // REG_EXPAND_SZ.
    virtual std::string ReadString(const std::string& Name) = 0;
    // "Failed to get data for '%s'" when missing, "Invalid data type for '%s'" unless REG_DWORD.
    virtual std::int32_t ReadInteger(const std::string& Name) = 0;
};

// A value's type (REG_SZ, REG_DWORD, ...) and the size of its data in bytes.
struct TRegDataInfo {
    DWORD RegData = REG_NONE;
    DWORD DataSize = 0;
};

// A key opened (or created) under a root key through the platform's registry calls.
class TILLMARK_RUNTIME_API TRegistryKey : public RegistryKeyStore {
public:
    // Raises ERegistryException naming the key, and on this platform the store's own problem
    // (a malformed file, say), when it cannot be opened.
    TRegistryKey(HKEY Root, const std::string& Path, bool CanCreate);

    // Opens an existing key asking for read access only: keys that describe the machine, such
    // as the serial-port map under HKEY_LOCAL_MACHINE, refuse anyone asking to write. Raises as
    // above; the write calls then fail as the platform refuses them.
    struct TReadOnlyAccess {};
    static constexpr TReadOnlyAccess ReadOnly{};
    TRegistryKey(HKEY Root, const std::string& Path, TReadOnlyAccess);

    ~TRegistryKey() override;
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    HKEY Handle() const { return FKey; }

    void WriteString(const std::string& Name, const std::string& Value) override;
    void WriteInteger(const std::string& Name, std::int32_t Value) override;
    std::string ReadString(const std::string& Name) override;
    std::int32_t ReadInteger(const std::string& Name) override;

    // The names of the key's values in the store's order, as they were when counted: a value
    // added or renamed since is not listed, one removed since is left out. "Failed to get info
    // for key '%s'" when the store cannot be read.
    std::vector<std::string> ValueNames() const;
    // The value's type and size; none when there is no such value. "Failed to get data for '%s'"
    // when the store cannot be read.
    std::optional<TRegDataInfo> DataInfo(const std::string& Name) const;

private:
    HKEY FKey = nullptr;
    std::string FPath;
};
