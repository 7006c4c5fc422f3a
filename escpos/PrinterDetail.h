// What the printer's source files share: the character cells in dots, and how the commands'
// parameters are read and described.
#pragma once

#include <cstdint>

namespace escpos {

inline constexpr int FontAWidth = 12, FontAHeight = 24;
inline constexpr int FontBWidth = 9, FontBHeight = 17;
inline constexpr int DoubleByteSize = 24;
inline constexpr int DefaultLineSpacing = 30; // 1/6 inch at 180 dpi
// Distances along the paper come in the vertical motion unit, 1/360 inch at power-up (GS P), and
// across it in the horizontal one, a dot.
inline constexpr int UnitsPerDot = 2;
inline constexpr int DefaultLineUnits = DefaultLineSpacing * UnitsPerDot;
inline constexpr int TabWidth = 8 * FontAWidth; // the tab positions at power-up
inline constexpr int MaxTabs = 32;
inline constexpr int PageHeight = 1662 / UnitsPerDot; // page mode's printable length, in dots

// Parameters that come either as 0, 1, 2 or as the digits "0", "1", "2".
inline int Choice(std::uint8_t N) {
    return N >= '0' && N <= '9' ? N - '0' : N;
}

// Where ESC a puts something Width dots wide in a print area Room dots wide, in dots from the
// area's left edge: text lines, pictures and codes alike.
inline int JustifiedOffset(int Justification, int Room, int Width) {
    return Justification == 1 ? (Room - Width) / 2 : Justification == 2 ? Room - Width : 0;
}

inline const char* OnOff(bool On) {
    return On ? "on" : "off";
}

} // namespace escpos
