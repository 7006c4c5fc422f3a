// Bar codes and 2D codes as modules, from the symbology library: the printer draws each module
// with the size it was given, as a real printer does, so only the module pattern comes from here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace escpos {

struct Symbol {
    std::string Error; // empty when the data encoded; else why the library refused it
    int Columns = 0;   // modules across
    std::vector<std::vector<bool>> Rows; // each row of modules, true for a dark one
    std::string Text; // the human-readable text the library makes of the data (1D codes)

    bool Ok() const { return Error.empty(); }
};

// The library's symbology number and its three options, as its manual names them.
struct SymbolRequest {
    int Symbology = 0;
    int Option1 = -1, Option2 = 0, Option3 = 0;
};

// Encodes Data (bytes, as sent) as Request says.
Symbol EncodeSymbol(const SymbolRequest& Request, std::string_view Data);

} // namespace escpos
