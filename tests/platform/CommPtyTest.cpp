// The comm engine over real pseudo-terminal pairs: data, time-outs, events, aborts, a vanishing
// far side, exclusive opening.
#include "CommTestSupport.h"

#include "platform/linux/comm/Termios2.h"
#include "platform/linux/sync/Sync.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <numeric>
#include <thread>

namespace {

using commtest::OpenComm;
using commtest::Overlapped;
using commtest::Pty;
using commtest::Sentinel;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class CommPty : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Far.Ok())
            GTEST_SKIP() << "no pseudo-terminals here";
        Port = OpenComm(Far.Path);
        ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override {
        if (Port != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(Port));
        }
    }

    void SetTimeouts(DWORD Interval, DWORD Multiplier, DWORD Constant, DWORD WriteMultiplier = 0,
                     DWORD WriteConstant = 0) {
        COMMTIMEOUTS t{Interval, Multiplier, Constant, WriteMultiplier, WriteConstant};
        ASSERT_TRUE(SetCommTimeouts(Port, &t));
    }

    // Starts an overlapped read; true when it is still pending.
    bool StartRead(BYTE* Buffer, DWORD Count, Overlapped& Record) {
        DWORD got = Sentinel;
        if (ReadFile(Port, Buffer, Count, &got, Record.Get()))
            return false;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        return true;
    }

    long long Result(Overlapped& Record) { return commtest::Outcome(Port, Record); }

    // Waits until the engine has taken Count received bytes into its queue.
    void AwaitQueued(DWORD Count) {
        ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR));
        for (;;) {
            COMSTAT stat{};
            DWORD errors = 0;
            ASSERT_TRUE(ClearCommError(Port, &errors, &stat));
            if (stat.cbInQue >= Count)
                return;
            Overlapped wait;
            DWORD mask = 0;
            if (!WaitCommEvent(Port, &mask, wait.Get())) {
                ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
                ASSERT_TRUE(wait.Done());
            }
        }
    }

    Pty Far;
    HANDLE Port = INVALID_HANDLE_VALUE;
};

std::vector<BYTE> AllByteValues(std::size_t Repeat = 1) {
    std::vector<BYTE> bytes(256 * Repeat);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i);
    return bytes;
}

TEST_F(CommPty, OpensAsRawTerminalWithoutHangupOnClose) {
    platform::TermSettings t;
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, t), 0);
    EXPECT_EQ(t.Cflag & HUPCL, 0u);
    EXPECT_EQ(t.Lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.Oflag & OPOST, 0u);
    EXPECT_EQ(t.Iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(GetFileType(Port), FILE_TYPE_CHAR);
}

TEST_F(CommPty, ReopenedPortIsRawAgainAndKeepsItsSettings) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(Port, &dcb));
    dcb.BaudRate = 4800;
    ASSERT_TRUE(SetCommState(Port, &dcb));
    ASSERT_TRUE(CloseHandle(Port));
    // Another program cooks the terminal between two uses.
    platform::TermSettings t;
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, t), 0);
    t.Lflag |= ICANON | ECHO;
    t.Iflag |= ICRNL;
    ASSERT_EQ(platform::WriteTermSettings(Far.Master, t, platform::TermCheck::None), 0);

    Port = OpenComm(Far.Path);
    ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, t), 0);
    EXPECT_EQ(t.Lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.Iflag & ICRNL, 0u);
    // The settings of the last use again: the terminal holds them.
    ASSERT_TRUE(SetCommState(Port, &dcb));
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, t), 0);
    EXPECT_EQ(t.Speed, 4800u);
    EXPECT_EQ(t.Lflag & ICANON, 0u);
}

TEST_F(CommPty, WrittenBytesArriveUnchanged) {
    const auto bytes = AllByteValues(4);
    Overlapped write;
    DWORD written = Sentinel;
    SetLastError(Sentinel);
    const BOOL done =
        WriteFile(Port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, write.Get());
    if (done) {
        EXPECT_EQ(written, bytes.size());
        EXPECT_EQ(GetLastError(), Sentinel) << "success leaves the last error alone";
    } else {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(Result(write), static_cast<long long>(bytes.size()));
    EXPECT_EQ(Far.Receive(bytes.size()), bytes);
}

TEST_F(CommPty, ReceivedBytesArriveUnchanged) {
    SetTimeouts(0, 0, 0); // wait for every byte
    const auto bytes = AllByteValues(2);
    std::vector<BYTE> got(bytes.size(), 0xEE);
    Overlapped read;
    const bool pending = StartRead(got.data(), static_cast<DWORD>(got.size()), read);
    EXPECT_TRUE(pending);
    Far.Send(bytes);
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), static_cast<long long>(bytes.size()));
    EXPECT_EQ(got, bytes);
}

