#include "platform/linux/registry/UserRegistry.h"
#include "DeviceTestSupport.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

using testsupport::ReadText;
using testsupport::WriteText;

namespace {

TEST(RegFile, ParsesTheExportFormatAndWritesItBack) {
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "; a comment\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Tillmark]\n"
                             "\"Port\"=\"COM3\"\n"
                             "\"Quote\"=\"a \\\"b\\\" c\\\\d\"\n"
                             "\"Rate\"=dword:00001c20\n"
                             "\"Blob\"=hex:01,ff,\\\n"
                             "  00\n"
                             "\"Path\"=hex(2):41,00,00,00\n"
                             "@=\"default\"\n";
    auto parsed = platform::ParseRegFile(text, "r.reg");
    ASSERT_TRUE(std::holds_alternative<std::vector<platform::RegFileKey>>(parsed))
        << std::get<std::string>(parsed);
    const auto& keys = std::get<std::vector<platform::RegFileKey>>(parsed);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Path, "Software\\Tillmark");
    const auto& v = keys[0].Values;
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0], platform::TextValue("Port", "COM3"));
    EXPECT_EQ(v[1], platform::TextValue("Quote", "a \"b\" c\\d"));
    EXPECT_EQ(v[2], platform::DwordValue("Rate", 7200));
    EXPECT_EQ(v[3].Type, REG_BINARY);
    EXPECT_EQ(v[3].Data, (std::vector<BYTE>{1, 0xFF, 0}));
    EXPECT_EQ(v[4].Type, REG_EXPAND_SZ);
    EXPECT_EQ(v[5].Name, "");

    // Written back and read again, every value is the same.
    auto again = platform::ParseRegFile(platform::FormatRegFile(keys), "again.reg");
    ASSERT_TRUE(std::holds_alternative<std::vector<platform::RegFileKey>>(again));
    EXPECT_EQ(std::get<std::vector<platform::RegFileKey>>(again)[0].Values, v);
}

TEST(RegFile, SaysWhichFileAndLineAreWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"REGEDIT5\n", "r.reg:1: expected \"Windows Registry Editor Version 5.00\""},
        {"Windows Registry Editor Version 5.00\n\"A\"=\"x\"\n", "r.reg:2: a value before any"},
        {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\X]\n",
         "r.reg:2: only keys under HKEY_CURRENT_USER"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"A\"=dword:xyz\n",
         "r.reg:3: a dword needs"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\n\"A\"=\"open\n",
         "r.reg:4: unterminated text"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X\n", "r.reg:2: a key line"},
    };
    for (auto [text, message] : cases) {
        auto parsed = platform::ParseRegFile(text, "r.reg");
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_EQ(std::get<std::string>(parsed).rfind(message, 0), 0u)
            << std::get<std::string>(parsed);
    }
}

class UserStore : public ::testing::Test {
protected:
    std::string File() const { return platform::UserStorePath(); }
    testsupport::DeviceEnvironment Env; // XDG_CONFIG_HOME of our own
};

TEST_F(UserStore, KeysAndValuesLiveInTheFileAcrossOpens) {
    EXPECT_EQ(File(), Env.AliasFolder().substr(0, Env.AliasFolder().size() - 7) + "registry.reg");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tillmark", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tillmark", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const DWORD rate = 28;
    ASSERT_EQ(RegSetValueExA(key, "Rate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>("COM3"), 5),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadText(File()), "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Tillmark]\n"
                                "\"Rate\"=dword:0000001c\n\"Port\"=\"COM3\"\n");

    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\tillmark", 0, nullptr, 0, KEY_READ,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "port", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(RegDeleteValueA(key, "Port"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Port"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    RegCloseKey(key);
}

TEST_F(UserStore, AMalformedFileIsReportedAndLeftAlone) {
    const std::string broken = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                               "\"X\"=wrong\n";
    WriteText(File(), broken);
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(RegUserStoreProblem(), File() + ":3: unknown value type");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(ReadText(File()), broken);
}

TEST_F(UserStore, AFailedRenameKeepsThePreviousFile) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Keep", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>("one"), 4),
              ERROR_SUCCESS);
    const std::string before = ReadText(File());
    platform::SetUserStoreRenameForTest([](const char*, const char*) {
        errno = EIO;
        return -1;
    });
    EXPECT_EQ(RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>("two"), 4),
              static_cast<LONG>(ERROR_WRITE_FAULT));
    platform::SetUserStoreRenameForTest(nullptr);
    EXPECT_EQ(ReadText(File()), before);
    EXPECT_FALSE(std::filesystem::exists(File() + ".tmp"));
    EXPECT_NE(RegUserStoreProblem().find("cannot write " + File()), std::string::npos);
    RegCloseKey(key);
}

} // namespace
