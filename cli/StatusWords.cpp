#include "cli/StatusWords.h"

#include <cstdio>
#include <utility>

namespace cli {

std::vector<std::string> OfflineCauses(const console::TStatusFacts& F) {
    // Automatic status back tells paper end, not whether it stopped the printer.
    const std::optional<bool> stopped = F.StoppedByPaperEnd ? F.StoppedByPaperEnd : F.PaperEnd;
    std::vector<std::string> causes;
    const std::pair<const std::optional<bool>*, const char*> table[] = {
        {&F.CoverOpen, "cover open"},
        {&F.FeedingByButton, "paper being fed by the button"},
        {&stopped, "paper end"},
        {&F.ErrorOccurred, "error"}};
    for (const auto& [fact, words] : table)
        if (fact->value_or(false))
            causes.emplace_back(words);
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
    std::string out = "\"";
    for (const char c : Text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
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
    const std::pair<const char*, const std::optional<bool>*> fields[] = {
        {"cover_open", &F.CoverOpen},
        {"paper_feed_button", &F.FeedButtonPressed},
        {"feeding_by_button", &F.FeedingByButton},
        {"drawer_pin3_high", &F.DrawerPin3High},
        {"recoverable_error", &F.RecoverableError},
        {"cutter_error", &F.CutterError},
        {"unrecoverable_error", &F.UnrecoverableError},
        {"auto_recoverable_error", &F.AutoRecoverableError},
        {"paper_near_end", &F.PaperNearEnd},
        {"paper_end", &F.PaperEnd}};
    for (const auto& [name, value] : fields)
        out += std::string(", \"") + name + "\": " + JsonBool(*value);
    return out;
}

} // namespace cli
