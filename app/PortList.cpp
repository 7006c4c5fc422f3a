// The port list, filled once at start from the operating system's serial-port map.
#include "app/MainWindow.h"

#include "platform/Win32.h"

#include <QComboBox>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

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
    HKEY Get() const { return FKey; }

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
        throw ERegistryError("cannot read the value '" + Name + "'");
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryError("invalid data type for '" + Name + "'");
    data.resize(std::min<std::size_t>(size, data.size()));
    if (const auto nul = data.find('\0'); nul != std::string::npos)
        data.resize(nul);
    return data;
}

// Adds Text at its place in ascending order ignoring letter case, after equal items, and keeps
// the list unselected while it is being filled.
void AddSorted(QComboBox* List, const std::string& Text) {
    const QString item = QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
    int at = 0;
    while (at < List->count() &&
           QString::compare(List->itemText(at), item, Qt::CaseInsensitive) <= 0)
        ++at;
    List->insertItem(at, item);
    List->setCurrentIndex(-1);
}

} // namespace

void TfrmMain::FillPortList() {
    try {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            return;
        const TOpenKey open(key);
        const std::vector<std::string> names = ValueNames(key);
        CbPRNCOM->clear();
        for (const std::string& name : names)
            AddSorted(CbPRNCOM, ValueText(key, name));
        CbPRNCOM->setCurrentIndex(CbPRNCOM->count() > 0 ? 0 : -1);
    } catch (...) {
        // Start-up goes on with what was listed; an unreadable entry leaves nothing selected.
    }
}
