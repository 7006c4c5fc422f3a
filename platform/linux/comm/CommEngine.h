// Internal to the Linux backend: the comm device engine. One engine per open comm handle owns the
// device through a CommBackend (a terminal, or the simulated device) and serves overlapped reads,
// writes and event waits. Callers' threads do all they can at once; what has to wait for the
// device or a deadline is finished by the process's comm reactor. The engine's code is spread over
// one file per subject, which CommEngineShared.h lists.
#pragma once

#include "platform/linux/Win32Comm.h"
#include "platform/linux/comm/CommReactor.h"
#include "platform/linux/comm/CommTimeouts.h"
#include "platform/linux/comm/DcbMapping.h"
#include "platform/linux/sync/Handles.h"
#include "platform/linux/sync/Sync.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace platform {

// The comm calls an engine serves, for the simulated device's record and its injected failures.
enum class CommCallKind : BYTE {
    CreateFile,
    SetupComm,
    SetCommState,
    GetCommState,
    SetCommTimeouts,
    GetCommTimeouts,
    SetCommMask,
    GetCommMask,
    WaitCommEvent,
    WriteFile,
    ReadFile,
    PurgeComm,
    ClearCommError,
    GetCommModemStatus,
    EscapeCommFunction,
    CloseHandle,
    FlushFileBuffers,
};

// One call as the caller handed it over.
struct CommCall {
    CommCallKind Kind{};
    DCB Dcb{};                    // SetCommState
    COMMTIMEOUTS Timeouts{};      // SetCommTimeouts
    DWORD Value = 0;              // SetupComm input size, masks, purge flags, escape code, counts
    DWORD Value2 = 0;             // SetupComm output size
    std::span<const BYTE> Data{}; // WriteFile: the caller's bytes, valid during the call only
    std::vector<BYTE> Bytes{};    // a call kept for later: its own copy of Data
    bool Overlapped = false;      // ReadFile, WriteFile, WaitCommEvent
};

// Line error and event counters, as the kernel's interrupt counters keep them.
struct LineCounters {
    DWORD Cts = 0, Dsr = 0, Ring = 0, Rlsd = 0;
    DWORD Frame = 0, Parity = 0, Overrun = 0, BufferOverrun = 0, Break = 0;
};

// The device side of an engine. Every call answers at once; the int results are 0 or an errno.
class CommBackend {
public:
    virtual ~CommBackend() = default;

    // A descriptor that polls readable when input is waiting and writable when output is
    // accepted, or -1 when the backend wakes the engine itself through the waker.
    virtual int PollFd() const = 0;
    // The engine's waker, to call when the lines, counters or queued input changed; it serves
    // the change before it returns. Never call it holding a lock the backend's calls take.
    virtual void Attach(std::function<void()> Waker) = 0;
    // Stops everything that may call the waker, waiting for a call in progress to return; runs
    // after the engine stopped serving and before the engine goes away.
    virtual void Detach() = 0;

    // Like read(2)/write(2) on a non-blocking descriptor: bytes moved (0 when none) or -errno.
    virtual long Read(BYTE* Buffer, std::size_t Count) = 0;
    virtual long Write(const BYTE* Buffer, std::size_t Count) = 0;
    // Bytes written that have not left the device yet.
    virtual int OutputQueued(DWORD& Count) = 0;

    virtual int GetSettings(TermSettings& Settings) = 0;
    virtual int SetSettings(const TermSettings& Settings) = 0;

    // Modem input lines as MS_*_ON bits; ENOTTY when the device has no lines.
    virtual int GetLines(DWORD& Lines) = 0;
    // Output lines: Dtr/Rts -1 leave as is, 0 lower, 1 raise. ENOTTY when there are none.
    virtual int SetLines(int Dtr, int Rts) = 0;
    // ENOTTY when the device keeps no counters.
    virtual int GetCounters(LineCounters& Counters) = 0;

    virtual int Flush(bool Input, bool Output) = 0;
    // Waits until the bytes written have left the device.
    virtual int Drain() = 0;
    virtual int SetBreak(bool On) = 0;
    // Stop or restart output as if XOFF or XON had come in.
    virtual int SuspendOutput(bool Suspend) = 0;

    // A chance to record the call or fail it: a Win32 error number, or ERROR_SUCCESS to go on.
    // A record kept beyond the call copies Data into Bytes; nothing is copied for those that
    // keep none, so a write costs no copy on a real device.
    virtual DWORD Intercept(const CommCall&) { return ERROR_SUCCESS; }

    // The engine closes: release the device. Nothing is written any more.
    virtual void Close() = 0;
};