TEST_F(CommPty, IntervalMaxWithZeroTotalsReturnsAtOnceWithWhatIsQueued) {
    SetTimeouts(MAXDWORD, 0, 0);
    BYTE buffer[16] = {};
    DWORD got = Sentinel;
    Overlapped read;
    ASSERT_TRUE(ReadFile(Port, buffer, sizeof buffer, &got, read.Get()));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(read.Done(0));

    Far.Send({'a', 'b', 'c'});
    AwaitQueued(3);
    ASSERT_TRUE(ReadFile(Port, buffer, sizeof buffer, &got, read.Get()));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
}

TEST_F(CommPty, AllZeroTimeoutsWaitForTheLastByte) {
    SetTimeouts(0, 0, 0);
    BYTE buffer[4] = {};
    Overlapped read;
    ASSERT_TRUE(StartRead(buffer, 4, read));
    Far.Send({1, 2});
    EXPECT_FALSE(read.Done(150)) << "two of four bytes must not end the read";
    Far.Send({3, 4});
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), 4);
    EXPECT_EQ(buffer[3], 4);
}

TEST_F(CommPty, TotalTimeoutEndsTheReadWithTheShorterCount) {
    SetTimeouts(0, 10, 100); // 100 + 10 * 8 ms
    BYTE buffer[8] = {};
    Overlapped read;
    const auto start = Clock::now();
    ASSERT_TRUE(StartRead(buffer, 8, read));
    Far.Send({'x', 'y', 'z'});
    ASSERT_TRUE(read.Done());
    EXPECT_GE(Clock::now() - start, milliseconds(170));
    EXPECT_EQ(Result(read), 3) << "a time-out is success with the bytes that came";
    EXPECT_EQ(buffer[2], 'z');
}

TEST_F(CommPty, TotalTimeoutWithNothingReceivedEndsWithZero) {
    SetTimeouts(0, 0, 80);
    BYTE buffer[8] = {};
    Overlapped read;
    ASSERT_TRUE(StartRead(buffer, 8, read));
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), 0);
}

TEST_F(CommPty, IntervalTimeoutStartsAtTheFirstByte) {
    SetTimeouts(60, 0, 0);
    BYTE buffer[8] = {};
    Overlapped read;
    ASSERT_TRUE(StartRead(buffer, 8, read));
    EXPECT_FALSE(read.Done(200)) << "without a byte the interval does not run";
    Far.Send({7, 8});
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), 2);
}

TEST_F(CommPty, FirstByteModeWaitsForTheConstantThenReturnsWhatCame) {
    SetTimeouts(MAXDWORD, MAXDWORD, 100);
    BYTE buffer[8] = {};
    Overlapped read;
    const auto start = Clock::now();
    ASSERT_TRUE(StartRead(buffer, 8, read));
    ASSERT_TRUE(read.Done());
    EXPECT_GE(Clock::now() - start, milliseconds(95));
    EXPECT_EQ(Result(read), 0);

    SetTimeouts(MAXDWORD, MAXDWORD, 4000);
    Overlapped second;
    ASSERT_TRUE(StartRead(buffer, 8, second));
    Far.Send({'Q'});
    ASSERT_TRUE(second.Done(3000)) << "the first byte ends the read long before the constant";
    EXPECT_EQ(Result(second), 1);
    EXPECT_EQ(buffer[0], 'Q');
}

