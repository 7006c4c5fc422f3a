// The printer's status facts in words and in JSON, once for `status` and `status --watch`.
#pragma once

#include "console/PrinterStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Why an offline printer is offline: cover, feed button, paper end, error.
std::vector<std::string> OfflineCauses(const console::TStatusFacts& F);
std::string Joined(const std::vector<std::string>& Parts, const char* Between);
std::string HexByte(std::uint8_t Byte); // "0A"

// A JSON string; control bytes and bytes from 0x7F up as \u escapes.
std::string Quoted(std::string_view Text);
std::string JsonBool(const std::optional<bool>& Value); // true, false or null
// `"online": ..., "offline_causes": [...]` and one key per fact, unknown facts null.
std::string FactsJson(const console::TStatusFacts& F);

} // namespace cli
