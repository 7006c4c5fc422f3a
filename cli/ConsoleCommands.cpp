#include "cli/ConsoleCommands.h"

#include "console/BaudRateTable.h"
#include "console/ConsoleActions.h"
#include "console/ParallelDevice.h"
#include "console/PortMap.h"
#include "console/PortSettings.h"
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
    std::string Serial; // the port, when the printer is on a serial line
    bool Parallel = false;
    std::string Baud = "9600";
    std::string Lang = "english";
};

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

int SpeedItem(const std::string& Baud) {
    const auto at = std::find(BaudRateItems.begin(), BaudRateItems.end(), Baud);
    return static_cast<int>(at - BaudRateItems.begin());
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
    auto* serial = command->add_option("--serial", Options.Serial,
                                       "the printer's serial port: COMn, a name from the alias "
                                       "folder, or a device under /dev (see \"ports\")");
    auto* parallel = command->add_flag("--parallel", Options.Parallel,
                                       "the printer is on the parallel port LPT1");
    serial->excludes(parallel);
    command->parse_complete_callback([command, What, &Options] {
        if (command->parsed() && Options.Serial.empty() && !Options.Parallel)
            throw CLI::RequiredError(std::string(Name(What)) +
                                         ": say where the printer is, --serial PORT or --parallel",
                                     CLI::ExitCodes::RequiredError);
    });
    std::vector<std::string> speeds(BaudRateItems.begin(), BaudRateItems.end());
    command
        ->add_option("--baud", Options.Baud,
                     "line speed, one of the window's: 110 ... 256000 (default 9600)")
        ->check(CLI::IsMember(speeds))
        ->needs(serial);
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
    const std::string where =
        Options.Parallel ? std::string("LPT1") : Options.Serial + " at " + Options.Baud + " bit/s";
    std::exception_ptr error;
    if (Options.Parallel) {
        error = What == Action::Print ? console::PrintParallel(lang, receipt::LocalDateStamp())
                                      : console::DrawerParallel(drawer);
    } else {
        TComPort port(nullptr);
        console::LoadConsolePortSettings(port);
        const console::SerialChoice choice{Options.Serial, SpeedItem(Options.Baud)};
        // The close after the guard raises its own error; Run reports it.
        error = What == Action::Print
                    ? console::PrintSerial(port, choice, lang, receipt::LocalDateStamp())
                    : console::DrawerSerial(port, choice, drawer);
    }
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
    // The window's order, each with where it came from and what sysfs knows of it.
    const std::vector<std::string> sorted = console::SortedPorts(map.Ports);
    std::vector<bool> used(map.Ports.size());
    for (const std::string& port : sorted) {
        std::size_t i = 0;
        while (used[i] || map.Ports[i] != port)
            ++i;
        used[i] = true;
        const platform::PortDetails details = platform::DescribePort(port);
        Out << (port.empty() ? "(empty)" : port) << "\t" << Source(map.Names[i]);
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
    if (sorted.empty())
        Out << "no serial ports\n";
    if (map.Error) {
        Err << "tillmark-cli ports: " << ActionErrorMessage(map.Error) << "\n";
        return 1;
    }
    return 0;
}

} // namespace

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
    CLI::App* parser = App.add_subcommand(
        "ports", "List the serial ports the window offers, in its order, with where each comes "
                 "from and what sysfs knows of it (device, driver, USB ids and strings, serial "
                 "number); opens no port");
    return {parser, [&Out, &Err] { return RunPorts(Out, Err); }};
}

} // namespace cli
