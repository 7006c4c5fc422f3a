#include "platform/linux/registry/UserRegistry.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

namespace platform {

namespace {

constexpr char Header[] = "Windows Registry Editor Version 5.00";
constexpr char RootName[] = "HKEY_CURRENT_USER";

std::mutex storeLock; // one writer at a time within the process
std::function<int(const char*, const char*)> renameFile = [](const char* f, const char* t) {
    return std::rename(f, t);
};
thread_local std::string lastProblem;

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A key path as written in brackets: "HKEY_CURRENT_USER" or "HKEY_CURRENT_USER\..." only.
std::optional<std::string> KeyPathOf(const std::string& Bracketed) {
    const std::string root = RootName;
    if (SameText(Bracketed, root))
        return std::string();
    if (Bracketed.size() > root.size() + 1 && SameText(Bracketed.substr(0, root.size()), root) &&
        Bracketed[root.size()] == '\\')
        return Bracketed.substr(root.size() + 1);
    return std::nullopt;
}

// A quoted text at Pos with \\ and \" escapes; Pos moves past the closing quote.
std::optional<std::string> Quoted(const std::string& Line, std::size_t& Pos) {
    if (Pos >= Line.size() || Line[Pos] != '"')
        return std::nullopt;
    std::string out;
    for (++Pos; Pos < Line.size(); ++Pos) {
        const char c = Line[Pos];
        if (c == '"') {
            ++Pos;
            return out;
        }
        if (c == '\\') {
            if (++Pos >= Line.size())
                return std::nullopt;
            out += Line[Pos];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

std::optional<std::vector<BYTE>> HexBytes(const std::string& List) {
    std::vector<BYTE> out;
    std::stringstream in(List);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = Trim(item);
        if (item.empty() && in.eof())
            break;
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1])))
            return std::nullopt;
        out.push_back(static_cast<BYTE>(std::stoul(item, nullptr, 16)));
    }
    return out;
}

std::optional<RegistryValue> ParseValue(const std::string& Line, std::string& Why) {
    RegistryValue v;
    std::size_t pos = 0;
    if (Line[0] == '@') {
        pos = 1;
    } else if (auto name = Quoted(Line, pos)) {
        v.Name = *name;
    } else {
        Why = "expected \"name\"=value";
        return std::nullopt;
    }
    if (pos >= Line.size() || Line[pos] != '=') {
        Why = "expected = after the value name";
        return std::nullopt;
    }
    const std::string data = Line.substr(pos + 1);
    if (!data.empty() && data[0] == '"') {
        std::size_t p = 0;
        auto text = Quoted(data, p);
        if (!text || p != data.size()) {
            Why = "unterminated text";
            return std::nullopt;
        }
        return TextValue(v.Name, *text);
    }
    if (data.rfind("dword:", 0) == 0) {
        const std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            Why = "a dword needs 1 to 8 hexadecimal digits";
            return std::nullopt;
        }
        return DwordValue(v.Name, static_cast<DWORD>(std::stoul(digits, nullptr, 16)));
    }
    std::size_t colon = data.find(':');
    DWORD type = REG_BINARY;
    if (data.rfind("hex(", 0) == 0) {
        const std::size_t close = data.find("):");
        const std::string number = close == std::string::npos ? "" : data.substr(4, close - 4);
        if (number.empty() || number.size() > 8 ||
            !std::all_of(number.begin(), number.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            Why = "expected hex(<type>):";
            return std::nullopt;
        }
        type = static_cast<DWORD>(std::stoul(number, nullptr, 16));
        colon = close + 1;
    } else if (data.rfind("hex:", 0) != 0) {
        Why = "unknown value type";
        return std::nullopt;
    }
    auto bytes = HexBytes(data.substr(colon + 1));
    if (!bytes) {
        Why = "bad hexadecimal byte list";
        return std::nullopt;
    }
    v.Type = type;
    v.Data = std::move(*bytes);
    return v;
}

