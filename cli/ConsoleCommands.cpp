#include "cli/ConsoleCommands.h"

#include "cli/ReceiptCommand.h"
#include "console/BaudRateTable.h"
#include "console/ConsoleActions.h"
#include "console/ParallelDevice.h"
#include "console/PortMap.h"
#include "platform/PortInfo.h"
#include "receipt/DateStamp.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <ostream>
#include <vector>

namespace cli {

namespace {

struct ActionOptions {
    PrinterWhere Where;
    std::string Lang = "english";
    std::string At; // "YYYY-MM-DD HH:MM"; empty for now
};

// Where the names --serial takes and the details "ports" gives come from, on each system.
#ifdef _WIN32
constexpr char SerialHelp[] = "the printer's serial port: COMn (see \"ports\")";
constexpr char PortsHelp[] = "List the serial ports the window offers, in its order, with where "
                             "each comes from and what Windows knows of it (device, driver, USB "
                             "ids, maker and name); opens no port";
#else
constexpr char SerialHelp[] = "the printer's serial port: COMn, a name from the alias folder, or "
                              "a device under /dev (see \"ports\")";
constexpr char PortsHelp[] = "List the serial ports the window offers, in its order, with where "
                             "each comes from and what sysfs knows of it (device, driver, USB ids "
                             "and strings, serial number); opens no port";
#endif

enum class Action { Print, Bell, Drawer };

const char* Name(Action What) {
    switch (What) {
    case Action::Print:
        return "print";
    case Action::Bell:
        return "bell";
    case Action::Drawer:
        return "drawer";
    }
    return "";
}

CLI::App* AddActionCommand(CLI::App& App, Action What, ActionOptions& Options) {
    const char* help = "";
    switch (What) {
    case Action::Print:
        help = "Print the sample receipt, stamped with the local date and time, and cut the "
               "paper, as the window's Print button does";
        break;
    case Action::Bell:
        help = "Send the long drawer-kick pulse (pin 2, 510 ms) that rings the bell, as the "
               "window's Bell button does";
        break;
    case Action::Drawer:
        help = "Send the short drawer-kick pulse (pin 2, 96 ms) that opens the cash drawer, as "
               "the window's Epson button does";
        break;
    }
    auto* command = App.add_subcommand(Name(What), help);
    AddPrinterWhere(*command, Name(What), Options.Where);
    // Bell and drawer print no date, but take the option too, so a script may give every
    // printing command the same options.
    AddAtOption(*command, Options.At);
    if (What == Action::Print)
        command->add_option("--lang", Options.Lang, "the receipt's language (default english)")
            ->check(CLI::IsMember({"english", "korean"}, CLI::ignore_case));
    return command;
}

std::string Lower(std::string Text) {
    for (char& c : Text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

int RunAction(Action What, const ActionOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto lang =
        Lower(Options.Lang) == "korean" ? receipt::Language::Korean : receipt::Language::English;
    const auto drawer = What == Action::Bell ? receipt::Drawer::Bell : receipt::Drawer::Epson;
    const PrinterWhere& at = Options.Where;
    const std::string where =
        at.Serial.empty() ? PortName(at) : at.Serial + " at " + at.Baud + " bit/s";
    const std::string stamp = DateStampFor(Options.At);
    // The close after the guard raises its own error; Run reports it.
    const std::exception_ptr error = console::RunOnPrinter(
        PrinterChoice(at),
        What == Action::Print ? console::PrintAction(lang, stamp) : console::DrawerAction(drawer));
    if (error) {
        Err << "tillmark-cli " << Name(What) << ": " << where << ": " << ActionErrorMessage(error)
            << "\n";
        return 1;
    }
    switch (What) {
    case Action::Print:
        Out << "sent the " << (lang == receipt::Language::Korean ? "Korean" : "English")
            << " receipt and the cut to " << where << "\n";
        break;
    case Action::Bell:
        Out << "sent the bell pulse (pin 2, 510 ms) to " << where << "\n";
        break;
    case Action::Drawer:
        Out << "sent the drawer pulse (pin 2, 96 ms) to " << where << "\n";
        break;
    }
    return 0;
}

Command ActionCommand(Action What, CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<ActionOptions>();
    CLI::App* parser = AddActionCommand(App, What, *options);
    return {parser, [What, options, &Out, &Err] { return RunAction(What, *options, Out, Err); }};
}

// "\Device\ttyUSB0" -> "ttyUSB0": where the map's value name says what the port is.
std::string Source(const std::string& ValueName) {
    const auto slash = ValueName.find_last_of('\\');
    const std::string base = ValueName.substr(slash == std::string::npos ? 0 : slash + 1);
    return ValueName.find("\\Alias\\") != std::string::npos ? "alias " + base : base;
}

int RunPorts(std::ostream& Out, std::ostream& Err) {
    const console::PortMap map = console::ReadPortMap();
    if (!map.Found) {
        Out << "no serial ports: the serial-port map is missing\n";
        return 0;
    }
    // The window's order, each with where it came from and what the system knows of it.
    for (const auto& [name, port] : console::SortedPorts(map.Ports)) {
        const platform::PortDetails details = platform::DescribePort(port);
        Out << (port.empty() ? "(empty)" : port) << "\t" << Source(name);
        if (!details.Device.empty())
            Out << "\t" << details.Device;
        if (details.PseudoTerminal)
            Out << "\tpseudo-terminal";
        if (!details.Driver.empty())
            Out << "\tdriver " << details.Driver;
        if (!details.UsbVendor.empty())
            Out << "\tusb " << details.UsbVendor << ":" << details.UsbProduct;
        if (!details.Manufacturer.empty() || !details.Product.empty())
            Out << "\t\"" << details.Manufacturer
                << (details.Manufacturer.empty() || details.Product.empty() ? "" : " ")
                << details.Product << "\"";
        if (!details.SerialNumber.empty())
            Out << "\tserial " << details.SerialNumber;
        Out << "\n";
    }
    if (map.Ports.empty())
        Out << "no serial ports\n";
    if (map.Error) {
        Err << "tillmark-cli ports: " << ActionErrorMessage(map.Error) << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int SpeedItem(const std::string& Baud) {
    const auto at = std::find(BaudRateItems.begin(), BaudRateItems.end(), Baud);
    return static_cast<int>(at - BaudRateItems.begin());
}

console::TEndpoint PrinterEndpoint(const PrinterWhere& Where) {
    return console::ParseEndpoint(Where.Tcp, console::RawPrintPort);
}

console::TPrinterChoice PrinterChoice(const PrinterWhere& Where) {
    if (Where.Parallel)
        return console::TParallelPrinter{};
    if (!Where.Tcp.empty())
        return console::TNetworkPrinter{PrinterEndpoint(Where), Where.TimeoutMs};
    return console::TSerialPrinter{{Where.Serial, SpeedItem(Where.Baud)}};
}

std::string PortName(const PrinterWhere& Where) {
    if (Where.Parallel)
        return "LPT1";
    if (!Where.Tcp.empty())
        return PrinterEndpoint(Where).Text();
    return Where.Serial;
}

void CheckEndpoint(CLI::Option& Option, std::function<void(const std::string&)> Parse,
                   const std::string& Form) {
    Option.check(CLI::Validator(
        [Parse = std::move(Parse)](std::string& Text) {
            try {
                Parse(Text);
                return std::string{};
            } catch (const console::ENetError& error) {
                return std::string(error.what());
            }
        },
        Form));
}

void AddPrinterWhere(CLI::App& Command, const std::string& Name, PrinterWhere& Where) {
    auto* serial = Command.add_option("--serial", Where.Serial, SerialHelp);
    auto* parallel =
        Command.add_flag("--parallel", Where.Parallel, "the printer is on the parallel port LPT1");
    auto* tcp = Command.add_option("--tcp", Where.Tcp,
                                   "the printer is on the network: HOST, HOST:PORT or [IPv6]:PORT "
                                   "(port 9100 unless given)");
    CheckEndpoint(
        *tcp,
        [](const std::string& Text) {
            PrinterWhere where;
            where.Tcp = Text;
            PrinterEndpoint(where);
        },
        "HOST[:PORT]");
    serial->excludes(parallel)->excludes(tcp);
    parallel->excludes(tcp);
    Command.parse_complete_callback([&Command, Name, &Where] {
        if (Command.parsed() && Where.Serial.empty() && !Where.Parallel && Where.Tcp.empty())
            throw CLI::RequiredError(
                Name + ": say where the printer is, --serial PORT, --parallel or --tcp HOST[:PORT]",
                CLI::ExitCodes::RequiredError);
    });
    std::vector<std::string> speeds(BaudRateItems.begin(), BaudRateItems.end());
    Command
        .add_option("--baud", Where.Baud,
                    "line speed, one of the window's: 110 ... 256000 (default 9600)")
        ->check(CLI::IsMember(speeds))
        ->needs(serial);
    Command
        .add_option("--timeout", Where.TimeoutMs,
                    "milliseconds to wait: for the network's connect and each write, and for "
                    "each status answer (default 2000)")
        ->check(CLI::Range(1, 600000));
}

std::string ActionErrorMessage(std::exception_ptr Error) {
    try {
        std::rethrow_exception(Error);
    } catch (const EInOutError& error) {
        switch (error.ErrorCode()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::string("no such device (") + error.what() + ")";
        case ERROR_ACCESS_DENIED:
            return std::string("access denied (") + error.what() + ")";
        case ioNotOpenForOutput:
            return std::string("not a device a printer can be written through (") + error.what() +
                   ")";
        default:
            return error.what();
        }
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

Command PrintCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    return ActionCommand(Action::Print, App, Out, Err);
}
Command BellCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    return ActionCommand(Action::Bell, App, Out, Err);
}
Command DrawerCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    return ActionCommand(Action::Drawer, App, Out, Err);
}

Command PortsCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    CLI::App* parser = App.add_subcommand("ports", PortsHelp);
    return {parser, [&Out, &Err] { return RunPorts(Out, Err); }};
}

} // namespace cli
