// The printer's status facts in words and in JSON, once for `status` and `status --watch`.
#pragma once

#include "console/status/PrinterStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// How `status` and its JSON name a fact.
struct FactWording {
    receipt::StatusFact Fact;
    const char* Label; // its line in `status`; null where it has none
    const char* Yes;
    const char* No;
    const char* Json; // its key; null where it has none
};
// Indexed by receipt::StatusFact, in the order the text and the JSON list them.
extern const FactWording FactWords[receipt::StatusFactCount];
const FactWording& WordsOf(receipt::StatusFact Fact);

// What the type ID's bits say, as `status` and its JSON name them.
struct TypeWording {
    bool console::TPrinterType::*Bit;
    const char* Label;
    const char* Json;
};
extern const TypeWording TypeWords[2];

// Why an offline printer is offline: cover, feed button, paper end, error.
std::vector<std::string> OfflineCauses(const console::TStatusFacts& F);
std::string Joined(const std::vector<std::string>& Parts, const char* Between);
std::string HexByte(std::uint8_t Byte); // "0A"

// A JSON string; control bytes and bytes from 0x7F up as \u escapes.
std::string Quoted(std::string_view Text);
std::string JsonBool(const std::optional<bool>& Value); // true, false or null
// `"online": ..., "offline_causes": [...]` and one key per fact, unknown facts null.
std::string FactsJson(const console::TStatusFacts& F);
// `{"two_byte_characters": ..., "autocutter": ...}`, or null without a type ID.
std::string TypeJson(const std::optional<console::TPrinterType>& Type);

} // namespace cli
