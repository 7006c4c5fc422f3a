// The values that describe a serial line: enumerations with their device codes, identifiers
// (as a stored description names them) and text forms (as settings stores write them).
#pragma once

#include "platform/Export.h"
#include "runtime/Set.h"

#include <array>
#include <cstdint>
#include <string>

// Line speeds in bits per second; brCustom takes the port's CustomBaudRate.
enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
// Stop bits after each character: 1, 1.5 (devices take it only with 5 data bits) or 2.
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
// Data bits per character, 5 to 8.
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
// The parity bit: none, odd, even, always 1 (mark) or always 0 (space).
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
// How DTR is driven: off, on, or on while the input queue has room (handshake).
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
// How RTS is driven: off, on, on while the input queue has room, or on while sending (toggle).
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
// The flow control in one word: RTS/CTS, XON/XOFF both ways, none, or any other mix (custom).
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
// Where the port's event handlers run: on the main thread through a queued call, on the thread
// that opened the port through messages to a hidden window, or on the event thread itself.
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

// The line events a port can watch, and sets of them: bytes arrived, output queue empty,
// EventChar arrived, ring, break, CTS or DSR changed, line error, RLSD changed, input queue 80
// percent full.
enum TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
using TComEvents = TSet<TComEvent, 10>;

// The modem input lines, and sets of them: clear to send, data set ready, ring, carrier detect.
enum TModemSignal : std::uint8_t { msCTS, msDSR, msRing, msRLSD };
using TModemSignals = TSet<TModemSignal, 4>;

// What the device control block is built from, as plain values taken from a port's settings
// (TCustomComPort::LineSettings fills every field).
struct TLineSettings {
    // Each is the port setting of that name (the parity ones from Parity, the flow ones from
    // FlowControl); InputSize, Buffer's, sets the XON/XOFF limits.
    TBaudRate BaudRate;
    std::int32_t CustomBaudRate;
    TDataBits DataBits;
    TStopBits StopBits;
    TParityBits ParityBits;
    bool ParityCheck;
    bool ParityReplace;
    char ReplaceChar;
    bool OutCTSFlow;
    bool OutDSRFlow;
    TDTRFlowControl ControlDTR;
    TRTSFlowControl ControlRTS;
    bool DSRSensitivity;
    bool TxContinueOnXoff;
    bool XonXoffOut;
    bool XonXoffIn;
    char XonChar;
    char XoffChar;
    bool DiscardNull;
    char EventChar;
    std::int32_t InputSize;
};

// The five time-outs in milliseconds; -1 goes to the device as MAXDWORD (a ReadInterval of -1
// with both read totals 0 makes a read return at once). A port's Timeouts start at these.
struct TTimeoutValues {
    std::int32_t ReadInterval = -1;
    std::int32_t ReadTotalMultiplier = 0;
    std::int32_t ReadTotalConstant = 0;
    std::int32_t WriteTotalMultiplier = 100;
    std::int32_t WriteTotalConstant = 1000;
};

// Line errors, and sets of them: framing, parity, overrun, break, device I/O, unsupported mode,
// input queue overflow and output queue full.
enum TComError : std::uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull
};
using TComErrors = TSet<TComError, 8>;

// The groups of settings the settings stores write and read, and sets of them: the line (port,
// speed, frame, parity and the flow summary), flow details, buffer sizes, time-outs, parity
// details, and the receive options (EventChar, DiscardNull).
enum TSettingsGroup : std::uint8_t {
    sgLine,
    sgFlowDetails,
    sgBufferSizes,
    sgTimeouts,
    sgParityDetails,
    sgReceiveOptions
};
using TSettingsGroups = TSet<TSettingsGroup, 6>;

// Identifiers as a stored description names the values, indexed by ordinal.
extern TILLMARK_SERIAL_API const std::array<const char*, 16> BaudRateIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 3> StopBitsIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 4> DataBitsIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 5> ParityBitsIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 3> DTRFlowControlIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 4> RTSFlowControlIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 4> FlowControlIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 3> SyncMethodIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 10> ComEventIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 8> ComErrorIdents;
extern TILLMARK_SERIAL_API const std::array<const char*, 6> SettingsGroupIdents;

// Device codes. Bits per second of a rate; 0 for brCustom, whose speed is CustomBaudRate.
TILLMARK_SERIAL_API std::int32_t BaudRateBitsPerSecond(TBaudRate Value);
TILLMARK_SERIAL_API std::uint8_t StopBitsCode(TStopBits Value);
TILLMARK_SERIAL_API std::uint8_t DataBitsCode(TDataBits Value);
TILLMARK_SERIAL_API std::uint8_t ParityCode(TParityBits Value);
TILLMARK_SERIAL_API std::uint32_t DTRControlCode(TDTRFlowControl Value);
TILLMARK_SERIAL_API std::uint32_t RTSControlCode(TRTSFlowControl Value);

// Text forms. Text to value ignores ASCII letter case, matches whole text only, and falls back
// to br9600, sbOneStopBit, dbEight, prNone or fcCustom when nothing matches.
TILLMARK_SERIAL_API std::string BaudRateToText(TBaudRate Value);
TILLMARK_SERIAL_API TBaudRate TextToBaudRate(const std::string& Text);
TILLMARK_SERIAL_API std::string StopBitsToText(TStopBits Value);
TILLMARK_SERIAL_API TStopBits TextToStopBits(const std::string& Text);
TILLMARK_SERIAL_API std::string DataBitsToText(TDataBits Value);
TILLMARK_SERIAL_API TDataBits TextToDataBits(const std::string& Text);
TILLMARK_SERIAL_API std::string ParityToText(TParityBits Value);
TILLMARK_SERIAL_API TParityBits TextToParity(const std::string& Text);
TILLMARK_SERIAL_API std::string FlowControlToText(TFlowControl Value);
TILLMARK_SERIAL_API TFlowControl TextToFlowControl(const std::string& Text);

// Text forms the settings stores use. Booleans: "Yes" and "No", and only "YES" in any letter
// case reads as true. Characters 0x21 to 0x7F as themselves, every other code as "#" and its
// decimal code; reading "#" and a number keeps its low 8 bits. DTR and RTS fall back to Disable.
TILLMARK_SERIAL_API std::string BoolToText(bool Value);
TILLMARK_SERIAL_API bool TextToBool(const std::string& Text);
TILLMARK_SERIAL_API std::string DtrControlToText(TDTRFlowControl Value);
TILLMARK_SERIAL_API TDTRFlowControl TextToDtrControl(const std::string& Text);
TILLMARK_SERIAL_API std::string RtsControlToText(TRTSFlowControl Value);
TILLMARK_SERIAL_API TRTSFlowControl TextToRtsControl(const std::string& Text);
TILLMARK_SERIAL_API std::string CharToText(char Value);
TILLMARK_SERIAL_API char TextToChar(const std::string& Text);
