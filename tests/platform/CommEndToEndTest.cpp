// A port's whole life through CreateFileA on an alias that leads to a pty, in the order the
// serial component makes its calls: open, configure, watch events, write a receipt, close.
#include "CommTestSupport.h"
#include "DeviceTestSupport.h"

#include <cstring>

namespace {

using commtest::Overlapped;

HANDLE OpenPort(const char* Path) {
    return CreateFileA(Path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

TEST(CommEndToEnd, PortLifecycleOverAnAliasedPty) {
    testsupport::DeviceEnvironment environment;
    commtest::Pty far;
    if (!far.Ok())
        GTEST_SKIP() << "no pseudo-terminals here";
    environment.Alias("com9", far.Path);

    HANDLE port = OpenPort("\\\\.\\COM9");
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(OpenPort("\\\\.\\COM9"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    ASSERT_TRUE(SetupComm(port, 1024, 1024));
    DCB dcb = commtest::PortDcb(115200);
    ASSERT_TRUE(SetCommState(port, &dcb));
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 100, 1000};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    ASSERT_TRUE(SetCommMask(port, 0x05FF));

    DWORD events = 0;
    Overlapped wait;
    ASSERT_FALSE(WaitCommEvent(port, &events, wait.Get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    // Printer commands carry NULs, XON/XOFF codes and code page 949 bytes; all pass untouched.
    const std::vector<BYTE> receipt = {0x1B, 0x40, 0x00, 0x11, 0x13, 0xB0,
                                       0xA1, 0x0A, 0x1D, 0x56, 0x00};
    Overlapped write;
    DWORD written = 0;
    if (!WriteFile(port, receipt.data(), static_cast<DWORD>(receipt.size()), &written,
                   write.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    ASSERT_TRUE(GetOverlappedResult(port, write.Get(), &written, FALSE));
    EXPECT_EQ(written, receipt.size());
    EXPECT_EQ(far.Receive(receipt.size()), receipt);
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(events, EV_TXEMPTY);

    // Closing as the port does: abort transfers, end the event wait, clear the queues, close.
    Overlapped next;
    ASSERT_FALSE(WaitCommEvent(port, &events, next.Get()));
    ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT));
    ASSERT_TRUE(SetCommMask(port, 0));
    ASSERT_TRUE(next.Done());
    EXPECT_EQ(events, 0u);
    ASSERT_TRUE(PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR));
    ASSERT_TRUE(CloseHandle(port));

    port = OpenPort("\\\\.\\com9");
    EXPECT_NE(port, INVALID_HANDLE_VALUE) << "closing released the device";
    EXPECT_TRUE(CloseHandle(port));
}

} // namespace
