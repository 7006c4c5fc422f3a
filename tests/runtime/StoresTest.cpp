#ifndef _WIN32
#include "platform/linux/registry/Registry.h"
#endif
#include "runtime/IniFiles.h"
#include "runtime/Registry.h"
#include "runtime/SysUtils.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& File) {
    std::ifstream in(File);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TryStrToInt, ReadsDecimalAndHexadecimalLikeTheGeneralParser) {
    const std::pair<const char*, std::int32_t> good[] = {{"0", 0},
                                                         {"42", 42},
                                                         {"-7", -7},
                                                         {"+9", 9},
                                                         {"  12", 12},
                                                         {"$1C", 28},
                                                         {"0x1c", 28},
                                                         {"-$10", -16},
                                                         {"$FFFFFFFF", -1},
                                                         {"2147483647", 2147483647},
                                                         {"-2147483648", -2147483647 - 1}};
    for (auto [text, value] : good)
        EXPECT_EQ(TryStrToInt(text), value) << text;
    for (const char* bad :
         {"", " ", "abc", "12 ", "1.5", "$", "0x", "2147483648", "$100000000", "--1", "1e3"})
        EXPECT_FALSE(TryStrToInt(bad)) << '"' << bad << '"';
    EXPECT_EQ(StrToIntDef("x", 5), 5);
}

TEST(IniFile, KeepsCommentsAndOtherSectionsWhenItWrites) {
    testsupport::TempDir folder;
    const fs::path file = folder.Path() / "printer.ini";
    std::ofstream(file) << "; the shop's printers\n[Other]\nKeep=me\n\n[ComPort1]\n"
                           "; the port by the till\nPort=COM3\nUnknown=value\n";
    TIniFile ini(file.string());
    EXPECT_EQ(ini.ReadString("ComPort1", "Port", "x"), "COM3");
    EXPECT_EQ(ini.ReadString("ComPort1", "Missing", "fallback"), "fallback");
    ini.WriteString("ComPort1", "Port", "ttyUSB0");
    ini.WriteInteger("ComPort1", "Buffer.InputSize", 4096);
    const std::string text = ReadAll(file);
    for (const char* kept : {"; the shop's printers", "[Other]", "Keep", "me",
                             "; the port by the till", "Unknown", "ttyUSB0", "4096"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    EXPECT_EQ(text.find("COM3"), std::string::npos);
    EXPECT_FALSE(fs::exists(file.string() + ".tmp"));

    TIniFile again(file.string());
    EXPECT_EQ(again.ReadInteger("ComPort1", "Buffer.InputSize", 0), 4096);
    again.WriteString("ComPort1", "Hex", "$1F");
    again.WriteString("ComPort1", "Bad", "12abc");
    EXPECT_EQ(again.ReadInteger("ComPort1", "Hex", 0), 31);
    EXPECT_EQ(again.ReadInteger("ComPort1", "Bad", -1), -1);
    EXPECT_EQ(again.ReadInteger("Nowhere", "Nothing", 9600), 9600);
}

TEST(IniFile, AMissingFileReadsAsEmptyAndAppearsOnTheFirstWrite) {
    testsupport::TempDir folder;
    const fs::path file = folder.Path() / "new.ini";
    TIniFile ini(file.string());
    EXPECT_EQ(ini.ReadString("A", "B", "d"), "d");
    EXPECT_FALSE(fs::exists(file));
    ini.WriteString("A", "B", std::string("#200\x80\x01", 6));
    EXPECT_EQ(TIniFile(file.string()).ReadString("A", "B", ""), std::string("#200\x80\x01", 6));
}

#ifdef _WIN32
// The real registry: the tests' own keys go afterwards, and nothing else is touched.
class RegistryKeyTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* key : {"Software\\Tillmark\\Test", "Software\\Tillmark\\Names"})
            RegDeleteKeyA(HKEY_CURRENT_USER, key);
    }
};
#else
// Our layer's user store lives under XDG_CONFIG_HOME: each test gets an empty one.
class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            Old = old;
        ::setenv("XDG_CONFIG_HOME", Folder.Path().c_str(), 1);
    }
    void TearDown() override {
        platform::RestoreSerialCommMap();
        if (Old.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", Old.c_str(), 1);
    }
    testsupport::TempDir Folder;
    std::string Old;
};
#endif

