#include "cli/ReceiptCommand.h"

#include <CLI/CLI.hpp>

#include <memory>

#include <cctype>
#include <chrono>
#include <ostream>

namespace cli {

namespace {

constexpr std::string_view AtForm = "YYYY-MM-DD HH:MM";

std::optional<unsigned> Digits(std::string_view Text) {
    unsigned value = 0;
    for (const char c : Text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

// The option checks accept any case but hand the value on as typed.
std::string Lower(std::string Text) {
    for (char& c : Text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

} // namespace

std::optional<SYSTEMTIME> ParseAt(std::string_view Text) {
    if (Text.size() != AtForm.size() || Text[4] != '-' || Text[7] != '-' || Text[10] != ' ' ||
        Text[13] != ':')
        return std::nullopt;
    const auto year = Digits(Text.substr(0, 4));
    const auto month = Digits(Text.substr(5, 2));
    const auto day = Digits(Text.substr(8, 2));
    const auto hour = Digits(Text.substr(11, 2));
    const auto minute = Digits(Text.substr(14, 2));
    if (!year || !month || !day || !hour || !minute || *year == 0 || *hour > 23 || *minute > 59)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                           std::chrono::month(*month), std::chrono::day(*day)};
    if (!date.ok())
        return std::nullopt;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(*year);
    time.wMonth = static_cast<WORD>(*month);
    time.wDay = static_cast<WORD>(*day);
    time.wDayOfWeek =
        static_cast<WORD>(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding());
    time.wHour = static_cast<WORD>(*hour);
    time.wMinute = static_cast<WORD>(*minute);
    return time;
}

void AddAtOption(CLI::App& Command, std::string& At) {
    Command
        .add_option("--at", At,
                    "Local date and time to print instead of now, as \"YYYY-MM-DD HH:MM\"")
        ->check(CLI::Validator(
            [](std::string& Text) {
                return ParseAt(Text) ? std::string{}
                                     : "expected a date and time as \"" + std::string(AtForm) +
                                           "\", got \"" + Text + "\"";
            },
            std::string(AtForm)));
}

std::string DateStampFor(const std::string& At) {
    const auto at = At.empty() ? std::nullopt : ParseAt(At);
    return at ? receipt::FormatDateStamp(*at, receipt::RegionalSeparators())
              : receipt::LocalDateStamp();
}

CLI::App* AddReceiptCommand(CLI::App& App, ReceiptOptions& Options) {
    auto* command = App.add_subcommand(
        "receipt", "Write to standard output the exact bytes that Print sends on the chosen path");
    command
        ->add_option_function<std::string>(
            "--lang",
            [&Options](const std::string& Name) {
                Options.Lang = Lower(Name) == "korean" ? receipt::Language::Korean
                                                       : receipt::Language::English;
            },
            "Language of the receipt")
        ->required()
        ->check(CLI::IsMember({"english", "korean"}, CLI::ignore_case));
    command
        ->add_option_function<std::string>(
            "--path",
            [&Options](const std::string& Name) {
                Options.On =
                    Lower(Name) == "parallel" ? receipt::Path::Parallel : receipt::Path::Serial;
            },
            "How the printer is attached")
        ->required()
        ->check(CLI::IsMember({"serial", "parallel"}, CLI::ignore_case));
    AddAtOption(*command, Options.At);
    command->add_flag("--trailer", Options.Trailer,
                      "Also write the cut trailer, in the path's form, after the receipt");
    return command;
}

int RunReceiptCommand(const ReceiptOptions& Options, std::ostream& Out, std::ostream& Err) {
    if (!Options.At.empty() && !ParseAt(Options.At)) {
        Err << "tillmark-cli receipt: --at: expected \"" << AtForm << "\", got \"" << Options.At
            << "\"\n";
        return 2;
    }
    const std::string stamp = DateStampFor(Options.At);
    const auto writes = Options.Trailer ? receipt::PrintWrites(Options.Lang, Options.On, stamp)
                                        : receipt::ReceiptWrites(Options.Lang, Options.On, stamp);
    const std::string bytes = receipt::DeviceBytes(Options.On, writes);
    Out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Out.flush();
    if (!Out) {
        Err << "tillmark-cli receipt: cannot write to standard output\n";
        return 1;
    }
    return 0;
}

Command ReceiptCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<ReceiptOptions>();
    CLI::App* parser = AddReceiptCommand(App, *options);
    return {parser, [options, &Out, &Err] { return RunReceiptCommand(*options, Out, Err); }};
}

} // namespace cli