std::string Escape(const std::string& Text) {
    std::string out;
    for (char c : Text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string FormatValue(const RegistryValue& v) {
    // Appended piece by piece: GCC 12 at -O3 misreads `"..." + std::string&&` as an overlapping
    // copy and fails the build under -Werror.
    std::string line;
    if (v.Name.empty()) {
        line = "@=";
    } else {
        line += '"';
        line += Escape(v.Name);
        line += "\"=";
    }
    const bool plainText = v.Type == REG_SZ && !v.Data.empty() && v.Data.back() == 0 &&
                           std::find(v.Data.begin(), v.Data.end() - 1, 0) == v.Data.end() - 1 &&
                           std::find(v.Data.begin(), v.Data.end(), '\n') == v.Data.end();
    if (plainText)
        return line + "\"" +
               Escape(
                   std::string(reinterpret_cast<const char*>(v.Data.data()), v.Data.size() - 1)) +
               "\"";
    if (v.Type == REG_DWORD && v.Data.size() == 4) {
        DWORD d = 0;
        std::memcpy(&d, v.Data.data(), 4);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", d);
        return line + buffer;
    }
    char prefix[24];
    if (v.Type == REG_BINARY)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", v.Type);
    line += prefix;
    for (std::size_t i = 0; i < v.Data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", v.Data[i]);
        if (i)
            line += ',';
        line += byte;
    }
    return line;
}

// The whole store as it is on disk now; false with the last problem set when it does not parse.
bool Load(std::vector<RegFileKey>& Keys) {
    const std::string path = UserStorePath();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Keys.clear();
        return true; // nothing stored yet
    }
    std::stringstream text;
    text << in.rdbuf();
    auto parsed = ParseRegFile(text.str(), path);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        lastProblem = *problem;
        return false;
    }
    Keys = std::move(std::get<std::vector<RegFileKey>>(parsed));
    return true;
}

