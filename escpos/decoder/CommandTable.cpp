#include "escpos/decoder/CommandTable.h"

#include "escpos/commands/Handlers.h"
#include "escpos/decoder/BarcodeData.h"

#include <cstdio>
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
Extent BitImageForm(std::string_view P) {
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

// FS q n, then n images, each xL xH yL yH and x * y * 8 bytes.
Extent NvBitImages(std::string_view P) {
    if (P.size() < 3)
        return More();
    std::size_t at = 3;
    for (unsigned image = 0; image < Byte(P, 2); ++image) {
        if (P.size() < at + 4)
            return More();
        const std::size_t x = Byte(P, at) + 256u * Byte(P, at + 1);
        const std::size_t y = Byte(P, at + 2) + 256u * Byte(P, at + 3);
        at += 4 + x * y * 8;
    }
    return Total(at);
}

// GS * x y: x * 8 columns of y bytes.
Extent DownloadedImage(std::string_view P) {
    if (P.size() < 4)
        return More();
    return Total(4 + std::size_t(Byte(P, 2)) * Byte(P, 3) * 8);
}

// GS v 0 m xL xH yL yH: x bytes across, y rows.
Extent RasterImageForm(std::string_view P) {
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

// ESC D n1 ... nk NUL: ascending columns, at most 32. A NUL ends it; a byte not above the one
// before it, or a 33rd column, is no part of it and prints as data.
Extent TabColumns(std::string_view P) {
    for (std::size_t i = 2; i < P.size(); ++i) {
        if (Byte(P, i) == 0)
            return Total(i + 1);
        if ((i > 2 && Byte(P, i) <= Byte(P, i - 1)) || i == 2 + 32)
            return Total(i);
    }
    return More();
}

// GS 8 L p1 p2 p3 p4: a four-byte length.
Extent LargeGraphicsForm(std::string_view P) {
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

// GS k m: read as the printer reads it, so that data it cannot take ends the command there.
Extent BarCode(std::string_view P) {
    const BarcodeRead read = ReadBarcode(P);
    switch (read.What) {
    case BarcodeRead::More:
        return More();
    case BarcodeRead::NoSuch:
        return NoSuch(read.Length);
    default:
        return Total(read.Length);
    }
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

} // namespace

// The commands this printer knows, one row each. The name is the bytes that call the command up,
// as the manuals write them, and the table is looked up by it; the id is what the decoder hands
// out; the length rule says how many bytes the command takes; the handler is what the printer
// does with it.
//
// To add a command: give it an id in Command.h, a row here, and a handler, a Printer member in
// the file of its family (TextCommands.cpp, PaperCommands.cpp ...) declared in Printer.h, with
// its entry of the same name in Handlers.h and Handlers.cpp. A command the printer only steps
// over is Skipped, with StepOver as its handler. The build stops on a name that spells no bytes,
// a command named twice, or an id left without a row.
struct CommandTable {
    using enum CommandId;

    static constexpr CommandRow Rows[] = {
        // Single bytes.
        {"LF", LineFeed, Fixed<1>, &CommandHandlers::PrintAndFeedLine},
        {"CR", CarriageRet, Fixed<1>, &CommandHandlers::CarriageReturn},
        {"HT", Tab, Fixed<1>, &CommandHandlers::HorizontalTab},
        {"FF", FormFeed, Fixed<1>, &CommandHandlers::PrintFormFeed},
        {"CAN", Cancel, Fixed<1>, &CommandHandlers::CancelPageData},
        // How characters print.
        {"ESC !", PrintMode, Fixed<3>, &CommandHandlers::SetPrintModes},
        {"ESC E", Emphasis, Fixed<3>, &CommandHandlers::SetEmphasis},
        {"ESC G", DoubleStrike, Fixed<3>, &CommandHandlers::SetEmphasis},
        {"ESC -", Underline, Fixed<3>, &CommandHandlers::SetUnderline},
        {"ESC M", Font, Fixed<3>, &CommandHandlers::SelectFont},
        {"ESC SP", RightSpacing, Fixed<3>, &CommandHandlers::SetRightSpacing},
        {"ESC {", UpsideDown, Fixed<3>, &CommandHandlers::SetUpsideDown},
        {"ESC V", Rotate, Fixed<3>, &CommandHandlers::SetRotation},
        {"ESC t", CodePage, Fixed<3>, &CommandHandlers::SelectCodePage},
        {"ESC R", CharacterSet, Fixed<3>, &CommandHandlers::SelectCharacterSet},
        {"GS !", CharacterSize, Fixed<3>, &CommandHandlers::SetCharacterSize},
        {"GS B", Reverse, Fixed<3>, &CommandHandlers::SetReverse},
        {"FS &", DoubleByteOn, Fixed<2>, &CommandHandlers::StartDoubleByte},
        {"FS .", DoubleByteOff, Fixed<2>, &CommandHandlers::StopDoubleByte},
        {"FS !", DoubleByteMode, Fixed<3>, &CommandHandlers::SetDoubleByteModes},
        // Where characters go on the line.
        {"ESC a", Justify, Fixed<3>, &CommandHandlers::SetJustification},
        {"ESC $", AbsolutePosition, Fixed<4>, &CommandHandlers::MovePosition},
        {"ESC \\", RelativePosition, Fixed<4>, &CommandHandlers::MovePosition},
        {"GS L", LeftMargin, Fixed<4>, &CommandHandlers::SetLeftMargin},
        {"GS W", PrintWidth, Fixed<4>, &CommandHandlers::SetPrintWidth},
        {"ESC D", TabStops, TabColumns, &CommandHandlers::SetTabStops},
        // Paper feed and cuts.
        {"ESC 2", DefaultSpacing, Fixed<2>, &CommandHandlers::SetDefaultSpacing},
        {"ESC 3", LineSpacing, Fixed<3>, &CommandHandlers::SetLineSpacing},
        {"ESC d", FeedLines, Fixed<3>, &CommandHandlers::PrintAndFeedLines},
        {"ESC J", FeedDots, Fixed<3>, &CommandHandlers::PrintAndFeedDots},
        {"ESC i", OldCut, Fixed<2>, &CommandHandlers::CutHere},
        {"ESC m", OldCut, Fixed<2>, &CommandHandlers::CutHere},
        {"GS V", Cut, CutForm, &CommandHandlers::FeedAndCut},
        // The printer as a whole, the drawer, and answers to the host.
        {"ESC @", Initialise, Fixed<2>, &CommandHandlers::Initialise},
        {"ESC p", DrawerPulse, Fixed<5>, &CommandHandlers::KickDrawer},
        {"GS r", StatusRequest, Fixed<3>, &CommandHandlers::AnswerStatus},
        {"GS I", PrinterId, Fixed<3>, &CommandHandlers::AnswerPrinterId},
        {"DLE EOT", RealTimeStatus, RealTimeStatusForm, &CommandHandlers::AnswerRealTimeStatus},
        {"DLE ENQ", RealTimeRequest, Fixed<3>, &CommandHandlers::TakeRealTimeRequest},
        {"DLE DC4", RealTimePulse, RealTimeCommandForm, &CommandHandlers::RealTimeFunction},
        {"GS a", AutoStatusBack, Fixed<3>, &CommandHandlers::SetAutoStatusBack},
        // Bit images, graphics and bar codes.
        {"ESC *", BitImage, BitImageForm, &CommandHandlers::PrintBitImage},
        {"GS v", RasterImage, RasterImageForm, &CommandHandlers::PrintRasterImage},
        {"FS q", DefineNvImages, NvBitImages, &CommandHandlers::DefineNvBitImages},
        {"FS p", NvImage, Fixed<4>, &CommandHandlers::PrintNvBitImage},
        {"GS *", DefineDownloaded, DownloadedImage, &CommandHandlers::DefineDownloadedImage},
        {"GS /", PrintDownloaded, Fixed<3>, &CommandHandlers::PrintDownloadedImage},
        {"GS 8", LargeGraphics, LargeGraphicsForm, &CommandHandlers::RunLargeGraphics},
        {"GS k", Barcode, BarCode, &CommandHandlers::PrintBarcode},
        {"GS H", BarcodeStyle, Fixed<3>, &CommandHandlers::SetBarcodeStyle},
        {"GS h", BarcodeStyle, Fixed<3>, &CommandHandlers::SetBarcodeStyle},
        {"GS w", BarcodeStyle, Fixed<3>, &CommandHandlers::SetBarcodeStyle},
        {"GS f", BarcodeStyle, Fixed<3>, &CommandHandlers::SetBarcodeStyle},
        // Families whose function byte follows: graphics, 2D codes, set-up, and more.
        {"GS (", Function, LengthPrefixed, &CommandHandlers::RunFunction},
        {"ESC (", Skipped, LengthPrefixed, &CommandHandlers::StepOver},
        {"FS (", Skipped, LengthPrefixed, &CommandHandlers::StepOver},
        // User-defined and double-byte character set-up.
        {"ESC %", SelectUserChars, Fixed<3>, &CommandHandlers::SelectUserCharacters},
        {"ESC &", DefineUserChars, UserCharacters, &CommandHandlers::DefineUserCharacters},
        {"ESC ?", CancelUserChar, Fixed<3>, &CommandHandlers::CancelUserCharacter},
        {"FS -", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"FS W", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"FS C", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"FS S", Skipped, Fixed<4>, &CommandHandlers::StepOver},
        {"FS ?", Skipped, Fixed<4>, &CommandHandlers::StepOver},
        {"FS 2", Skipped, Fixed<4 + 72>, &CommandHandlers::StepOver},
        // Page mode.
        {"ESC L", PageModeOn, Fixed<2>, &CommandHandlers::SelectPageMode},
        {"ESC S", StandardModeOn, Fixed<2>, &CommandHandlers::SelectStandardMode},
        {"ESC W", PageAreaSet, Fixed<10>, &CommandHandlers::SetPageArea},
        {"ESC T", PageDirection, Fixed<3>, &CommandHandlers::SetPageDirection},
        {"GS $", VerticalAbsolute, Fixed<4>, &CommandHandlers::MoveVertical},
        {"GS \\", VerticalRelative, Fixed<4>, &CommandHandlers::MoveVertical},
        {"ESC FF", PrintPage, Fixed<2>, &CommandHandlers::PrintPageData},
        // Other set-up, peripherals and reverse feeds.
        {"ESC =", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"ESC c", Skipped, Fixed<4>, &CommandHandlers::StepOver},
        {"ESC v", Skipped, Fixed<2>, &CommandHandlers::StepOver},
        {"ESC u", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"ESC U", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"ESC r", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"ESC e", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"ESC K", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"GS P", Skipped, Fixed<4>, &CommandHandlers::StepOver},
        {"GS :", Skipped, Fixed<2>, &CommandHandlers::StepOver},
        {"GS ^", Skipped, Fixed<5>, &CommandHandlers::StepOver},
        {"GS b", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        {"GS E", Skipped, Fixed<3>, &CommandHandlers::StepOver},
        // What the decoder makes of bytes no row above names. Text has no row: the printer prints
        // it itself, a character at a time.
        {"", Unknown, nullptr, &CommandHandlers::SkipUnknown},
        {"", Incomplete, nullptr, &CommandHandlers::ReportIncomplete},
    };
};

namespace {

constexpr const CommandRow* Rows = CommandTable::Rows;
constexpr std::size_t RowCount = std::size(CommandTable::Rows);
constexpr std::size_t IdCount = static_cast<std::size_t>(CommandId::Incomplete) + 1;

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

// Row numbers (counted from 1; 0 for none) by the bytes that name them, and by id.
struct Index {
    std::array<std::uint8_t, 256> Single{};
    std::array<std::array<std::uint8_t, 256>, 4> AfterIntroducer{};
    std::array<std::uint8_t, IdCount> ById{}; // the first row of each id
};

// Builds the index, and stops the build on a row whose name spells no command, a command named
// twice, or an id without a row. Whether the rows' pointers are set is left to the tests: GCC's
// null-pointer sanitizer makes comparing them no constant expression.
constexpr Index BuildIndex() {
    static_assert(RowCount < 255, "the index keeps row numbers in a byte");
    Index index;
    for (std::size_t r = 0; r < RowCount; ++r) {
        const CommandRow& row = Rows[r];
        const auto number = static_cast<std::uint8_t>(r + 1);
        std::uint8_t& first = index.ById[static_cast<std::size_t>(row.Id)];
        if (!first)
            first = number;
        if (row.Name.empty())
            continue;
        const std::size_t space = row.Name.find(' ');
        const std::uint8_t lead = ByteNamed(row.Name.substr(0, space));
        std::uint8_t* slot = nullptr;
        if (space == std::string_view::npos) {
            if (lead >= 0x20 || IsIntroducer(lead))
                throw "a single-byte command is a control byte that starts no longer one";
            slot = &index.Single[lead];
        } else {
            if (!IsIntroducer(lead))
                throw "a longer command starts with ESC, GS, FS or DLE";
            slot =
                &index.AfterIntroducer[IntroducerSlot(lead)][ByteNamed(row.Name.substr(space + 1))];
        }
        if (*slot)
            throw "two rows name the same command";
        *slot = number;
    }
    // Text is the one id without a row: the printer prints it itself.
    for (std::size_t id = 0; id < IdCount; ++id) {
        const bool text = id == static_cast<std::size_t>(CommandId::Char);
        if ((index.ById[id] != 0) == text)
            throw "every id but Char has a row";
    }
    return index;
}

constexpr Index Lookup = BuildIndex();

} // namespace

std::span<const CommandRow> CommandRows() {
    return CommandTable::Rows;
}

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

Handler HandlerFor(CommandId Id) {
    const std::uint8_t row = Lookup.ById[static_cast<std::size_t>(Id)];
    return row ? Rows[row - 1].Do : nullptr;
}

Measurement MeasureCommand(std::string_view Prefix) {
    if (Prefix.empty())
        return {};
    const std::uint8_t first = Byte(Prefix, 0);
    if (IsIntroducer(first) && Prefix.size() < 2)
        return {};
    const CommandRow* row = FindCommand(Prefix);
    if (!row) {
        // What the printer defines no command for is skipped, by one rule: ESC, GS and FS take
        // the byte after them along; DLE or any other control byte takes only itself, and the
        // byte after it is read afresh.
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

std::string CommandName(const Command& C) {
    if (C.Id == CommandId::Char)
        return "text";
    const std::uint8_t first = C.At(0);
    if (first == 0x7F)
        return "DEL";
    if (first >= 0x20)
        return "text";
    std::string name(ControlNames[first]);
    if (C.Bytes.size() < 2 || !IsIntroducer(first))
        return name;
    const std::uint8_t second = C.At(1);
    if (const CommandRow* row = FindCommand(C.Bytes)) {
        name = row->Name;
    } else {
        // Bytes no row names are spelled as the table would spell them.
        name += ' ';
        if (second > 0x20 && second < 0x7F)
            name += static_cast<char>(second);
        else if (second < 0x20)
            name += ControlNames[second];
        else if (second == 0x20)
            name += "SP";
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X", second);
            name += hex;
        }
    }
    // Length-prefixed families are named by their function letter too: "GS ( k".
    if (second == '(' && C.Bytes.size() >= 3 && C.At(2) > 0x20 && C.At(2) < 0x7F)
        name += std::string(" ") + static_cast<char>(C.At(2));
    return name;
}

} // namespace escpos
