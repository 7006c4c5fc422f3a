// Where the printer's status facts sit in its answers: the byte of DLE EOT n (real-time status)
// and of the four automatic status back (GS a) sends, and the mask, once for the printer that
// answers and the console that reads the answer. Also the bits of the type ID (GS I 2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace receipt {

// What a status tells, in the order the console lists them.
enum class StatusFact {
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
// it. A printer sets both bits of a fact told by two, or neither.
struct StatusBit {
    int Byte = 0;
    std::uint8_t Mask = 0;
};

struct StatusFactBits {
    StatusFact Fact;
    StatusBit RealTime;  // DLE EOT Byte
    StatusBit Automatic; // byte Byte of the four automatic status back sends
    bool SetWhenNot;     // the bits are set when the fact is not so (offline)
    // Why the printer is offline when the fact is so, in the words the console and the virtual
    // printer's log both use; null where the fact takes nobody offline.
    const char* OfflineCause = nullptr;
};

// Indexed by StatusFact.
inline constexpr StatusFactBits StatusBitTable[StatusFactCount] = {
    {StatusFact::Online, {1, 0x08}, {1, 0x08}, true},
    {StatusFact::CoverOpen, {2, 0x04}, {1, 0x20}, false, "cover open"},
    {StatusFact::FeedButtonPressed, {1, 0x40}, {}, false},
    {StatusFact::FeedingByButton, {2, 0x08}, {1, 0x40}, false, "paper being fed by the button"},
    {StatusFact::DrawerPin3High, {1, 0x04}, {1, 0x04}, false},
    {StatusFact::StoppedByPaperEnd, {2, 0x20}, {}, false, "paper end"},
    // Automatic status back has no bit of its own for it: any of the four errors is one.
    {StatusFact::ErrorOccurred, {2, 0x40}, {}, false, "error"},
    {StatusFact::RecoverableError, {3, 0x04}, {2, 0x04}, false},
    {StatusFact::CutterError, {3, 0x08}, {2, 0x08}, false},
    {StatusFact::UnrecoverableError, {3, 0x20}, {2, 0x20}, false},
    {StatusFact::AutoRecoverableError, {3, 0x40}, {2, 0x40}, false},
    {StatusFact::PaperNearEnd, {4, 0x0C}, {3, 0x03}, false},
    {StatusFact::PaperEnd, {4, 0x60}, {3, 0x0C}, false},
};

constexpr bool InFactOrder(const auto& Table) {
    for (std::size_t i = 0; i < StatusFactCount; ++i)
        if (Table[i].Fact != static_cast<StatusFact>(i))
            return false;
    return true;
}
static_assert(static_cast<std::size_t>(StatusFact::PaperEnd) + 1 == StatusFactCount);
static_assert(InFactOrder(StatusBitTable), "the table is indexed by StatusFact");

constexpr const StatusFactBits& StatusBitsOf(StatusFact F) {
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
constexpr std::uint8_t StatusByte(StatusBit StatusFactBits::*Answer, int Byte, std::uint8_t Mark,
                                  Facts IsSo) {
    std::uint8_t b = Mark;
    for (const StatusFactBits& row : StatusBitTable)
        if ((row.*Answer).Byte == Byte && IsSo(row.Fact) != row.SetWhenNot)
            b |= (row.*Answer).Mask;
    return b;
}

// GS I 2, the type ID.
inline constexpr std::uint8_t TypeTwoByteCharacters = 0x01;
inline constexpr std::uint8_t TypeAutocutter = 0x02;

} // namespace receipt