bool Save(const std::vector<RegFileKey>& Keys) {
    const std::string path = UserStorePath();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::string temporary = path + ".tmp";
    const std::string text = FormatRegFile(Keys);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0 &&
                   ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                   ::fsync(fd) == 0;
    if (fd >= 0)
        written = ::close(fd) == 0 && written;
    if (!written || renameFile(temporary.c_str(), path.c_str()) != 0) {
        lastProblem = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

RegFileKey* FindKeyIn(std::vector<RegFileKey>& Keys, const std::string& Path) {
    auto it = std::find_if(Keys.begin(), Keys.end(),
                           [&](const RegFileKey& k) { return SameText(k.Path, Path); });
    return it == Keys.end() ? nullptr : &*it;
}

// An open key of the store: a path; its values are read from the file when asked.
class UserKey : public RegistryKey {
public:
    explicit UserKey(std::string APath) : Path(std::move(APath)) {}
    LONG Values(std::vector<RegistryValue>& Out) const override {
        std::lock_guard g(storeLock);
        std::vector<RegFileKey> keys;
        // A file that no longer parses is an error, not a key without values: read as empty,
        // every setting would silently fall back to its default.
        if (!Load(keys))
            return ERROR_BADDB;
        const RegFileKey* key = FindKeyIn(keys, Path);
        Out = key ? key->Values : std::vector<RegistryValue>{};
        return ERROR_SUCCESS;
    }
    const std::string Path;
};

std::string NormalisedPath(const char* SubKey) {
    std::string path = SubKey ? SubKey : "";
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

HKEY NewHandle(const std::string& Path) {
    const DWORD saved = GetLastError();
    HKEY key = reinterpret_cast<HKEY>(InsertHandle(std::make_shared<UserKey>(Path)));
    SetLastError(saved);
    return key;
}

// The store path of a key handle (HKEY_CURRENT_USER itself or one of ours), or none.
std::optional<std::string> StorePathOf(HKEY Key) {
    if (Key == HKEY_CURRENT_USER)
        return std::string();
    const DWORD saved = GetLastError();
    auto key = std::dynamic_pointer_cast<UserKey>(FindHandle(reinterpret_cast<HANDLE>(Key)));
    SetLastError(saved);
    if (!key)
        return std::nullopt;
    return key->Path;
}

// Read, change, write back: other programs' changes made since the key was opened survive.
LONG Change(HKEY Key, const std::function<LONG(RegFileKey&)>& Edit) {
    auto path = StorePathOf(Key);
    if (!path)
        return ERROR_INVALID_HANDLE;
    std::lock_guard g(storeLock);
    std::vector<RegFileKey> keys;
    if (!Load(keys))
        return ERROR_BADDB;
    RegFileKey* key = FindKeyIn(keys, *path);
    if (!key) {
        keys.push_back({*path, {}});
        key = &keys.back();
    }
    if (const LONG result = Edit(*key); result != ERROR_SUCCESS)
        return result;
    return Save(keys) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

} // namespace

std::variant<std::vector<RegFileKey>, std::string> ParseRegFile(const std::string& Text,
                                                                const std::string& FileName) {
    std::vector<RegFileKey> keys;
    std::stringstream in(Text);
    std::string raw;
    int number = 0;
    bool sawHeader = false;
    std::string current; // the path of the last [key] line
    auto problem = [&](int Line, const std::string& What) {
        return FileName + ":" + std::to_string(Line) + ": " + What;
    };
    while (std::getline(in, raw)) {
        const int lineNumber = ++number;
        std::string line = Trim(raw);
        // A value may run on over several lines, each but the last ending in a backslash.
        while (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos &&
               line[0] != '[') {
            std::string more;
            if (!std::getline(in, more))
                return problem(lineNumber, "the value continues past the end of the file");
            ++number;
            line.pop_back();
            line += Trim(more);
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (!sawHeader) {
            if (line != Header && line != std::string("\xEF\xBB\xBF") + Header)
                return problem(lineNumber, std::string("expected \"") + Header + "\"");
            sawHeader = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']')
                return problem(lineNumber, "a key line must end with ]");
            auto path = KeyPathOf(line.substr(1, line.size() - 2));
            if (!path)
                return problem(lineNumber, "only keys under HKEY_CURRENT_USER are kept here");
            if (!FindKeyIn(keys, *path))
                keys.push_back({*path, {}});
            current = *path;
            continue;
        }
        if (keys.empty())
            return problem(lineNumber, "a value before any [key] line");
        std::string why;
        auto value = ParseValue(line, why);
        if (!value)
            return problem(lineNumber, why);
        RegFileKey& key = *FindKeyIn(keys, current);
        auto same = std::find_if(key.Values.begin(), key.Values.end(), [&](const RegistryValue& v) {
            return SameText(v.Name, value->Name);
        });
        if (same != key.Values.end())
            *same = std::move(*value);
        else
            key.Values.push_back(std::move(*value));
    }
    if (!sawHeader && !keys.empty())
        return problem(1, std::string("expected \"") + Header + "\"");
    return keys;
}

std::string FormatRegFile(const std::vector<RegFileKey>& Keys) {
    std::string out = std::string(Header) + "\n";
    for (const auto& key : Keys) {
        out += "\n[" + std::string(RootName) + (key.Path.empty() ? "" : "\\" + key.Path) + "]\n";
        for (const auto& value : key.Values)
            out += FormatValue(value) + "\n";
    }
    return out;
}

std::string UserStorePath() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return std::string(config) + "/tillmark/registry.reg";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.config/tillmark/registry.reg";
    return "/tmp/tillmark-registry.reg";
}

void SetUserStoreRenameForTest(std::function<int(const char*, const char*)> Rename) {
    std::lock_guard g(storeLock);
    renameFile =
        Rename ? std::move(Rename) : [](const char* f, const char* t) { return std::rename(f, t); };
}

bool IsUserKey(HKEY Key) {
    return StorePathOf(Key).has_value();
}

LONG OpenUserKey(HKEY Base, const char* SubKey, PHKEY Result) {
    auto base = StorePathOf(Base);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::string path = NormalisedPath(SubKey);
    if (!base->empty())
        path = path.empty() ? *base : *base + "\\" + path;
    std::lock_guard g(storeLock);
    std::vector<RegFileKey> keys;
    if (!Load(keys))
        return ERROR_BADDB;
    if (!FindKeyIn(keys, path))
        return ERROR_FILE_NOT_FOUND;
    *Result = NewHandle(path);
    return ERROR_SUCCESS;
}

} // namespace platform

using platform::RegFileKey;

std::string RegUserStoreProblem() {
    return platform::lastProblem;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD, REGSAM,
                     const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || Reserved)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    auto base = platform::StorePathOf(hKey);
    if (!base)
        return hKey == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    std::string path = platform::NormalisedPath(lpSubKey);
    if (!base->empty())
        path = path.empty() ? *base : *base + "\\" + path;
    std::lock_guard g(platform::storeLock);
    std::vector<RegFileKey> keys;
    if (!platform::Load(keys))
        return ERROR_BADDB;
    const bool exists = platform::FindKeyIn(keys, path) != nullptr;
    if (!exists) {
        keys.push_back({path, {}});
        if (!platform::Save(keys))
            return ERROR_WRITE_FAULT;
    }
    if (lpdwDisposition)
        *lpdwDisposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *phkResult = platform::NewHandle(path);
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (Reserved || (!lpData && cbData))
        return ERROR_INVALID_PARAMETER;
    platform::RegistryValue value;
    value.Name = lpValueName ? lpValueName : "";
    value.Type = dwType;
    value.Data.assign(lpData, lpData + cbData);
    return platform::Change(hKey, [&](RegFileKey& key) {
        auto same = std::find_if(key.Values.begin(), key.Values.end(), [&](const auto& v) {
            return platform::SameText(v.Name, value.Name);
        });
        if (same != key.Values.end())
            *same = value;
        else
            key.Values.push_back(value);
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    const std::string name = lpValueName ? lpValueName : "";
    return platform::Change(hKey, [&](RegFileKey& key) {
        auto same = std::find_if(key.Values.begin(), key.Values.end(),
                                 [&](const auto& v) { return platform::SameText(v.Name, name); });
        if (same == key.Values.end())
            return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        key.Values.erase(same);
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}
