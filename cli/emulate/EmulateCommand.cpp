#include "cli/emulate/EmulateCommand.h"

#include "cli/ConsoleCommands.h"
#include "cli/emulate/NetworkPrinter.h"
#include "cli/web/WebBoard.h"
#include "escpos/Levers.h"
#include "escpos/Profile.h"
#include "escpos/VirtualPrinter.h"
#include "platform/VirtualPort.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

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
    auto* tcp = command->add_option(
        "--tcp", Options.Tcp,
        "also (or, without --name and --lpt, only) listen on the network: PORT or ADDR:PORT "
        "(127.0.0.1 unless an address is named; port 0 lets the system choose)");
    CheckEndpoint(*tcp, ListenEndpoint, "[ADDR:]PORT");
    Options.Paper = "ok";
    command->add_option("--paper", Options.Paper, "the paper sensors: ok (default), near-end, end")
        ->check(CLI::IsMember({"ok", "near-end", "end"}));
    Options.Cover = "closed";
    command->add_option("--cover", Options.Cover, "the cover: closed (default) or open")
        ->check(CLI::IsMember({"closed", "open"}));
    command
        ->add_option("--idle-timeout", Options.IdleMs,
                     "milliseconds a network client may stay silent before it is cut off "
                     "(default 30000)")
        ->check(CLI::Range(1, 3600000))
        ->needs(tcp);
    command
        ->add_option("--max-bytes", Options.MaxBytes,
                     "bytes one network connection may send before it is cut off (default "
                     "16777216)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 40))
        ->needs(tcp);
    command->parse_complete_callback([&Options, tcp, name, command] {
        Options.Pty = tcp->count() == 0 || name->count() > 0 || command->count("--lpt") > 0;
    });
    auto* web = command->add_option("--web", Options.Web,
                                    "show the receipts live on a web page at [ADDR:]PORT "
                                    "(127.0.0.1 unless an address is named; port 0 picks a free "
                                    "one)");
    CheckEndpoint(*web, ListenEndpoint, "[ADDR:]PORT");
    return command;
}

console::TEndpoint ListenEndpoint(const std::string& Text) {
    // A bare port listens on the loopback only: a virtual printer is no service for the network
    // unless an address is named.
    const bool bare = !Text.empty() && Text.find_first_not_of("0123456789") == std::string::npos;
    return console::ParseEndpoint(bare ? "127.0.0.1:" + Text : Text, std::nullopt, true);
}

int RunEmulateCommand(const EmulateOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto profile = escpos::FindProfile(Options.Profile);
    if (!profile) {
        Err << "tillmark-cli emulate: no printer profile \"" << Options.Profile << "\"\n";
        return 2;
    }
    // Both addresses before anything starts, so a bad one leaves nothing half begun.
    std::optional<console::TEndpoint> tcp, webAt;
    try {
        if (!Options.Tcp.empty())
            tcp = ListenEndpoint(Options.Tcp);
        if (!Options.Web.empty())
            webAt = ListenEndpoint(Options.Web);
    } catch (const console::ENetError& bad) {
        Err << "tillmark-cli emulate: " << bad.what() << "\n";
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(Options.Folder, error);
    if (error || !std::filesystem::is_directory(Options.Folder)) {
        Err << "tillmark-cli emulate: cannot use " << Options.Folder << " for receipts"
            << (error ? ": " + error.message() : std::string()) << "\n";
        return 1;
    }
    // Before the web server's and the network's threads start, so that they too leave the
    // signals to the waits that end on them.
    const platform::StopOnSignals stop;
    escpos::PrinterLevers levers; // moved from the web page, on every line at once
    std::unique_ptr<WebBoard> web;
    if (webAt) {
        try {
            web = std::make_unique<WebBoard>(*webAt, &levers);
        } catch (const std::exception& failure) {
            Err << "tillmark-cli emulate: " << failure.what() << "\n";
            return 1;
        }
    }
    escpos::Sensors sensors;
    sensors.Roll = Options.Paper == "end"        ? escpos::Sensors::Paper::End
                   : Options.Paper == "near-end" ? escpos::Sensors::Paper::NearEnd
                                                 : escpos::Sensors::Paper::Ok;
    sensors.CoverOpen = Options.Cover == "open";
    // The lines are served on threads of their own; their log lines must not interleave.
    std::mutex logLock;
    auto log = [&Out, &logLock](const std::string& Line) {
        std::lock_guard held(logLock);
        Out << Line << std::endl;
    };
    levers.Reset(sensors, log);
    const auto folder = std::make_shared<escpos::ReceiptFolder>(Options.Folder);
    auto makePrinter = [&] {
        auto printer = std::make_unique<escpos::VirtualPrinter>(*profile, folder, log);
        printer->SetSensors(sensors);
        if (web)
            printer->OnFiled = [&web](const escpos::FiledReceipt& R) { web->Publish(R); };
        return printer;
    };

    std::unique_ptr<platform::VirtualPort> port;
    std::unique_ptr<escpos::VirtualPrinter> ptyPrinter, netPrinter;
    std::unique_ptr<NetworkPrinter> network;
    try {
        if (Options.Pty) {
            port = std::make_unique<platform::VirtualPort>(Options.Lpt ? "lpt1" : Options.Name);
            ptyPrinter = makePrinter();
        }
        if (tcp) {
            netPrinter = makePrinter();
            network = std::make_unique<NetworkPrinter>(
                *tcp, *netPrinter, NetworkLimits{Options.IdleMs, Options.MaxBytes}, log);
        }
    } catch (const std::exception& failure) {
        Err << "tillmark-cli emulate: " << failure.what() << "\n";
        return 1;
    }
    std::string where;
    if (port)
        where = "on " + port->Device() + ", published as " + port->Alias();
    if (network)
        where += (where.empty() ? "" : ", and ") + std::string("listening on ") +
                 network->Bound().Text();
    log("virtual printer (" + profile->Name + " profile) " + where + "; receipts go to " +
        Options.Folder + "; Ctrl+C stops it");
    if (web)
        log("receipts shown at " + web->Url());
    if (port)
        levers.Attach(*ptyPrinter, [&port](std::string_view Bytes) { port->Write(Bytes); });
    if (network)
        levers.Attach(*netPrinter,
                      [&network](std::string_view Bytes) { network->SendUnasked(Bytes); });
    std::thread serving;
    if (network)
        serving = std::thread([&network] { network->Serve(); });
    if (port) {
        while (const auto bytes = port->Read()) {
            try {
                const std::string answer = ptyPrinter->Feed(*bytes);
                if (!answer.empty())
                    port->Write(answer);
            } catch (const std::exception& failure) {
                // A receipt that cannot be filed, say: the line goes on being served.
                log(std::string("error: ") + failure.what());
            }
        }
    } else {
        stop.Wait();
    }
    if (port)
        levers.Detach(*ptyPrinter);
    if (network)
        levers.Detach(*netPrinter);
    std::size_t filed = 0;
    if (network) {
        network->Stop();
        serving.join();
        netPrinter->Finish();
        filed += netPrinter->Written().size();
    }
    std::string withdrawn;
    if (port) {
        ptyPrinter->Finish();
        filed += ptyPrinter->Written().size();
        withdrawn = "; " + port->Alias() + " withdrawn";
        port.reset();
    }
    log("stopped after " + std::to_string(filed) + " receipt(s)" + withdrawn);
    return 0;
}

Command EmulateCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<EmulateOptions>();
    CLI::App* parser = AddEmulateCommand(App, *options);
    return {parser, [options, &Out, &Err] { return RunEmulateCommand(*options, Out, Err); }};
}

} // namespace cli
