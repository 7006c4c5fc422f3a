// Runs tillmark-cli in-process with its output captured, for the subcommand tests.
#pragma once

#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace clitest {

struct Outcome {
    int Code = -1;
    std::string Out;
    std::string Err;
};

inline Outcome RunCli(std::vector<std::string> Args) {
    Args.insert(Args.begin(), "tillmark-cli");
    std::vector<const char*> argv;
    for (const auto& arg : Args)
        argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

} // namespace clitest
