#include "cli/status/StatusWords.h"

#include "receipt/JsonString.h"

#include <cstdio>

namespace cli {

using enum receipt::StatusFact;

constexpr FactWording FactWords[receipt::StatusFactCount] = {
    {Online, nullptr, "online", "offline", "online"},
    {CoverOpen, "cover", "open", "closed", "cover_open"},
    {FeedButtonPressed, "paper feed button", "pressed", "not pressed", "paper_feed_button"},
    {FeedingByButton, nullptr, "yes", "no", "feeding_by_button"},
    {DrawerPin3High, "drawer connector pin 3", "high", "low", "drawer_pin3_high"},
    {StoppedByPaperEnd, nullptr, "yes", "no", nullptr},
    {ErrorOccurred, nullptr, "yes", "no", nullptr},
    {RecoverableError, "recoverable error", "yes", "none", "recoverable_error"},
    {CutterError, "cutter error", "yes", "none", "cutter_error"},
    {UnrecoverableError, "unrecoverable error", "yes", "none", "unrecoverable_error"},
    {AutoRecoverableError, "automatically recoverable error", "yes", "none",
     "auto_recoverable_error"},
    {PaperNearEnd, "paper near end", "yes", "no", "paper_near_end"},
    {PaperEnd, "paper end", "yes", "no", "paper_end"},
};

static_assert(receipt::InFactOrder(FactWords), "the table is indexed by StatusFact");

const FactWording& WordsOf(receipt::StatusFact Fact) {
    return FactWords[static_cast<std::size_t>(Fact)];
}

const TypeWording TypeWords[2] = {
    {&console::TPrinterType::TwoByteCharacters, "two-byte characters", "two_byte_characters"},
    {&console::TPrinterType::Autocutter, "autocutter", "autocutter"}};

std::vector<std::string> OfflineCauses(const console::TStatusFacts& F) {
    std::vector<std::string> causes;
    for (const receipt::StatusFactBits& row : receipt::StatusBitTable) {
        if (!row.OfflineCause)
            continue;
        std::optional<bool> fact = F.*console::FactField(row.Fact);
        // Automatic status back tells paper end, not whether it stopped the printer.
        if (row.Fact == StoppedByPaperEnd && !fact)
            fact = F.PaperEnd;
        if (fact.value_or(false))
            causes.emplace_back(row.OfflineCause);
    }
    return causes;
}

std::string Joined(const std::vector<std::string>& Parts, const char* Between) {
    std::string out;
    for (const std::string& part : Parts)
        out += (out.empty() ? "" : Between) + part;
    return out;
}

std::string HexByte(std::uint8_t Byte) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", Byte);
    return two;
}

std::string Quoted(std::string_view Text) {
    std::string out;
    receipt::AppendJsonString(out, Text, receipt::JsonText::Ascii);
    return out;
}

std::string JsonBool(const std::optional<bool>& Value) {
    return Value ? (*Value ? "true" : "false") : "null";
}

std::string FactsJson(const console::TStatusFacts& F) {
    std::string out = "\"online\": " + JsonBool(F.Online) + ", \"offline_causes\": [";
    const auto causes = OfflineCauses(F);
    for (std::size_t i = 0; i < causes.size(); ++i)
        out += (i ? ", " : "") + Quoted(causes[i]);
    out += "]";
    for (const FactWording& words : FactWords)
        if (words.Json && words.Fact != Online)
            out += std::string(", \"") + words.Json +
                   "\": " + JsonBool(F.*console::FactField(words.Fact));
    return out;
}

std::string TypeJson(const std::optional<console::TPrinterType>& Type) {
    if (!Type)
        return "null";
    std::string out;
    for (const TypeWording& words : TypeWords)
        out += std::string(out.empty() ? "{\"" : ", \"") + words.Json +
               "\": " + (*Type.*words.Bit ? "true" : "false");
    return out + "}";
}

} // namespace cli
