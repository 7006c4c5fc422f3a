#include "escpos/decoder/Command.h"

#include <algorithm>
#include <cstdio>

namespace escpos {

std::string HexBytes(const Command& C) {
    std::string out;
    char hex[4];
    const std::size_t shown = std::min(C.Bytes.size(), Command::ShownBytes);
    for (std::size_t i = 0; i < shown; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", C.At(i));
        out += hex;
    }
    if (shown < C.Length)
        out += " ...";
    return out;
}

} // namespace escpos
