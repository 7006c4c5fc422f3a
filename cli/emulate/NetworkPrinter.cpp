#include "cli/emulate/NetworkPrinter.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace cli {

NetworkPrinter::NetworkPrinter(const console::TEndpoint& Where, escpos::VirtualPrinter& Printer,
                               NetworkLimits Limits, LogLine Log)
    : FListener(Where), FPrinter(Printer), FLimits(Limits), FLog(std::move(Log)) {}

namespace {

// Pauses between tries to take a connection while none can be had (out of descriptors).
constexpr int FirstPauseMs = 50;
constexpr int LongestPauseMs = 1000;

} // namespace

void NetworkPrinter::Serve() {
    int pauseMs = 0;
    while (!FStop.Raised()) {
        std::optional<console::TSocket> connection;
        try {
            connection = FListener.Accept(FStop);
        } catch (const std::exception& error) {
            // The client stays in the queue; the printer goes on once it can take it.
            if (pauseMs == 0)
                FLog(std::string("cannot take a connection: ") + error.what() +
                     "; trying again until it can");
            pauseMs = std::clamp(pauseMs * 2, FirstPauseMs, LongestPauseMs);
            FStop.Wait(pauseMs);
            continue;
        }
        if (!connection)
            return;
        if (pauseMs != 0)
            FLog("taking connections again");
        pauseMs = 0;
        try {
            ServeOne(*connection);
        } catch (const std::exception& error) {
            FLog("connection dropped: " + std::string(error.what()));
        }
    }
}

void NetworkPrinter::ServeOne(console::TSocket& Connection) {
    const std::string peer = Connection.Peer();
    FLog("connection from " + peer);
    {
        const std::lock_guard held(FSending);
        FConnection = &Connection;
    }
    std::size_t taken = 0;
    std::string end;
    try {
        Take(Connection, taken, end);
    } catch (const std::exception& error) {
        // A receipt that cannot be filed, say: the next client is served all the same.
        end = std::string("dropped: ") + error.what();
    }
    {
        const std::lock_guard held(FSending);
        FConnection = nullptr;
    }
    FPrinter.EndConnection();
    FLog("connection from " + peer + " " + end + " after " + std::to_string(taken) + " bytes");
}

void NetworkPrinter::SendUnasked(std::string_view Bytes) {
    const std::lock_guard held(FSending);
    if (!FConnection)
        return;
    try {
        FConnection->Send(Bytes, 1000);
    } catch (const console::ENetError& error) {
        FLog(std::string("status not sent unasked: ") + error.what());
    }
}

void NetworkPrinter::Take(console::TSocket& Connection, std::size_t& Taken, std::string& End) {
    using console::TReceived;
    while (End.empty()) {
        if (Taken >= FLimits.MaxBytes) {
            End = "cut off at the limit of " + std::to_string(FLimits.MaxBytes) + " bytes";
            break;
        }
        TReceived got = Connection.Receive(std::min<std::size_t>(4096, FLimits.MaxBytes - Taken),
                                           FLimits.IdleMs, &FStop);
        switch (got.What) {
        case TReceived::Data: {
            Taken += got.Bytes.size();
            const std::string answer = FPrinter.Feed(got.Bytes);
            try {
                const std::lock_guard held(FSending);
                if (!answer.empty())
                    Connection.Send(answer, FLimits.IdleMs);
            } catch (const console::ENetError& error) {
                End = std::string("lost: ") + error.what();
            }
            break;
        }
        case TReceived::TimedOut:
            End = "cut off after " + std::to_string(FLimits.IdleMs) + " ms of silence";
            break;
        case TReceived::Closed:
            End = "closed";
            break;
        case TReceived::Stopped:
            End = "closed as the printer stops";
            break;
        }
    }
}

} // namespace cli
