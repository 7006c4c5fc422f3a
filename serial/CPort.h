// The serial port component: a port object with its settings, owned settings objects and
// errors. Include this header to use the component.
#pragma once

#include "platform/Export.h"
#include "platform/Win32.h"
#include "runtime/Classes.h"
#include "runtime/Messages.h"
#include "runtime/Threads.h"
#include "serial/ComError.h"
#include "serial/ComSettings.h"
#include "serial/ComSettingsObjects.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class TCustomComPort;
class TComThread;
class RegistryKeyStore;
class IniStore;

// Callbacks of an observer of a port; each is optional and Sender is always the port.
struct TPortLink {
    // The port opened (true) or closed (false).
    std::function<void(TObject* Sender, bool OnOff)> ConnectionChanged;
    // Meant for received bytes, but the port itself never calls it.
    std::function<void(TObject* Sender, const void* Buffer, std::int32_t Count)> RxBufferArrived;
    // The bytes of each write once it completed; having it makes every write keep a copy.
    std::function<void(TObject* Sender, const void* Buffer, std::int32_t Count)> TxBufferWritten;
    // The output queue ran empty (evTxEmpty).
    std::function<void(TObject* Sender)> TxEmptied;
    // EventChar arrived (evRxFlag).
    std::function<void(TObject* Sender)> RxFlagSeen;
    // A modem input line's new state; the current ones after opening, and off before closing.
    std::function<void(TObject* Sender, bool OnOff)> CTSChanged;
    std::function<void(TObject* Sender, bool OnOff)> DSRChanged;
    std::function<void(TObject* Sender, bool OnOff)> RLSDChanged;
    // The ring indicator came on (evRing).
    std::function<void(TObject* Sender)> RingSeen;
    // A write started (true), or the output queue ran empty (false).
    std::function<void(TObject* Sender, bool OnOff)> TransmittingChanged;
    // Bytes wait in the input queue (true), or a completed read left it empty (false).
    std::function<void(TObject* Sender, bool OnOff)> ReceivingChanged;
};
// A callback of every link, by member, for NotifyLinksOfState and NotifyLinksOfEvent.
using TLinkStateCallback = std::function<void(TObject*, bool)> TPortLink::*;
using TLinkEventCallback = std::function<void(TObject*)> TPortLink::*;

// Which way a transfer goes.
enum TTransferKind : std::uint8_t { tkWrite, tkRead };

// The record of one overlapped transfer: its completion signal and, for the observers of
// written data, a copy of what was written.
struct TTransferRecord {
    OVERLAPPED Overlapped;        // the device's record; its hEvent is set when the transfer ends
    TTransferKind Kind;           // a write or a read, for the error code and the links
    std::unique_ptr<char[]> Data; // the copy for the links, or null
    std::int32_t Size;            // the byte count asked for
};
// A transfer record as the Start and Await calls take it.
using PTransferRecord = TTransferRecord*;

// Makes Rec a new record whose completion event is manual-reset and set.
TILLMARK_SERIAL_API void NewTransferRecord(PTransferRecord& Rec);
// Closes Rec's event, deletes it and sets Rec to null; a null Rec is left alone.
TILLMARK_SERIAL_API void FreeTransferRecord(PTransferRecord& Rec);
// Gives Rec its kind and a copy of the Count bytes at Buffer, for the links.
TILLMARK_SERIAL_API void PrepareTransferRecord(TTransferKind Kind, const void* Buffer,
                                               std::int32_t Count, PTransferRecord& Rec);
// The port error code of a failure of Rec's transfer: peWriteFile or peReadFile.
TILLMARK_SERIAL_API std::int32_t TransferErrorCode(const PTransferRecord& Rec);

// Handlers of the port's events: Count bytes waiting, bytes handed over, a modem line's new
// state, and the line errors found.
using TRxCharEvent = std::function<void(TObject* Sender, std::int32_t Count)>;
using TRxBufEvent = std::function<void(TObject* Sender, const void* Buffer, std::int32_t Count)>;
using TComSignalEvent = std::function<void(TObject* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TObject* Sender, TComErrors Errors)>;

