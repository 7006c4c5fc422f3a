#include "platform/linux/files/DeviceNames.h"

#include "platform/Win32.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

std::mutex& RootsLock() {
    static std::mutex lock;
    return lock;
}

DeviceRoots& Roots() {
    static DeviceRoots roots;
    return roots;
}

// The console's device numbers, read from sysfs once for the roots in use: every open asks.
struct ConsoleDevices {
    DeviceRoots Roots;
    std::vector<dev_t> Devices;
    bool VirtualTerminals = false; // "tty0": whichever one is in front, so any of them
    bool Read = false;
};

std::mutex& ConsoleLock() {
    static std::mutex lock;
    return lock;
}

ConsoleDevices& CachedConsole() {
    static ConsoleDevices cached;
    return cached;
}

unsigned NumberAfterPrefix(const std::string& Name, const char* Prefix) {
    const std::string lower = LowerName(Name);
    const std::size_t n = std::char_traits<char>::length(Prefix);
    if (lower.size() <= n || lower.compare(0, n, Prefix) != 0 || lower[n] == '0')
        return 0;
    unsigned value = 0;
    for (std::size_t i = n; i < lower.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(lower[i])) || value > 9999)
            return 0;
        value = value * 10 + static_cast<unsigned>(lower[i] - '0');
    }
    return value;
}

// The path the kernel gives for what the O_PATH descriptor Fd reached, in one call where
// realpath() asks about every component; Path, what Fd was opened from, is the fallback.
std::optional<std::string> RealPathOf(int Fd, const std::string& Path) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(Fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && buffer[0] == '/')
        return std::string(buffer, static_cast<std::size_t>(n));
    // No /proc (or an odd answer from it): the library's way.
    if (!::realpath(Path.c_str(), buffer))
        return std::nullopt;
    return std::string(buffer);
}

