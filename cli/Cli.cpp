#include "cli/Cli.h"

#include "cli/Command.h"
#include "cli/ConsoleCommands.h"
#include "cli/MonitorCommand.h"
#include "cli/ReceiptCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/status/StatusCommand.h"
#include "serial/Version.h"
#ifdef TILLMARK_VIRTUAL_PRINTER
#include "cli/emulate/EmulateCommand.h"
#include "cli/emulate/RenderCommand.h"
#endif

#include <CLI/CLI.hpp>

#include <array>
#include <exception>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

namespace {
// Every subcommand, in the order --help lists them.
constexpr auto Commands = std::to_array<AddCommand>({
    PrintCommand,
    BellCommand,
    DrawerCommand,
    StatusCommand,
    PortsCommand,
    ReceiptCommand,
    MonitorCommand,
    SettingsCommand,
#ifdef TILLMARK_VIRTUAL_PRINTER
    RenderCommand,
    EmulateCommand,
#endif
});
} // namespace

int Run(int argc, const char* const* argv, std::ostream& Out, std::ostream& Err) {
    CLI::App app{"Tillmark: a test console for ESC/POS receipt printers and their cash drawer",
                 "tillmark-cli"};
    app.set_version_flag("--version", std::string("tillmark-cli ") + TILLMARK_VERSION);
    app.require_subcommand(1);
    std::vector<Command> commands;
    for (AddCommand add : Commands)
        commands.push_back(add(app, Out, Err));
    // Named here, as the parser would only say that a subcommand is required.
    if (argc > 1 && argv[1][0] != '-') {
        try {
            app.get_subcommand(argv[1]);
        } catch (const CLI::OptionNotFound&) {
            Err << "tillmark-cli: unknown subcommand \"" << argv[1]
                << "\"\nRun with --help for more information.\n";
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Usage errors all get 2, as command-line tools commonly do; --help gets 0.
        return app.exit(error, Out, Err) == 0 ? 0 : 2;
    }
    try {
        for (const Command& command : commands)
            if (command.Parser->parsed())
                return command.Run();
    } catch (const std::exception& error) {
        Err << "tillmark-cli: " << error.what() << "\n";
        return 1;
    }
    Err << "tillmark-cli: no subcommand ran\n";
    return 1;
}

} // namespace cli
