#include "escpos/CommandTable.h"

#include <iterator>

namespace escpos {

namespace {

std::uint8_t Byte(std::string_view S, std::size_t I) {
    return static_cast<std::uint8_t>(S[I]);
}

// Length rules. Each is given at least the bytes that name its command.

Extent More() {
    return {};
}
Extent Total(std::size_t Length) {
    return {Extent::Total, Length};
}
Extent NoSuch(std::size_t Length) {
    return {Extent::NoSuch, Length};
}

template <std::size_t Length>
Extent Fixed(std::string_view) {
    return Total(Length);
}

template <std::size_t Limit>
Extent UntilNul(std::string_view) {
    return {Extent::UntilNul, Limit};
}

// "x ( fn pL pH ...": a two-byte length after the function byte.
Extent LengthPrefixed(std::string_view P) {
    if (P.size() < 5)
        return More();
    return Total(5 + Byte(P, 3) + 256u * Byte(P, 4));
}

// ESC & y c1 c2, then for each code from c1 to c2 a width x and y * x bytes.
Extent UserCharacters(std::string_view P) {
    if (P.size() < 5)
        return More();
    const unsigned y = Byte(P, 2), c1 = Byte(P, 3), c2 = Byte(P, 4);
    if (c2 < c1)
        return NoSuch(5);
    std::size_t at = 5;
    for (unsigned code = c1; code <= c2; ++code) {
        if (P.size() <= at)
            return More();
        at += 1 + std::size_t(y) * Byte(P, at);
    }
    return Total(at);
}

// ESC * m nL nH: n columns of one byte (8-dot modes 0, 1) or three (24-dot modes 32, 33).
Extent BitImage(std::string_view P) {
    if (P.size() < 3)
        return More();
    const std::uint8_t m = Byte(P, 2);
    if (m != 0 && m != 1 && m != 32 && m != 33)
        return NoSuch(3);
    if (P.size() < 5)
        return More();
    const std::size_t n = Byte(P, 3) + 256u * Byte(P, 4);
    return Total(5 + (m < 32 ? n : 3 * n));
}

// GS * x y: x * 8 columns of y bytes.
Extent DownloadedImage(std::string_view P) {
    if (P.size() < 4)
        return More();
    return Total(4 + std::size_t(Byte(P, 2)) * Byte(P, 3) * 8);
}

// GS v 0 m xL xH yL yH: x bytes across, y rows.
Extent RasterImage(std::string_view P) {
    if (P.size() < 3)
        return More();
    if (Byte(P, 2) != '0')
        return NoSuch(3);
    if (P.size() < 8)
        return More();
    const std::size_t x = Byte(P, 4) + 256u * Byte(P, 5);
    const std::size_t y = Byte(P, 6) + 256u * Byte(P, 7);
    return Total(8 + x * y);
}

// GS 8 L p1 p2 p3 p4: a four-byte length.
Extent LargeGraphics(std::string_view P) {
    if (P.size() < 3)
        return More();
    if (Byte(P, 2) != 'L')
        return NoSuch(3);
    if (P.size() < 7)
        return More();
    const std::size_t n = Byte(P, 3) | std::size_t(Byte(P, 4)) << 8 |
                          std::size_t(Byte(P, 5)) << 16 | std::size_t(Byte(P, 6)) << 24;
    return Total(7 + n);
}

// GS k m: forms 0 to 6 end in a NUL; forms 65 to 79 give their length.
Extent BarCode(std::string_view P) {
    if (P.size() < 3)
        return More();
    const std::uint8_t m = Byte(P, 2);
    if (m <= 6)
        return {Extent::UntilNul, 3 + 255 + 1};
    if (m >= 65 && m <= 79) {
        if (P.size() < 4)
            return More();
        return Total(4 + Byte(P, 3));
    }
    return NoSuch(3);
}

// GS V m: function A cuts at once; function B (65, 66) and the later ones take a feed byte.
Extent CutForm(std::string_view P) {
    if (P.size() < 3)
        return More();
    switch (Byte(P, 2)) {
    case 0:
    case 1:
    case '0':
    case '1':
        return Total(3);
    case 65:
    case 66:
    case 97:
    case 98:
    case 103:
    case 104:
        return Total(4);
    default:
        return NoSuch(3);
    }
}

// DLE EOT n [a]: statuses 7 and 8 take a further byte.
Extent RealTimeStatusForm(std::string_view P) {
    if (P.size() < 3)
        return More();
    switch (Byte(P, 2)) {
    case 1:
    case 2:
    case 3:
    case 4:
        return Total(3);
    case 7:
    case 8:
        return Total(4);
    default:
        return NoSuch(3);
    }
}

// DLE DC4 fn ...: the pulse, power-off and buffer-clear functions.
Extent RealTimeCommandForm(std::string_view P) {
    if (P.size() < 3)
        return More();
    switch (Byte(P, 2)) {
    case 1:
    case 2:
    case 7:
        return Total(5);
    case 8:
        return Total(10);
    default:
        return NoSuch(3);
    }
}

using enum CommandId;

// The commands this printer knows, one row each. The name is the bytes that call the command up,
// as the manuals write them, and the table is looked up by it; the id is what the decoder hands
// out; the length rule says how many bytes the command takes.
//
// To add a command: give it an id in Command.h and a row here. A command the printer only needs
// to step over is Skipped.
constexpr CommandRow Rows[] = {
    // Single bytes.
    {"LF", LineFeed, Fixed<1>},
    {"CR", CarriageRet, Fixed<1>},
    {"HT", Tab, Fixed<1>},
    {"FF", FormFeed, Fixed<1>},
    {"CAN", Cancel, Fixed<1>},
    // How characters print.
    {"ESC !", PrintMode, Fixed<3>},
    {"ESC E", Emphasis, Fixed<3>},
    {"ESC G", DoubleStrike, Fixed<3>},
    {"ESC -", Underline, Fixed<3>},
    {"ESC M", Font, Fixed<3>},
    {"ESC SP", RightSpacing, Fixed<3>},
    {"ESC {", UpsideDown, Fixed<3>},
    {"ESC V", Rotate, Fixed<3>},
    {"ESC t", CodePage, Fixed<3>},
    {"ESC R", CharacterSet, Fixed<3>},
    {"GS !", CharacterSize, Fixed<3>},
    {"GS B", Reverse, Fixed<3>},
    {"FS &", DoubleByteOn, Fixed<2>},
    {"FS .", DoubleByteOff, Fixed<2>},
    {"FS !", DoubleByteMode, Fixed<3>},
    // Where characters go on the line.
    {"ESC a", Justify, Fixed<3>},
    {"ESC $", AbsolutePosition, Fixed<4>},
    {"ESC \\", RelativePosition, Fixed<4>},
    {"GS L", LeftMargin, Fixed<4>},
    {"GS W", PrintWidth, Fixed<4>},
    // Paper feed and cuts.
    {"ESC 2", DefaultSpacing, Fixed<2>},
    {"ESC 3", LineSpacing, Fixed<3>},
    {"ESC d", FeedLines, Fixed<3>},
    {"ESC J", FeedDots, Fixed<3>},
    {"ESC i", OldCut, Fixed<2>},
    {"ESC m", OldCut, Fixed<2>},
    {"GS V", Cut, CutForm},
    // The printer as a whole, the drawer, and answers to the host.
    {"ESC @", Initialise, Fixed<2>},
    {"ESC p", DrawerPulse, Fixed<5>},
    {"GS r", StatusRequest, Fixed<3>},
    {"GS I", PrinterId, Fixed<3>},
    {"DLE EOT", RealTimeStatus, RealTimeStatusForm},
    {"DLE ENQ", RealTimeRequest, Fixed<3>},
    {"DLE DC4", RealTimePulse, RealTimeCommandForm},
    // Bit images and bar codes: stepped over, not drawn.
    {"ESC *", Skipped, BitImage},
    {"GS *", Skipped, DownloadedImage},
    {"GS /", Skipped, Fixed<3>},
    {"GS v", Skipped, RasterImage},
    {"GS 8", Skipped, LargeGraphics},
    {"FS p", Skipped, Fixed<4>},
    {"GS k", Skipped, BarCode},
    {"GS H", Skipped, Fixed<3>},
    {"GS h", Skipped, Fixed<3>},
    {"GS w", Skipped, Fixed<3>},
    {"GS f", Skipped, Fixed<3>},
    // Families whose function byte follows: 2D codes, graphics, set-up, and more.
    {"ESC (", Skipped, LengthPrefixed},
    {"GS (", Skipped, LengthPrefixed},
    {"FS (", Skipped, LengthPrefixed},
    // User-defined and double-byte character set-up.
    {"ESC %", Skipped, Fixed<3>},
    {"ESC &", Skipped, UserCharacters},
    {"ESC ?", Skipped, Fixed<3>},
    {"FS -", Skipped, Fixed<3>},
    {"FS W", Skipped, Fixed<3>},
    {"FS C", Skipped, Fixed<3>},
    {"FS S", Skipped, Fixed<4>},
    {"FS ?", Skipped, Fixed<4>},
    {"FS 2", Skipped, Fixed<4 + 72>},
    // Page mode.
    {"ESC L", Skipped, Fixed<2>},
    {"ESC S", Skipped, Fixed<2>},
    {"ESC W", Skipped, Fixed<10>},
    {"ESC T", Skipped, Fixed<3>},
    {"GS $", Skipped, Fixed<4>},
    {"GS \\", Skipped, Fixed<4>},
    // Other set-up, peripherals and reverse feeds.
    {"ESC D", Skipped, UntilNul<2 + 32 + 1>},
    {"ESC =", Skipped, Fixed<3>},
    {"ESC c", Skipped, Fixed<4>},
    {"ESC v", Skipped, Fixed<2>},
    {"ESC u", Skipped, Fixed<3>},
    {"ESC U", Skipped, Fixed<3>},
    {"ESC r", Skipped, Fixed<3>},
    {"ESC e", Skipped, Fixed<3>},
    {"ESC K", Skipped, Fixed<3>},
    {"GS P", Skipped, Fixed<4>},
    {"GS :", Skipped, Fixed<2>},
    {"GS ^", Skipped, Fixed<5>},
    {"GS a", Skipped, Fixed<3>},
    {"GS b", Skipped, Fixed<3>},
    {"GS E", Skipped, Fixed<3>},
};

constexpr std::size_t RowCount = std::size(Rows);

// A byte by its name in a row: a control's name, SP, or the character itself.
constexpr std::uint8_t ByteNamed(std::string_view Name) {
    if (Name == "SP")
        return 0x20;
    if (Name.size() == 1 && Name[0] > 0x20 && Name[0] < 0x7F)
        return static_cast<std::uint8_t>(Name[0]);
    for (std::size_t b = 0; b < ControlNames.size(); ++b)
        if (ControlNames[b] == Name)
            return static_cast<std::uint8_t>(b);
    throw "a row's name is not made of byte names";
}

constexpr int IntroducerSlot(std::uint8_t B) {
    return B == ESC ? 0 : B == GS ? 1 : B == FS ? 2 : B == DLE ? 3 : -1;
}

// Row numbers (counted from 1; 0 for none) by the bytes that name them.
struct Index {
    std::array<std::uint8_t, 256> Single{};
    std::array<std::array<std::uint8_t, 256>, 4> AfterIntroducer{};
};

// Builds the index, and stops the build on a row that names no command or one named twice.
constexpr Index BuildIndex() {
    static_assert(RowCount < 255, "the index keeps row numbers in a byte");
    Index index;
    for (std::size_t r = 0; r < RowCount; ++r) {
        const std::string_view name = Rows[r].Name;
        const std::size_t space = name.find(' ');
        const std::uint8_t first = ByteNamed(name.substr(0, space));
        std::uint8_t* slot = nullptr;
        if (space == std::string_view::npos) {
            if (first >= 0x20 || IsIntroducer(first))
                throw "a single-byte command is a control byte that starts no longer one";
            slot = &index.Single[first];
        } else {
            if (!IsIntroducer(first))
                throw "a longer command starts with ESC, GS, FS or DLE";
            slot = &index.AfterIntroducer[IntroducerSlot(first)][ByteNamed(name.substr(space + 1))];
        }
        if (*slot)
            throw "two rows name the same command";
        if (!Rows[r].Length)
            throw "every row says how its length is read";
        *slot = static_cast<std::uint8_t>(r + 1);
    }
    return index;
}

constexpr Index Lookup = BuildIndex();

} // namespace

const CommandRow* FindCommand(std::string_view Prefix) {
    if (Prefix.empty())
        return nullptr;
    const std::uint8_t first = Byte(Prefix, 0);
    std::uint8_t row = 0;
    if (!IsIntroducer(first))
        row = Lookup.Single[first];
    else if (Prefix.size() >= 2)
        row = Lookup.AfterIntroducer[IntroducerSlot(first)][Byte(Prefix, 1)];
    return row ? &Rows[row - 1] : nullptr;
}

Measurement MeasureCommand(std::string_view Prefix) {
    if (Prefix.empty())
        return {};
    const std::uint8_t first = Byte(Prefix, 0);
    if (IsIntroducer(first) && Prefix.size() < 2)
        return {};
    const CommandRow* row = FindCommand(Prefix);
    if (!row) {
        // A lone DLE is not a command: the byte after it is read afresh.
        const std::size_t skipped = first == ESC || first == GS || first == FS ? 2 : 1;
        return {Measurement::Total, skipped, CommandId::Unknown};
    }
    const Extent extent = row->Length(Prefix);
    switch (extent.What) {
    case Extent::More:
        return {};
    case Extent::Total:
        return {Measurement::Total, extent.Length, row->Id};
    case Extent::UntilNul:
        return {Measurement::UntilNul, extent.Length, row->Id};
    case Extent::NoSuch:
        break;
    }
    return {Measurement::Total, extent.Length, CommandId::Unknown};
}

} // namespace escpos
