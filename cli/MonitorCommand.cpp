#include "cli/MonitorCommand.h"

#include "platform/Win32.h"
#include "runtime/Threads.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>

namespace cli {

namespace {

std::atomic<bool> stopRequested{false};

// Ctrl+C or a close request: leave the serving loop, which closes the port.
BOOL StopMonitor(DWORD) {
    stopRequested = true;
    WakeMainThread();
    return TRUE;
}

const char* const ErrorNames[] = {"frame", "parity", "overrun",          "break",
                                  "I/O",   "mode",   "receive overflow", "transmit full"};

} // namespace

std::string DescribeBytes(const std::string& Bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    std::string text;
    for (char c : Bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.empty())
            hex += ' ';
        hex += digits[b >> 4];
        hex += digits[b & 15];
        text += b >= 0x20 && b < 0x7F ? c : '.';
    }
    return hex + "  |" + text + "|";
}

std::string DescribeErrors(TComErrors Errors) {
    std::string out;
    for (unsigned i = 0; i < 8; ++i) {
        if (!Errors.Contains(static_cast<TComError>(i)))
            continue;
        if (!out.empty())
            out += ", ";
        out += ErrorNames[i];
    }
    return out;
}

int RunMonitor(const MonitorOptions& Options, std::ostream& Out, std::ostream& Err) {
    std::mutex outLock; // with --sync none the events arrive on the port's own thread
    auto print = [&](const std::string& Line) {
        std::lock_guard g(outLock);
        Out << Line << std::endl;
    };
    auto signal = [&](const char* Name) {
        return
            [print, Name](TObject*, bool On) { print(std::string(Name) + (On ? " on" : " off")); };
    };

    TComPort port(nullptr);
    ApplyPortOptions(port, Options.Port);
    port.SetSyncMethod(Options.Sync);
    port.SetEvents(TComEvents::All());
    port.OnRxChar = [&](TObject*, std::int32_t Count) {
        std::string bytes(static_cast<std::size_t>(Count), '\0');
        bytes.resize(static_cast<std::size_t>(port.ReceiveBytes(bytes.data(), Count)));
        print("RX " + std::to_string(bytes.size()) + " bytes: " + DescribeBytes(bytes));
    };
    port.OnTxEmpty = [&](TObject*) { print("TX empty"); };
    port.OnRxFlag = [&](TObject*) { print("RX event character"); };
    port.OnRing = [&](TObject*) { print("RING"); };
    port.OnBreak = [&](TObject*) { print("BREAK"); };
    port.OnRx80Full = [&](TObject*) { print("RX buffer 80% full"); };
    port.OnError = [&](TObject*, TComErrors Errors) { print("ERROR " + DescribeErrors(Errors)); };
    port.OnCTSChange = signal("CTS");
    port.OnDSRChange = signal("DSR");
    port.OnRLSDChange = signal("RLSD");

    stopRequested = false;
    SetConsoleCtrlHandler(StopMonitor, TRUE);
    struct RemoveHandler {
        ~RemoveHandler() { SetConsoleCtrlHandler(StopMonitor, FALSE); }
    } removeHandler;

    port.OpenPort();
    {
        const char* modes[] = {"thread", "window", "none"};
        std::lock_guard g(outLock);
        const std::int32_t speed = port.BaudRate() == brCustom
                                       ? port.CustomBaudRate()
                                       : BaudRateBitsPerSecond(port.BaudRate());
        Err << "Monitoring " << port.Port() << " at " << speed << " bit/s (sync "
            << modes[Options.Sync] << "); press Ctrl+C to stop." << std::endl;
    }
    // The event thread ends by itself only when the device refuses to be waited on: its far side
    // went away (an adapter unplugged, a pty's master closed). It wakes this loop when it does.
    bool gone = false;
    while (!stopRequested && !gone) {
        CheckSynchronize(INFINITE);
        gone = port.EventThread() && port.EventThread()->DeviceEndedIt();
    }
    if (gone) {
        {
            std::lock_guard g(outLock);
            Err << port.Port() << ": the device went away" << std::endl;
        }
        try {
            port.ClosePort();
        } catch (const std::exception&) {
            // Closing a device that is gone may fail; the message above says why.
        }
        return 1;
    }
    port.ClosePort();
    {
        std::lock_guard g(outLock);
        Err << "Closed " << port.Port() << "." << std::endl;
    }
    return 0;
}

Command MonitorCommand(CLI::App& App, std::ostream& Out, std::ostream& Err) {
    auto options = std::make_shared<MonitorOptions>();
    CLI::App* sub = App.add_subcommand(
        "monitor", "Open a serial port with every event and print each event as it arrives "
                   "(received bytes as hex and text, CTS/DSR/RLSD, ring, break, line errors) "
                   "until Ctrl+C");
    CLI::Option* port =
        sub->add_option("PORT", options->Port.Port, "Port name: COM3, ttyUSB0, pts/4, or an alias");
    AddPortOptions(*sub, options->Port, true);
    // The port may come from the settings file instead.
    port->required(false);
    sub->callback([options] {
        if (!options->Port.Port && options->Port.SettingsFile.empty())
            throw CLI::RequiredError("PORT (or --settings)");
    });
    sub->add_option_function<std::string>(
           "--sync",
           [options](const std::string& Mode) {
               options->Sync = Mode == "window" ? smWindowSync
                               : Mode == "none" ? smNone
                                                : smThreadSync;
           },
           "How events reach the printing code: thread (default), window or none")
        ->check(CLI::IsMember({"thread", "window", "none"}, CLI::ignore_case));
    return {sub, [options, &Out, &Err] { return RunMonitor(*options, Out, Err); }};
}

} // namespace cli
