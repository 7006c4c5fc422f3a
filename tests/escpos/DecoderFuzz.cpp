// libFuzzer target: any bytes decode without a crash or a hang, the commands cover the input
// exactly, feeding it in two pieces changes nothing, and the printer takes whatever comes.
#include "escpos/Printer.h"
#include "escpos/Profile.h"
#include "escpos/TraceJson.h"
#include "escpos/decoder/Decoder.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

bool Same(const escpos::Command& A, const escpos::Command& B) {
    return A.Id == B.Id && A.Offset == B.Offset && A.Length == B.Length && A.Bytes == B.Bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
    std::vector<escpos::Command> whole, split;
    escpos::Decoder one([&](const escpos::Command& C) { whole.push_back(C); });
    one.Feed(bytes);
    one.Finish();

    const std::size_t at = Size ? Data[0] % (Size + 1) : 0;
    escpos::Decoder two([&](const escpos::Command& C) { split.push_back(C); });
    two.Feed(bytes.substr(0, at));
    two.Feed(bytes.substr(at));
    two.Finish();

    if (whole.size() != split.size())
        std::abort();
    std::size_t covered = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (!Same(whole[i], split[i]) || whole[i].Offset != covered || whole[i].Length == 0)
            std::abort();
        covered += whole[i].Length;
    }
    if (covered != Size)
        std::abort();

    escpos::Printer printer(*escpos::FindProfile(Size % 2 ? "korean" : "standard"));
    for (const auto& command : whole)
        printer.Apply(command);
    printer.Finish();
    std::size_t text = escpos::TraceJson(printer).size();
    for (const auto& page : printer.Pages())
        text += escpos::PageText(page).size();
    return text == 0 ? -1 : 0; // -1 never happens: the trace is never empty
}
