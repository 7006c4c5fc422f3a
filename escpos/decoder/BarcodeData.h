// GS k as the printer reads it, byte by byte: where the command ends and what it makes of the
// data. Data the printer cannot take ends the command at that byte, and what follows is normal
// data; the decoder cuts the command there, and the printer draws, feeds or does nothing by it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace escpos {

struct BarcodeRead {
    enum Kind {
        More,   // not enough bytes to tell yet
        Draw,   // the command ends after Length bytes and its data is drawn
        Feed,   // the data is out of range: the printer only feeds the paper
        Stop,   // the printer stops processing the command, and prints nothing
        NoSuch, // no form of GS k: Length bytes are skipped as unknown
    } What = More;
    std::size_t Length = 0; // of the command; the bytes after it are normal data
    int Type = 0;           // the symbology: m of function A (0 UPC-A ... 8 CODE128)
    std::string Data;       // the data to draw: without CODE39's start and stop, ITF even
    std::string Why;        // Feed, Stop: the reason
};

// Reads Bytes, a GS k command as far as it has come (GS k m ...). The decoder measures the
// command with it; the printer reads the command it cut again, as the bytes it has are all it
// takes (a short read there is data that ended at a byte the printer could not take).
BarcodeRead ReadBarcode(std::string_view Bytes);

// The symbologies' names by Type: "UPC-A", "CODE128" ...
std::string BarcodeName(int Type);

} // namespace escpos
