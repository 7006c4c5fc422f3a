// "tillmark-cli receipt": the bytes that Print sends on the chosen path, to standard output.
#pragma once

#include "cli/Command.h"
#include "receipt/DateStamp.h"
#include "receipt/Receipt.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace cli {

struct ReceiptOptions {
    receipt::Language Lang = receipt::Language::English;
    receipt::Path On = receipt::Path::Serial;
    std::string At; // "YYYY-MM-DD HH:MM"; empty for now
    bool Trailer = false;
};

// Adds the subcommand to App; parsing fills Options.
CLI::App* AddReceiptCommand(CLI::App& App, ReceiptOptions& Options);
Command ReceiptCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

// Writes the receipt bytes (and the cut trailer when asked) as the path would send them.
int RunReceiptCommand(const ReceiptOptions& Options, std::ostream& Out, std::ostream& Err);

// A date and time in the form "YYYY-MM-DD HH:MM" that exists on the calendar; nullopt otherwise.
std::optional<SYSTEMTIME> ParseAt(std::string_view Text);

// --at "YYYY-MM-DD HH:MM" into At, checked by ParseAt.
void AddAtOption(CLI::App& Command, std::string& At);
// The date line for At, with the regional separators; now when At is empty.
std::string DateStampFor(const std::string& At);

} // namespace cli
