// The values that describe a serial line: enumerations with their device codes, identifiers
// (as a stored description names them) and text forms (as settings stores write them).
#pragma once

#include "platform/Export.h"
#include "runtime/Set.h"

#include <array>
#include <cstdint>
#include <string>

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
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

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

enum TModemSignal : std::uint8_t { msCTS, msDSR, msRing, msRLSD };
using TModemSignals = TSet<TModemSignal, 4>;

// What the device control block is built from, as plain values taken from a port's settings
// (TCustomComPort::LineSettings fills every field).
struct TLineSettings {
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

// The five time-outs in milliseconds; -1 means the device's "no waiting" value. A port's
// Timeouts start at these.
struct TTimeoutValues {
    std::int32_t ReadInterval = -1;
    std::int32_t ReadTotalMultiplier = 0;
    std::int32_t ReadTotalConstant = 0;
    std::int32_t WriteTotalMultiplier = 100;
    std::int32_t WriteTotalConstant = 1000;
};

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

enum TSettingsGroup : std::uint8_t {
    sgLine,
    sgFlowDetails,
    sgBufferSizes,
    sgTimeouts,
    sgParityDetails,
    sgReceiveOptions
};
using TSettingsGroups = TSet<TSettingsGroup, 6>;

// Identifiers, indexed by ordinal.
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

// Text forms. Text to value ignores ASCII letter case, matches whole text only, and gives the
// documented fallback when nothing matches.
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
// decimal code; reading "#" and a number keeps its low 8 bits.
TILLMARK_SERIAL_API std::string BoolToText(bool Value);
TILLMARK_SERIAL_API bool TextToBool(const std::string& Text);
TILLMARK_SERIAL_API std::string DtrControlToText(TDTRFlowControl Value);
TILLMARK_SERIAL_API TDTRFlowControl TextToDtrControl(const std::string& Text);
TILLMARK_SERIAL_API std::string RtsControlToText(TRTSFlowControl Value);
TILLMARK_SERIAL_API TRTSFlowControl TextToRtsControl(const std::string& Text);
TILLMARK_SERIAL_API std::string CharToText(char Value);
TILLMARK_SERIAL_API char TextToChar(const std::string& Text);