// A byte queue of fixed capacity (the SetupComm input size).
class ByteRing {
public:
    explicit ByteRing(std::size_t Capacity) : Storage(Capacity) {}
    std::size_t Size() const { return Count; }
    std::size_t Capacity() const { return Storage.size(); }
    std::size_t Space() const { return Storage.size() - Count; }
    void Push(BYTE Byte);
    std::size_t Pop(BYTE* Out, std::size_t Max);
    void Clear() { Head = Count = 0; }
    // New capacity; queued bytes are kept, so it never shrinks below the bytes waiting.
    void Resize(std::size_t Capacity);

private:
    std::vector<BYTE> Storage;
    std::size_t Head = 0;
    std::size_t Count = 0;
};

class CommEngine : public KernelObject,
                   public ReactorClient,
                   public std::enable_shared_from_this<CommEngine> {
public:
    // Overlapped: the handle was opened with FILE_FLAG_OVERLAPPED.
    CommEngine(std::unique_ptr<CommBackend> Backend, bool Overlapped);
    ~CommEngine() override;

    CommEngine(const CommEngine&) = delete;
    CommEngine& operator=(const CommEngine&) = delete;

    // Takes the device's state and registers with the reactor; ERROR_SUCCESS or a Win32 error
    // number. The engine must be owned by a shared_ptr.
    DWORD Start();

    void Close() override;
    BOOL Write(const void* Buffer, DWORD Count, DWORD* Written, _OVERLAPPED* Overlapped) override;
    BOOL Read(void* Buffer, DWORD Count, DWORD* Read, _OVERLAPPED* Overlapped) override;
    DWORD FileType() const override;

    BOOL SetupComm(DWORD InQueue, DWORD OutQueue);
    BOOL SetCommState(const DCB& Dcb);
    BOOL GetCommState(DCB& Dcb);
    BOOL SetCommTimeouts(const COMMTIMEOUTS& Timeouts);
    BOOL GetCommTimeouts(COMMTIMEOUTS& Timeouts);
    BOOL SetCommMask(DWORD Mask);
    BOOL GetCommMask(DWORD& Mask);
    BOOL WaitCommEvent(DWORD* EvtMask, _OVERLAPPED* Overlapped);
    BOOL PurgeComm(DWORD Flags);
    BOOL FlushFileBuffers();
    BOOL ClearCommError(DWORD* Errors, COMSTAT* Stat);
    BOOL GetCommModemStatus(DWORD& Status);
    BOOL EscapeCommFunction(DWORD Function);

private:
    struct Transfer {
        BYTE* Buffer = nullptr; // reads fill it, writes send from it
        DWORD Count = 0;
        DWORD Done = 0;
        _OVERLAPPED* Overlapped = nullptr;
        bool Started = false; // its timer runs from the moment it reaches the head of the queue
        TransferTimer Timer;
    };
    struct EventWait {
        DWORD* EvtMask = nullptr;
        _OVERLAPPED* Overlapped = nullptr;
    };

    // Held for every look at the engine's state: the wake-ups sent under it wait in Wakes until
    // it is released.
    WakingLock Hold() { return WakingLock(Lock, Wakes); }
    struct EnteredCall {
        WakingLock Held;
        DWORD Refusal; // ERROR_SUCCESS when the call goes on
    };
    // The way into every call: holds the lock, takes input back from a helper, and refuses the
    // call on a closed port or, when Intercepted, as the device decides.
    EnteredCall Enter(const CommCall& Call, bool Intercepted = true);

    void DescriptorReady(std::uint32_t Events) override;
    // Under Lock: the device reported a hang-up.
    void HangUp();
    void DeadlinePassed() override;
    // What a thread waiting for a read or an event wait (input), or for a write (output), may do
    // itself: only its own direction, so a writer and an event thread never wake for each other.
    class DirectionHelper final : public WaitHelper {
    public:
        DirectionHelper(CommEngine& Owner, bool ForOutput) : Engine(Owner), Output(ForOutput) {}
        int HelperFd(short& Events) override;
        void Help(short Events) override;

    private:
        CommEngine& Engine;
        const bool Output;
    };
    // Under Lock: a thread that waits for Record's event may serve the device itself.
    void OfferHelp(const _OVERLAPPED* Record, DirectionHelper& Helper);
    // Under Lock, after every change: tells the reactor what to watch for and when to look again.
    void Rearm();
    // A transfer without a record on an overlapped handle: no count, ERROR_INVALID_PARAMETER.
    static BOOL RefuseWithoutRecord(DWORD* Done);
    BOOL Submit(std::deque<Transfer>& Queue, BYTE* Buffer, DWORD Count, DWORD* Done,
                _OVERLAPPED* Overlapped, WakingLock& Held);
    // One pass over everything that may have changed; runs under Lock on any thread. Callers
    // that only change settings or send leave reading the device to the reactor, which is told
    // when input is waiting.
    void Service(CommClock::time_point Now, bool ReadDevice = true);
    void TakeInput(CommClock::time_point Now);
    void CheckLines();
    void ServeReads(CommClock::time_point Now);
    void ServeWrites(CommClock::time_point Now);
    // The steps of serving the front write: hand the device what it takes (the errno of a
    // failure, or 0); then complete it once drained or timed out (true) or arm the drain check.
    int SendWrite(Transfer& W);
    bool SettleWrite(Transfer& W, CommClock::time_point Now);
    // Completes the front write with Sent bytes; EV_TXEMPTY when it was the last and Emptied.
    void FinishWrite(DWORD Sent, bool Emptied);
    CommClock::duration TimeToSend(DWORD Bytes) const;
    void ApplyInputHandshake();
    bool OutputHeld() const;
    // A write has bytes the device has not taken yet and may take now.
    bool WantsToSend() const;
    void Raise(DWORD Events);
    void RaiseErrors(DWORD Errors);
    void GoDead(int Errno);
    void FailAll(std::deque<Transfer>& Queue, DWORD Status);
    std::optional<CommClock::time_point> NextDeadline() const;

    // Finishes an overlapped record: count, then status, then its event; wakes blocked callers.
    void Complete(_OVERLAPPED* Overlapped, DWORD Status, DWORD Count);
    // Starts an overlapped record: pending, count 0, event reset.
    static void Begin(_OVERLAPPED* Overlapped);
    // For calls on a handle opened without FILE_FLAG_OVERLAPPED: waits until Record (the
    // caller's or one of its own) completes; returns TRUE or FALSE with the last error set.
    BOOL WaitBlocking(WakingLock& Held, _OVERLAPPED& Record, DWORD* Count);

    std::unique_ptr<CommBackend> Device;
    // Opened with FILE_FLAG_OVERLAPPED: calls need their record and may be left pending on it.
    const bool FOverlappedIo;
    std::mutex Lock;
    HeldWakes Wakes; // guarded by Lock
    std::condition_variable Completed;
    ReactorEntry Reactor;
    int DeviceFd = -1;
    DirectionHelper InputHelper{*this, false};
    DirectionHelper OutputHelper{*this, true};
    // Threads polling the device for a write or for input right now: the reactor leaves that
    // direction to them, so the descriptor's readiness wakes one thread rather than two.
    int OutputHelpers = 0;
    int InputHelpers = 0;
    // Set by Close: calls fail, and neither the reactor nor the device's changes serve it.
    bool Closed = false;

    // Device state.
    int DeadErrno = 0; // set once the device vanished
    bool HasLines = false;
    bool HasCounters = false;
    DWORD Lines = 0;
    LineCounters Counters;
    TermSettings Settings;
    CommBehaviour Behaviour;
    DCB LastDcb{};
    COMMTIMEOUTS Timeouts{};

    // Queues.
    ByteRing Ring;
    DWORD OutQueueSize = 0;
    std::deque<Transfer> Reads;
    std::deque<Transfer> Writes;
    std::optional<EventWait> Wait;
    bool InputHeld = false;
    // Whether the reactor watches for input. Not before anybody asked for input (a read, an
    // event mask): opening and configuring a port for a print job then wakes no other thread.
    bool InputWatched = false;

    // Events and errors.
    DWORD Mask = 0;
    DWORD History = 0; // events of the mask that no wait has taken yet
    DWORD Errors = 0;  // CE_* bits until ClearCommError
    bool Was80Full = false;
    // A helper's wait took the input it polled for and nothing else waits for more: input is
    // not handed back to the reactor until the next call on the port, so the thread that helped
    // runs the notification first and the epoll_ctl that hands it back comes after it. A
    // request that waits for input takes it back at once.
    bool InputLeftToHelper = false;
    void TakeInputBack(CommCallKind Kind);
    // Both queues were purged by the last call, with no write pending: a close right after has
    // nothing left to purge (the event thread's last step, just before the port closes).
    bool JustPurged = false;
    std::optional<CommClock::time_point> DrainCheck; // a write waits for its bytes to leave
};

// The engine behind a handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<CommEngine> FindCommEngine(HANDLE Handle);

// Builds and starts an engine on Backend for a handle opened with FILE_FLAG_OVERLAPPED or
// without; null with the last error set on failure.
std::shared_ptr<CommEngine> StartCommEngine(std::unique_ptr<CommBackend> Backend, bool Overlapped);

} // namespace platform
