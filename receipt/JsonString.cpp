#include "receipt/JsonString.h"

#include <cstdio>

namespace receipt {

namespace {

const char* ShortEscape(char C) {
    switch (C) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        return nullptr;
    }
}

bool NeedsUnicodeEscape(unsigned char B, JsonText Rule) {
    if (B < 0x20)
        return true;
    if (Rule == JsonText::Ascii)
        return B >= 0x7F;
    return B == '<' || B == '>' || B == '&';
}

} // namespace

void AppendJsonString(std::string& Out, std::string_view Text, JsonText Rule) {
    Out += '"';
    for (const char c : Text) {
        const auto b = static_cast<unsigned char>(c);
        const char* shortEscape = Rule == JsonText::Page ? ShortEscape(c) : nullptr;
        if (c == '"' || c == '\\') {
            Out += '\\';
            Out += c;
        } else if (shortEscape) {
            Out += shortEscape;
        } else if (NeedsUnicodeEscape(b, Rule)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            Out += escaped;
        } else {
            Out += c;
        }
    }
    Out += '"';
}

} // namespace receipt