TEST_F(RegistryKeyTest, ReadsWhatItWroteAndNamesTheValueWhenItCannot) {
    {
        TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Test", true);
        key.WriteString("Port", "COM3");
        key.WriteInteger("CustomBaudRate", 7200);
        key.WriteInteger("Negative", -2);
    }
    TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Test", false);
    EXPECT_EQ(key.ReadString("Port"), "COM3");
    EXPECT_EQ(key.ReadString("port"), "COM3"); // value names ignore case, as on Windows
    EXPECT_EQ(key.ReadInteger("CustomBaudRate"), 7200);
    EXPECT_EQ(key.ReadInteger("Negative"), -2);
    EXPECT_EQ(key.ReadString("Missing"), "");
    auto expectError = [](auto&& call, const char* message) {
        try {
            call();
            ADD_FAILURE() << "no error: " << message;
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectError([&] { key.ReadInteger("Missing"); }, "Failed to get data for 'Missing'");
    expectError([&] { key.ReadInteger("Port"); }, "Invalid data type for 'Port'");
    expectError([&] { key.ReadString("CustomBaudRate"); },
                "Invalid data type for 'CustomBaudRate'");
    expectError([&] { TRegistryKey(HKEY_CURRENT_USER, "Software\\Nobody", false); },
                "Failed to open key 'Software\\Nobody'");
}

#ifndef _WIN32
// Our store's own file and its faults; Windows keeps its registry to itself.
TEST_F(RegistryKeyTest, AMalformedStoreIsNamedWithItsLine) {
    const fs::path file = Folder.Path() / "tillmark" / "registry.reg";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n"
                           "\"Port\"=COM3\n";
    try {
        TRegistryKey key(HKEY_CURRENT_USER, "Software", true);
        FAIL() << "opened a key in a malformed store";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Failed to open key 'Software': " + file.string() + ":4: unknown value type");
    }
}

TEST_F(RegistryKeyTest, AStoreThatBreaksUnderAnOpenKeyFailsEveryReadWithItsLine) {
    TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Test", true);
    key.WriteString("Port", "COM3");
    key.WriteInteger("CustomBaudRate", 7200);
    const fs::path file = Folder.Path() / "tillmark" / "registry.reg";
    // Another program (or a full disk) leaves the file unparsable while the key is open.
    std::ofstream(file, std::ios::app) << "\"Port\"=COM3\n";
    const std::string where = ": " + file.string() + ":6: unknown value type";
    for (const char* name : {"Port", "Missing"}) {
        try {
            key.ReadString(name);
            ADD_FAILURE() << "read " << name << " from a store that does not parse";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Failed to get data for '" + std::string(name) + "'" + where);
        }
    }
    EXPECT_THROW(key.ReadInteger("CustomBaudRate"), ERegistryException);
    EXPECT_THROW(key.DataInfo("Port"), ERegistryException);
    try {
        key.ValueNames();
        ADD_FAILURE() << "listed the values of a store that does not parse";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Failed to get info for key 'Software\\Tillmark\\Test'" + where);
    }
    EXPECT_THROW(key.WriteString("Port", "COM4"), ERegistryException);
    EXPECT_NE(ReadAll(file).find("\"Port\"=COM3\n"), std::string::npos); // never overwritten
}

#endif

TEST_F(RegistryKeyTest, ListsValueNamesInOrderWithEachTypeAndSize) {
    {
        TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Names", true);
        EXPECT_TRUE(key.ValueNames().empty());
        key.WriteString("Port", "COM3");
        key.WriteInteger("BaudRate", 9600);
        key.WriteString("A rather longer value name", "");
    }
    const TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Names", TRegistryKey::ReadOnly);
    // Shorter names than the longest come back without padding; our store keeps the file's
    // order, while Windows promises none.
    std::vector<std::string> names = key.ValueNames();
    std::vector<std::string> expected{"Port", "BaudRate", "A rather longer value name"};
#ifdef _WIN32
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
#endif
    EXPECT_EQ(names, expected);
    const std::tuple<const char*, DWORD, DWORD> infos[] = {
        {"Port", REG_SZ, 5}, {"baudrate", REG_DWORD, 4}, {"A rather longer value name", REG_SZ, 1}};
    for (const auto& [name, type, size] : infos) {
        const auto info = key.DataInfo(name);
        ASSERT_TRUE(info) << name;
        EXPECT_EQ(info->RegData, type) << name;
        EXPECT_EQ(info->DataSize, size) << name;
    }
    EXPECT_FALSE(key.DataInfo("Missing"));
    EXPECT_THROW(TRegistryKey(HKEY_CURRENT_USER, "Software\\Nobody", TRegistryKey::ReadOnly),
                 ERegistryException);
}

#ifndef _WIN32
// A serial-port map installed for the test, which only our layer allows.
TEST_F(RegistryKeyTest, ReadOnlyOpensTheSerialPortMapThatRefusesWriteAccess) {
    const std::string path = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    platform::InstallSerialCommMapForTest(
        std::vector<platform::RegistryValue>{platform::TextValue("\\Device\\ttyUSB0", "ttyUSB0"),
                                             platform::DwordValue("\\Device\\Odd", 7),
                                             platform::TextValue("\\Device\\Alias\\com9", "COM9")});
    try {
        TRegistryKey(HKEY_LOCAL_MACHINE, path, false);
        ADD_FAILURE() << "opened the serial-port map for writing";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to open key '" + path + "'");
    }

    TRegistryKey map(HKEY_LOCAL_MACHINE, path, TRegistryKey::ReadOnly);
    EXPECT_EQ(map.ValueNames(), (std::vector<std::string>{"\\Device\\ttyUSB0", "\\Device\\Odd",
                                                          "\\Device\\Alias\\com9"}));
    EXPECT_EQ(map.ReadString("\\Device\\Alias\\com9"), "COM9");
    const auto odd = map.DataInfo("\\Device\\Odd");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->RegData, REG_DWORD);
    EXPECT_THROW(map.WriteString("\\Device\\ttyUSB0", "COM1"), ERegistryException);
    EXPECT_EQ(map.ReadString("\\Device\\ttyUSB0"), "ttyUSB0");

    platform::InstallSerialCommMapForTest(std::nullopt);
    EXPECT_THROW(TRegistryKey(HKEY_LOCAL_MACHINE, path, TRegistryKey::ReadOnly),
                 ERegistryException);
}
#endif

} // namespace
