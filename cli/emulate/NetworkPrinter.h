// The virtual printer on the network: a listener that takes one connection at a time, as a
// printer on port 9100 does, feeds what arrives to the printer and sends its answers back. A
// connection is cut off once it has sent MaxBytes or said nothing for IdleMs; the next waits in
// the system's queue until then.
#pragma once

#include "console/net/Socket.h"
#include "escpos/VirtualPrinter.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace cli {

struct NetworkLimits {
    int IdleMs = 30000;
    std::size_t MaxBytes = std::size_t{16} << 20;
};

class NetworkPrinter {
public:
    using LogLine = std::function<void(const std::string& Line)>;

    // Binds at once; raises console::ENetError when the address cannot be had.
    NetworkPrinter(const console::TEndpoint& Where, escpos::VirtualPrinter& Printer,
                   NetworkLimits Limits, LogLine Log);

    console::TEndpoint Bound() const { return FListener.Bound(); }
    // Serves connections one after another until Stop.
    void Serve();
    // From any thread.
    void Stop() { FStop.Raise(); }
    // Sends bytes the printer sends unasked (automatic status back) to the connection being
    // served, if any; from any thread. A client that takes nothing for a second loses them.
    void SendUnasked(std::string_view Bytes);

private:
    void ServeOne(console::TSocket& Connection);
    // Feeds what the connection sends to the printer until it ends; End says how.
    void Take(console::TSocket& Connection, std::size_t& Taken, std::string& End);

    console::TListener FListener;
    console::TStopSignal FStop;
    escpos::VirtualPrinter& FPrinter;
    NetworkLimits FLimits;
    LogLine FLog;
    std::mutex FSending; // the answers and the bytes sent unasked go out one send at a time
    console::TSocket* FConnection = nullptr;
};

} // namespace cli
