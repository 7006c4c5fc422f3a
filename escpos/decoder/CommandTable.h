// The command table: one row per command, with its name, the id the decoder hands out for it,
// how many bytes it takes, and what the printer does with it. The decoder measures commands by
// it, CommandName names them by it, and the printer carries them out by it. The rows are in
// CommandTable.cpp.
#pragma once

#include "escpos/commands/Handlers.h"
#include "escpos/decoder/Command.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace escpos {

inline constexpr std::uint8_t DLE = 0x10, ESC = 0x1B, FS = 0x1C, GS = 0x1D;

// The bytes that start a command of two bytes or more; the byte after one names the command.
constexpr bool IsIntroducer(std::uint8_t B) {
    return B == ESC || B == GS || B == FS || B == DLE;
}

// The bytes below 0x20 by the names the manuals give them.
inline constexpr std::array<std::string_view, 32> ControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// What a command's first bytes tell of its length.
struct Extent {
    enum Kind {
        More,     // not enough bytes to tell yet
        Total,    // the whole command takes Length bytes; fewer than were read gives the rest back
        UntilNul, // it runs to a NUL, Length bytes at most
        NoSuch,   // the bytes are no form of the command: Length of them are skipped as unknown
    } What = More;
    std::size_t Length = 0;
};

// Reads a command's length from its first bytes, the ones that name it and whatever came after.
using LengthRule = Extent (*)(std::string_view Prefix);

struct CommandRow {
    std::string_view Name; // the bytes that name it, "ESC !" or "LF"; empty for what no bytes name
    CommandId Id;
    LengthRule Length; // null where Name is empty
    Handler Do;
};

// Every row, in the table's order.
std::span<const CommandRow> CommandRows();

// The row for the command Prefix starts with (its first byte, or its first two after ESC, GS,
// FS or DLE), or null when no row names it.
const CommandRow* FindCommand(std::string_view Prefix);

// What the printer does with commands of Id: the handler of its first row; null for Char, text
// the printer prints itself.
Handler HandlerFor(CommandId Id);

// What the table says of a command prefix.
struct Measurement {
    enum Kind { More, Total, UntilNul } What = More;
    std::size_t Length = 0; // Total: the whole command; UntilNul: the most bytes it may take
    CommandId Id = CommandId::Unknown;
};

// Measures Prefix, a command's first bytes; a command no row names is Unknown.
Measurement MeasureCommand(std::string_view Prefix);

// "ESC !", "GS V", "LF", "text" ...: the command's name as the manuals write it, from its row.
std::string CommandName(const Command& C);

} // namespace escpos
