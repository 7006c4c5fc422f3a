// "LPT1" as the parallel path opens it: CREATE_ALWAYS, GetFileType, synchronous writes.
#include "DeviceTestSupport.h"

#include "platform/Win32.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using testsupport::DeviceEnvironment;
using testsupport::Pty;
using testsupport::TempDir;

constexpr DWORD Sentinel = 0xDEADBEEF;
const std::string Bell = "\x1b\x70\x30\xff\xff\r\n";

HANDLE OpenLpt1(const char* Name = "LPT1") {
    return CreateFileA(Name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

BOOL Write(HANDLE H, const std::string& Bytes, DWORD* Written) {
    return WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), Written, nullptr);
}

// Reads exactly Count bytes, waiting for each with a bound so a missing byte fails the test.
std::string ReadExactly(int Fd, std::size_t Count) {
    std::string got;
    while (got.size() < Count) {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(Fd, buffer, std::min(sizeof buffer, Count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

class LinePrinterTest : public ::testing::Test {
protected:
    LinePrinterTest() { platform::SetDeviceRootsForTest({Dev.Path().string(), "/sys"}); }
    DeviceEnvironment Env; // restores the roots after the test
    TempDir Dev;
};

TEST_F(LinePrinterTest, NoDeviceFailsAndCreatesNothing) {
    SetLastError(Sentinel);
    EXPECT_EQ(OpenLpt1(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenLpt1("\\\\.\\lpt1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(std::filesystem::is_empty(Dev.Path()));
    EXPECT_FALSE(std::filesystem::exists("LPT1"));
}

TEST_F(LinePrinterTest, AStrayRegularFileIsNoPrinter) {
    testsupport::WriteText(Dev / "lp0", "left over");
    EXPECT_EQ(OpenLpt1(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(testsupport::ReadText(Dev / "lp0"), "left over");
}

TEST_F(LinePrinterTest, UsbPrinterComesBeforeTheParallelOne) {
    Pty usb;
    testsupport::Link(usb.Slave, Dev / "usb/lp0");
    testsupport::Link("/dev/null", Dev / "lp0");
    HANDLE h = OpenLpt1();
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_CHAR);
    DWORD written = 0;
    EXPECT_NE(Write(h, Bell, &written), FALSE);
    EXPECT_EQ(written, Bell.size());
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_EQ(ReadExactly(usb.Master, Bell.size()), Bell);
    EXPECT_NE(CloseHandle(h), FALSE);

    std::filesystem::remove(Dev / "usb/lp0");
    h = OpenLpt1();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_CHAR);
    EXPECT_NE(Write(h, Bell, &written), FALSE);
    CloseHandle(h);
}

TEST_F(LinePrinterTest, AliasToAFifoIsAPipe) {
    ::mkfifo((Dev / "fifo").c_str(), 0600);
    Env.Alias("lpt1", Dev / "fifo");
    // Nobody reading: the open fails at once instead of waiting for a reader.
    EXPECT_EQ(OpenLpt1(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    const int reader = ::open((Dev / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    HANDLE h = OpenLpt1();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(h), FILE_TYPE_PIPE);
    const std::string all(std::string("\0\x80\xff", 3) + Bell);
    DWORD written = 0;
    EXPECT_NE(Write(h, all, &written), FALSE);
    EXPECT_EQ(written, all.size());
    EXPECT_EQ(ReadExactly(reader, all.size()), all);

    // The reader goes away: the write fails with an error, and the process lives on.
    ::close(reader);
    SetLastError(Sentinel);
    EXPECT_EQ(Write(h, Bell, &written), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_EQ(written, 0u);
    CloseHandle(h);
}

TEST_F(LinePrinterTest, AliasToARegularFileAppendsAndNeverTruncates) {
    testsupport::WriteText(Dev / "capture.bin", "kept");
    Env.Alias("lpt1", Dev / "capture.bin");
    for (int round = 0; round < 2; ++round) {
        HANDLE h = OpenLpt1();
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetFileType(h), FILE_TYPE_DISK);
        DWORD written = 0;
        EXPECT_NE(Write(h, Bell, &written), FALSE);
        CloseHandle(h);
    }
    EXPECT_EQ(testsupport::ReadText(Dev / "capture.bin"), "kept" + Bell + Bell);
}

TEST_F(LinePrinterTest, AliasRefusals) {
    Env.Alias("lpt1", Dev / "missing.bin");
    EXPECT_EQ(OpenLpt1(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(Dev / "missing.bin"));

    Env.Alias("lpt2", Dev.Path().string());
    EXPECT_EQ(OpenLpt1("LPT2"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    Pty console;
    Env.Alias("lpt3", console.Slave);
    Env.FakeConsole(console.RelativeName());
    EXPECT_EQ(OpenLpt1("LPT3"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(LinePrinterTest, WriteOnlyAndSynchronous) {
    Pty pty;
    Env.Alias("lpt1", pty.Slave);
    SetLastError(Sentinel);
    EXPECT_EQ(
        CreateFileA("LPT1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE h = OpenLpt1("lpt1");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buffer[8];
    DWORD read = Sentinel;
    EXPECT_EQ(ReadFile(h, buffer, sizeof buffer, &read, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Handed an OVERLAPPED anyway, the write is complete on return and the record says so.
    OVERLAPPED ov{};
    ov.Internal = ERROR_IO_PENDING;
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(WriteFile(h, Bell.data(), static_cast<DWORD>(Bell.size()), nullptr, &ov), FALSE);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0);
    DWORD count = 0;
    EXPECT_NE(GetOverlappedResult(h, &ov, &count, FALSE), FALSE);
    EXPECT_EQ(count, Bell.size());
    EXPECT_EQ(ReadExactly(pty.Master, Bell.size()), Bell);
    CloseHandle(ov.hEvent);
    EXPECT_NE(CloseHandle(h), FALSE);
    EXPECT_EQ(CloseHandle(h), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(LinePrinterTest, OpenedOverlappedAWriteNeedsItsRecord) {
    Pty pty;
    Env.Alias("lpt1", pty.Slave);
    HANDLE h = CreateFileA("LPT1", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = Sentinel;
    SetLastError(Sentinel);
    EXPECT_EQ(Write(h, Bell, &written), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(written, 0u);

    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(WriteFile(h, Bell.data(), static_cast<DWORD>(Bell.size()), nullptr, &ov), FALSE);
    DWORD count = 0;
    EXPECT_NE(GetOverlappedResult(h, &ov, &count, TRUE), FALSE);
    EXPECT_EQ(count, Bell.size());
    // Only the second write's bytes: the refused one sent nothing.
    EXPECT_EQ(ReadExactly(pty.Master, Bell.size()), Bell);
    pollfd more{pty.Master, POLLIN, 0};
    EXPECT_EQ(::poll(&more, 1, 0), 0);
    CloseHandle(ov.hEvent);
    EXPECT_NE(CloseHandle(h), FALSE);
}

} // namespace
