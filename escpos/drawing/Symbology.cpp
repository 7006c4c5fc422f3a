#include "escpos/drawing/Symbology.h"

#include <zint.h>

#include <memory>

namespace escpos {

Symbol EncodeSymbol(const SymbolRequest& Request, std::string_view Data) {
    Symbol out;
    if (Data.empty()) {
        out.Error = "no data";
        return out;
    }
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(),
                                                                      ZBarcode_Delete);
    if (!symbol) {
        out.Error = "out of memory";
        return out;
    }
    symbol->symbology = Request.Symbology;
    symbol->option_1 = Request.Option1;
    symbol->option_2 = Request.Option2;
    symbol->option_3 = Request.Option3;
    symbol->input_mode = DATA_MODE; // the bytes as they came, no character set conversion
    const int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(Data.data()),
                        static_cast<int>(Data.size()));
    if (result >= ZINT_ERROR) {
        // "Error 275: Invalid check digit ..." reads better without the library's number.
        std::string why = symbol->errtxt;
        if (const auto colon = why.find(": ");
            why.starts_with("Error ") && colon != std::string::npos)
            why.erase(0, colon + 2);
        out.Error = why.empty() ? "refused by the symbology library" : why;
        return out;
    }
    out.Columns = symbol->width;
    out.Text = reinterpret_cast<const char*>(symbol->text);
    for (int r = 0; r < symbol->rows; ++r) {
        std::vector<bool> row(static_cast<std::size_t>(symbol->width));
        for (int c = 0; c < symbol->width; ++c)
            row[static_cast<std::size_t>(c)] = symbol->encoded_data[r][c / 8] >> (c % 8) & 1;
        out.Rows.push_back(std::move(row));
    }
    return out;
}

} // namespace escpos
