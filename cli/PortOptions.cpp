#include "cli/PortOptions.h"

#include "runtime/IniFiles.h"

#include <CLI/CLI.hpp>

namespace cli {

namespace {
// Text forms the stores use, so the command line and the settings file spell values alike.
template <typename E>
void AddTextOption(CLI::App& Command, const char* Name, std::optional<E>& Target,
                   std::string (*ToText)(E), E (*FromText)(const std::string&), int Count,
                   const char* Help) {
    std::vector<std::string> texts;
    for (int i = 0; i < Count; ++i)
        texts.push_back(ToText(static_cast<E>(i)));
    Command
        .add_option_function<std::string>(
            Name, [&Target, FromText](const std::string& t) { Target = FromText(t); }, Help)
        ->check(CLI::IsMember(texts, CLI::ignore_case));
}
} // namespace

void SetSpeed(TCustomComPort& Port, std::int64_t BitsPerSecond) {
    for (int i = br110; i <= br256000; ++i) {
        const auto rate = static_cast<TBaudRate>(i);
        if (BaudRateBitsPerSecond(rate) == BitsPerSecond) {
            Port.SetBaudRate(rate);
            return;
        }
    }
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(static_cast<std::int32_t>(BitsPerSecond));
}

void AddPortOptions(CLI::App& Command, PortOptions& Options, bool Line) {
    Command.add_option("--settings", Options.SettingsFile,
                       "INI file whose [ComPort1] section gives the port's settings; options on "
                       "the command line win over it");
    if (!Line)
        return;
    Command.add_option("--baud", Options.Baud, "Line speed in bit/s (default 9600)")
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{0x7FFFFFFF}));
    AddTextOption<TDataBits>(Command, "--data-bits", Options.DataBits, DataBitsToText,
                             TextToDataBits, 4, "5, 6, 7 or 8");
    AddTextOption<TParityBits>(Command, "--parity", Options.Parity, ParityToText, TextToParity, 5,
                               "none, odd, even, mark or space");
    AddTextOption<TStopBits>(Command, "--stop-bits", Options.StopBits, StopBitsToText,
                             TextToStopBits, 3, "1, 1.5 or 2");
    AddTextOption<TFlowControl>(Command, "--flow", Options.Flow, FlowControlToText,
                                TextToFlowControl, 3, "none, hardware or software");
}

void ApplyPortOptions(TCustomComPort& Port, const PortOptions& Options) {
    Port.SetName(PortComponentName);
    Port.SetSettingsGroups(TSettingsGroups::All());
    if (!Options.SettingsFile.empty()) {
        TIniFile ini(Options.SettingsFile);
        Port.LoadSettingsFromIni(ini);
    }
    if (Options.Port)
        Port.SetPort(*Options.Port);
    if (Options.Baud)
        SetSpeed(Port, *Options.Baud);
    if (Options.DataBits)
        Port.SetDataBits(*Options.DataBits);
    if (Options.Parity)
        Port.Parity().SetBits(*Options.Parity);
    if (Options.StopBits)
        Port.SetStopBits(*Options.StopBits);
    if (Options.Flow)
        Port.FlowControl().SetFlowControl(*Options.Flow);
}

} // namespace cli