// A published event handler that also says, from any thread, whether one is assigned: the event
// thread asks that without touching the handler while the owning thread may be assigning it.
template <typename Handler>
class TPublishedEvent : public Handler {
public:
    // Empty; a copy has the same handler. Assigning a handler, or an empty one, replaces it.
    TPublishedEvent() = default;
    TPublishedEvent(const TPublishedEvent& Other)
        : Handler(static_cast<const Handler&>(Other)), FAssigned(Other.Assigned()) {}
    TPublishedEvent& operator=(const TPublishedEvent& Value) {
        return Assign(static_cast<const Handler&>(Value));
    }
    template <typename F>
    TPublishedEvent& operator=(F&& Value) {
        return Assign(std::forward<F>(Value));
    }
    // True while a handler is assigned; safe to ask from any thread.
    bool Assigned() const { return FAssigned.load(std::memory_order_acquire); }

private:
    template <typename F>
    TPublishedEvent& Assign(F&& Value) {
        // Another handler of the same type is copied, not wrapped.
        if constexpr (std::is_base_of_v<Handler, std::remove_cvref_t<F>>)
            Handler::operator=(static_cast<const Handler&>(Value));
        else
            Handler::operator=(std::forward<F>(Value));
        const bool assigned = static_cast<bool>(static_cast<const Handler&>(*this));
        if (FAssigned.exchange(assigned, std::memory_order_acq_rel) != assigned && FChanged)
            FChanged(FOwner);
        return *this;
    }
    std::atomic<bool> FAssigned{false};
    // Told when a handler comes or goes; set by the port for its own events, never copied.
    friend class TCustomComPort;
    TCustomComPort* FOwner = nullptr;
    void (*FChanged)(TCustomComPort*) = nullptr;
};

// The message a hidden event window receives, one per event, wParam = the event's bit.
inline constexpr UINT PortEventMessage = WM_USER + 1;

// The port: its settings, opening and closing the device, transfers, and the line's events
// delivered to handlers and links. TComPort adds the published form.
class TILLMARK_SERIAL_API TCustomComPort : public TComponent {
public:
    // Closed, for "COM1" at 9600 bits/s, 8 data bits, no parity, one stop bit, every event;
    // AOwner, if any, destroys it.
    explicit TCustomComPort(TComponent* AOwner);
    // Closes an open port first. Errors on the way are handed to the application's handler;
    // the device and the event thread are released in every case. This close runs in the base
    // class, where C++ no longer calls a derived class's overrides: a class that overrides the
    // close path (FireBeforeClose, FireAfterClose, CloseDeviceHandle ...) calls ClosePort in
    // its own destructor.
    ~TCustomComPort() override;
    // The class's name for messages.
    const char* ClassName() const override { return "TCustomComPort"; }

    // --- Settings ---------------------------------------------------------------------------
    // Whether the device is open. Setting it opens or closes the port; while loading it is only
    // recorded, and FinishLoading opens the port.
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    // The line speed; with brCustom, CustomBaudRate bits per second. Each setter of a line
    // setting applies the line settings to an open port when its value changes.
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    std::int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(std::int32_t Value);
    // The device name without prefix, such as "COM1". A change reopens an open port.
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    // The character frame's stop bits and data bits (its parity bit is in Parity).
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    // Received 0x00 bytes are dropped.
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    // The character whose arrival raises evRxFlag.
    char EventChar() const { return FEventChar; }
    void SetEventChar(char Value);
    // The events the port watches and delivers; with none, no event thread runs. Stored only:
    // the device event mask follows on the next open.
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    // Where the event handlers run (see TSyncMethod). Refused with pePropertyWhileOpen while the
    // port is open and not loading.
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    // The groups of settings that the settings stores below write and read.
    TSettingsGroups SettingsGroups() const { return FSettingsGroups; }
    void SetSettingsGroups(TSettingsGroups Value) { FSettingsGroups = Value; }

    // The settings the device's line configuration is built from, as plain values.
    TLineSettings LineSettings() const;

