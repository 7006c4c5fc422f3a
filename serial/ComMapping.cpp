#include "serial/ComMapping.h"

#include <array>

namespace {
// Windows event bit of each TComEvent, by ordinal.
constexpr std::array<DWORD, 10> EventBits = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING,
                                             EV_BREAK,  EV_CTS,     EV_DSR,    EV_ERR,
                                             EV_RLSD,   EV_RX80FULL};

DWORD DeviceValue(std::int32_t Value) {
    return Value == -1 ? MAXDWORD : static_cast<DWORD>(Value);
}
} // namespace

DCB BuildDCB(const TLineSettings& Settings) {
    const TLineSettings& s = Settings;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(s.BaudRate == brCustom ? s.CustomBaudRate
                                                             : BaudRateBitsPerSecond(s.BaudRate));
    dcb.fBinary = 1;
    dcb.fParity = s.ParityCheck ? 1 : 0;
    dcb.fOutxCtsFlow = s.OutCTSFlow ? 1 : 0;
    dcb.fOutxDsrFlow = s.OutDSRFlow ? 1 : 0;
    dcb.fDtrControl = DTRControlCode(s.ControlDTR);
    dcb.fDsrSensitivity = s.DSRSensitivity ? 1 : 0;
    dcb.fTXContinueOnXoff = s.TxContinueOnXoff ? 1 : 0;
    dcb.fOutX = s.XonXoffOut ? 1 : 0;
    dcb.fInX = s.XonXoffIn ? 1 : 0;
    dcb.fErrorChar = s.ParityCheck && s.ParityReplace ? 1 : 0;
    dcb.fNull = s.DiscardNull ? 1 : 0;
    dcb.fRtsControl = RTSControlCode(s.ControlRTS);
    dcb.fAbortOnError = 0;
    // A quarter of the input buffer, kept to the 16 bits the record holds.
    dcb.XonLim = static_cast<WORD>(s.InputSize / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = DataBitsCode(s.DataBits);
    dcb.Parity = ParityCode(s.ParityBits);
    dcb.StopBits = StopBitsCode(s.StopBits);
    dcb.XonChar = s.XonChar;
    dcb.XoffChar = s.XoffChar;
    dcb.ErrorChar = dcb.fErrorChar ? s.ReplaceChar : '\0';
    dcb.EofChar = '\0';
    dcb.EvtChar = s.EventChar;
    return dcb;
}

COMMTIMEOUTS BuildCommTimeouts(const TTimeoutValues& Timeouts) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = DeviceValue(Timeouts.ReadInterval);
    t.ReadTotalTimeoutMultiplier = DeviceValue(Timeouts.ReadTotalMultiplier);
    t.ReadTotalTimeoutConstant = DeviceValue(Timeouts.ReadTotalConstant);
    t.WriteTotalTimeoutMultiplier = DeviceValue(Timeouts.WriteTotalMultiplier);
    t.WriteTotalTimeoutConstant = DeviceValue(Timeouts.WriteTotalConstant);
    return t;
}

DWORD EventMask(TComEvent Event) {
    return EventBits.at(Event);
}

DWORD EventsToMask(TComEvents Events) {
    DWORD mask = 0;
    for (std::size_t i = 0; i < EventBits.size(); ++i)
        if (Events.Contains(static_cast<TComEvent>(i)))
            mask |= EventBits[i];
    return mask;
}

TComEvents MaskToEvents(DWORD Mask) {
    TComEvents events;
    for (std::size_t i = 0; i < EventBits.size(); ++i)
        if (Mask & EventBits[i])
            events.Include(static_cast<TComEvent>(i));
    return events;
}

TModemSignals ModemStatusToSignals(DWORD Status) {
    TModemSignals s;
    if (Status & MS_CTS_ON)
        s.Include(msCTS);
    if (Status & MS_DSR_ON)
        s.Include(msDSR);
    if (Status & MS_RING_ON)
        s.Include(msRing);
    if (Status & MS_RLSD_ON)
        s.Include(msRLSD);
    return s;
}

TComErrors ErrorWordToErrors(DWORD Errors, bool ParityCheck) {
    TComErrors e;
    if (Errors & CE_FRAME)
        e.Include(ceFrame);
    if ((Errors & CE_RXPARITY) && ParityCheck)
        e.Include(ceRxParity);
    if (Errors & CE_OVERRUN)
        e.Include(ceOverrun);
    if (Errors & CE_BREAK)
        e.Include(ceBreak);
    if (Errors & CE_IOE)
        e.Include(ceIO);
    if (Errors & CE_MODE)
        e.Include(ceMode);
    if (Errors & CE_RXOVER)
        e.Include(ceRxOver);
    if (Errors & CE_TXFULL)
        e.Include(ceTxFull);
    return e;
}