// An O_PATH descriptor on what Path leads to, closed with the last copy; null with errno set.
// O_PATH opens no device, so it is safe on any node.
std::shared_ptr<const int> OpenNode(const std::string& Path) {
    const int fd = ::open(Path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::shared_ptr<const int>(new int(fd), [](const int* Fd) {
        ::close(*Fd);
        delete Fd;
    });
}

std::optional<std::string> RealPath(const std::string& Path) {
    const auto node = OpenNode(Path);
    if (!node)
        return std::nullopt;
    return RealPathOf(*node, Path);
}

bool IsUnder(const std::string& Path, const std::string& Root) {
    if (Root == "/")
        return true;
    return Path.size() > Root.size() && Path.compare(0, Root.size(), Root) == 0 &&
           Path[Root.size()] == '/';
}

std::string ReadFirstLine(const std::string& Path) {
    std::ifstream in(Path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool Fail(DWORD Error) {
    SetLastError(Error);
    return false;
}

// The sysfs class of a character device ("tty", "mem", "misc" ...), or empty when sysfs does
// not list it. The subsystem link ends in the class's name; one readlink reads it.
std::string CharDeviceClass(dev_t Device, const std::string& Sys) {
    const std::string link = Sys + "/dev/char/" + std::to_string(major(Device)) + ":" +
                             std::to_string(minor(Device)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string path(target, static_cast<std::size_t>(n));
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

bool IsPseudoTerminal(dev_t Device) {
    return major(Device) >= 136 && major(Device) <= 143;
}

std::string LowerName(std::string Name) {
    for (char& c : Name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Name;
}

DeviceRoots CurrentDeviceRoots() {
    std::lock_guard lock(RootsLock());
    return Roots();
}

void SetDeviceRootsForTest(DeviceRoots NewRoots) {
    {
        std::lock_guard lock(RootsLock());
        Roots() = std::move(NewRoots);
    }
    // A test may have written a new console list under the same roots.
    std::lock_guard lock(ConsoleLock());
    CachedConsole().Read = false;
}

std::string AliasFolder() {
    // XDG asks to ignore relative paths in these variables.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/tillmark/devices";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/tillmark/devices";
    return {};
}

namespace {
// Where the folder's entry for Name would be; none when no entry can stand for Name.
std::optional<std::string> AliasPath(const std::string& Name) {
    const std::string folder = AliasFolder();
    if (folder.empty() || Name.empty() || Name.find('/') != std::string::npos || Name == "." ||
        Name == "..")
        return std::nullopt;
    return folder + "/" + LowerName(Name);
}
} // namespace

std::optional<std::string> FindAlias(const std::string& Name) {
    auto path = AliasPath(Name);
    struct stat st {};
    if (!path || ::lstat(path->c_str(), &st) != 0)
        return std::nullopt;
    return path;
}

std::vector<std::string> AliasNames() {
    std::vector<std::string> names;
    const std::string folder = AliasFolder();
    if (folder.empty())
        return names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name != LowerName(name))
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

unsigned CommNumber(const std::string& Name) {
    return NumberAfterPrefix(Name, "com");
}

unsigned PrinterNumber(const std::string& Name) {
    return NumberAfterPrefix(Name, "lpt");
}

std::optional<DevicePath> ResolveCommName(const std::string& Name) {
    if (Name.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    // An alias that leads somewhere is opened at once, so checking it asks the descriptor;
    // only when that fails is the folder asked whether a dangling alias stands for the name.
    if (auto alias = AliasPath(Name))
        if (auto node = OpenNode(*alias))
            return DevicePath{*alias, true, std::move(node)};
    if (auto dangling = FindAlias(Name))
        return DevicePath{*dangling, true};

    const std::string dev = CurrentDeviceRoots().Dev;
    if (const unsigned n = CommNumber(Name))
        return DevicePath{dev + "/ttyS" + std::to_string(n - 1), false};

    std::stringstream parts(Name);
    for (std::string part; std::getline(parts, part, '/');) {
        if (part == "..") {
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
    }
    if (Name[0] == '/') {
        if (!IsUnder(Name, dev)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
        return DevicePath{Name, false};
    }
    return DevicePath{dev + "/" + Name, false};
}

namespace {
std::vector<std::string> ConsoleNamesUnder(const std::string& sys) {
    std::vector<std::string> names;
    std::istringstream active(ReadFirstLine(sys + "/class/tty/console/active"));
    for (std::string name; active >> name;) {
        names.push_back(name);
        if (name != "tty0")
            continue;
        // "tty0" means whichever virtual terminal is in front; that one is the console too.
        std::string front = ReadFirstLine(sys + "/class/tty/" + name + "/active");
        if (!front.empty() && front.find('/') == std::string::npos &&
            std::find(names.begin(), names.end(), front) == names.end())
            names.push_back(front);
    }
    return names;
}

ConsoleDevices ReadConsoleDevices(const DeviceRoots& Roots) {
    ConsoleDevices found{Roots, {}, false, true};
    for (const std::string& name : ConsoleNamesUnder(Roots.Sys)) {
        found.VirtualTerminals |= name == "tty0";
        struct stat st {};
        if (::stat((Roots.Dev + "/" + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            found.Devices.push_back(st.st_rdev);
    }
    return found;
}
} // namespace

std::vector<std::string> ConsoleNames() {
    return ConsoleNamesUnder(CurrentDeviceRoots().Sys);
}

bool IsConsoleDevice(dev_t Device) {
    // /dev/console and /dev/tty have fixed numbers (major 5) wherever the device nodes live.
    if (Device == makedev(5, 1) || Device == makedev(5, 0))
        return true;
    const DeviceRoots roots = CurrentDeviceRoots();
    std::lock_guard lock(ConsoleLock());
    ConsoleDevices& console = CachedConsole();
    if (!console.Read || console.Roots.Dev != roots.Dev || console.Roots.Sys != roots.Sys)
        console = ReadConsoleDevices(roots);
    // Virtual terminals are major 4, minors below 64 (the serial ports start there).
    if (console.VirtualTerminals && major(Device) == 4 && minor(Device) < 64)
        return true;
    return std::find(console.Devices.begin(), console.Devices.end(), Device) !=
           console.Devices.end();
}

std::optional<std::string> CheckCommDevice(const DevicePath& Device, CheckedNode* Checked) {
    const DeviceRoots roots = CurrentDeviceRoots();
    auto notFound = [](int Errno) {
        SetLastError(Errno == ENOENT || Errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                                                         : Win32ErrorFromErrno(Errno));
        return std::nullopt;
    };
    auto node = Device.Node ? Device.Node : OpenNode(Device.Path);
    if (!node)
        return notFound(errno);
    // Only the check below asks where the links lead.
    auto real = Checked && Device.ViaAlias ? Device.Path : RealPathOf(*node, Device.Path);
    if (!real)
        return notFound(errno);
    if (!Device.ViaAlias) {
        // Links under /dev may lead anywhere (/dev/stdin, /dev/fd/...); only an alias, which the
        // user made on purpose, may point outside it.
        const std::string devRoot = RealPath(roots.Dev).value_or(roots.Dev);
        if (!IsUnder(*real, devRoot)) {
            Fail(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
    }
    // The node the descriptor holds, not whatever the name leads to by now.
    struct stat st {};
    if (::fstat(*node, &st) != 0)
        return notFound(errno);
    if (S_ISDIR(st.st_mode)) {
        Fail(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    if (!S_ISCHR(st.st_mode)) {
        Fail(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    // Opening some character devices has effects of its own (a watchdog arms itself), so what
    // sysfs knows to be no terminal is not opened at all.
    // sysfs lists no pseudo-terminal, so there is nothing to look up for one.
    const std::string deviceClass =
        IsPseudoTerminal(st.st_rdev) ? "tty" : CharDeviceClass(st.st_rdev, roots.Sys);
    if (!deviceClass.empty() && deviceClass != "tty") {
        Fail(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    if (IsConsoleDevice(st.st_rdev)) {
        Fail(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    if (Checked)
        *Checked = {node, st.st_rdev};
    return real;
}

} // namespace platform
