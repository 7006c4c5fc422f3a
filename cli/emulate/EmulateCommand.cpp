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

namespace {

// What emulate was told, checked before anything starts.
struct Plan {
    escpos::Profile Profile;
    std::optional<console::TEndpoint> Tcp, Web;
    escpos::Sensors Sensors;
};

// The profile and both addresses; nullopt, with the reason on Err, when one is wrong.
std::optional<Plan> MakePlan(const EmulateOptions& Options, std::ostream& Err) {
    const auto profile = escpos::FindProfile(Options.Profile);
    if (!profile) {
        Err << "tillmark-cli emulate: no printer profile \"" << Options.Profile << "\"\n";
        return std::nullopt;
    }
    Plan plan{*profile, {}, {}, {}};
    try {
        if (!Options.Tcp.empty())
            plan.Tcp = ListenEndpoint(Options.Tcp);
        if (!Options.Web.empty())
            plan.Web = ListenEndpoint(Options.Web);
    } catch (const console::ENetError& bad) {
        Err << "tillmark-cli emulate: " << bad.what() << "\n";
        return std::nullopt;
    }
    plan.Sensors.Roll = Options.Paper == "end"        ? escpos::Sensors::Paper::End
                        : Options.Paper == "near-end" ? escpos::Sensors::Paper::NearEnd
                                                      : escpos::Sensors::Paper::Ok;
    plan.Sensors.CoverOpen = Options.Cover == "open";
    return plan;
}

bool FolderReady(const std::string& Folder, std::ostream& Err) {
    std::error_code error;
    std::filesystem::create_directories(Folder, error);
    if (!error && std::filesystem::is_directory(Folder))
        return true;
    Err << "tillmark-cli emulate: cannot use " << Folder << " for receipts"
        << (error ? ": " + error.message() : std::string()) << "\n";
    return false;
}

// The virtual printer on its lines (the pseudo-terminal, the network, each with a printer of its
// own) and the web page that shows what they file.
class Emulator {
public:
    Emulator(const EmulateOptions& Options, const Plan& Chosen, std::ostream& Out)
        : FOptions(Options), FPlan(Chosen), FOut(Out),
          FFolder(std::make_shared<escpos::ReceiptFolder>(Options.Folder)) {}

    // Opens the web page and the lines and says where they are; false, with the reason on Err,
    // when one cannot be had.
    bool Start(std::ostream& Err) {
        try {
            if (FPlan.Web)
                FWeb = std::make_unique<WebBoard>(*FPlan.Web, &FLevers);
            FLevers.Reset(FPlan.Sensors, FLog);
            if (FOptions.Pty) {
                FPort =
                    std::make_unique<platform::VirtualPort>(FOptions.Lpt ? "lpt1" : FOptions.Name);
                FPtyPrinter = MakePrinter();
            }
            if (FPlan.Tcp) {
                FNetPrinter = MakePrinter();
                FNetwork = std::make_unique<NetworkPrinter>(
                    *FPlan.Tcp, *FNetPrinter, NetworkLimits{FOptions.IdleMs, FOptions.MaxBytes},
                    FLog);
            }
        } catch (const std::exception& failure) {
            Err << "tillmark-cli emulate: " << failure.what() << "\n";
            return false;
        }
        Announce();
        return true;
    }

    // Serves the lines until Stop, or until the pseudo-terminal's pair breaks.
    void Serve(const platform::StopOnSignals& Stop) {
        if (FPort)
            FLevers.Attach(*FPtyPrinter, [this](std::string_view Bytes) { FPort->Write(Bytes); });
        if (FNetwork) {
            FLevers.Attach(*FNetPrinter,
                           [this](std::string_view Bytes) { FNetwork->SendUnasked(Bytes); });
            FServing = std::thread([this] { FNetwork->Serve(); });
        }
        if (FPort)
            ServePty();
        else
            Stop.Wait();
    }

    // Ends the lines, files what is left and says how many receipts there were.
    void Stop() {
        if (FPort)
            FLevers.Detach(*FPtyPrinter);
        if (FNetwork)
            FLevers.Detach(*FNetPrinter);
        std::size_t filed = 0;
        if (FNetwork) {
            FNetwork->Stop();
            FServing.join();
            FNetPrinter->Finish();
            filed += FNetPrinter->Written().size();
        }
        std::string withdrawn;
        if (FPort) {
            FPtyPrinter->Finish();
            filed += FPtyPrinter->Written().size();
            withdrawn = "; " + FPort->Alias() + " withdrawn";
            FPort.reset();
        }
        Log("stopped after " + std::to_string(filed) + " receipt(s)" + withdrawn);
    }

private:
    // The lines are served on threads of their own; their log lines must not interleave.
    void Log(const std::string& Line) {
        std::lock_guard held(FLogLock);
        FOut << Line << std::endl;
    }

    std::unique_ptr<escpos::VirtualPrinter> MakePrinter() {
        auto printer = std::make_unique<escpos::VirtualPrinter>(FPlan.Profile, FFolder, FLog);
        printer->SetSensors(FPlan.Sensors);
        if (FWeb)
            printer->OnFiled = [this](const escpos::FiledReceipt& R) { FWeb->Publish(R); };
        return printer;
    }

    void Announce() {
        std::string where;
        if (FPort)
            where = "on " + FPort->Device() + ", published as " + FPort->Alias();
        if (FNetwork)
            where += (where.empty() ? "" : ", and ") + std::string("listening on ") +
                     FNetwork->Bound().Text();
        Log("virtual printer (" + FPlan.Profile.Name + " profile) " + where + "; receipts go to " +
            FOptions.Folder + "; Ctrl+C stops it");
        if (FWeb)
            Log("receipts shown at " + FWeb->Url());
    }

    void ServePty() {
        while (const auto bytes = FPort->Read()) {
            try {
                const std::string answer = FPtyPrinter->Feed(*bytes);
                if (!answer.empty())
                    FPort->Write(answer);
            } catch (const std::exception& failure) {
                // A receipt that cannot be filed, say: the line goes on being served.
                Log(std::string("error: ") + failure.what());
            }
        }
    }

    const EmulateOptions& FOptions;
    const Plan& FPlan;
    std::ostream& FOut;
    std::mutex FLogLock;
    const escpos::PrinterLevers::LogLine FLog = [this](const std::string& Line) { Log(Line); };
    escpos::PrinterLevers FLevers; // moved from the web page, on every line at once
    std::unique_ptr<WebBoard> FWeb;
    std::shared_ptr<escpos::ReceiptFolder> FFolder;
    std::unique_ptr<platform::VirtualPort> FPort;
    std::unique_ptr<escpos::VirtualPrinter> FPtyPrinter, FNetPrinter;
    std::unique_ptr<NetworkPrinter> FNetwork;
    std::thread FServing;
};

} // namespace

int RunEmulateCommand(const EmulateOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto plan = MakePlan(Options, Err);
    if (!plan)
        return 2;
    if (!FolderReady(Options.Folder, Err))
        return 1;
    // Before the web server's and the network's threads start, so that they too leave the
    // signals to the waits that end on them.
    const platform::StopOnSignals stop;
    Emulator emulator(Options, *plan, Out);
    if (!emulator.Start(Err))
        return 1;
    emulator.Serve(stop);
    emulator.Stop();
    return 0;
}

Command EmulateCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<EmulateOptions>();
    CLI::App* parser = AddEmulateCommand(App, *options);
    return {parser, [options, &Out, &Err] { return RunEmulateCommand(*options, Out, Err); }};
}

} // namespace cli
