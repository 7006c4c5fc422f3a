// The simulated comm device: what a pty cannot show (modem lines, ring, break, line errors, flow
// on DSR and CTS, the receive ring's limits) and the call record the port's own tests rely on.
#include "CommTestSupport.h"

#include "platform/linux/sim/SimulatedComm.h"

#include <cstring>

namespace {

using commtest::Overlapped;
using commtest::PortDcb;
using commtest::Sentinel;
using platform::CommCallKind;
using platform::SimulatedComm;

class CommSimulated : public ::testing::Test {
protected:
    void SetUp() override {
        Device = SimulatedComm::Install("COM7");
        Port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override {
        if (Port != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(Port));
        }
        SimulatedComm::Uninstall("COM7");
    }

    void Apply(const DCB& Dcb) {
        DCB copy = Dcb;
        ASSERT_TRUE(SetCommState(Port, &copy)) << GetLastError();
    }

    // Starts a wait for events of Mask; true while it is pending.
    bool StartWait(DWORD Mask, DWORD& Got, Overlapped& Record) {
        EXPECT_TRUE(SetCommMask(Port, Mask));
        if (WaitCommEvent(Port, &Got, Record.Get()))
            return false;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        return true;
    }

    long long Result(Overlapped& Record) { return commtest::Outcome(Port, Record); }

    std::shared_ptr<SimulatedComm> Device;
    HANDLE Port = INVALID_HANDLE_VALUE;
};

TEST_F(CommSimulated, RecordsEveryCallWithItsArgumentsInOrder) {
    ASSERT_TRUE(SetupComm(Port, 1024, 2048));
    DCB dcb = PortDcb();
    dcb.EvtChar = '!';
    ASSERT_TRUE(SetCommState(Port, &dcb));
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 100, 1000};
    ASSERT_TRUE(SetCommTimeouts(Port, &timeouts));
    ASSERT_TRUE(SetCommMask(Port, 0x05FF));
    const BYTE bytes[] = {0x1B, 0x40, 0x00, 0xB0, 0xA1};
    Overlapped write;
    DWORD written = 0;
    if (!WriteFile(Port, bytes, sizeof bytes, &written, write.Get())) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    ASSERT_TRUE(write.Done());
    ASSERT_TRUE(PurgeComm(Port, PURGE_TXABORT | PURGE_RXABORT));
    ASSERT_TRUE(CloseHandle(Port));
    Port = INVALID_HANDLE_VALUE;

    const std::vector<CommCallKind> expected = {
        CommCallKind::CreateFile,      CommCallKind::SetupComm,   CommCallKind::SetCommState,
        CommCallKind::SetCommTimeouts, CommCallKind::SetCommMask, CommCallKind::WriteFile,
        CommCallKind::PurgeComm,       CommCallKind::CloseHandle};
    EXPECT_EQ(Device->CallKinds(), expected);
    const auto calls = Device->Calls();
    ASSERT_EQ(calls.size(), expected.size());
    EXPECT_EQ(calls[1].Value, 1024u);
    EXPECT_EQ(calls[1].Value2, 2048u);
    EXPECT_EQ(std::memcmp(&calls[2].Dcb, &dcb, sizeof dcb), 0);
    EXPECT_EQ(std::memcmp(&calls[3].Timeouts, &timeouts, sizeof timeouts), 0);
    EXPECT_EQ(calls[4].Value, 0x05FFu);
    EXPECT_EQ(calls[5].Bytes, std::vector<BYTE>(bytes, bytes + sizeof bytes));
    EXPECT_TRUE(calls[5].Overlapped);
    EXPECT_EQ(calls[6].Value, PURGE_TXABORT | PURGE_RXABORT);
    EXPECT_EQ(Device->Written(), std::vector<BYTE>(bytes, bytes + sizeof bytes));
    EXPECT_FALSE(Device->IsOpen());
}

