// Event handling routines, lifecycle notifications, the published-event hooks and links.
#include "runtime/Application.h"
#include "serial/CPort.h"
#include "serial/ComMapping.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

// --- Hooks: the only places that call the published handlers --------------------------------

void TCustomComPort::FireAfterClose() {
    if (OnAfterClose)
        OnAfterClose(this);
}
void TCustomComPort::FireAfterOpen() {
    if (OnAfterOpen)
        OnAfterOpen(this);
}
void TCustomComPort::FireBeforeClose() {
    if (OnBeforeClose)
        OnBeforeClose(this);
}
void TCustomComPort::FireBeforeOpen() {
    if (OnBeforeOpen)
        OnBeforeOpen(this);
}
void TCustomComPort::FireRxChar(std::int32_t Count) {
    if (OnRxChar)
        OnRxChar(this, Count);
}
void TCustomComPort::FireRxBuf(const void* Buffer, std::int32_t Count) {
    if (OnRxBuf)
        OnRxBuf(this, Buffer, Count);
}
void TCustomComPort::FireTxEmpty() {
    if (OnTxEmpty)
        OnTxEmpty(this);
}
void TCustomComPort::FireBreak() {
    if (OnBreak)
        OnBreak(this);
}
void TCustomComPort::FireRing() {
    if (OnRing)
        OnRing(this);
}
void TCustomComPort::FireRxFlag() {
    if (OnRxFlag)
        OnRxFlag(this);
}
void TCustomComPort::FireCTSChange(bool OnOff) {
    if (OnCTSChange)
        OnCTSChange(this, OnOff);
}
void TCustomComPort::FireDSRChange(bool OnOff) {
    if (OnDSRChange)
        OnDSRChange(this, OnOff);
}
void TCustomComPort::FireError(TComErrors Errors) {
    if (OnError)
        OnError(this, Errors);
}
void TCustomComPort::FireRLSDChange(bool OnOff) {
    if (OnRLSDChange)
        OnRLSDChange(this, OnOff);
}
void TCustomComPort::FireRx80Full() {
    if (OnRx80Full)
        OnRx80Full(this);
}

// --- Handling routines ----------------------------------------------------------------------

namespace {
using TEventRoutine = void (TCustomComPort::*)();

// The routine of each event, indexed by the event; both delivery paths run them from here.
constexpr std::array<TEventRoutine, 10> EventRoutines = [] {
    std::array<TEventRoutine, 10> routines{};
    routines[evRxChar] = &TCustomComPort::HandleRxChar;
    routines[evTxEmpty] = &TCustomComPort::HandleTxEmpty;
    routines[evRxFlag] = &TCustomComPort::HandleRxFlag;
    routines[evRing] = &TCustomComPort::HandleRing;
    routines[evBreak] = &TCustomComPort::HandleBreak;
    routines[evCTS] = &TCustomComPort::HandleCTSChange;
    routines[evDSR] = &TCustomComPort::HandleDSRChange;
    routines[evError] = &TCustomComPort::HandleError;
    routines[evRLSD] = &TCustomComPort::HandleRLSDChange;
    routines[evRx80Full] = &TCustomComPort::HandleRx80Full;
    return routines;
}();

// The batch of this port's routines running outermost on this thread, with the count of closes
// from within that it began under.
struct TRunningBatch {
    const TCustomComPort* Port = nullptr;
    std::uint32_t Closes = 0;
};
thread_local TRunningBatch runningBatch;
} // namespace

bool TCustomComPort::InOwnEventRoutine() const {
    return runningBatch.Port == this;
}

void TCustomComPort::RunEventRoutines(TComEvents Events) {
    // A batch delivered while another of this port's runs on this thread (the wait of a close
    // from within serves the queue) counts as part of the outer one.
    const TRunningBatch outer = runningBatch;
    if (outer.Port != this)
        runningBatch = {this, FClosesFromWithin.load(std::memory_order_relaxed)};
    const std::uint32_t closes = runningBatch.Closes;
    struct TRestore {
        TRunningBatch Outer;
        ~TRestore() { runningBatch = Outer; }
    } restore{outer};
    for (TComEvent event : EventOrder) {
        // A handler closed the port: the rest of the batch is not delivered.
        if (Events.Contains(event) && FClosesFromWithin.load(std::memory_order_relaxed) == closes)
            (this->*EventRoutines[event])();
    }
}

namespace {
// The events whose routines only tell their handlers, with those handlers. The routines of the
// other events ask the device, which may take errors or fail.
constexpr std::pair<TComEvent, TPublishedEvent<TNotifyEvent> TCustomComPort::*> QuietEvents[] = {
    {evTxEmpty, &TCustomComPort::OnTxEmpty},
    {evBreak, &TCustomComPort::OnBreak},
    {evRing, &TCustomComPort::OnRing},
    {evRxFlag, &TCustomComPort::OnRxFlag},
    {evRx80Full, &TCustomComPort::OnRx80Full}};
} // namespace

void TCustomComPort::WatchQuietHandlers() {
    for (const auto& quiet : QuietEvents) {
        (this->*quiet.second).FOwner = this;
        (this->*quiet.second).FChanged = &TCustomComPort::HeardEventsChanged;
    }
}

bool TCustomComPort::HandlersWant(TComEvents Events) const {
    for (const auto& [event, handler] : QuietEvents) {
        if (!Events.Contains(event))
            continue;
        if ((this->*handler).Assigned())
            return true;
        Events.Exclude(event);
    }
    return !Events.Empty();
}

