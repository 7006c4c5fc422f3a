#include "serial/ComSettings.h"

#include "platform/Win32.h"
#include "runtime/SysUtils.h"

const std::array<const char*, 16> BaudRateIdents = {
    "brCustom", "br110",   "br300",   "br600",   "br1200",  "br2400",   "br4800",   "br9600",
    "br14400",  "br19200", "br38400", "br56000", "br57600", "br115200", "br128000", "br256000"};
const std::array<const char*, 3> StopBitsIdents = {"sbOneStopBit", "sbOne5StopBits",
                                                   "sbTwoStopBits"};
const std::array<const char*, 4> DataBitsIdents = {"dbFive", "dbSix", "dbSeven", "dbEight"};
const std::array<const char*, 5> ParityBitsIdents = {"prNone", "prOdd", "prEven", "prMark",
                                                     "prSpace"};
const std::array<const char*, 3> DTRFlowControlIdents = {"dtrDisable", "dtrEnable", "dtrHandshake"};
const std::array<const char*, 4> RTSFlowControlIdents = {"rtsDisable", "rtsEnable", "rtsHandshake",
                                                         "rtsToggle"};
const std::array<const char*, 4> FlowControlIdents = {"fcHardware", "fcSoftware", "fcNone",
                                                      "fcCustom"};
const std::array<const char*, 3> SyncMethodIdents = {"smThreadSync", "smWindowSync", "smNone"};
const std::array<const char*, 10> ComEventIdents = {"evRxChar", "evTxEmpty", "evRxFlag", "evRing",
                                                    "evBreak",  "evCTS",     "evDSR",    "evError",
                                                    "evRLSD",   "evRx80Full"};
const std::array<const char*, 8> ComErrorIdents = {
    "ceFrame", "ceRxParity", "ceOverrun", "ceBreak", "ceIO", "ceMode", "ceRxOver", "ceTxFull"};
const std::array<const char*, 6> SettingsGroupIdents = {"sgLine",          "sgFlowDetails",
                                                        "sgBufferSizes",   "sgTimeouts",
                                                        "sgParityDetails", "sgReceiveOptions"};

namespace {
constexpr std::array<std::int32_t, 16> BitsPerSecond = {0,     110,    300,    600,   1200,  2400,
                                                        4800,  9600,   14400,  19200, 38400, 56000,
                                                        57600, 115200, 128000, 256000};

constexpr std::array<const char*, 16> BaudRateTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<const char*, 3> StopBitsTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> DataBitsTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> ParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> FlowControlTexts = {"Hardware", "Software", "None", "Custom"};
constexpr std::array<const char*, 3> DtrTexts = {"Disable", "Enable", "Handshake"};
constexpr std::array<const char*, 4> RtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

// Only a to z change case: the texts are ASCII and other bytes must compare as they are.
std::string AsciiUpper(std::string Text) {
    for (char& c : Text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return Text;
}

template <typename E, std::size_t N>
E FromText(const std::array<const char*, N>& Texts, const std::string& Text, E Fallback) {
    const std::string wanted = AsciiUpper(Text);
    for (std::size_t i = 0; i < N; ++i)
        if (AsciiUpper(Texts[i]) == wanted)
            return static_cast<E>(i);
    return Fallback;
}
} // namespace

std::int32_t BaudRateBitsPerSecond(TBaudRate Value) {
    return BitsPerSecond.at(Value);
}

std::uint8_t StopBitsCode(TStopBits Value) {
    constexpr std::array<BYTE, 3> codes = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    return codes.at(Value);
}

std::uint8_t DataBitsCode(TDataBits Value) {
    return static_cast<std::uint8_t>(5 + Value);
}

std::uint8_t ParityCode(TParityBits Value) {
    constexpr std::array<BYTE, 5> codes = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY,
                                           SPACEPARITY};
    return codes.at(Value);
}

std::uint32_t DTRControlCode(TDTRFlowControl Value) {
    constexpr std::array<DWORD, 3> codes = {DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE,
                                            DTR_CONTROL_HANDSHAKE};
    return codes.at(Value);
}

std::uint32_t RTSControlCode(TRTSFlowControl Value) {
    constexpr std::array<DWORD, 4> codes = {RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE,
                                            RTS_CONTROL_HANDSHAKE, RTS_CONTROL_TOGGLE};
    return codes.at(Value);
}

std::string BaudRateToText(TBaudRate Value) {
    return BaudRateTexts.at(Value);
}
TBaudRate TextToBaudRate(const std::string& Text) {
    return FromText(BaudRateTexts, Text, br9600);
}
std::string StopBitsToText(TStopBits Value) {
    return StopBitsTexts.at(Value);
}
TStopBits TextToStopBits(const std::string& Text) {
    return FromText(StopBitsTexts, Text, sbOneStopBit);
}
std::string DataBitsToText(TDataBits Value) {
    return DataBitsTexts.at(Value);
}
TDataBits TextToDataBits(const std::string& Text) {
    return FromText(DataBitsTexts, Text, dbEight);
}
std::string ParityToText(TParityBits Value) {
    return ParityTexts.at(Value);
}
TParityBits TextToParity(const std::string& Text) {
    return FromText(ParityTexts, Text, prNone);
}
std::string FlowControlToText(TFlowControl Value) {
    return FlowControlTexts.at(Value);
}
TFlowControl TextToFlowControl(const std::string& Text) {
    return FromText(FlowControlTexts, Text, fcCustom);
}

std::string BoolToText(bool Value) {
    return Value ? "Yes" : "No";
}
bool TextToBool(const std::string& Text) {
    return AsciiUpper(Text) == "YES";
}
std::string DtrControlToText(TDTRFlowControl Value) {
    return DtrTexts.at(Value);
}
TDTRFlowControl TextToDtrControl(const std::string& Text) {
    return FromText(DtrTexts, Text, dtrDisable);
}
std::string RtsControlToText(TRTSFlowControl Value) {
    return RtsTexts.at(Value);
}
TRTSFlowControl TextToRtsControl(const std::string& Text) {
    return FromText(RtsTexts, Text, rtsDisable);
}

std::string CharToText(char Value) {
    const auto code = static_cast<unsigned char>(Value);
    if (code >= 0x21 && code <= 0x7F)
        return std::string(1, Value);
    std::string text = "#";
    text += std::to_string(code);
    return text;
}

char TextToChar(const std::string& Text) {
    if (Text.empty())
        return '\0';
    if (Text[0] == '#' && Text.size() >= 2) {
        const auto code = TryStrToInt(std::string_view(Text).substr(1)).value_or(0);
        return static_cast<char>(static_cast<unsigned char>(code & 0xFF));
    }
    return Text[0];
}