TEST_F(CommSimulated, OpensByNameInAnyCaseAndOnlyOnce) {
    SetLastError(Sentinel);
    EXPECT_EQ(CreateFileA("\\\\.\\com7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(CloseHandle(Port));
    Port = CreateFileA("\\\\.\\com7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_NE(Port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Device->OpenCount(), 3);
}

TEST_F(CommSimulated, FailsTheChosenCallWithTheChosenError) {
    Device->FailCall(CommCallKind::SetCommState, 2, ERROR_GEN_FAILURE);
    DCB dcb = PortDcb();
    EXPECT_TRUE(SetCommState(Port, &dcb));
    SetLastError(Sentinel);
    EXPECT_FALSE(SetCommState(Port, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(SetCommState(Port, &dcb));
    EXPECT_EQ(Device->Calls().size(), 4u) << "failed calls are recorded too";

    ASSERT_TRUE(CloseHandle(Port));
    Device->FailCall(CommCallKind::CreateFile, 1, ERROR_FILE_NOT_FOUND);
    Port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_EQ(Port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(CommSimulated, ModemLinesAndTheirEvents) {
    DWORD status = Sentinel;
    ASSERT_TRUE(GetCommModemStatus(Port, &status));
    EXPECT_EQ(status, 0u);

    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_TRUE(StartWait(EV_CTS | EV_DSR | EV_RLSD, mask, wait));
    Device->RaiseLines(MS_CTS_ON | MS_DSR_ON);
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(mask, EV_CTS | EV_DSR);
    ASSERT_TRUE(GetCommModemStatus(Port, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_DSR_ON);

    Overlapped second;
    ASSERT_TRUE(StartWait(EV_CTS | EV_DSR | EV_RLSD, mask, second));
    Device->RaiseLines(MS_RLSD_ON);
    ASSERT_TRUE(second.Done());
    EXPECT_EQ(mask, EV_RLSD);
    ASSERT_TRUE(GetCommModemStatus(Port, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
}

TEST_F(CommSimulated, EventsBeforeTheWaitCompleteItAtOnceAndOnlyThoseOfTheMask) {
    ASSERT_TRUE(SetCommMask(Port, EV_RING | EV_BREAK));
    Device->Ring();
    Device->RaiseLines(MS_CTS_ON); // not in the mask: forgotten
    DWORD mask = Sentinel;
    Overlapped wait;
    SetLastError(Sentinel);
    ASSERT_TRUE(WaitCommEvent(Port, &mask, wait.Get()));
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_EQ(mask, EV_RING);
    EXPECT_TRUE(wait.Done(0));

    Device->Break();
    ASSERT_TRUE(SetCommMask(Port, EV_RING | EV_BREAK)) << "a new mask forgets what happened";
    Overlapped second;
    EXPECT_FALSE(WaitCommEvent(Port, &mask, second.Get()));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(SetCommMask(Port, 0));
}

TEST_F(CommSimulated, BreakAndLineErrorsAreReportedOnce) {
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_TRUE(StartWait(EV_ERR | EV_BREAK, mask, wait));
    Device->LineError(CE_FRAME | CE_RXPARITY);
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(mask, EV_ERR);
    Device->Break();
    Device->LineError(CE_OVERRUN | CE_RXOVER);

    DWORD errors = Sentinel;
    COMSTAT stat;
    std::memset(&stat, 0xFF, sizeof stat);
    ASSERT_TRUE(ClearCommError(Port, &errors, &stat));
    EXPECT_EQ(errors, CE_FRAME | CE_RXPARITY | CE_BREAK | CE_OVERRUN | CE_RXOVER);
    EXPECT_EQ(stat.cbInQue, 0u);
    EXPECT_EQ(stat.fDsrHold, 0u);
    ASSERT_TRUE(ClearCommError(Port, &errors, nullptr));
    EXPECT_EQ(errors, 0u);

    Overlapped second;
    ASSERT_TRUE(WaitCommEvent(Port, &mask, second.Get())) << "kept since the last wait";
    EXPECT_EQ(mask, EV_BREAK | EV_ERR);
    Overlapped third;
    ASSERT_FALSE(WaitCommEvent(Port, &mask, third.Get()));
    Device->Break();
    ASSERT_TRUE(third.Done());
    EXPECT_EQ(mask, EV_BREAK);
}

TEST_F(CommSimulated, WritesPauseWhileDsrIsOffWithDsrFlow) {
    DCB dcb = PortDcb();
    dcb.fOutxDsrFlow = 1;
    Apply(dcb);
    const BYTE bytes[] = {1, 2, 3};
    Overlapped write;
    DWORD written = 0;
    ASSERT_FALSE(WriteFile(Port, bytes, 3, &written, write.Get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(Device->Written().empty());
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(Port, nullptr, &stat));
    EXPECT_EQ(stat.fDsrHold, 1u);
    EXPECT_EQ(stat.cbOutQue, 3u);

    Device->RaiseLines(MS_DSR_ON);
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(Result(write), 3);
    EXPECT_EQ(Device->Written(), std::vector<BYTE>(bytes, bytes + 3));
}

TEST_F(CommSimulated, CtsFlowWithoutRtsHandshakePausesWritesToo) {
    DCB dcb = PortDcb();
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    Apply(dcb);
    const BYTE bytes[] = {9};
    Overlapped write;
    DWORD written = 0;
    ASSERT_FALSE(WriteFile(Port, bytes, 1, &written, write.Get()));
    EXPECT_FALSE(write.Done(0));
    Device->RaiseLines(MS_CTS_ON);
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(Result(write), 1);
}

TEST_F(CommSimulated, HeldOutputEndsWithTheWriteTimeoutAsSuccess) {
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 50};
    ASSERT_TRUE(SetCommTimeouts(Port, &timeouts));
    Device->HoldOutput(true);
    const BYTE bytes[] = {1, 2};
    Overlapped write;
    DWORD written = 0;
    ASSERT_FALSE(WriteFile(Port, bytes, 2, &written, write.Get()));
    ASSERT_TRUE(write.Done());
    EXPECT_EQ(Result(write), 0);
}

TEST_F(CommSimulated, AWriteTimedOutWithNothingSentRaisesNoTxEmpty) {
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 50};
    ASSERT_TRUE(SetCommTimeouts(Port, &timeouts));
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_TRUE(StartWait(EV_TXEMPTY, mask, wait));
    Device->HoldOutput(true);
    const BYTE bytes[] = {1, 2};
    DWORD written = Sentinel;
    ASSERT_TRUE(commtest::WriteWaited(Port, bytes, 2, written));
    EXPECT_EQ(written, 0u);
    // A call on the port comes after the pass that ended the write, and whatever it raised.
    ASSERT_TRUE(ClearCommError(Port, nullptr, nullptr));
    EXPECT_FALSE(wait.Done(0)) << "nothing went out, so nothing emptied";
    Device->HoldOutput(false);
    ASSERT_TRUE(commtest::WriteWaited(Port, bytes, 2, written));
    EXPECT_EQ(written, 2u);
    ASSERT_TRUE(wait.Done());
    EXPECT_EQ(mask, static_cast<DWORD>(EV_TXEMPTY));
}

TEST_F(CommSimulated, InputFromBeforeAnOpenIsNotHandedToIt) {
    ASSERT_TRUE(CloseHandle(Port));
    Device->Feed({'l', 'a', 't', 'e'}); // a late answer while the port is closed
    Port = CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
    COMSTAT stat;
    std::memset(&stat, 0xFF, sizeof stat);
    ASSERT_TRUE(ClearCommError(Port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &immediate));
    BYTE buffer[8] = {};
    DWORD got = Sentinel;
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    Device->Feed({'n', 'e', 'w'});
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, sizeof buffer, got));
    EXPECT_EQ(std::string(buffer, buffer + std::min<DWORD>(got, sizeof buffer)), "new");
}

TEST_F(CommSimulated, Rx80FullFollowsTheSetupCommSize) {
    ASSERT_TRUE(SetupComm(Port, 10, 10));
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_TRUE(StartWait(EV_RX80FULL, mask, wait));
    Device->Feed({1, 2, 3, 4, 5, 6, 7});
    EXPECT_FALSE(wait.Done(0));
    Device->Feed({8});
    ASSERT_TRUE(wait.Done(0));
    EXPECT_EQ(mask, EV_RX80FULL);

    // The ring holds its size and no more; the rest waits in the device.
    Device->Feed({9, 10, 11, 12});
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(Port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 10u);
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &immediate));
    BYTE buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 10u);
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 2u) << "nothing was lost";
    EXPECT_EQ(buffer[1], 12);
}

TEST_F(CommSimulated, EventCharacterAndDiscardedNuls) {
    DCB dcb = PortDcb();
    dcb.EvtChar = '\n';
    dcb.fNull = 1;
    Apply(dcb);
    DWORD mask = Sentinel;
    Overlapped wait;
    ASSERT_TRUE(StartWait(EV_RXCHAR | EV_RXFLAG, mask, wait));
    Device->Feed({0, 'o', 0, 'k', '\n'});
    ASSERT_TRUE(wait.Done(0));
    EXPECT_EQ(mask, EV_RXCHAR | EV_RXFLAG);
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &immediate));
    BYTE buffer[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, sizeof buffer, got));
    ASSERT_EQ(got, 3u);
    EXPECT_EQ(std::memcmp(buffer, "ok\n", 3), 0);

    Overlapped second;
    ASSERT_TRUE(StartWait(EV_RXCHAR, mask, second));
    Device->Feed({0, 0});
    EXPECT_FALSE(second.Done(0)) << "discarded NULs are no received characters";
    ASSERT_TRUE(SetCommMask(Port, 0));
}

