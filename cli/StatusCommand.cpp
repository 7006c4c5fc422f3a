#include "cli/StatusCommand.h"

#include "cli/ConsoleCommands.h"
#include "cli/StatusWatch.h"
#include "cli/StatusWords.h"
#include "console/PortSettings.h"
#include "console/StatusActions.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

namespace cli {

namespace {

struct StatusOptions {
    PrinterWhere Where;
    bool Json = false;
    bool Watch = false;
};

// One line per fact; a status byte no printer sends is shown raw instead of its facts.
struct FactLine {
    int Status; // 1 to 4: the byte it comes from
    const char* Label;
    std::optional<bool> console::TStatusFacts::*Fact;
    const char* Yes;
    const char* No;
};
const FactLine FactLines[] = {
    {2, "cover", &console::TStatusFacts::CoverOpen, "open", "closed"},
    {1, "paper feed button", &console::TStatusFacts::FeedButtonPressed, "pressed", "not pressed"},
    {1, "drawer connector pin 3", &console::TStatusFacts::DrawerPin3High, "high", "low"},
    {3, "recoverable error", &console::TStatusFacts::RecoverableError, "yes", "none"},
    {3, "cutter error", &console::TStatusFacts::CutterError, "yes", "none"},
    {3, "unrecoverable error", &console::TStatusFacts::UnrecoverableError, "yes", "none"},
    {3, "automatically recoverable error", &console::TStatusFacts::AutoRecoverableError, "yes",
     "none"},
    {4, "paper near end", &console::TStatusFacts::PaperNearEnd, "yes", "no"},
    {4, "paper end", &console::TStatusFacts::PaperEnd, "yes", "no"},
};

std::string JsonByte(const std::optional<std::uint8_t>& Value) {
    return Value ? Quoted(HexByte(*Value)) : "null";
}

int RunStatus(const StatusOptions& Options, std::ostream& Out, std::ostream& Err) {
    const PrinterWhere& at = Options.Where;
    const std::string port = PortName(at);
    console::TPrinterStatus status;
    std::exception_ptr error;
    if (at.Parallel) {
        error = console::AskStatusParallel(status);
    } else if (!at.Tcp.empty()) {
        error = console::AskStatusTcp(PrinterEndpoint(at), at.TimeoutMs, status);
    } else {
        TComPort serial(nullptr);
        console::LoadConsolePortSettings(serial);
        error =
            console::AskStatusSerial(serial, {at.Serial, SpeedItem(at.Baud)}, at.TimeoutMs, status);
    }
    if (error) {
        Err << "tillmark-cli status: " << port << ": " << ActionErrorMessage(error) << "\n";
        return 1;
    }
    Out << (Options.Json ? StatusJson(port, status) : StatusText(port, status));
    if (!status.Answered()) {
        Err << "tillmark-cli status: no answer from " << port << " within " << at.TimeoutMs
            << " ms\n";
        return NoAnswerExit;
    }
    return status.Problems.empty() ? 0 : BadAnswerExit;
}

} // namespace

std::string StatusText(const std::string& Port, const console::TPrinterStatus& Status) {
    if (!Status.Answered())
        return "";
    const console::TStatusFacts facts = Status.Facts();
    std::string out = Port + ": ";
    if (!facts.Online)
        out += "status unknown";
    else if (*facts.Online)
        out += "online";
    else if (const auto causes = OfflineCauses(facts); !causes.empty())
        out += "offline: " + Joined(causes, ", ");
    else
        out += "offline, no cause given";
    out += "\n";
    bool rawShown[4] = {};
    for (const FactLine& line : FactLines) {
        const auto& byte = Status.Bytes[static_cast<std::size_t>(line.Status - 1)];
        if (const auto& fact = facts.*line.Fact) {
            out += std::string(line.Label) + ": " + (*fact ? line.Yes : line.No) + "\n";
        } else if (!rawShown[line.Status - 1]) {
            rawShown[line.Status - 1] = true;
            out += "status " + std::to_string(line.Status) + ": " +
                   (byte ? "raw " + HexByte(*byte) + ", not a status byte a printer sends"
                         : std::string("no answer")) +
                   "\n";
        }
    }
    const std::pair<const char*, const std::optional<std::uint8_t>*> ids[] = {
        {"model ID", &Status.ModelId},
        {"type ID", &Status.TypeId},
        {"ROM version ID", &Status.RomVersion}};
    for (const auto& [label, value] : ids)
        if (*value)
            out += std::string(label) + ": " + HexByte(**value) + "\n";
    if (Status.TypeId)
        out += std::string("  two-byte characters: ") + (*Status.TypeId & 0x01 ? "yes" : "no") +
               ", autocutter: " + (*Status.TypeId & 0x02 ? "yes" : "no") + "\n";
    for (const console::TIdentityText& text : Status.Texts) {
        std::string label = text.Name;
        for (char& c : label)
            c = c == '_' ? ' ' : c;
        out += label + ": " + text.Text + "\n";
    }
    for (const std::string& problem : Status.Problems)
        out += "problem: " + problem + "\n";
    return out;
}

std::string StatusJson(const std::string& Port, const console::TPrinterStatus& Status) {
    const console::TStatusFacts f = Status.Facts();
    std::string out =
        "{\"port\": " + Quoted(Port) + ", \"answered\": " + (Status.Answered() ? "true" : "false");
    out += ", " + FactsJson(f);
    out += ", \"raw\": [";
    for (std::size_t i = 0; i < 4; ++i)
        out += (i ? ", " : "") + JsonByte(Status.Bytes[i]);
    out += "], \"identity\": {\"model_id\": " + JsonByte(Status.ModelId) +
           ", \"type_id\": " + JsonByte(Status.TypeId) +
           ", \"rom_version\": " + JsonByte(Status.RomVersion);
    for (const console::TIdentityText& text : Status.Texts)
        out += ", " + Quoted(text.Name) + ": " + Quoted(text.Text);
    out += "}, \"problems\": [";
    for (std::size_t i = 0; i < Status.Problems.size(); ++i)
        out += (i ? ", " : "") + Quoted(Status.Problems[i]);
    return out + "]}\n";
}

Command StatusCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<StatusOptions>();
    CLI::App* parser = App.add_subcommand(
        "status", "Ask the printer's real-time status (online, cover, paper, errors) and, while "
                  "it is online, which printer it is; exit status 3 when it does not answer");
    AddPrinterWhere(*parser, "status", options->Where);
    parser->add_flag("--json", options->Json, "the same as one JSON object (fields in README)");
    parser->add_flag("--watch", options->Watch,
                     "switch on automatic status back and print a line per change until Ctrl+C "
                     "(with --json one object per line); switched off on the way out");
    return {parser, [options, &Out, &Err] {
                return options->Watch ? RunStatusWatch(options->Where, options->Json, Out, Err)
                                      : RunStatus(*options, Out, Err);
            }};
}

} // namespace cli
