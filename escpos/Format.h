// printf into a std::string, for the short descriptions, warnings and JSON fields the printer
// writes; none of them comes near the buffer's size.
#pragma once

#include <cstdio>
#include <string>

namespace escpos {

std::string Format(const char* Pattern, auto... Args) {
    char text[160];
    std::snprintf(text, sizeof text, Pattern, Args...);
    return text;
}

} // namespace escpos
