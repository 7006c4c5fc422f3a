// The command-line front end: one subcommand per task, run from main() or from tests.
#pragma once

#include <iosfwd>

namespace cli {

// Runs tillmark-cli with its arguments (argv[0] is the program name), writing to Out and Err;
// gives the process exit code.
int Run(int argc, const char* const* argv, std::ostream& Out, std::ostream& Err);

} // namespace cli