TEST_F(CommSimulated, DtrAndRtsFollowTheirControlModes) {
    DCB dcb = PortDcb();
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    Apply(dcb);
    EXPECT_FALSE(Device->Dtr());
    EXPECT_TRUE(Device->Rts());
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    Apply(dcb);
    EXPECT_TRUE(Device->Dtr());
    EXPECT_FALSE(Device->Rts());
    ASSERT_TRUE(EscapeCommFunction(Port, CLRDTR));
    EXPECT_FALSE(Device->Dtr());
}

TEST_F(CommSimulated, DtrHandshakeFollowsTheReceiveRing) {
    ASSERT_TRUE(SetupComm(Port, 10, 10));
    DCB dcb = PortDcb();
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.XoffLim = 2; // lower the lines when 2 bytes or fewer are free
    dcb.XonLim = 3;  // raise them again at 3 bytes or fewer queued
    Apply(dcb);
    EXPECT_TRUE(Device->Dtr());
    EXPECT_TRUE(Device->Rts());
    Device->Feed({1, 2, 3, 4, 5, 6, 7});
    EXPECT_TRUE(Device->Dtr());
    Device->Feed({8});
    EXPECT_FALSE(Device->Dtr());
    EXPECT_FALSE(Device->Rts());

    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &immediate));
    BYTE buffer[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, 4, got));
    EXPECT_FALSE(Device->Dtr()) << "4 queued is above the XON limit";
    ASSERT_TRUE(commtest::ReadWaited(Port, buffer, 1, got));
    EXPECT_TRUE(Device->Dtr());
    EXPECT_TRUE(Device->Rts());
}

