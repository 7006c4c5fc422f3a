// Where the printer's status facts sit in its answers: the byte of DLE EOT n (real-time status)
// and of the four automatic status back (GS a) sends, and the mask, once for the printer that
// answers and the console that reads the answer. Also the bits of the type ID (GS I 2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace receipt {

// What a status tells, in the order the console lists them.
enum class EStatusFact {
    Online,
    CoverOpen,
    FeedButtonPressed, // the button is held
    FeedingByButton,   // paper is being fed by the button
    DrawerPin3High,
    StoppedByPaperEnd,
    ErrorOccurred,
    RecoverableError,
    CutterError,
    UnrecoverableError,
    AutoRecoverableError,
    PaperNearEnd,
    PaperEnd,
};
inline constexpr std::size_t StatusFactCount = 13;

// Byte 1 to 4 of an answer and the bits that tell a fact; Byte 0 where the answer does not tell
// it. A fact told by two bits has both set or neither.
struct TStatusBit {
    int Byte = 0;
    std::uint8_t Mask = 0;
};

struct TStatusBits {
    EStatusFact Fact;
    TStatusBit RealTime;  // DLE EOT Byte
    TStatusBit Automatic; // byte Byte of the four automatic status back sends
    bool SetWhenNot;      // the bits are set when the fact is not so (offline)
};

// Indexed by EStatusFact.
inline constexpr TStatusBits StatusBitTable[StatusFactCount] = {
    {EStatusFact::Online, {1, 0x08}, {1, 0x08}, true},
    {EStatusFact::CoverOpen, {2, 0x04}, {1, 0x20}, false},
    {EStatusFact::FeedButtonPressed, {1, 0x40}, {}, false},
    {EStatusFact::FeedingByButton, {2, 0x08}, {1, 0x40}, false},
    {EStatusFact::DrawerPin3High, {1, 0x04}, {1, 0x04}, false},
    {EStatusFact::StoppedByPaperEnd, {2, 0x20}, {}, false},
    // Automatic status back has no bit of its own for it: any of the four errors is one.
    {EStatusFact::ErrorOccurred, {2, 0x40}, {}, false},
    {EStatusFact::RecoverableError, {3, 0x04}, {2, 0x04}, false},
    {EStatusFact::CutterError, {3, 0x08}, {2, 0x08}, false},
    {EStatusFact::UnrecoverableError, {3, 0x20}, {2, 0x20}, false},
    {EStatusFact::AutoRecoverableError, {3, 0x40}, {2, 0x40}, false},
    {EStatusFact::PaperNearEnd, {4, 0x0C}, {3, 0x03}, false},
    {EStatusFact::PaperEnd, {4, 0x60}, {3, 0x0C}, false},
};

constexpr const TStatusBits& StatusBitsOf(EStatusFact F) {
    return StatusBitTable[static_cast<std::size_t>(F)];
}

// Bits that mark the bytes: a real-time status byte has bits 1 and 4 set and 0 and 7 clear; the
// first automatic status byte has bit 4 set and 0, 1 and 7 clear.
inline constexpr std::uint8_t StatusMarkMask = 0x93;
inline constexpr std::uint8_t RealTimeStatusMark = 0x12;
inline constexpr std::uint8_t AutomaticStatusMark = 0x10;

// Byte (1 to 4) of a real-time status or an automatic status back, with Mark and the bits of the
// facts IsSo(fact) says are so.
template <typename Facts>
constexpr std::uint8_t StatusByte(TStatusBit TStatusBits::*Answer, int Byte, std::uint8_t Mark,
                                  Facts IsSo) {
    std::uint8_t b = Mark;
    for (const TStatusBits& row : StatusBitTable)
        if ((row.*Answer).Byte == Byte && IsSo(row.Fact) != row.SetWhenNot)
            b |= (row.*Answer).Mask;
    return b;
}

// GS I 2, the type ID.
inline constexpr std::uint8_t TypeTwoByteCharacters = 0x01;
inline constexpr std::uint8_t TypeAutocutter = 0x02;

} // namespace receipt
