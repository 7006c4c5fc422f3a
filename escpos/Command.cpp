#include "escpos/Command.h"

#include "escpos/CommandTable.h"

#include <cstdio>

namespace escpos {

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
