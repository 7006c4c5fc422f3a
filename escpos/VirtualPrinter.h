// A printer that takes bytes as they arrive, answers status requests, logs every command in one
// line, and files each receipt as a PNG picture with its text beside it.
#pragma once

#include "escpos/Decoder.h"
#include "escpos/Printer.h"
#include "escpos/Profile.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace escpos {

class VirtualPrinter {
public:
    using LogLine = std::function<void(const std::string& Line)>;

    // Receipts go to Folder as receipt-NNNN.png and receipt-NNNN.txt, numbered on from the
    // highest number already there so earlier receipts are kept.
    VirtualPrinter(Profile Model, std::string Folder, LogLine Log);

    // Takes the next bytes of the stream; gives back what the printer answers.
    std::string Feed(std::string_view Bytes);

    // The stream ended: paper printed but not cut is filed as a receipt too.
    void Finish();

    // The pictures written so far.
    const std::vector<std::string>& Written() const { return FWritten; }

private:
    void File(const Page& P);

    std::string FFolder;
    LogLine FLog;
    Printer FPrinter;
    Decoder FDecoder;
    std::string FReplies;
    unsigned FNext = 1;
    std::vector<std::string> FWritten;
};

} // namespace escpos
