// The virtual printer's receipts on a web page: one page that lists them newest first, each
// with its picture, text and command trace, and picks up new ones as they are filed.
#pragma once

#include "console/net/Socket.h"
#include "escpos/VirtualPrinter.h"

#include <memory>
#include <string>
#include <vector>

namespace escpos {
class PrinterLevers;
}

namespace cli {

// The receipts as JSON, for the page to add: every text from the printer is a JSON string with
// <, > and & escaped, so it can never close a script.
std::string ReceiptsJson(const std::vector<escpos::FiledReceipt>& Receipts);

class WebBoard {
public:
    // Serves the page on Address (port 0: any free one), with the panel that moves Levers when
    // given; throws std::runtime_error when it cannot listen there.
    explicit WebBoard(const console::TEndpoint& Address, escpos::PrinterLevers* Levers = nullptr);
    ~WebBoard();
    WebBoard(const WebBoard&) = delete;
    WebBoard& operator=(const WebBoard&) = delete;

    // The port it listens on (the one chosen, when 0 was asked for).
    int Port() const;
    std::string Url() const;

    // Shows a filed receipt; safe from any thread.
    void Publish(const escpos::FiledReceipt& Receipt);

private:
    struct Server;
    std::unique_ptr<Server> FServer;
};

} // namespace cli
