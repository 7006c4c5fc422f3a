#include "cli/EmulateCommand.h"

#include "cli/WebBoard.h"

#include "escpos/Profile.h"
#include "escpos/VirtualPrinter.h"
#include "platform/VirtualPort.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <ostream>

namespace cli {

CLI::App* AddEmulateCommand(CLI::App& App, EmulateOptions& Options) {
    auto* command = App.add_subcommand(
        "emulate",
        "Run a virtual TM-T88 on a pseudo-terminal published as a port (com9 unless told): it "
        "logs every command, answers status requests and writes each receipt as a PNG with its "
        "text; Ctrl+C or SIGTERM stops it and withdraws the port");
    auto* name = command->add_option("--name", Options.Name,
                                     "the port name programs open it by (default com9)");
    command->add_flag("--lpt", Options.Lpt, "stand in for the parallel printer LPT1")
        ->excludes(name);
    command->add_option("--out", Options.Folder,
                        "the folder for receipt-NNNN.png and .txt (default: the current one)");
    Options.Profile = std::string(escpos::DefaultProfile);
    command
        ->add_option("--profile", Options.Profile,
                     "the printer model: korean (default), korean-576, standard, standard-576")
        ->check(CLI::IsMember(escpos::ProfileNames()));
    command->add_option("--web", Options.Web,
                        "show the receipts live on a web page at [ADDR:]PORT (127.0.0.1 unless "
                        "an address is named; port 0 picks a free one)");
    return command;
}

int RunEmulateCommand(const EmulateOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto profile = escpos::FindProfile(Options.Profile);
    if (!profile) {
        Err << "tillmark-cli emulate: no printer profile \"" << Options.Profile << "\"\n";
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(Options.Folder, error);
    if (error || !std::filesystem::is_directory(Options.Folder)) {
        Err << "tillmark-cli emulate: cannot use " << Options.Folder << " for receipts"
            << (error ? ": " + error.message() : std::string()) << "\n";
        return 1;
    }
    // Before the web server's thread starts, so that it too leaves the signals to Read.
    const platform::StopOnSignals stop;
    std::unique_ptr<WebBoard> web;
    if (!Options.Web.empty()) {
        const auto address = ParseWebAddress(Options.Web);
        if (!address) {
            Err << "tillmark-cli emulate: --web takes [ADDR:]PORT, not \"" << Options.Web << "\"\n";
            return 2;
        }
        try {
            web = std::make_unique<WebBoard>(*address);
        } catch (const std::exception& failure) {
            Err << "tillmark-cli emulate: " << failure.what() << "\n";
            return 1;
        }
    }
    auto port = std::make_unique<platform::VirtualPort>(Options.Lpt ? "lpt1" : Options.Name);
    escpos::VirtualPrinter printer(*profile, Options.Folder,
                                   [&Out](const std::string& Line) { Out << Line << std::endl; });
    Out << "virtual printer (" << profile->Name << ") on " << port->Device() << ", published as "
        << port->Alias() << "; receipts go to " << Options.Folder << "; Ctrl+C stops it"
        << std::endl;
    if (web) {
        printer.OnFiled = [&web](const escpos::FiledReceipt& R) { web->Publish(R); };
        Out << "receipts shown at " << web->Url() << std::endl;
    }
    while (const auto bytes = port->Read()) {
        const std::string answer = printer.Feed(*bytes);
        if (!answer.empty())
            port->Write(answer);
    }
    printer.Finish();
    const std::string alias = port->Alias();
    port.reset();
    Out << "stopped after " << printer.Written().size() << " receipt(s); " << alias << " withdrawn"
        << std::endl;
    return 0;
}

Command EmulateCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<EmulateOptions>();
    CLI::App* parser = AddEmulateCommand(App, *options);
    return {parser, [options, &Out, &Err] { return RunEmulateCommand(*options, Out, Err); }};
}

} // namespace cli
