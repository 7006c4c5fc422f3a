// A subcommand of tillmark-cli: its parser, and what runs once it was chosen.
#pragma once

#include <functional>
#include <iosfwd>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace cli {

struct Command {
    CLI::App* Parser = nullptr;
    std::function<int()> Run;
};

// Adds one subcommand to App. Its options live in the returned Run, which writes to Out and Err
// and gives the exit code.
using AddCommand = Command (*)(CLI::App& App, std::ostream& Out, std::ostream& Err);

} // namespace cli
