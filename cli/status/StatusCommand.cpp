#include "cli/status/StatusCommand.h"

#include "cli/ConsoleCommands.h"
#include "cli/status/StatusWatch.h"
#include "cli/status/StatusWords.h"
#include "console/PortSettings.h"
#include "console/status/StatusActions.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <ostream>
#include <utility>
#include <variant>
#include <vector>

namespace cli {

namespace {

struct StatusOptions {
    PrinterWhere Where;
    bool Json = false;
    bool Watch = false;
};

std::string JsonByte(const std::optional<std::uint8_t>& Value) {
    return Value ? Quoted(HexByte(*Value)) : "null";
}

// The status questions on each path; a serial line on a port of their own.
struct AskOn {
    int TimeoutMs;
    console::TPrinterStatus& Status;

    std::exception_ptr operator()(const console::TSerialPrinter& Printer) const {
        TComPort serial(nullptr);
        console::LoadConsolePortSettings(serial);
        return console::AskStatusSerial(serial, Printer.Line, TimeoutMs, Status);
    }
    std::exception_ptr operator()(const console::TParallelPrinter&) const {
        return console::AskStatusParallel(Status);
    }
    std::exception_ptr operator()(const console::TNetworkPrinter& Printer) const {
        return console::AskStatusTcp(Printer.Where, Printer.TimeoutMs, Status);
    }
};

int RunStatus(const StatusOptions& Options, std::ostream& Out, std::ostream& Err) {
    const PrinterWhere& at = Options.Where;
    const std::string port = PortName(at);
    console::TPrinterStatus status;
    const std::exception_ptr error = std::visit(AskOn{at.TimeoutMs, status}, PrinterChoice(at));
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
    // One line per fact; a status byte no printer sends is shown raw instead of its facts.
    bool rawShown[4] = {};
    for (const FactWording& line : FactWords) {
        if (!line.Label)
            continue;
        const int n = receipt::StatusBitsOf(line.Fact).RealTime.Byte;
        const auto& byte = Status.Bytes[static_cast<std::size_t>(n - 1)];
        if (const auto& fact = facts.*console::FactField(line.Fact)) {
            out += std::string(line.Label) + ": " + (*fact ? line.Yes : line.No) + "\n";
        } else if (!rawShown[n - 1]) {
            rawShown[n - 1] = true;
            out += "status " + std::to_string(n) + ": " +
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
    if (const auto type = Status.Type()) {
        std::string bits;
        for (const TypeWording& words : TypeWords)
            bits += std::string(bits.empty() ? "  " : ", ") + words.Label + ": " +
                    (*type.*words.Bit ? "yes" : "no");
        out += bits + "\n";
    }
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
    out += "], \"printer_type\": " + TypeJson(Status.Type());
    out += ", \"identity\": {\"model_id\": " + JsonByte(Status.ModelId) +
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
