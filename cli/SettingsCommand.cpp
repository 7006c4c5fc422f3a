#include "cli/SettingsCommand.h"

#include "cli/PortOptions.h"
#include "runtime/IniFiles.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

namespace cli {

namespace {

struct SettingsOptions {
    PortOptions Port;
    std::string File;
};

// Writes every key of every group under [ComPort1], keeping what else the file holds.
int Save(const SettingsOptions& Options, std::ostream& Out) {
    PortOptions withFile = Options.Port;
    withFile.SettingsFile = Options.File; // start from what the file has
    TComPort port(nullptr);
    ApplyPortOptions(port, withFile);
    TIniFile ini(Options.File);
    port.SaveSettingsToIni(ini);
    Out << "Saved the settings of " << port.Port() << " to " << Options.File << " ["
        << PortComponentName << "]." << std::endl;
    return 0;
}

// The settings as a port loads them, in the file's own key names.
int Show(const SettingsOptions& Options, std::ostream& Out) {
    PortOptions fromFile;
    fromFile.SettingsFile = Options.File;
    TComPort port(nullptr);
    ApplyPortOptions(port, fromFile);
    struct TShow : IniStore {
        std::ostream& Out;
        explicit TShow(std::ostream& AOut) : Out(AOut) {}
        std::string ReadString(const std::string&, const std::string&,
                               const std::string& D) override {
            return D;
        }
        void WriteString(const std::string&, const std::string& K, const std::string& V) override {
            Out << K << "=" << V << "\n";
        }
        std::int32_t ReadInteger(const std::string&, const std::string&, std::int32_t D) override {
            return D;
        }
        void WriteInteger(const std::string&, const std::string& K, std::int32_t V) override {
            Out << K << "=" << V << "\n";
        }
    } show(Out);
    port.SaveSettingsToIni(show);
    Out.flush();
    return 0;
}

} // namespace

Command SettingsCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<SettingsOptions>();
    CLI::App* settings =
        App.add_subcommand("settings", "Keep a printer's serial settings in an INI file")
            ->require_subcommand(1);
    CLI::App* save = settings->add_subcommand(
        "save", "Write the port settings to FILE.ini, section [ComPort1]: what the file has, "
                "changed by the options given; other sections and comments stay");
    save->add_option("FILE", options->File, "The INI file (created when missing)")->required();
    save->add_option("--port", options->Port.Port, "Port name: COM3, ttyUSB0, pts/4, an alias");
    AddPortOptions(*save, options->Port, true);
    save->remove_option(save->get_option("--settings"));
    CLI::App* show = settings->add_subcommand(
        "show", "Print the port settings FILE.ini gives, as a port loads them");
    show->add_option("FILE", options->File, "The INI file")->required()->check(CLI::ExistingFile);
    return {settings, [options, save, &Out, &Err] {
                (void)Err;
                return save->parsed() ? Save(*options, Out) : Show(*options, Out);
            }};
}

} // namespace cli
