// Port names to device nodes, and every way a name is refused before any device is opened.
#include "DeviceTestSupport.h"

#include "platform/Win32.h"
#include "platform/linux/sim/SimulatedComm.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

using testsupport::DeviceEnvironment;
using testsupport::Pty;
using testsupport::TempDir;

constexpr DWORD Sentinel = 0xDEADBEEF;

struct Snapshot {
    explicit Snapshot(const std::string& Path) {
        struct stat st {};
        Exists = ::lstat(Path.c_str(), &st) == 0;
        Size = st.st_size;
        Modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        Text = Exists ? testsupport::ReadText(Path) : "";
    }
    bool operator==(const Snapshot&) const = default;
    bool Exists;
    off_t Size;
    long long Modified;
    std::string Text;
};

DWORD OpenError(const std::string& Name, DWORD Disposition = OPEN_EXISTING) {
    SetLastError(Sentinel);
    HANDLE h = CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, Disposition,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

class DeviceNamesTest : public ::testing::Test {
protected:
    DeviceEnvironment Env;
};

TEST_F(DeviceNamesTest, CommAndPrinterNumbers) {
    EXPECT_EQ(platform::CommNumber("COM1"), 1u);
    EXPECT_EQ(platform::CommNumber("com12"), 12u);
    EXPECT_EQ(platform::CommNumber("Com3"), 3u);
    EXPECT_EQ(platform::PrinterNumber("lpt1"), 1u);
    for (const char* notOne : {"COM", "COM0", "COM01", "COM1a", "COMX", "xCOM1", "ttyS0", "LPT"})
        EXPECT_EQ(platform::CommNumber(notOne), 0u) << notOne;
    EXPECT_EQ(platform::PrinterNumber("COM1"), 0u);
}

TEST_F(DeviceNamesTest, NamesResolveThroughAliasesThenComThenDev) {
    Env.Alias("com3", "/dev/pts/42");
    Env.Alias("printer", "/somewhere/else");

    auto aliased = platform::ResolveCommName("COM3");
    ASSERT_TRUE(aliased);
    EXPECT_EQ(aliased->Path, Env.AliasFolder() + "/com3");
    EXPECT_TRUE(aliased->ViaAlias);
    auto mixedCase = platform::ResolveCommName("PrInTeR");
    ASSERT_TRUE(mixedCase);
    EXPECT_EQ(mixedCase->Path, Env.AliasFolder() + "/printer");

    auto com4 = platform::ResolveCommName("com4");
    ASSERT_TRUE(com4);
    EXPECT_EQ(com4->Path, "/dev/ttyS3");
    EXPECT_FALSE(com4->ViaAlias);

    EXPECT_EQ(platform::ResolveCommName("ttyUSB0")->Path, "/dev/ttyUSB0");
    EXPECT_EQ(platform::ResolveCommName("serial/by-id/usb-X")->Path, "/dev/serial/by-id/usb-X");
    EXPECT_EQ(platform::ResolveCommName("/dev/ttyACM1")->Path, "/dev/ttyACM1");
    // Device nodes are case-sensitive; only alias names are folded.
    EXPECT_EQ(platform::ResolveCommName("TTYusb0")->Path, "/dev/TTYusb0");

    platform::SetDeviceRootsForTest({"/scratch/dev", "/sys"});
    EXPECT_EQ(platform::ResolveCommName("COM1")->Path, "/scratch/dev/ttyS0");
}

TEST_F(DeviceNamesTest, AliasFolderFollowsXdgThenHome) {
    EXPECT_EQ(platform::AliasFolder(), Env.AliasFolder());
    const std::string home = ::getenv("HOME") ? ::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // ignored, as XDG asks
    EXPECT_EQ(platform::AliasFolder(), "/home/someone/.config/tillmark/devices");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::AliasFolder(), "/home/someone/.config/tillmark/devices");
    ::setenv("HOME", home.c_str(), 1);
}