TEST_F(CommSimulated, DsrSensitivityDropsInputWhileDsrIsOff) {
    DCB dcb = PortDcb();
    dcb.fDsrSensitivity = 1;
    Apply(dcb);
    Device->Feed({1, 2});
    Device->RaiseLines(MS_DSR_ON);
    Device->Feed({3});
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(Port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 1u);
}

TEST_F(CommSimulated, AbortOnErrorStopsTransfersUntilTheErrorIsCleared) {
    DCB dcb = PortDcb();
    dcb.fAbortOnError = 1;
    Apply(dcb);
    COMMTIMEOUTS none{0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &none));
    BYTE buffer[4] = {};
    Overlapped read;
    DWORD got = 0;
    ASSERT_FALSE(ReadFile(Port, buffer, 4, &got, read.Get()));
    Device->LineError(CE_FRAME);
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), -static_cast<long long>(ERROR_OPERATION_ABORTED));
    Overlapped again;
    EXPECT_FALSE(ReadFile(Port, buffer, 4, &got, again.Get()));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(Port, &errors, nullptr));
    EXPECT_EQ(errors, CE_FRAME);
    Overlapped third;
    EXPECT_FALSE(ReadFile(Port, buffer, 4, &got, third.Get()));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(PurgeComm(Port, PURGE_RXABORT));
    ASSERT_TRUE(third.Done());
}

TEST_F(CommSimulated, VanishedDeviceFailsTransfersButAbortAndCloseStillWork) {
    COMMTIMEOUTS none{0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(Port, &none));
    BYTE buffer[4] = {};
    Overlapped read;
    DWORD got = 0;
    ASSERT_FALSE(ReadFile(Port, buffer, 4, &got, read.Get()));
    Device->Vanish();
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(Result(read), -static_cast<long long>(ERROR_GEN_FAILURE));
    Overlapped write;
    EXPECT_FALSE(WriteFile(Port, buffer, 1, &got, write.Get()));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(PurgeComm(Port, PURGE_TXABORT | PURGE_RXABORT));
    EXPECT_FALSE(PurgeComm(Port, PURGE_RXCLEAR)) << "clearing needs the device";
}

TEST_F(CommSimulated, OversizedQueuesAreRefused) {
    // A negative size from the caller arrives as a huge unsigned number.
    EXPECT_FALSE(SetupComm(Port, static_cast<DWORD>(-1), 1024));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SetupComm(Port, 4096, 4096));
}

TEST_F(CommSimulated, StateReadBeforeAnySetDescribesTheOpenDevice) {
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    ASSERT_TRUE(GetCommState(Port, &dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fDummy2, 0u);
    EXPECT_EQ(dcb.EvtChar, 0);
}

} // namespace