TEST_F(CommPty, WriteTimeoutEndsAStuckWriteWithTheShorterCount) {
    // Nobody reads the master: the pty stops taking bytes after some kilobytes.
    SetTimeouts(MAXDWORD, 0, 0, 0, 150);
    std::vector<BYTE> bytes(256 * 1024, 0x55);
    Overlapped write;
    DWORD written = 0;
    if (!WriteFile(Port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, write.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    const auto count = Result(write);
    EXPECT_GT(count, 0);
    EXPECT_LT(count, static_cast<long long>(bytes.size()));
}

TEST_F(CommPty, RxCharAndTxEmptyEvents) {
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR | EV_TXEMPTY));
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_FALSE(WaitCommEvent(Port, &mask, wait.Get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(wait.Done(50));
    Far.Send({'r'});
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(mask, EV_RXCHAR);

    const BYTE out[] = {'t', 'x'};
    Overlapped write;
    DWORD written = 0;
    if (!WriteFile(Port, out, 2, &written, write.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    mask = Sentinel;
    Overlapped second;
    if (!WaitCommEvent(Port, &mask, second.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        ASSERT_TRUE(second.Done());
    }
    EXPECT_EQ(mask, EV_TXEMPTY) << "the drained write was kept for the next wait";
}

TEST_F(CommPty, InputAfterAHelpedWaitReachesARequestNobodyWaitsOn) {
    // A thread waiting on a request polls the device itself and takes the byte; the next
    // request has nobody in a wait call, so the engine must watch the device for it again.
    // Sent once the wait sleeps, the first byte is usually the waiting thread's to take.
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR));
    for (int i = 0; i < 20; ++i) {
        DWORD mask = Sentinel;
        Overlapped first;
        ASSERT_FALSE(WaitCommEvent(Port, &mask, first.Get()));
        std::promise<void> asleep;
        std::atomic<bool> told{false};
        platform::SetWaitBlockedHookForTest([&] {
            if (!told.exchange(true))
                asleep.set_value();
        });
        std::thread sender([&] {
            asleep.get_future().wait();
            Far.Send({'a'});
        });
        const bool done = first.Done();
        sender.join();
        platform::SetWaitBlockedHookForTest({});
        ASSERT_TRUE(done);
        Far.Send({'b'});
        Overlapped second;
        if (!WaitCommEvent(Port, &mask, second.Get())) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        }
        // Told through a registered wait, which does not poll the device as a waiting thread
        // does.
        std::promise<void> completed;
        HANDLE registered = nullptr;
        ASSERT_TRUE(RegisterWaitForSingleObject(
            &registered, second.Record.hEvent,
            [](PVOID Promise, BOOLEAN) { static_cast<std::promise<void>*>(Promise)->set_value(); },
            &completed, INFINITE, WT_EXECUTEONLYONCE));
        const auto status = completed.get_future().wait_for(std::chrono::seconds(5));
        EXPECT_TRUE(UnregisterWaitEx(registered, INVALID_HANDLE_VALUE));
        ASSERT_EQ(status, std::future_status::ready) << "the second byte went unseen";
        EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
        BYTE in[2] = {};
        DWORD got = 0;
        SetTimeouts(MAXDWORD, 0, 0);
        ASSERT_TRUE(commtest::ReadWaited(Port, in, 2, got));
        ASSERT_EQ(std::string(reinterpret_cast<char*>(in), got), "ab");
    }
}

TEST_F(CommPty, SetCommMaskEndsAPendingWaitWithNoEvents) {
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR));
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_FALSE(WaitCommEvent(Port, &mask, wait.Get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR | EV_TXEMPTY));
    ASSERT_TRUE(wait.Done());
    EXPECT_GE(Result(wait), 0);
    EXPECT_EQ(mask, 0u);
}

