#include "runtime/SysUtils.h"

std::optional<std::int32_t> TryStrToInt(std::string_view Text) {
    std::size_t i = 0;
    while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-'))
        negative = Text[i++] == '-';
    bool hex = false;
    if (i < Text.size() && Text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == '0' &&
               (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == Text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    for (; i < Text.size(); ++i) {
        const char c = Text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? 0u - value : value);
    return static_cast<std::int32_t>(bits);
}

std::int32_t StrToIntDef(std::string_view Text, std::int32_t Default) {
    return TryStrToInt(Text).value_or(Default);
}
