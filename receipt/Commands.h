// The printer commands the console sends, as the bytes that go on the wire.
#pragma once

#include <string_view>

namespace receipt {

// CR LF: print the line and feed one line.
inline constexpr std::string_view LineEnd = "\r\n";

// ESC ! n selects print modes; it sets every mode bit at once, so each replaces the last.
inline constexpr std::string_view EmphasisedMode = "\x1B!\x08";
inline constexpr std::string_view DoubleWidthMode = "\x1B!\x20";
inline constexpr std::string_view NormalMode{"\x1B!\x00", 3};

// GS V '1': partial cut.
inline constexpr std::string_view PartialCut = "\x1DV1";

// Feeds the last printed line past the cutter, then cuts; sent as a write of its own.
inline constexpr std::string_view CutTrailer = "\r\n\r\n\r\n\r\n\x1DV1";

// ESC p 0 t1 t2: a pulse on drawer-kick pin 2, t1 x 2 ms on and t2 x 2 ms off.
inline constexpr std::string_view BellCommand = "\x1Bp0\xFF\xFF"; // 510 ms: rings the bell
inline constexpr std::string_view EpsonCommand = "\x1Bp000";      // 96 ms: opens the drawer

} // namespace receipt
