// CODE128 as the printer takes it from the host: the code sets the host selects ({A, {B, {C),
// shift ({S), FNC1 to FNC4 ({1 to {4) and "{{" for a brace. The printer switches code sets where
// the host does and nowhere else, so the symbol is drawn here from its 107 patterns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace escpos {

struct Code128 {
    std::size_t Taken = 0;   // bytes of the data read as CODE128 data
    bool NeedMore = false;   // the data so far ends where the next byte decides (after a "{")
    std::string Error;       // why the byte at Taken is no CODE128 data; empty when all was taken
    std::vector<int> Values; // symbol characters, start to stop, once all the data is read
    std::string Hri;         // the human-readable line
};

// Reads the data of GS k 73; Final says that no more data follows.
Code128 ReadCode128(std::string_view Data, bool Final);

// The modules of the symbol of Values, a dark one true; no quiet zone, as the printer draws it.
std::vector<bool> Code128Modules(const std::vector<int>& Values);

} // namespace escpos
