// Pure mappings between the port's settings and the device's records and bit words.
#pragma once

#include "platform/Win32.h"
#include "serial/ComSettings.h"

#include <array>
#include <cstdint>

// The device control block for a port's line settings, built from the settings alone.
DCB BuildDCB(const TLineSettings& Settings);
// The time-out record; -1 becomes MAXDWORD, every other value passes as its 32-bit pattern.
COMMTIMEOUTS BuildCommTimeouts(const TTimeoutValues& Timeouts);

// The device event mask of an event set, and back; unknown mask bits are ignored.
DWORD EventsToMask(TComEvents Events);
TComEvents MaskToEvents(DWORD Mask);
// The Windows event bit of one event.
DWORD EventMask(TComEvent Event);
// Events of one batch are handled in this order, whatever the order of their bits: an error
// before the bytes it concerns, the bytes before "all sent".
inline constexpr std::array<TComEvent, 10> EventOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

TModemSignals ModemStatusToSignals(DWORD Status);
// Line errors of an error word; a parity error counts only while parity is checked.
TComErrors ErrorWordToErrors(DWORD Errors, bool ParityCheck);