    // The port's own settings objects; the setters copy values in and apply the group once.
    TComParity& Parity() { return *FParity; }
    const TComParity& Parity() const { return *FParity; }
    void SetParity(const TComParity& Value);
    TComFlowControl& FlowControl() { return *FFlowControl; }
    const TComFlowControl& FlowControl() const { return *FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts& Timeouts() { return *FTimeouts; }
    const TComTimeouts& Timeouts() const { return *FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TComBuffer& Buffer() { return *FBuffer; }
    const TComBuffer& Buffer() const { return *FBuffer; }
    void SetBuffer(const TComBuffer& Value);

    // --- Events -----------------------------------------------------------------------------
    // Around OpenPort and ClosePort, on the thread that calls them.
    TPublishedEvent<TNotifyEvent> OnAfterOpen;
    TPublishedEvent<TNotifyEvent> OnAfterClose;
    TPublishedEvent<TNotifyEvent> OnBeforeOpen;
    TPublishedEvent<TNotifyEvent> OnBeforeClose;
    // The line's events, on the thread SyncMethod chooses. Count bytes wait in the input queue.
    TPublishedEvent<TRxCharEvent> OnRxChar;
    // Never raised by the port itself; a derived class may raise it through FireRxBuf.
    TPublishedEvent<TRxBufEvent> OnRxBuf;
    // The output queue ran empty.
    TPublishedEvent<TNotifyEvent> OnTxEmpty;
    // A break arrived.
    TPublishedEvent<TNotifyEvent> OnBreak;
    // The ring indicator came on.
    TPublishedEvent<TNotifyEvent> OnRing;
    // A modem input line's new state; also the current ones after opening, and off before
    // closing, on the thread that opens or closes.
    TPublishedEvent<TComSignalEvent> OnCTSChange;
    TPublishedEvent<TComSignalEvent> OnDSRChange;
    TPublishedEvent<TComSignalEvent> OnRLSDChange;
    // EventChar arrived.
    TPublishedEvent<TNotifyEvent> OnRxFlag;
    // The line errors taken from the device; not raised when none is left to take.
    TPublishedEvent<TComErrorEvent> OnError;
    // The input queue is 80 percent full.
    TPublishedEvent<TNotifyEvent> OnRx80Full;

    // --- Settings stores --------------------------------------------------------------------
    // Write or read the keys of the selected SettingsGroups; the INI forms use the section
    // named after the component. Loading assigns each value through its setter at once, so an
    // open port takes them as they come (a new Port reopens it). Store errors pass unchanged.
    virtual void SaveSettingsToKey(RegistryKeyStore& Key);
    virtual void SaveSettingsToIni(IniStore& Store);
    virtual void LoadSettingsFromKey(RegistryKeyStore& Key);
    virtual void LoadSettingsFromIni(IniStore& Store);

    // --- Lifecycle --------------------------------------------------------------------------
    // Opens and configures the device and starts event delivery; nothing when already open.
    void OpenPort();
    // Stops event delivery, ends pending transfers and closes the device; nothing when closed.
    // May be called from the port's own event handlers, in every delivery mode: the port
    // closes, the rest of the batch being delivered is dropped, and the handler goes on.
    void ClosePort();
    // Ends the loading phase, then opens the port when Connected was loaded as true; an error
    // opening it goes to the application's handler.
    void FinishLoading() override;

    // --- Transfers and queries --------------------------------------------------------------
    // Writes the bytes as they are (0x00 and bytes above 0x7F included) and returns the count
    // the device took, which the write time-outs may make shorter.
    std::int32_t SendText(const std::string& Text);
    // Reads up to Count bytes, as long as the read time-outs allow, and returns the count read.
    std::int32_t ReceiveBytes(void* Buffer, std::int32_t Count);
    // Start a transfer on Rec (from NewTransferRecord) and return the count done at once;
    // AwaitTransfer ends it, and the buffer must stay valid until then. Empty text starts none.
    std::int32_t StartWriteText(const std::string& Text, PTransferRecord& Rec);
    std::int32_t StartWrite(const void* Buffer, std::int32_t Count, PTransferRecord& Rec);
    std::int32_t StartRead(void* Buffer, std::int32_t Count, PTransferRecord& Rec);
    // Waits until Rec's transfer has ended and returns the count it moved.
    std::int32_t AwaitTransfer(PTransferRecord& Rec);
    // Ends every pending read and write of the device.
    void AbortTransfers();
    // The bytes waiting in the input queue.
    std::int32_t QueuedInputCount();
    // The modem input lines that are on; none on a device that has no modem lines.
    TModemSignals ReadModemSignals();
    // The line errors since the last look, which clears them; parity only with Parity.Check.
    TComErrors TakeLineErrors();

    // --- Links ------------------------------------------------------------------------------
    // Observers are attached and detached only while the port is closed; the port does not
    // own them. Attaching one twice, detaching an unknown one, or either while open raises
    // peLinkRegistration.
    void AttachLink(TPortLink* Link);
    void DetachLink(TPortLink* Link);
    // Call one callback, or TxBufferWritten, of every attached link that has it.
    void NotifyLinksOfState(TLinkStateCallback Callback, bool OnOff);
    void NotifyLinksOfEvent(TLinkEventCallback Callback);
    void NotifyLinksOfTxData(const void* Buffer, std::int32_t Count);
    // True when an attached observer takes the bytes of each write.
    bool LinksWantTxData() const;

    // --- Runtime state ----------------------------------------------------------------------
    // The open device; INVALID_HANDLE_VALUE while closed.
    HANDLE DeviceHandle() const { return FDeviceHandle; }
    // The hidden window that receives PortEventMessage with smWindowSync; null otherwise.
    HWND EventWindow() const { return FEventWindow; }
    // The thread that waits for the device's events, and whether it runs: while open, with
    // some Events.
    TComThread* EventThread() const { return FEventThread.get(); }
    bool ThreadCreated() const { return FEventThread != nullptr; }
    // The priority given to the event thread: always tpNormal, as nothing sets another.
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    // True during the loading phase, while settings are only recorded.
    bool Loading() const { return ComponentState().Contains(csLoading); }

    // --- Event handling, run on the thread the delivery mode chooses ------------------------
    // The hidden window's procedure: runs the routine of the event each PortEventMessage names.
    void PortWindowProc(TMessage& Message);
    // The routine of each event: asks the device what it has to (input count, lines, errors),
    // then tells the links and the handler.
    void HandleRxChar();
    void HandleTxEmpty();
    void HandleRxFlag();
    void HandleRing();
    void HandleBreak();
    void HandleCTSChange();
    void HandleDSRChange();
    void HandleError();
    void HandleRLSDChange();
    void HandleRx80Full();
    // Tells links and handlers the CTS, DSR and RLSD states: the device's when Opening, else off.
    void ReportLineSignals(bool Opening);

    // Hand one group of settings to the open device; nothing happens while the port is
    // closed or loading.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutValues();
    virtual void ApplyBufferSizes();

protected:
    // Opens "\\.\" + Port for overlapped transfers; raises peOpenPort when it cannot.
    virtual void OpenDeviceHandle();
    // Closes the device, if open.
    virtual void CloseDeviceHandle();
    // Applies the buffer sizes, line settings and time-outs to the device just opened.
    virtual void ConfigureDevice();

    // The only callers of the published handlers, one per event: a derived class overrides
    // them to act on an event itself, and calls the base to keep the handler.
    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(std::int32_t Count);
    virtual void FireRxBuf(const void* Buffer, std::int32_t Count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool OnOff);
    virtual void FireDSRChange(bool OnOff);
    virtual void FireError(TComErrors Errors);
    virtual void FireRLSDChange(bool OnOff);
    virtual void FireRx80Full();

    // Whether the quiet events (TxEmpty, Break, Ring, RxFlag, Rx80Full) reach nobody but their
    // handlers, so the device need not report one while its handler is unassigned. A class that
    // overrides one of their Fire hooks to act on the event itself returns false.
    virtual bool OnlyHandlersHearQuietEvents() const { return true; }

    // The open and close steps around the device: links, the Fire hooks and the line states.
    void NotifyBeforeOpen();
    void NotifyAfterOpen();
    void NotifyBeforeClose();
    void NotifyAfterClose();

    // True when the apply operations may reach the device.
    bool CanApply() const { return FConnected && !Loading(); }

    // The state behind the runtime getters, for a derived class's own steps.
    std::unique_ptr<TComThread> FEventThread;
    HANDLE FDeviceHandle = INVALID_HANDLE_VALUE;
    HWND FEventWindow = nullptr;
    std::vector<TPortLink*> FLinks;
    TThreadPriority FEventThreadPriority = tpNormal;
    bool FConnected = false;

private:
    friend class TComThread;
    void StopEventThread();
    // Runs the routines of Events in the fixed order on the calling thread; a handler that
    // closes the port ends the batch there.
    void RunEventRoutines(TComEvents Events);
    // True on a thread that is running one of this port's event routines.
    bool InOwnEventRoutine() const;
    // Whether running the routines of Events could make a difference: a routine that asks the
    // device, or an assigned handler. Links and a derived class's hooks are the caller's to weigh.
    bool HandlersWant(TComEvents Events) const;
    // No link and no hook of a derived class stands between the routines and the handlers, so
    // a batch that no handler wants need not be delivered, nor even reported by the device.
    bool SkipsUnheard() const;
    // The events the device is asked to report: those of Events that some routine or handler
    // would act on.
    TComEvents DeviceEvents() const;
    // A handler of an event that only handlers hear came or went.
    static void HeardEventsChanged(TCustomComPort* Port);
    // Only handlers hear some events, so the device reports those only while one is assigned:
    // their handlers tell the port when they come or go.
    void WatchQuietHandlers();
    // Guards FEventThread against a handler assigned on the event thread while the port closes.
    std::mutex FEventThreadLock;

    // Counts the closes from a handler of this port, so the batch that handler ran in sees
    // the count move and runs no further routine.
    std::atomic<std::uint32_t> FClosesFromWithin{0};
    // An event thread that a handler running on it closed the port from: it cannot wait for
    // itself, so it ends on its own and is released at the next open, close or destruction.
    std::unique_ptr<TComThread> FEndedThread;
    void ReleaseEndedThread();

    TBaudRate FBaudRate = br9600;
    std::int32_t FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TComEvents FEvents = TComEvents::All();
    TSyncMethod FSyncMethod = smThreadSync;
    TSettingsGroups FSettingsGroups = {sgLine};
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComFlowControl> FFlowControl;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComBuffer> FBuffer;
};

// The thread that waits for the device's events while a port with events is open and hands
// each batch to the port by its SyncMethod.
class TILLMARK_SERIAL_API TComThread : public TThread {
public:
    // Asks the device for the events a routine or handler would act on and puts out the first
    // wait request; the thread starts once that completes.
    explicit TComThread(TCustomComPort* AComPort);
    // Signals the thread to stop and waits until it has ended, serving the calling thread's
    // queue meanwhile so a batch being delivered can finish.
    ~TComThread() override;
    // The class's name for messages.
    const char* ClassName() const override { return "TComThread"; }

    // Tells the thread to stop, without waiting for it.
    void SignalStop();
    // The events of the batch last taken from the device.
    TComEvents CurrentEvents() const { return FCurrentEvents; }
    // Asks the device for these events as well; the events asked for only ever grow, since a
    // batch nobody hears is dropped anyway.
    void WidenDeviceEvents(TComEvents Events);
    // True once the device ended monitoring by refusing a wait (its far side went away), not a
    // stop; the main thread's event loop is woken (WakeMainThread) when it happens.
    bool DeviceEndedIt() const { return FDeviceEndedIt.load(std::memory_order_acquire); }

protected:
    // Waits for the device's events and hands each batch to the port, until stopped.
    void Execute() override;

private:
    friend class TCustomComPort;
    void DispatchEvents();
    void SendEventMessages();
    void RunEventRoutines();
    // On this thread, from a handler closing the port: stops it, and leaves the device as the
    // body's own end would, before the port closes the device.
    void EndFromWithin();

    // The next wait request, unless one is out; false when the device refuses it.
    bool PutOutWait(HANDLE Device);
    bool PutOutWaitLocked(HANDLE Device);
    // The body's closing steps: no more events, the pending request ended, the queues purged.
    void FinishWaiting(HANDLE Device);

    TCustomComPort* FComPort;
    HANDLE FStopEvent;
    TComEvents FCurrentEvents;
    bool FEndedFromWithin = false;
    // Set by the body as it begins: a thread stopped before its first event never runs it, and
    // its destructor takes the closing steps instead.
    bool FBegan = false;
    std::atomic<bool> FDeviceEndedIt{false};
    // No link and no hook of a derived class between the routines and the handlers: a batch that
    // no handler wants is then not delivered at all.
    bool FSkipsUnwanted = false;
    // The wait request, which the constructor may put out before the thread runs.
    OVERLAPPED FOverlapped{};
    HANDLE FWaitDone;
    DWORD FMask = 0;
    bool FPending = false;
    // Guards the request being out and the mask against a handler assigned on another thread.
    std::mutex FMaskLock;
    DWORD FDeviceMask = 0;
    bool FMaskChanged = false;
};

// The port with its settings published for a stored description.
class TILLMARK_SERIAL_API TComPort : public TCustomComPort {
public:
    // Made as a TCustomComPort is.
    using TCustomComPort::TCustomComPort;
    // The class's name for messages.
    const char* ClassName() const override { return "TComPort"; }
    // The settings a stored description holds, in their published order, with their defaults.
    void DefineProperties(TFiler& Filer) override;
};
