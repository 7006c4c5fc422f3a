#include "escpos/Command.h"

#include <cstdio>

namespace escpos {

std::string HexBytes(const Command& C) {
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < C.Bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", C.At(i));
        out += hex;
    }
    if (C.Bytes.size() < C.Length)
        out += " ...";
    return out;
}

} // namespace escpos
