// Settings kept in a section of an INI file.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// A sectioned key-value store; a missing key reads as the default given.
class TILLMARK_RUNTIME_API IniStore {
public:
    virtual ~IniStore() = default;
    virtual std::string ReadString(const std::string& Section, const std::string& Key,
                                   const std::string& Default) = 0;
    virtual void WriteString(const std::string& Section, const std::string& Key,
                             const std::string& Value) = 0;
    // Text that the general integer parser rejects reads as the default too.
    virtual std::int32_t ReadInteger(const std::string& Section, const std::string& Key,
                                     std::int32_t Default) = 0;
    virtual void WriteInteger(const std::string& Section, const std::string& Key,
                              std::int32_t Value) = 0;
};

class TILLMARK_RUNTIME_API EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An INI file on disk. Each write goes to the file at once, through a temporary file and a
// rename, keeping comments, other sections and unknown keys; a missing file reads as empty.
class TILLMARK_RUNTIME_API TIniFile : public IniStore {
public:
    explicit TIniFile(std::string FileName);
    ~TIniFile() override;
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Key,
                           const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Key,
                     const std::string& Value) override;
    std::int32_t ReadInteger(const std::string& Section, const std::string& Key,
                             std::int32_t Default) override;
    void WriteInteger(const std::string& Section, const std::string& Key,
                      std::int32_t Value) override;

private:
    void Save();

    std::string FFileName;
    struct TData;
    std::unique_ptr<TData> FData;
};