TEST_F(DeviceNamesTest, RefusalsCreateAndChangeNothing) {
    TempDir dev;
    testsupport::WriteText(dev / "ttyFILE", "precious");
    std::filesystem::create_directories(dev / "dir");
    ::mkfifo((dev / "fifo").c_str(), 0600);
    TempDir outside;
    testsupport::WriteText(outside / "secret", "precious");
    testsupport::Link(outside / "secret", dev / "escape");
    Env.Alias("com5", outside / "secret");
    Env.Alias("com6", outside / "missing");
    Env.Alias("com7", outside.Path().string());
    platform::SetDeviceRootsForTest({dev.Path().string(), "/sys"});

    const Snapshot fileBefore(dev / "ttyFILE");
    const Snapshot secretBefore(outside / "secret");

    struct Case {
        std::string Name;
        DWORD Error;
    };
    const Case cases[] = {
        {"\\\\.\\", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
        {"\\\\.\\ttyNONE", ERROR_FILE_NOT_FOUND},
        {"\\\\.\\COM9", ERROR_FILE_NOT_FOUND}, // ttyS8 is not in the scratch root
        {"\\\\.\\ttyFILE", ERROR_FILE_NOT_FOUND},
        {"\\\\.\\fifo", ERROR_FILE_NOT_FOUND},
        {"\\\\.\\dir", ERROR_ACCESS_DENIED},
        {"\\\\.\\..", ERROR_ACCESS_DENIED},
        {"\\\\.\\dir/../ttyFILE", ERROR_ACCESS_DENIED},
        {"\\\\.\\" + (outside / "secret"), ERROR_ACCESS_DENIED},
        {"\\\\.\\" + (dev / "../secret"), ERROR_ACCESS_DENIED},
        {"\\\\.\\escape", ERROR_ACCESS_DENIED}, // a link under /dev leading out of it
        {"\\\\.\\COM5", ERROR_FILE_NOT_FOUND},  // an alias to a regular file
        {"\\\\.\\COM6", ERROR_FILE_NOT_FOUND},  // a dangling alias
        {"\\\\.\\COM7", ERROR_ACCESS_DENIED},   // an alias to a directory
        {"\\\\.\\created", ERROR_FILE_NOT_FOUND},
        {dev / "plainfile", ERROR_NOT_SUPPORTED}, // not a device name at all
    };
    for (const auto& c : cases) {
        for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING})
            EXPECT_EQ(OpenError(c.Name, disposition), c.Error) << c.Name << " " << disposition;
    }
    EXPECT_EQ(Snapshot(dev / "ttyFILE"), fileBefore);
    EXPECT_EQ(Snapshot(outside / "secret"), secretBefore);
    EXPECT_FALSE(std::filesystem::exists(dev / "created"));
    EXPECT_FALSE(std::filesystem::exists(dev / "plainfile"));
    EXPECT_FALSE(std::filesystem::exists(outside / "missing"));
    EXPECT_EQ(OpenError("\\\\.\\COM1", 0), ERROR_INVALID_PARAMETER);
    SetLastError(Sentinel);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(DeviceNamesTest, TerminalsPassTheChecksThroughAliasOrPath) {
    Pty pty;
    Env.Alias("com9", pty.Slave);
    SetLastError(Sentinel);
    auto viaAlias = platform::CheckCommDevice(*platform::ResolveCommName("COM9"));
    ASSERT_TRUE(viaAlias);
    EXPECT_EQ(*viaAlias, pty.Slave);
    auto direct = platform::CheckCommDevice(*platform::ResolveCommName(pty.RelativeName()));
    ASSERT_TRUE(direct);
    EXPECT_EQ(*direct, pty.Slave);
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST_F(DeviceNamesTest, ATerminalOpensUnderEitherName) {
    Pty pty;
    Env.Alias("com9", pty.Slave);
    for (const std::string& name : {std::string("\\\\.\\COM9"), "\\\\.\\" + pty.RelativeName()}) {
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name << " " << GetLastError();
        EXPECT_EQ(GetFileType(h), FILE_TYPE_CHAR);
        // Both names are one device, held exclusively.
        EXPECT_EQ(OpenError("\\\\.\\com9"), ERROR_ACCESS_DENIED);
        EXPECT_NE(CloseHandle(h), FALSE);
    }
}

TEST_F(DeviceNamesTest, CharacterDevicesThatAreNoTerminalAreNotOpened) {
    // sysfs tells the memory devices from terminals; without it there is nothing to go by.
    if (!std::filesystem::exists("/sys/dev/char/1:3/subsystem"))
        GTEST_SKIP() << "no sysfs entry for /dev/null";
    EXPECT_EQ(OpenError("\\\\.\\null"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenError("\\\\.\\zero"), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeviceNamesTest, TheConsoleIsRefusedByAnyName) {
    Pty pty;
    Pty other;
    Env.Alias("com1", pty.Slave);
    Env.Alias("com2", other.Slave);
    Env.FakeConsole("tty0 " + pty.RelativeName());

    EXPECT_EQ(OpenError("\\\\.\\COM1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError("\\\\.\\" + pty.RelativeName()), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError("\\\\.\\" + pty.Slave), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError("\\\\.\\console"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError("\\\\.\\tty"), ERROR_ACCESS_DENIED);
    // Any other terminal passes the checks.
    EXPECT_TRUE(platform::CheckCommDevice(*platform::ResolveCommName("COM2")));
}

TEST_F(DeviceNamesTest, ConsoleNamesIncludeTheFrontVirtualTerminal) {
    Env.FakeConsole("ttyS0 tty0");
    testsupport::WriteText(Env.Sys() / "class/tty/tty0/active", "tty3\n");
    EXPECT_EQ(platform::ConsoleNames(), (std::vector<std::string>{"ttyS0", "tty0", "tty3"}));
    Env.FakeConsole("");
    EXPECT_TRUE(platform::ConsoleNames().empty());
}

TEST_F(DeviceNamesTest, AliasNamesListsLowerCaseEntries) {
    Env.Alias("com3", "/dev/null");
    Env.Alias("lpt1", "/dev/null");
    Env.Alias("Mixed", "/dev/null"); // never found by a lookup, which folds the name
    EXPECT_EQ(platform::AliasNames(), (std::vector<std::string>{"com3", "lpt1"}));
}

TEST_F(DeviceNamesTest, AnInstalledSimulatedDeviceAnswersForItsName) {
    // Even a name whose real device would be refused (the console) reaches the simulation, and
    // a refused simulated open never falls back to the real device.
    Pty pty;
    Env.Alias("com1", pty.Slave);
    Env.FakeConsole(pty.RelativeName());
    auto device = platform::SimulatedComm::Install("COM1");
    EXPECT_EQ(OpenError("\\\\.\\com1"), ERROR_SUCCESS);
    EXPECT_EQ(device->OpenCount(), 1);
    device->FailOpen(ERROR_GEN_FAILURE);
    EXPECT_EQ(OpenError("\\\\.\\COM1"), ERROR_GEN_FAILURE);
    platform::SimulatedComm::Uninstall("COM1");
    EXPECT_EQ(OpenError("\\\\.\\COM1"), ERROR_ACCESS_DENIED);
}

} // namespace
