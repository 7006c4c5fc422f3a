// "tillmark-cli render": what a printer would make of a byte stream, as pictures, text or a trace.
#pragma once

#include "cli/Command.h"

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct RenderOptions {
    std::string Input;   // a file, or "-" for standard input
    std::string Output;  // the first page's PNG; later pages get "-2", "-3" ... before ".png"
    std::string Text;    // where the text goes ("-": standard output); empty: nowhere
    std::string Trace;   // where the JSON trace goes, likewise
    std::string Profile; // the printer model
};

// Adds the subcommand to App; parsing fills Options.
CLI::App* AddRenderCommand(CLI::App& App, RenderOptions& Options);

// The subcommand as tillmark-cli lists it; "-" reads the process's standard input.
Command RenderCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

// Decodes the input and writes what was asked; In stands for standard input.
int RunRenderCommand(const RenderOptions& Options, std::istream& In, std::ostream& Out,
                     std::ostream& Err);

// The picture file of page Number (from 1) when the first one is Output.
std::string PagePath(const std::string& Output, std::size_t Number);

} // namespace cli
