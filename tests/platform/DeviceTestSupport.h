// Scratch trees, alias folders and pseudo-terminals for the device-name and printer tests. Every
// test runs against its own temporary folders; nothing touches the machine's real ports.
#pragma once

#include "platform/linux/files/DeviceNames.h"
#include "tests/support/RawPty.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace testsupport {

namespace fs = std::filesystem;

inline void WriteText(const std::string& Path, const std::string& Text) {
    fs::create_directories(fs::path(Path).parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
}

inline std::string ReadText(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void Link(const std::string& Target, const std::string& LinkPath) {
    fs::create_directories(fs::path(LinkPath).parent_path());
    fs::create_symlink(Target, LinkPath);
}

// Points XDG_CONFIG_HOME at a scratch folder (so the alias folder is ours) and the device roots
// at the defaults; both are put back afterwards.
class DeviceEnvironment {
public:
    DeviceEnvironment() {
        if (const char* old = ::getenv("XDG_CONFIG_HOME"))
            OldConfig_ = old;
        ::setenv("XDG_CONFIG_HOME", Config_.Path().c_str(), 1);
        OldRoots_ = platform::CurrentDeviceRoots();
        platform::SetDeviceRootsForTest({});
    }
    ~DeviceEnvironment() {
        if (OldConfig_)
            ::setenv("XDG_CONFIG_HOME", OldConfig_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        platform::SetDeviceRootsForTest(OldRoots_);
    }
    std::string AliasFolder() const { return Config_ / "tillmark/devices"; }
    void Alias(const std::string& Name, const std::string& Target) const {
        Link(Target, AliasFolder() + "/" + Name);
    }
    // A fake sysfs whose console list is Active.
    void FakeConsole(const std::string& Active) {
        WriteText(Sys_ / "class/tty/console/active", Active + "\n");
        platform::SetDeviceRootsForTest({"/dev", Sys_.Path().string()});
    }
    const TempDir& Sys() const { return Sys_; }

private:
    TempDir Config_;
    TempDir Sys_;
    std::optional<std::string> OldConfig_;
    platform::DeviceRoots OldRoots_;
};

// A pseudo-terminal pair in raw mode; Slave is the path a port name can lead to.
class Pty {
public:
    Pty() { Master = OpenRawPty(Slave); }
    ~Pty() { ::close(Master); }
    // The slave's name relative to /dev ("pts/5").
    std::string RelativeName() const { return Slave.substr(5); }

    int Master = -1;
    std::string Slave;
};

} // namespace testsupport