bool TCustomComPort::SkipsUnheard() const {
    return FLinks.empty() && OnlyHandlersHearQuietEvents();
}

TComEvents TCustomComPort::DeviceEvents() const {
    if (!SkipsUnheard())
        return FEvents;
    TComEvents events;
    for (TComEvent event : EventOrder)
        if (FEvents.Contains(event) && HandlersWant(TComEvents{event}))
            events.Include(event);
    return events;
}

void TCustomComPort::HeardEventsChanged(TCustomComPort* Port) {
    std::lock_guard held(Port->FEventThreadLock);
    if (Port->FEventThread)
        Port->FEventThread->WidenDeviceEvents(Port->DeviceEvents());
}

void TCustomComPort::HandleError() {
    const TComErrors errors = TakeLineErrors();
    if (!errors.Empty())
        FireError(errors);
}

void TCustomComPort::HandleRxChar() {
    const std::int32_t count = QueuedInputCount();
    if (count <= 0)
        return;
    NotifyLinksOfState(&TPortLink::ReceivingChanged, true);
    FireRxChar(count);
}

void TCustomComPort::HandleTxEmpty() {
    NotifyLinksOfState(&TPortLink::TransmittingChanged, false);
    NotifyLinksOfEvent(&TPortLink::TxEmptied);
    FireTxEmpty();
}

void TCustomComPort::HandleBreak() {
    FireBreak();
}

void TCustomComPort::HandleRing() {
    NotifyLinksOfEvent(&TPortLink::RingSeen);
    FireRing();
}

void TCustomComPort::HandleCTSChange() {
    const bool on = ReadModemSignals().Contains(msCTS);
    NotifyLinksOfState(&TPortLink::CTSChanged, on);
    FireCTSChange(on);
}

void TCustomComPort::HandleDSRChange() {
    const bool on = ReadModemSignals().Contains(msDSR);
    NotifyLinksOfState(&TPortLink::DSRChanged, on);
    FireDSRChange(on);
}

void TCustomComPort::HandleRxFlag() {
    NotifyLinksOfEvent(&TPortLink::RxFlagSeen);
    FireRxFlag();
}

void TCustomComPort::HandleRLSDChange() {
    const bool on = ReadModemSignals().Contains(msRLSD);
    NotifyLinksOfState(&TPortLink::RLSDChanged, on);
    FireRLSDChange(on);
}

void TCustomComPort::HandleRx80Full() {
    FireRx80Full();
}

void TCustomComPort::ReportLineSignals(bool Opening) {
    if (Opening) {
        HandleCTSChange();
        HandleDSRChange();
        HandleRLSDChange();
        return;
    }
    NotifyLinksOfState(&TPortLink::CTSChanged, false);
    NotifyLinksOfState(&TPortLink::DSRChanged, false);
    NotifyLinksOfState(&TPortLink::RLSDChanged, false);
    FireCTSChange(false);
    FireDSRChange(false);
    FireRLSDChange(false);
}

void TCustomComPort::PortWindowProc(TMessage& Message) {
    if (Message.Msg != PortEventMessage) {
        Message.Result = DefWindowProcA(FEventWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    try {
        if (InSendMessage())
            ReplyMessage(0);
        if (!FConnected)
            return;
        // One event per message; a word of several bits or of none names no routine.
        const TComEvents events = MaskToEvents(static_cast<DWORD>(Message.WParam));
        if (std::has_single_bit(events.Bits()) && EventsToMask(events) == Message.WParam)
            RunEventRoutines(events);
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
}

// --- Lifecycle notifications ----------------------------------------------------------------

void TCustomComPort::NotifyBeforeOpen() {
    FireBeforeOpen();
}

void TCustomComPort::NotifyAfterOpen() {
    NotifyLinksOfState(&TPortLink::ConnectionChanged, true);
    FireAfterOpen();
    ReportLineSignals(true);
}

void TCustomComPort::NotifyBeforeClose() {
    ReportLineSignals(false);
    FireBeforeClose();
}

void TCustomComPort::NotifyAfterClose() {
    NotifyLinksOfState(&TPortLink::ConnectionChanged, false);
    FireAfterClose();
}

// --- Links ----------------------------------------------------------------------------------

void TCustomComPort::AttachLink(TPortLink* Link) {
    if (!Link || FConnected || std::find(FLinks.begin(), FLinks.end(), Link) != FLinks.end())
        throw EComPort(peLinkRegistration);
    FLinks.push_back(Link);
}

void TCustomComPort::DetachLink(TPortLink* Link) {
    auto it = std::find(FLinks.begin(), FLinks.end(), Link);
    if (FConnected || it == FLinks.end())
        throw EComPort(peLinkRegistration);
    FLinks.erase(it);
}

void TCustomComPort::NotifyLinksOfState(TLinkStateCallback Callback, bool OnOff) {
    for (TPortLink* link : FLinks)
        if (link->*Callback)
            (link->*Callback)(this, OnOff);
}

void TCustomComPort::NotifyLinksOfEvent(TLinkEventCallback Callback) {
    for (TPortLink* link : FLinks)
        if (link->*Callback)
            (link->*Callback)(this);
}

bool TCustomComPort::LinksWantTxData() const {
    return std::any_of(FLinks.begin(), FLinks.end(),
                       [](const TPortLink* link) { return bool(link->TxBufferWritten); });
}

void TCustomComPort::NotifyLinksOfTxData(const void* Buffer, std::int32_t Count) {
    for (TPortLink* link : FLinks)
        if (link->TxBufferWritten)
            link->TxBufferWritten(this, Buffer, Count);
}
