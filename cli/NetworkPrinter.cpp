#include "cli/NetworkPrinter.h"

#include <algorithm>
#include <utility>

namespace cli {

NetworkPrinter::NetworkPrinter(const console::TEndpoint& Where, escpos::VirtualPrinter& Printer,
                               NetworkLimits Limits, LogLine Log)
    : FListener(Where), FPrinter(Printer), FLimits(Limits), FLog(std::move(Log)) {}

void NetworkPrinter::Serve() {
    while (auto connection = FListener.Accept(FStop))
        ServeOne(*connection);
}

void NetworkPrinter::ServeOne(console::TSocket& Connection) {
    using console::TReceived;
    const std::string peer = Connection.Peer();
    FLog("connection from " + peer);
    {
        const std::lock_guard held(FSending);
        FConnection = &Connection;
    }
    std::size_t taken = 0;
    std::string end;
    while (end.empty()) {
        if (taken >= FLimits.MaxBytes) {
            end = "cut off at the limit of " + std::to_string(FLimits.MaxBytes) + " bytes";
            break;
        }
        TReceived got = Connection.Receive(std::min<std::size_t>(4096, FLimits.MaxBytes - taken),
                                           FLimits.IdleMs, &FStop);
        switch (got.What) {
        case TReceived::Data: {
            taken += got.Bytes.size();
            const std::string answer = FPrinter.Feed(got.Bytes);
            try {
                const std::lock_guard held(FSending);
                if (!answer.empty())
                    Connection.Send(answer, FLimits.IdleMs);
            } catch (const console::ENetError& error) {
                end = std::string("lost: ") + error.what();
            }
            break;
        }
        case TReceived::TimedOut:
            end = "cut off after " + std::to_string(FLimits.IdleMs) + " ms of silence";
            break;
        case TReceived::Closed:
            end = "closed";
            break;
        case TReceived::Stopped:
            end = "closed as the printer stops";
            break;
        }
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

} // namespace cli
