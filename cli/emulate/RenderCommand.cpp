#include "cli/emulate/RenderCommand.h"

#include "escpos/Printer.h"
#include "escpos/Profile.h"
#include "escpos/TraceJson.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace cli {

namespace {

std::string ReadAll(const std::string& Input, std::istream& In) {
    if (Input == "-")
        return std::string(std::istreambuf_iterator<char>(In), {});
    std::ifstream file(Input, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + Input + ": " + std::strerror(errno));
    std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (file.bad())
        throw std::runtime_error("cannot read " + Input + ": " + std::strerror(errno));
    return bytes;
}

void Emit(const std::string& Where, const std::string& Text, std::ostream& Out) {
    if (Where == "-")
        Out << Text;
    else
        escpos::WriteFile(Where, Text);
}

} // namespace

std::string PagePath(const std::string& Output, std::size_t Number) {
    if (Number <= 1)
        return Output;
    const std::string suffix = "-" + std::to_string(Number);
    const auto dot = Output.rfind('.');
    const auto slash = Output.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return Output + suffix;
    return Output.substr(0, dot) + suffix + Output.substr(dot);
}

CLI::App* AddRenderCommand(CLI::App& App, RenderOptions& Options) {
    auto* command = App.add_subcommand(
        "render", "Decode ESC/POS bytes as a TM-T88 would print them: a PNG picture per cut, "
                  "the printed text, or a trace of every command with its byte offset");
    command->add_option("input", Options.Input, "the bytes: a file, or - for standard input")
        ->required();
    command->add_option("-o,--output", Options.Output,
                        "the first receipt's PNG; later ones get -2, -3 ... before .png");
    command->add_flag("--text{-}", Options.Text,
                      "write the printed text, one line per line sent, to standard output "
                      "(or to FILE with --text=FILE)");
    command->add_flag("--trace{-}", Options.Trace,
                      "write the commands, printed lines and warnings as JSON, to standard output "
                      "(or to FILE with --trace=FILE)");
    Options.Profile = std::string(escpos::DefaultProfile);
    command
        ->add_option("--profile", Options.Profile,
                     "the printer model: korean (double-byte code page 949 at power-up, 512 "
                     "dots), korean-576, standard, standard-576")
        ->check(CLI::IsMember(escpos::ProfileNames()));
    return command;
}

int RunRenderCommand(const RenderOptions& Options, std::istream& In, std::ostream& Out,
                     std::ostream& Err) {
    if (Options.Output.empty() && Options.Text.empty() && Options.Trace.empty()) {
        Err << "tillmark-cli render: nothing to write: give -o OUT.png, --text or --trace\n";
        return 2;
    }
    if (Options.Text == "-" && Options.Trace == "-") {
        Err << "tillmark-cli render: --text and --trace cannot both write to standard output; "
               "send one to a file with --text=FILE or --trace=FILE\n";
        return 2;
    }
    const auto profile = escpos::FindProfile(Options.Profile);
    if (!profile) {
        Err << "tillmark-cli render: no printer profile \"" << Options.Profile << "\"\n";
        return 2;
    }
    const std::string bytes = ReadAll(Options.Input, In);
    const escpos::Printer printer = escpos::PrintAll(bytes, *profile);
    for (const auto& warning : printer.Warnings())
        Err << "tillmark-cli render: warning at byte " << warning.Offset << ": " << warning.Message
            << "\n";

    if (!Options.Text.empty()) {
        std::string text;
        for (const auto& page : printer.Pages())
            text += escpos::PageText(page);
        Emit(Options.Text, text, Out);
    }
    if (!Options.Trace.empty())
        Emit(Options.Trace, escpos::TraceJson(printer), Out);
    if (!Options.Output.empty()) {
        if (printer.Pages().empty()) {
            Err << "tillmark-cli render: nothing was printed, so no picture was written\n";
            return 1;
        }
        auto& fonts = escpos::Fonts::Shared();
        std::size_t number = 0;
        for (const auto& page : printer.Pages()) {
            const std::string path = PagePath(Options.Output, ++number);
            const auto picture = escpos::RenderPage(page, profile->Width, fonts);
            if (picture.Truncated)
                Err << "tillmark-cli render: warning: receipt " << number << " is longer than "
                    << escpos::MaxPageHeight << " dots; its picture stops there\n";
            escpos::WriteFile(path, escpos::EncodePng(picture));
            Err << "wrote " << path << "\n";
        }
    }
    return 0;
}

Command RenderCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* parser = AddRenderCommand(App, *options);
    return {parser,
            [options, &Out, &Err] { return RunRenderCommand(*options, std::cin, Out, Err); }};
}

} // namespace cli
