// The virtual printer's resident size over a long run of junk: a thousand receipts, each with a
// few thousand bytes of commands no printer knows, then a stream that never cuts, as the
// network printer takes them with its web page on. Its memory should follow the receipt on the
// paper, not the history: the figures after 100 and after 1000 receipts should be alike.
//   emulator_memory_bench [RECEIPTS]
#include "cli/web/WebBoard.h"
#include "escpos/Profile.h"
#include "escpos/VirtualPrinter.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const int receipts = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::string folder =
        (std::filesystem::temp_directory_path() / "tillmark-memory-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    cli::WebBoard board(console::TEndpoint{"127.0.0.1", 0});
    escpos::VirtualPrinter printer(*escpos::FindProfile("korean"), folder, nullptr);
    printer.OnFiled = [&board](const escpos::FiledReceipt& R) { board.Publish(R); };
    // Unknown commands, bytes that are no character, a line too wide, then a cut.
    std::string junk;
    for (int n = 0; n < 200; ++n)
        junk += "\x1B\xFF\x1D\xF0\x81";
    junk += "\x1D!\x77" + std::string(20, 'W') + "\n\x1DV0";
    std::printf("| after | resident KiB |\n|---|---|\n| start | %ld |\n", ResidentKiB());
    for (int n = 1; n <= receipts; ++n) {
        printer.Feed(junk);
        if (n == 1 || n == 10 || n == 100 || n == 200 || n == 500 || n == receipts)
            std::printf("| %d junk receipts | %ld |\n", n, ResidentKiB());
    }
    // Junk that never cuts, in the network printer's reads of 4 KiB.
    std::string flood;
    while (flood.size() < 4096)
        flood += "\x1B\xFF";
    for (int n = 0; n < 256; ++n)
        printer.Feed(flood);
    std::printf("| and 1 MiB more with no cut | %ld |\n", ResidentKiB());
    printer.Finish();
    std::filesystem::remove_all(folder);
    return 0;
}