TEST_F(CommPty, WaitWithoutMaskOrTwiceIsRefused) {
    DWORD mask = 0;
    Overlapped wait;
    EXPECT_FALSE(WaitCommEvent(Port, &mask, wait.Get()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR));
    ASSERT_FALSE(WaitCommEvent(Port, &mask, wait.Get()));
    Overlapped second;
    EXPECT_FALSE(WaitCommEvent(Port, &mask, second.Get()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(second.Done(0)) << "a refused wait leaves its event unsignalled";
    ASSERT_TRUE(SetCommMask(Port, 0));
    EXPECT_TRUE(wait.Done());
}

TEST_F(CommPty, PurgeAbortsPendingReadAndWrite) {
    SetTimeouts(0, 0, 0);
    BYTE buffer[8] = {};
    Overlapped read;
    ASSERT_TRUE(StartRead(buffer, 8, read));

    // Fill the pty until a write stays pending.
    std::vector<BYTE> bytes(512 * 1024, 0xA5);
    Overlapped write;
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(Port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, write.Get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(write.Done(50));

    SetLastError(Sentinel);
    ASSERT_TRUE(PurgeComm(Port, PURGE_TXABORT | PURGE_RXABORT));
    EXPECT_EQ(GetLastError(), Sentinel);
    ASSERT_TRUE(read.Done());
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(Result(read), -static_cast<long long>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(Result(write), -static_cast<long long>(ERROR_OPERATION_ABORTED));
}

TEST_F(CommPty, InputFromBeforeAnOpenIsNotHandedToIt) {
    ASSERT_TRUE(CloseHandle(Port));
    // A late answer while the port is closed. Another reader's descriptor sees when the bytes are
    // in the terminal's input, so the open cannot come before them.
    const int watcher = ::open(Far.Path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(watcher, 0);
    Far.Send({'l', 'a', 't', 'e'});
    pollfd ready{watcher, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 5000), 1);

    Port = OpenComm(Far.Path);
    ::close(watcher);
    ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    COMSTAT stat{};
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(Port, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    // What comes after the open is this program's, and only that.
    Far.Send({'n', 'e', 'w'});
    AwaitQueued(3);
    SetTimeouts(MAXDWORD, 0, 0);
    BYTE got[8] = {};
    DWORD count = 0;
    Overlapped read;
    if (!ReadFile(Port, got, sizeof got, &count, read.Get()))
        count = static_cast<DWORD>(Result(read));
    EXPECT_EQ(std::string(got, got + count), "new");
}

TEST_F(CommPty, PurgeClearEmptiesTheInputQueue) {
    Far.Send({1, 2, 3, 4, 5});
    AwaitQueued(5);
    COMSTAT stat;
    std::memset(&stat, 0xFF, sizeof stat);
    DWORD errors = Sentinel;
    ASSERT_TRUE(ClearCommError(Port, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 5u);
    EXPECT_EQ(stat.cbOutQue, 0u);
    EXPECT_EQ(stat.fCtsHold, 0u);
    ASSERT_TRUE(PurgeComm(Port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    ASSERT_TRUE(ClearCommError(Port, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
}

TEST_F(CommPty, ACompletedWriteSurvivesPurgeAndClose) {
    // The port's close purges both queues right after the receipt's last write; bytes of a
    // completed write are already on their way and must all arrive.
    std::vector<BYTE> receipt(3000);
    std::iota(receipt.begin(), receipt.end(), BYTE{0});
    DWORD written = 0;
    ASSERT_TRUE(
        commtest::WriteWaited(Port, receipt.data(), static_cast<DWORD>(receipt.size()), written));
    ASSERT_EQ(written, receipt.size());
    ASSERT_TRUE(PurgeComm(Port, PURGE_TXABORT | PURGE_RXABORT));
    ASSERT_TRUE(PurgeComm(Port, PURGE_TXCLEAR | PURGE_RXCLEAR));
    ASSERT_TRUE(CloseHandle(Port));
    Port = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Far.Receive(receipt.size()), receipt);
}

TEST_F(CommPty, ClosingTheFarSideFailsPendingAndLaterTransfers) {
    SetTimeouts(0, 0, 0);
    BYTE buffer[8] = {};
    Overlapped read;
    ASSERT_TRUE(StartRead(buffer, 8, read));
    Far.CloseMaster();
    ASSERT_TRUE(read.Done()) << "a vanished device must not leave the read hanging";
    const auto result = Result(read);
    EXPECT_LT(result, 0);
    EXPECT_NE(result, -static_cast<long long>(ERROR_IO_PENDING));

    const BYTE out[] = {1};
    Overlapped write;
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(Port, out, 1, &written, write.Get()));
    EXPECT_NE(GetLastError(), ERROR_IO_PENDING);
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(PurgeComm(Port, PURGE_TXABORT | PURGE_RXABORT)) << "abort-only always works";
}

TEST_F(CommPty, SecondOpenIsDenied) {
    SetLastError(Sentinel);
    EXPECT_EQ(OpenComm(Far.Path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(CommPty, PtyHasNoModemLinesAndThatIsNoFailure) {
    DWORD status = Sentinel;
    SetLastError(Sentinel);
    ASSERT_TRUE(GetCommModemStatus(Port, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST_F(CommPty, EverySpeedAndFramingReachesTheTerminal) {
    const DWORD speeds[] = {110,   300,   600,   1200,   2400,   4800,   9600, 14400, 19200,
                            38400, 56000, 57600, 115200, 128000, 256000, 7200, 250000};
    for (DWORD speed : speeds) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = speed;
        dcb.fBinary = 1;
        dcb.ByteSize = 7;
        dcb.Parity = SPACEPARITY;
        dcb.StopBits = TWOSTOPBITS;
        dcb.XonChar = 17;
        dcb.XoffChar = 19;
        SetLastError(Sentinel);
        ASSERT_TRUE(SetCommState(Port, &dcb)) << speed << " error " << GetLastError();
        EXPECT_EQ(GetLastError(), Sentinel);
        platform::TermSettings t;
        ASSERT_EQ(platform::ReadTermSettings(Far.Master, t), 0);
        EXPECT_EQ(t.Speed, speed);
        // A pty keeps the stop bits and CMSPAR but always frames 8 bits without parity.
        EXPECT_EQ(t.Cflag & (CMSPAR | CSTOPB), static_cast<std::uint32_t>(CMSPAR | CSTOPB));

        DCB back;
        std::memset(&back, 0xFF, sizeof back);
        ASSERT_TRUE(GetCommState(Port, &back));
        EXPECT_EQ(std::memcmp(&back, &dcb, sizeof dcb), 0) << "get after set gives the same";
    }
}

TEST_F(CommPty, RefusedStateLeavesTheDeviceAsItWas) {
    DCB good{};
    good.DCBlength = sizeof good;
    good.BaudRate = 19200;
    good.fBinary = 1;
    good.ByteSize = 8;
    ASSERT_TRUE(SetCommState(Port, &good));
    platform::TermSettings before;
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, before), 0);

    DCB bad = good;
    bad.BaudRate = 57600;
    bad.ByteSize = 6;
    bad.StopBits = ONE5STOPBITS;
    EXPECT_FALSE(SetCommState(Port, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    platform::TermSettings after;
    ASSERT_EQ(platform::ReadTermSettings(Far.Master, after), 0);
    EXPECT_EQ(after, before);
    DCB back{};
    ASSERT_TRUE(GetCommState(Port, &back));
    EXPECT_EQ(back.BaudRate, 19200u);
}

TEST_F(CommPty, TimeoutsRoundTripAndTheImpossibleTripleIsRefused) {
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 100, 1000};
    ASSERT_TRUE(SetCommTimeouts(Port, &t));
    COMMTIMEOUTS back;
    std::memset(&back, 0xAB, sizeof back);
    ASSERT_TRUE(GetCommTimeouts(Port, &back));
    EXPECT_EQ(std::memcmp(&back, &t, sizeof t), 0);
    COMMTIMEOUTS bad{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(Port, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(CommPty, BlockingCallsWithoutOverlappedComplete) {
    ASSERT_TRUE(CloseHandle(Port));
    Port = OpenComm(Far.Path, false);
    ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    SetTimeouts(0, 0, 0);
    const BYTE out[] = {0x00, 0xFF, 0x11, 0x13};
    DWORD written = Sentinel;
    ASSERT_TRUE(WriteFile(Port, out, 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(Far.Receive(4), std::vector<BYTE>(out, out + 4));
    Far.Send({0x13, 0x11});
    BYTE in[2] = {};
    DWORD got = Sentinel;
    ASSERT_TRUE(ReadFile(Port, in, 2, &got, nullptr));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(in[0], 0x13);
}

TEST(CommOpen, NonTerminalsAreRefusedAndLeftUntouched) {
    char name[] = "/tmp/tillmark-comm-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "keep", 4), 4);
    ::close(fd);
    SetLastError(Sentinel);
    EXPECT_EQ(OpenComm(name), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), Sentinel);
    std::ifstream in(name);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
    ::unlink(name);

    EXPECT_EQ(OpenComm("/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenComm("/tmp/tillmark-no-such-device"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    struct stat st {};
    EXPECT_NE(::stat("/tmp/tillmark-no-such-device", &st), 0) << "nothing was created";
}

TEST(CommHandles, CommCallsOnAHandleOfAnotherKindFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(event, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(PurgeComm(event, PURGE_RXABORT));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
    EXPECT_FALSE(SetCommMask(INVALID_HANDLE_VALUE, EV_RXCHAR));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
