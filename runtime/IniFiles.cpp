#include "runtime/IniFiles.h"

#include "runtime/SysUtils.h"

#define SI_NO_CONVERSION // keep every byte as it is: settings may hold any 8-bit character
#include <SimpleIni.h>

#include <cstdio>
#include <filesystem>

struct TIniFile::TData {
    TData() { Ini.SetSpaces(false); } // "key=value", as Windows writes INI files
    CSimpleIniA Ini{false, false, false};
};

TIniFile::TIniFile(std::string FileName)
    : FFileName(std::move(FileName)), FData(std::make_unique<TData>()) {
    if (!std::filesystem::exists(FFileName))
        return;
    if (FData->Ini.LoadFile(FFileName.c_str()) < 0)
        throw EIniFileException("Cannot read the INI file " + FFileName);
}

TIniFile::~TIniFile() = default;

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key,
                                 const std::string& Default) {
    const char* value = FData->Ini.GetValue(Section.c_str(), Key.c_str(), nullptr);
    return value ? value : Default;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
    if (FData->Ini.SetValue(Section.c_str(), Key.c_str(), Value.c_str()) < 0)
        throw EIniFileException("Cannot set " + Key + " in the INI file " + FFileName);
    Save();
}

std::int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Key,
                                   std::int32_t Default) {
    const char* value = FData->Ini.GetValue(Section.c_str(), Key.c_str(), nullptr);
    return value ? StrToIntDef(value, Default) : Default;
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Key,
                            std::int32_t Value) {
    WriteString(Section, Key, std::to_string(Value));
}

// A crash or a full disk mid-save leaves the previous file whole.
void TIniFile::Save() {
    const std::string temporary = FFileName + ".tmp";
    if (FData->Ini.SaveFile(temporary.c_str(), false) < 0) {
        std::remove(temporary.c_str());
        throw EIniFileException("Cannot write the INI file " + FFileName);
    }
    // Replaces an existing file on Windows too, where std::rename refuses to.
    std::error_code error;
    std::filesystem::rename(temporary, FFileName, error);
    if (error) {
        std::remove(temporary.c_str());
        throw EIniFileException("Cannot replace the INI file " + FFileName);
    }
}
