#include "cli/status/StatusWatch.h"

#include "cli/status/StatusCommand.h"
#include "cli/status/StatusWords.h"
#include "console/PortSettings.h"
#include "platform/Win32.h"

#include <atomic>
#include <cstdio>
#include <ostream>
#include <variant>
#include <vector>

namespace cli {

namespace {

std::atomic<bool> watchStopped{false};

// Ctrl+C (SIGINT on Linux) or a close request: the watch switches the status off and ends.
BOOL StopWatch(DWORD) {
    watchStopped = true;
    return TRUE;
}

std::string Hex(const console::TStatusMessage& M) {
    std::string out;
    for (const std::uint8_t b : M.Bytes) {
        char two[4];
        std::snprintf(two, sizeof two, out.empty() ? "%02X" : " %02X", b);
        out += two;
    }
    return out;
}

} // namespace

std::string WatchTime(std::chrono::system_clock::time_point At) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(At);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss time{ms - day};
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

std::string WatchText(const std::string& Time, const std::string& Port,
                      const console::TStatusMessage& M) {
    const console::TStatusFacts& f = M.Facts;
    std::string out = Time + " " + Port + ": ";
    if (!f.Online)
        out += "status unknown";
    else if (*f.Online)
        out += "online";
    else if (const auto causes = OfflineCauses(f); !causes.empty())
        out += "offline (" + Joined(causes, ", ") + ")";
    else
        out += "offline";
    auto fact = [&f](receipt::StatusFact Fact) {
        const std::optional<bool>& value = f.*console::FactField(Fact);
        const FactWording& words = WordsOf(Fact);
        return std::string(value ? (*value ? words.Yes : words.No) : "unknown");
    };
    auto paper = [](const std::optional<bool>& Value) {
        return std::string(Value ? (*Value ? "near end" : "ok") : "unknown");
    };
    using enum receipt::StatusFact;
    out += "; cover " + fact(CoverOpen) + ", paper " +
           (f.PaperEnd.value_or(false) ? "end" : paper(f.PaperNearEnd)) + ", drawer pin 3 " +
           fact(DrawerPin3High);
    // The error status (DLE EOT 3) names each error there is.
    std::vector<std::string> errors;
    for (const FactWording& words : FactWords)
        if (receipt::StatusBitsOf(words.Fact).RealTime.Byte == 3 &&
            (f.*console::FactField(words.Fact)).value_or(false))
            errors.emplace_back(words.Label);
    return out + ", " + (errors.empty() ? "no error" : Joined(errors, ", ")) + "\n";
}

std::string WatchJson(const std::string& Time, const std::string& Port,
                      const console::TStatusMessage& M) {
    return "{\"time\": " + Quoted(Time) + ", \"port\": " + Quoted(Port) +
           ", \"source\": " + (M.Automatic ? "\"automatic\"" : "\"real-time\"") + ", " +
           FactsJson(M.Facts) + ", \"raw\": " + Quoted(Hex(M)) + "}\n";
}

int RunStatusWatch(const PrinterWhere& Where, bool Json, std::ostream& Out, std::ostream& Err) {
    const std::string port = PortName(Where);
    const console::TPrinterChoice choice = PrinterChoice(Where);
    if (std::holds_alternative<console::TParallelPrinter>(choice)) {
        Err << "tillmark-cli status: " << port
            << ": the parallel port cannot be read here, so its status cannot be watched; "
               "use --serial or --tcp\n";
        return 2;
    }
    auto tell = [&](const console::TStatusMessage& M) {
        const std::string time = WatchTime(std::chrono::system_clock::now());
        Out << (Json ? WatchJson(time, port, M) : WatchText(time, port, M)) << std::flush;
    };
    watchStopped = false;
    SetConsoleCtrlHandler(StopWatch, TRUE);
    console::TWatchEnd end = console::TWatchEnd::Stopped;
    std::exception_ptr error;
    if (const auto* network = std::get_if<console::TNetworkPrinter>(&choice)) {
        error =
            console::WatchStatusTcp(network->Where, network->TimeoutMs, watchStopped, tell, end);
    } else {
        TComPort serial(nullptr);
        console::LoadConsolePortSettings(serial);
        error = console::WatchStatusSerial(serial, std::get<console::TSerialPrinter>(choice).Line,
                                           Where.TimeoutMs, watchStopped, tell, end);
    }
    SetConsoleCtrlHandler(StopWatch, FALSE);
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const console::ELineGone&) {
            Err << "tillmark-cli status: " << port << ": the printer went away\n";
            return 1;
        } catch (...) {
            Err << "tillmark-cli status: " << port << ": " << ActionErrorMessage(error) << "\n";
            return 1;
        }
    }
    if (end == console::TWatchEnd::NoAnswer) {
        Err << "tillmark-cli status: no answer from " << port << " within " << Where.TimeoutMs
            << " ms\n";
        return NoAnswerExit;
    }
    return 0;
}

} // namespace cli
