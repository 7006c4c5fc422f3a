// A printer that takes bytes as they arrive, answers status requests, logs every command in one
// line, and files each receipt as a PNG picture with its text beside it.
#pragma once

#include "escpos/Printer.h"
#include "escpos/Profile.h"
#include "escpos/decoder/Decoder.h"

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
    // "FOLDER/receipt-NNNN", each call the next number, which it gives in Number too.
    std::string NextStem(unsigned& Number);

private:
    std::string FFolder;
    std::mutex FLock;
    unsigned FNext = 1;
};

// A receipt as it was filed: its picture, its text and the commands that printed it.
struct FiledReceipt {
    unsigned Number = 0;
    std::string Png;
    std::string Text;
    std::vector<TraceEntry> Trace;
    bool Cut = false;
};

class VirtualPrinter {
public:
    using LogLine = std::function<void(const std::string& Line)>;

    // The file under the folder that keeps the NV memory (graphics and bit images) between runs,
    // as the commands that define it.
    static constexpr const char* NvFile = "nv-memory.bin";
    // The most one receipt holds in trace entries, warnings and paper items together: far more
    // than a till prints, so only a stream of junk reaches it, and is cut off there with a note.
    static constexpr std::size_t MaxReceiptHeld = 5000;

    // Receipts go to a folder of their own, or one shared with printers on other lines. The NV
    // memory a run before left in the folder is loaded; a change is written back once the run
    // of definitions that made it ends (the next other command, the connection's end, Finish).
    VirtualPrinter(Profile Model, std::string Folder, LogLine Log);
    VirtualPrinter(Profile Model, std::shared_ptr<ReceiptFolder> Folder, LogLine Log);

    // The levers moved, from any thread: gives what the printer sends unasked (automatic status
    // back), for the caller to put on the line.
    std::string SetSensors(Sensors S);

    // Takes the next bytes of the stream; gives back what the printer answers.
    std::string Feed(std::string_view Bytes);

    // The stream ended: paper printed but not cut is filed as a receipt too.
    void Finish();

    // One connection of several ended: a command it left unfinished is reported and dropped, so
    // the next connection starts clean; paper not yet cut stays for the next.
    void EndConnection();

    // The pictures written so far.
    const std::vector<std::string>& Written() const { return FWritten; }
    // What the printer holds for the paper not yet filed.
    const Printer& State() const { return FPrinter; }

    // Told of every receipt once it is filed.
    std::function<void(const FiledReceipt& R)> OnFiled;

private:
    void Apply(const Command& C);
    void File(const Page& P);
    void LoadNv();
    // Writes the NV memory aside and renames it over the file, when it changed since.
    void SaveNv();

    std::mutex FLock; // the line's thread feeds, the levers move from another
    std::shared_ptr<ReceiptFolder> FFolder;
    LogLine FLog;
    Printer FPrinter;
    Decoder FDecoder;
    std::string FReplies;
    unsigned FSavedNv = 0; // the printer's NV change count when it was last written
    std::vector<std::string> FWritten;
};

} // namespace escpos
