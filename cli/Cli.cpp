#include "cli/Cli.h"

#include "cli/ReceiptCommand.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <ostream>

namespace cli {

int Run(int argc, const char* const* argv, std::ostream& Out, std::ostream& Err) {
    CLI::App app{"Tillmark: a test console for ESC/POS receipt printers and their cash drawer",
                 "tillmark-cli"};
    app.require_subcommand(1);
    ReceiptOptions receiptOptions;
    const CLI::App* receiptCommand = AddReceiptCommand(app, receiptOptions);
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
        if (receiptCommand->parsed())
            return RunReceiptCommand(receiptOptions, Out, Err);
    } catch (const std::exception& error) {
        Err << "tillmark-cli: " << error.what() << "\n";
        return 1;
    }
    Err << "tillmark-cli: no subcommand ran\n";
    return 1;
}

} // namespace cli
