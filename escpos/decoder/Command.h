// A command as the decoder cuts it from the stream: which one it is, where it was, its bytes,
// and its name and bytes as a log or trace shows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace escpos {

enum class CommandId {
    // Single bytes.
    Char,        // a byte that prints (0x20 and above, outside any command)
    LineFeed,    // LF
    CarriageRet, // CR
    Tab,         // HT
    FormFeed,    // FF
    Cancel,      // CAN
    // ESC
    Initialise,       // ESC @
    PrintMode,        // ESC ! n
    Emphasis,         // ESC E n
    DoubleStrike,     // ESC G n
    Underline,        // ESC - n
    Justify,          // ESC a n
    DefaultSpacing,   // ESC 2
    LineSpacing,      // ESC 3 n
    CodePage,         // ESC t n
    CharacterSet,     // ESC R n
    DrawerPulse,      // ESC p m t1 t2
    FeedLines,        // ESC d n
    FeedDots,         // ESC J n
    Font,             // ESC M n
    RightSpacing,     // ESC SP n
    UpsideDown,       // ESC { n
    Rotate,           // ESC V n
    AbsolutePosition, // ESC $ nL nH
    RelativePosition, // ESC \ nL nH
    TabStops,         // ESC D n1 ... nk NUL
    OldCut,           // ESC i (full) / ESC m (partial)
    // GS
    CharacterSize, // GS ! n
    Reverse,       // GS B n
    Cut,           // GS V m [n]
    StatusRequest, // GS r n
    PrinterId,     // GS I n
    LeftMargin,    // GS L nL nH
    PrintWidth,    // GS W nL nH
    // FS
    DoubleByteOn,   // FS &
    DoubleByteOff,  // FS .
    DoubleByteMode, // FS ! n
    // User-defined characters
    SelectUserChars, // ESC % n
    DefineUserChars, // ESC & y c1 c2 ...
    CancelUserChar,  // ESC ? n
    // DLE
    RealTimeStatus,  // DLE EOT n [a]
    RealTimeRequest, // DLE ENQ n
    RealTimePulse,   // DLE DC4 fn ...
    AutoStatusBack,  // GS a n
    // Pictures and codes
    BitImage,         // ESC * m nL nH d...
    RasterImage,      // GS v 0 m xL xH yL yH d...
    DefineNvImages,   // FS q n ...
    NvImage,          // FS p n m
    DefineDownloaded, // GS * x y d...
    PrintDownloaded,  // GS / m
    Function,         // GS ( fn pL pH ...: graphics (GS ( L), 2D codes (GS ( k) and more
    LargeGraphics,    // GS 8 L p1 p2 p3 p4 ...
    Barcode,          // GS k m ...
    BarcodeStyle,     // GS h, GS w, GS H, GS f
    // Page mode
    PageModeOn,       // ESC L
    StandardModeOn,   // ESC S
    PageAreaSet,      // ESC W xL xH yL yH dxL dxH dyL dyH
    PageDirection,    // ESC T n
    VerticalAbsolute, // GS $ nL nH
    VerticalRelative, // GS \ nL nH
    PrintPage,        // ESC FF
    // Understood by length, not drawn: set-up.
    Skipped,
    // No command the printer defines: a control byte without a row, ESC, GS or FS with a byte no
    // row names, DLE alone, or a row's command with a parameter it does not take. Skipped.
    Unknown,
    // The stream ended inside this command. Stays last: the command table counts the ids by it.
    Incomplete,
};

struct Command {
    CommandId Id = CommandId::Char;
    std::size_t Offset = 0; // of its first byte in the stream
    std::size_t Length = 0; // bytes it took in the stream
    std::string Bytes;      // all its bytes (an image's data too)

    // Bytes shown of a command in a log or trace.
    static constexpr std::size_t ShownBytes = 64;

    // Byte I of the command (0 is the first), or 0 past its end.
    std::uint8_t At(std::size_t I) const {
        return I < Bytes.size() ? static_cast<std::uint8_t>(Bytes[I]) : 0;
    }
};

// The bytes in hex, "1B 21 08", with "..." after the first ShownBytes of a longer one.
std::string HexBytes(const Command& C);

} // namespace escpos
