// The serial-port map: Windows' size and error conventions over installed maps, and the map
// built from a scratch sysfs tree and alias folder.
#include "DeviceTestSupport.h"

#include "platform/Win32.h"
#include "platform/linux/registry/Registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using platform::DwordValue;
using platform::RegistryValue;
using platform::TextValue;
using ::testing::ElementsAre;
using testsupport::DeviceEnvironment;
using testsupport::Pty;

constexpr DWORD Sentinel = 0xDEADBEEF;

// Installs a map for one test and restores the machine's afterwards.
class InstalledMap {
public:
    explicit InstalledMap(std::optional<std::vector<RegistryValue>> Map) {
        platform::InstallSerialCommMapForTest(std::move(Map));
    }
    ~InstalledMap() { platform::RestoreSerialCommMap(); }
};

HKEY OpenMap() {
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    return key;
}

// Reads the map the way the port list does: names by index, then each value's text.
std::vector<std::pair<std::string, std::string>> ReadMap() {
    HKEY key = OpenMap();
    DWORD count = 0, maxName = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                               &maxName, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    std::vector<std::pair<std::string, std::string>> entries;
    for (DWORD i = 0; i < count; ++i) {
        std::vector<char> name(maxName + 1);
        DWORD nameLength = maxName + 1;
        EXPECT_EQ(
            RegEnumValueA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
        DWORD size = 0, type = 0;
        EXPECT_EQ(RegQueryValueExA(key, name.data(), nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        std::vector<char> data(size + 1);
        EXPECT_EQ(RegQueryValueExA(key, name.data(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size),
                  ERROR_SUCCESS);
        entries.emplace_back(name.data(), data.data());
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    return entries;
}

TEST(RegistryTest, InfoGivesCountAndLongestNameAndData) {
    InstalledMap map(std::vector{TextValue("\\Device\\Serial0", "COM1"),
                                 TextValue("\\Device\\VCP10", "COM10"), DwordValue("Odd", 7)});
    SetLastError(Sentinel);
    HKEY key = OpenMap();
    DWORD subKeys = Sentinel, values = Sentinel, maxName = Sentinel, maxData = Sentinel;
    char className[8] = "xxxxxxx";
    DWORD classLength = sizeof className;
    FILETIME written{Sentinel, Sentinel};
    EXPECT_EQ(RegQueryInfoKeyA(key, className, &classLength, nullptr, &subKeys, nullptr, nullptr,
                               &values, &maxName, &maxData, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxName, 15u) << "characters of \\Device\\Serial0, without its NUL";
    EXPECT_EQ(maxData, 6u) << "bytes of COM10 with its NUL";
    EXPECT_EQ(classLength, 0u);
    EXPECT_STREQ(className, "");
    EXPECT_EQ(written.dwLowDateTime, 0u);
    EXPECT_EQ(GetLastError(), Sentinel) << "registry calls leave the last error alone";
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(RegistryTest, EnumerationSizesAndShortBuffers) {
    InstalledMap map(std::vector{TextValue("Test", "foobar"), DwordValue("Num", 0x01020304)});
    HKEY key = OpenMap();
    char name[16];
    BYTE data[16];
    auto reset = [&] {
        std::memset(name, 'x', sizeof name);
        std::memset(data, 'x', sizeof data);
    };

    // Everything fits: the name's length comes back without its NUL, the data's with it.
    reset();
    DWORD nameLength = 5, type = Sentinel, size = 7;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Test");
    EXPECT_EQ(nameLength, 4u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(reinterpret_cast<char*>(data), "foobar");

    // The name's buffer has no room for its NUL.
    reset();
    nameLength = 4, type = Sentinel, size = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameLength, 4u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(data[0], 'x');

    // The data's buffer is one byte short.
    reset();
    nameLength = sizeof name, size = 6;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameLength, sizeof name);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(data[0], 'x');

    // No data buffer: a size query.
    nameLength = sizeof name, size = 0;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameLength, nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Num");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);

    nameLength = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    DWORD reserved = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLength, &reserved, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLength, nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST(RegistryTest, QueryValueSizesAndShortBuffers) {
    InstalledMap map(std::vector{TextValue("\\Device\\Serial0", "COM1", REG_EXPAND_SZ),
                                 DwordValue("Num", 0x01020304)});
    HKEY key = OpenMap();
    DWORD type = Sentinel, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "\\device\\SERIAL0", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS)
        << "value names compare without regard to case";
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(size, 5u);

    BYTE data[8];
    std::memset(data, 'x', sizeof data);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "\\Device\\Serial0", nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(data[0], 'x');
    EXPECT_EQ(RegQueryValueExA(key, "\\Device\\Serial0", nullptr, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(data), "COM1");

    DWORD number = 0;
    size = sizeof number;
    EXPECT_EQ(RegQueryValueExA(key, "Num", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 0x01020304u);

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Num", nullptr, &type, data, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST(RegistryTest, OpeningAndClosing) {
    InstalledMap map(std::vector<RegistryValue>{});
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "hardware\\devicemap\\serialcomm", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    DWORD values = Sentinel;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);

    key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_WRITE, &key),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, nullptr),
        ERROR_INVALID_PARAMETER);

    // A handle of another kind is no key, and closing it as one leaves it open.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(event)), ERROR_INVALID_HANDLE);
    EXPECT_NE(SetEvent(event), FALSE);
    CloseHandle(event);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(RegistryTest, AMissingKeyIsNotFound) {
    InstalledMap map(std::nullopt);
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

TEST(RegistryTest, TheMachinesPortsFromSysfsAndAliases) {
    DeviceEnvironment env;
    const auto& sys = env.Sys();
    auto port = [&](const std::string& Name, const char* Type) {
        std::filesystem::create_directories(sys / ("class/tty/" + Name + "/device"));
        if (Type)
            testsupport::WriteText(sys / ("class/tty/" + Name + "/type"), Type);
    };
    port("ttyS0", "4\n"); // the console
    port("ttyS1", "4\n");
    port("ttyS2", "0\n"); // no UART behind it
    port("ttyS3", "4\n"); // an alias takes its COM name
    port("ttyUSB0", nullptr);
    port("ttyACM0", nullptr);
    std::filesystem::create_directories(sys / "class/tty/tty1"); // a virtual terminal: no device
    env.FakeConsole("ttyS0 tty0");

    Pty pty;
    env.Alias("com4", pty.Slave);
    env.Alias("lpt1", pty.Slave);                    // the printer's, not a serial port
    env.Alias("printer", pty.Slave);                 // any name the user likes
    env.Alias("com9", sys / "class/tty/ttyS1/type"); // a regular file: no port

    EXPECT_THAT(ReadMap(), ElementsAre(std::pair{"\\Device\\ttyACM0", "ttyACM0"},
                                       std::pair{"\\Device\\ttyS1", "COM2"},
                                       std::pair{"\\Device\\ttyS3", "ttyS3"},
                                       std::pair{"\\Device\\ttyUSB0", "ttyUSB0"},
                                       std::pair{"\\Device\\Alias\\com4", "COM4"},
                                       std::pair{"\\Device\\Alias\\printer", "printer"}));

    // Each listed name opens what the list promised: the alias names resolve to the pty.
    EXPECT_EQ(platform::CheckCommDevice(*platform::ResolveCommName("COM4")), pty.Slave);
    EXPECT_EQ(platform::CheckCommDevice(*platform::ResolveCommName("printer")), pty.Slave);
    EXPECT_EQ(platform::ResolveCommName("COM2")->Path, "/dev/ttyS1");
}

TEST(RegistryTest, APortTheUserAliasedIsListedOnce) {
    DeviceEnvironment env;
    Pty pty;
    // A scratch /dev whose ttyUSB0 is the pty, and an alias to the same device.
    testsupport::TempDir dev;
    testsupport::Link(pty.Slave, dev / "ttyUSB0");
    std::filesystem::create_directories(env.Sys() / "class/tty/ttyUSB0/device");
    env.FakeConsole("");
    platform::SetDeviceRootsForTest({dev.Path().string(), env.Sys().Path().string()});
    env.Alias("com5", pty.Slave);
    EXPECT_THAT(ReadMap(), ElementsAre(std::pair{"\\Device\\Alias\\com5", "COM5"}));
}

} // namespace
