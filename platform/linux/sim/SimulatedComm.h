// A comm device that lives in memory, for tests. A test installs it under a port name;
// CreateFileA("\\.\" + that name) then opens it through the same engine as a real terminal, so
// reads, writes, waits and events behave alike. The test drives the far side: it feeds received
// bytes, raises and drops modem lines, rings, breaks, injects line errors, fails chosen calls,
// and reads back every call the port made with its arguments, in order.
//
// Only tests link it (the platform_simulated library): the first Install plugs it into the open
// path (SetCommDeviceProvider), so the programs neither carry it nor ask it on a real open.
#pragma once

#include "platform/linux/comm/CommEngine.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class SimulatedComm : public std::enable_shared_from_this<SimulatedComm> {
public:
    // Installs a device under Name (compared without regard to case) and returns its control.
    // The device stays installed while the control lives or until Uninstall.
    static std::shared_ptr<SimulatedComm> Install(const std::string& Name);
    static void Uninstall(const std::string& Name);

    // Every call made on the device since it was installed, oldest first.
    std::vector<CommCall> Calls() const;
    std::vector<CommCallKind> CallKinds() const;
    // Every byte the device took, in order.
    std::vector<BYTE> Written() const;
    bool IsOpen() const;
    // Opens so far, and the settings the engine gave the device last.
    int OpenCount() const;
    TermSettings Settings() const;
    // DTR and RTS as the port drives them: 1 raised, 0 lowered.
    bool Dtr() const;
    bool Rts() const;

    // The far side sends bytes.
    void Feed(const std::vector<BYTE>& Bytes);
    // Modem input lines, as MS_*_ON bits.
    void SetLines(DWORD Lines);
    void RaiseLines(DWORD Lines);
    void DropLines(DWORD Lines);
    void Ring();
    void Break();
    // CE_FRAME, CE_RXPARITY, CE_OVERRUN or CE_RXOVER, any combination.
    void LineError(DWORD Errors);
    // While held, the device takes no output, as a printer holding flow control.
    void HoldOutput(bool Hold);
    // The device vanishes (cable pulled): later device operations fail with EIO.
    void Vanish();
    // The Nth call of Kind from now on (1 = the next one) fails with Error. CreateFile counts
    // opens.
    void FailCall(CommCallKind Kind, int Nth, DWORD Error);
    // Opening fails with Error until cleared with ERROR_SUCCESS.
    void FailOpen(DWORD Error);

    // Used by the opening path; not for tests.
    std::shared_ptr<KernelObject> Open(bool Overlapped);

private:
    friend class SimulatedBackend;
    struct Failure {
        CommCallKind Kind;
        int Remaining;
        DWORD Error;
    };

    void WakeEngine(std::unique_lock<std::mutex>& Held);

    mutable std::mutex Lock;
    // Held while the engine's waker runs and while it is swapped, so a closing engine can wait
    // for a wake in progress; never taken together with Lock.
    std::mutex WakerLock;
    std::vector<CommCall> Log;
    std::vector<BYTE> Output;
    std::vector<BYTE> Input;
    std::vector<Failure> Failures;
    std::function<void()> Waker;
    TermSettings Current;
    DWORD Lines = 0;
    LineCounters Counters;
    bool DtrOn = true;
    bool RtsOn = true;
    bool Held = false;
    bool Gone = false;
    bool Opened = false;
    int Opens = 0;
    DWORD OpenError = ERROR_SUCCESS;
};

} // namespace platform
