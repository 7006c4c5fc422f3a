// Conversions the toolkit's runtime library gives.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The general integer parser: leading blanks skipped, an optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x"; nothing may follow. Hexadecimal gives the 32-bit
// pattern (so "$FFFFFFFF" is -1); decimal must fit in 32 bits.
TILLMARK_RUNTIME_API std::optional<std::int32_t> TryStrToInt(std::string_view Text);
TILLMARK_RUNTIME_API std::int32_t StrToIntDef(std::string_view Text, std::int32_t Default);
