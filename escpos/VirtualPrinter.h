// A printer that takes bytes as they arrive, answers status requests, logs every command in one
// line, and files each receipt as a PNG picture with its text beside it.
#pragma once

#include "escpos/Decoder.h"
#include "escpos/Printer.h"
#include "escpos/Profile.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace escpos {

// Where receipts are filed: receipt-NNNN.png and receipt-NNNN.txt, numbered on from the highest
// number already there so earlier receipts are kept. Printers on several lines may share one.
class ReceiptFolder {
public:
    explicit ReceiptFolder(std::string Folder);
    const std::string& Path() const { return FFolder; }
    // "FOLDER/receipt-NNNN", each call the next number.
    std::string NextStem();

private:
    std::string FFolder;
    std::mutex FLock;
    unsigned FNext = 1;
};

class VirtualPrinter {
public:
    using LogLine = std::function<void(const std::string& Line)>;

    // Receipts go to a folder of their own.
    VirtualPrinter(Profile Model, std::string Folder, LogLine Log);
    VirtualPrinter(Profile Model, std::shared_ptr<ReceiptFolder> Folder, LogLine Log);

    void SetSensors(Sensors S) { FPrinter.SetSensors(S); }

    // Takes the next bytes of the stream; gives back what the printer answers.
    std::string Feed(std::string_view Bytes);

    // The stream ended: paper printed but not cut is filed as a receipt too.
    void Finish();

    // One connection of several ended: a command it left unfinished is reported and dropped, so
    // the next connection starts clean; paper not yet cut stays for the next.
    void EndConnection();

    // The pictures written so far.
    const std::vector<std::string>& Written() const { return FWritten; }

private:
    void File(const Page& P);

    std::shared_ptr<ReceiptFolder> FFolder;
    LogLine FLog;
    Printer FPrinter;
    Decoder FDecoder;
    std::string FReplies;
    std::vector<std::string> FWritten;
};

} // namespace escpos
