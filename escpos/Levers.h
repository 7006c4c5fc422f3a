// The virtual printer's levers: its cover, its paper, the drawer's switch and the feed button,
// moved while it runs (from the web page's panel, or a script). Each line the emulator serves has
// a printer of its own; a move reaches them all at once, and what each then sends unasked goes
// out on its own line.
#pragma once

#include "escpos/Printer.h"
#include "escpos/VirtualPrinter.h"

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace escpos {

// "cover open, paper near end, drawer closed, feed button released".
std::string DescribeSensors(const Sensors& S);

class PrinterLevers {
public:
    using Send = std::function<void(std::string_view Bytes)>;
    using LogLine = std::function<void(const std::string& Line)>;

    explicit PrinterLevers(Sensors Initial = {}, LogLine Log = {});

    // Before any line is attached: the state to start from, and where moves are logged.
    void Reset(Sensors Initial, LogLine Log);

    Sensors Get() const;
    // From any thread; a move that changes nothing tells no printer.
    void Set(const Sensors& S);

    // A printer on a line: it takes the levers as they are now, and Out puts on its line what it
    // sends unasked. Detach before either goes.
    void Attach(VirtualPrinter& Printer, Send Out);
    void Detach(VirtualPrinter& Printer);

private:
    mutable std::mutex FLock;
    Sensors FState;
    LogLine FLog;
    std::vector<std::pair<VirtualPrinter*, Send>> FLines;
};

} // namespace escpos
