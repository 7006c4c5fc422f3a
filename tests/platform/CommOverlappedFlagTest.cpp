// FILE_FLAG_OVERLAPPED decides how a comm handle transfers, as on Windows: a plain handle
// completes every call before returning, record or not; an overlapped one needs the record.
#include "CommTestSupport.h"
#include "DeviceTestSupport.h"

#include "platform/linux/sim/SimulatedComm.h"

#include <functional>
#include <future>
#include <thread>

namespace {

using commtest::Overlapped;
using commtest::Sentinel;
using platform::CommCallKind;
using platform::SimulatedComm;
using std::chrono::milliseconds;

// A port on a pty (through an alias, as a user names one) or on the simulated device.
class CommOverlappedFlag : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            Sim = SimulatedComm::Install("COM6");
            Name = "\\\\.\\COM6";
            return;
        }
        if (!Far.Ok())
            GTEST_SKIP() << "no pseudo-terminals here";
        Environment.Alias("com9", Far.Path);
        Name = "\\\\.\\COM9";
    }
    void TearDown() override {
        if (Port != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(Port));
        }
        if (Sim)
            SimulatedComm::Uninstall("COM6");
    }

    void Open(DWORD Flags) {
        Port = CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           Flags, nullptr);
        ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void Send(const std::vector<BYTE>& Bytes) {
        if (Sim)
            Sim->Feed(Bytes);
        else
            Far.Send(Bytes);
    }
    // Every byte the device took; from a pty up to Count, waiting at most Limit.
    std::vector<BYTE> Taken(std::size_t Count, milliseconds Limit = milliseconds(5000)) {
        return Sim ? Sim->Written() : Far.Receive(Count, Limit);
    }

    testsupport::DeviceEnvironment Environment;
    commtest::Pty Far;
    std::shared_ptr<SimulatedComm> Sim;
    std::string Name;
    HANDLE Port = INVALID_HANDLE_VALUE;
};

TEST_P(CommOverlappedFlag, AnOverlappedHandleRefusesCallsWithoutARecord) {
    Open(FILE_FLAG_OVERLAPPED);
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &immediate));
    ASSERT_TRUE(SetCommMask(Port, EV_RXCHAR));
    // A byte to read and its event: a call let through would not wait.
    Send({'y'});
    const BYTE out[] = {'x'};
    BYTE in[4] = {};
    const std::vector<std::pair<const char*, std::function<BOOL(DWORD*)>>> calls = {
        {"write", [&](DWORD* n) { return WriteFile(Port, out, 1, n, nullptr); }},
        {"empty write", [&](DWORD* n) { return WriteFile(Port, out, 0, n, nullptr); }},
        {"read", [&](DWORD* n) { return ReadFile(Port, in, sizeof in, n, nullptr); }},
        {"event wait", [&](DWORD* mask) { return WaitCommEvent(Port, mask, nullptr); }},
    };
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        DWORD count = Sentinel;
        SetLastError(Sentinel);
        EXPECT_FALSE(call(&count));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        if (std::string(what) != "event wait") {
            EXPECT_EQ(count, 0u);
        }
    }
    // A pty holds what it was given at once: a moment is enough to see that nothing came.
    EXPECT_TRUE(Taken(1, milliseconds(1)).empty()) << "a refused write sends nothing";
    // With its record the same write goes out.
    Overlapped write;
    DWORD written = 0;
    if (!WriteFile(Port, out, 1, &written, write.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(commtest::Outcome(Port, write), 1);
    EXPECT_EQ(Taken(1), std::vector<BYTE>{'x'});
}

TEST_P(CommOverlappedFlag, APlainHandleCompletesTransfersGivenARecordBeforeReturning) {
    Open(0);
    // The read ends 50 ms after it starts with what came: a transfer that has to wait.
    COMMTIMEOUTS timeouts{0, 0, 50, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &timeouts));
    const BYTE out[] = {1, 2, 3};
    Overlapped write;
    ResetEvent(write.Record.hEvent);
    DWORD written = Sentinel;
    SetLastError(Sentinel);
    EXPECT_TRUE(WriteFile(Port, out, 3, &written, write.Get()));
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(write.Done(0));
    EXPECT_EQ(write.Record.Internal, 0u);
    EXPECT_EQ(write.Record.InternalHigh, 3u);
    EXPECT_EQ(commtest::Outcome(Port, write), 3);
    EXPECT_EQ(Taken(3), std::vector<BYTE>(out, out + 3));

    Send({'o', 'k'});
    Overlapped read;
    ResetEvent(read.Record.hEvent);
    BYTE in[8] = {};
    DWORD got = Sentinel;
    SetLastError(Sentinel);
    EXPECT_TRUE(ReadFile(Port, in, sizeof in, &got, read.Get()));
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_EQ(std::string(in, in + std::min<DWORD>(got, sizeof in)), "ok");
    EXPECT_TRUE(read.Done(0));
    EXPECT_EQ(read.Record.Internal, 0u);
    EXPECT_EQ(read.Record.InternalHigh, 2u);
    EXPECT_EQ(commtest::Outcome(Port, read), 2);
}

INSTANTIATE_TEST_SUITE_P(Devices, CommOverlappedFlag, ::testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Simulated" : "Pty"; });

// The device records the wait under the port's lock, which a byte arriving needs too: once the
// record shows it, the byte cannot come before the wait.
TEST(CommOverlappedFlagWait, APlainHandleWaitsForTheEventGivenARecord) {
    auto device = SimulatedComm::Install("COM6");
    HANDLE port = CreateFileA("\\\\.\\COM6", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    Overlapped wait;
    ResetEvent(wait.Record.hEvent);
    DWORD mask = Sentinel;
    auto waiting = std::async(std::launch::async, [&] {
        SetLastError(Sentinel);
        const BOOL done = WaitCommEvent(port, &mask, wait.Get());
        return std::pair<BOOL, DWORD>(done, GetLastError());
    });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (device->CallKinds().back() != CommCallKind::WaitCommEvent &&
           std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    device->Feed({'!'});
    if (waiting.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        SetCommMask(port, 0); // ends the wait, so the test fails rather than hangs
        FAIL() << "the wait never ended";
    }
    const auto [done, error] = waiting.get();
    EXPECT_TRUE(done);
    EXPECT_EQ(error, Sentinel);
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_TRUE(wait.Done(0));
    EXPECT_EQ(commtest::Outcome(port, wait), static_cast<long long>(sizeof(DWORD)));
    EXPECT_TRUE(CloseHandle(port));
    SimulatedComm::Uninstall("COM6");
}

} // namespace
