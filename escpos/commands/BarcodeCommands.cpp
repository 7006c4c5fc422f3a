// Bar codes (GS k) and their settings: height (GS h), module width (GS w), where the
// human-readable text goes (GS H) and its font (GS f). The data is checked as the printer checks
// it (BarcodeData.cpp reads it); CODE128 is drawn from the host's code sets (Code128.cpp), and
// the symbology library draws the others.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/decoder/BarcodeData.h"
#include "escpos/drawing/Code128.h"
#include "escpos/drawing/Symbology.h"

#include <zint.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>

namespace escpos {

namespace {

// UPC-E from the UPC-A form (number system 0 and ten digits), by the zero-suppression rules;
// empty when the number has no UPC-E form.
std::string ZeroSuppressed(std::string_view A) {
    const std::string_view maker = A.substr(1, 5), item = A.substr(6, 5);
    if (maker.substr(3) == "00" && maker[2] <= '2' && item.substr(0, 2) == "00")
        return std::string{maker[0], maker[1], item[2], item[3], item[4], maker[2]};
    if (maker.substr(3) == "00" && item.substr(0, 3) == "000")
        return std::string(maker.substr(0, 3)) + std::string(item.substr(3)) + "3";
    if (maker[4] == '0' && item.substr(0, 4) == "0000")
        return std::string(maker.substr(0, 4)) + item[4] + "4";
    if (item.substr(0, 4) == "0000" && item[4] >= '5')
        return std::string(maker) + item[4];
    return {};
}

// The UPC check digit of Digits: weights 3 and 1 from the left (the number system digit is odd).
char UpcCheckDigit(std::string_view Digits) {
    int sum = 0;
    for (std::size_t i = 0; i < Digits.size(); ++i)
        sum += (Digits[i] - '0') * (i % 2 ? 1 : 3);
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

struct Checked {
    SymbolRequest Request;
    std::string Data, Error;
};

Checked Passed(int Symbology, std::string Data, std::string Error = {}) {
    Checked c;
    c.Request.Symbology = Symbology;
    c.Data = std::move(Data);
    c.Error = std::move(Error);
    return c;
}

// One checker for each symbology: what the printer checks of data in range (ReadBarcode took the
// bytes), and the library's name for what passes.
Checked CheckUpcA(const std::string& Data) {
    return Passed(Data.size() == 12 ? BARCODE_UPCA_CHK : BARCODE_UPCA, Data);
}

Checked CheckUpcE(const std::string& Data) {
    const std::size_t k = Data.size();
    if (k > 6 && Data[0] != '0')
        return Passed(k == 8 ? BARCODE_UPCE_CHK : BARCODE_UPCE, Data,
                      "the number system must be 0");
    if (k < 11)
        return Passed(k == 8 ? BARCODE_UPCE_CHK : BARCODE_UPCE, Data);
    // The UPC-A form: the printer suppresses its zeros, and checks a check digit given.
    const std::string e = ZeroSuppressed(Data);
    std::string error = e.empty() ? "this UPC-A number has no UPC-E form" : "";
    if (k == 12 && UpcCheckDigit(std::string_view(Data).substr(0, 11)) != Data[11])
        error = "the check digit is wrong";
    return Passed(k == 12 ? BARCODE_UPCE_CHK : BARCODE_UPCE,
                  "0" + e + (k == 12 ? Data.substr(11) : ""), error);
}

Checked CheckEan(const std::string& Data) {
    const std::size_t k = Data.size();
    return Passed(k == 13 || k == 8 ? BARCODE_EANX_CHK : BARCODE_EANX, Data);
}

Checked CheckCode39(const std::string& Data) {
    return Passed(BARCODE_CODE39, Data,
                  Data.empty() ? "no characters between the start and stop" : "");
}

Checked CheckItf(const std::string& Data) {
    return Passed(BARCODE_C25INTER, Data, Data.empty() ? "no pair of digits" : "");
}

Checked CheckCodabar(const std::string& Data) {
    std::string upper = Data;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char x) { return static_cast<char>(std::toupper(x)); });
    auto startStop = [](char x) { return x >= 'A' && x <= 'D'; };
    std::string error;
    if (upper.size() < 2 || !startStop(upper.front()) || !startStop(upper.back()))
        error = "it must start and stop with A, B, C or D";
    else if (std::any_of(upper.begin() + 1, upper.end() - 1, startStop))
        error = "A, B, C and D only start and stop it";
    return Passed(BARCODE_CODABAR, std::move(upper), std::move(error));
}

Checked CheckCode93(const std::string& Data) {
    return Passed(BARCODE_CODE93, Data);
}

// GS k's types 0 to 6; any other the decoder lets through is CODE93.
Checked Check(int Type, const std::string& Data) {
    using Checker = Checked (*)(const std::string&);
    static constexpr Checker Checkers[] = {CheckUpcA,   CheckUpcE, CheckEan,    CheckEan,
                                           CheckCode39, CheckItf,  CheckCodabar};
    constexpr int count = static_cast<int>(std::size(Checkers));
    return Type >= 0 && Type < count ? Checkers[Type](Data) : CheckCode93(Data);
}

// The modules of a code whose data the printer took, its human-readable line, and the data it
// stands for; or why it is not drawn.
struct Drawing {
    std::vector<bool> Modules;
    std::string Hri, Shown, Error;
};
Drawing Draw(int Type, const std::string& Data) {
    Drawing out;
    if (Type == 8) {
        const Code128 code = ReadCode128(Data, true);
        out.Modules = Code128Modules(code.Values);
        out.Hri = out.Shown = code.Hri;
        return out;
    }
    const Checked checked = Check(Type, Data);
    out.Error = checked.Error;
    if (!out.Error.empty())
        return out;
    const Symbol symbol = EncodeSymbol(checked.Request, checked.Data);
    out.Error = symbol.Error;
    if (!symbol.Ok())
        return out;
    out.Modules = symbol.Rows[0];
    out.Hri = symbol.Text;
    out.Shown = checked.Data;
    return out;
}

// A command the decoder ended at a byte that is no data of its symbology: CODE128 stops there,
// the others only feed the paper.
BarcodeRead CutShort(int Type, std::string_view Data) {
    BarcodeRead read;
    read.What = Type == 8 ? BarcodeRead::Stop : BarcodeRead::Feed;
    read.Why = Type == 8 && Data.empty()
                   ? "the data does not begin with a code set selection, {A, {B or {C"
                   : Format("byte %zu of the data is out of the range %s takes", Data.size() + 1,
                            BarcodeName(Type).c_str());
    return read;
}

// The printable form of Data, for the label and the human-readable line.
std::string Readable(std::string_view Data) {
    std::string out;
    for (const char x : Data)
        out += static_cast<std::uint8_t>(x) < 0x20 || x == 0x7F ? ' ' : x;
    return out;
}

} // namespace

std::string Printer::SetBarcodeStyle(const Command& C) {
    const std::uint8_t n = C.At(2);
    switch (C.At(1)) {
    case 'h':
        if (n == 0)
            return "height 0: ignored";
        FState.BarcodeHeight = n;
        return Format("bar code height %u dots", n);
    case 'w':
        if (n < 2 || n > 6)
            return Format("module width %u: ignored (2 to 6)", n);
        FState.BarcodeModule = n;
        return Format("bar code module %u dots", n);
    case 'H': {
        static constexpr const char* Places[] = {"not printed", "above", "below",
                                                 "above and below"};
        if (Choice(n) > 3)
            return Format("HRI position %u: ignored", n);
        FState.HriPosition = Choice(n);
        return std::string("HRI ") + Places[Choice(n)];
    }
    default: // 'f'
        if (Choice(n) > 1)
            return Format("HRI font %u: ignored", n);
        FState.HriFontB = Choice(n) == 1;
        return FState.HriFontB ? "HRI in font B" : "HRI in font A";
    }
}

std::string Printer::PrintBarcode(const Command& C) {
    BarcodeRead read = ReadBarcode(C.Bytes);
    const std::uint8_t m = C.At(2);
    const std::size_t header = m >= 65 ? 4 : 3;
    const int type = m >= 65 ? m - 65 : m;
    std::string_view data = std::string_view(C.Bytes).substr(std::min(header, C.Length));
    if (header == 3 && data.ends_with('\0'))
        data.remove_suffix(1); // function A's terminator
    if (read.What == BarcodeRead::More)
        read = CutShort(type, data);
    const std::string what = BarcodeName(type) + " \"" + Readable(data) + "\"";
    std::string busy;
    if (LineBusy(C, busy))
        return busy;
    // Data out of range and a code wider than the print area only feed the paper.
    auto feedOnly = [&](const std::string& Why) {
        std::string done = Refuse(C, what + ": " + Why);
        const int hri = FState.HriFontB ? FontBHeight : FontAHeight;
        Feed(C.Offset, UnitsOf(FState.BarcodeHeight + ((FState.HriPosition & 1) ? hri : 0) +
                               ((FState.HriPosition & 2) ? hri : 0)));
        return done + "; paper fed";
    };
    if (read.What == BarcodeRead::Stop)
        return Refuse(C, what + ": " + read.Why + "; what follows is normal data");
    if (read.What == BarcodeRead::Feed)
        return feedOnly(read.Why);
    const Drawing drawing = Draw(type, read.Data);
    if (!drawing.Error.empty())
        return feedOnly(drawing.Error);
    const std::vector<bool>& modules = drawing.Modules;
    const int module = FState.BarcodeModule;
    const int width = static_cast<int>(modules.size()) * module;
    if (width > Room())
        return feedOnly(Format("%d dots wide, wider than the print area of %d", width, Room()));
    Bitmap bars(width, FState.BarcodeHeight);
    for (std::size_t x = 0; x < modules.size(); ++x)
        if (modules[x])
            for (int d = 0; d < module; ++d)
                for (int y = 0; y < bars.Height; ++y)
                    bars.Set(static_cast<int>(x) * module + d, y);
    const int left = FState.LeftMargin + JustifiedOffset(FState.Justification, Room(), width);
    if (FState.HriPosition & 1)
        PrintHri(C.Offset, drawing.Hri, left, width);
    const std::string label = "[" + BarcodeName(type) + " \"" + Readable(drawing.Shown) + "\"]";
    std::string done = PrintPicture(C, std::move(bars), label, true);
    if (FState.HriPosition & 2)
        PrintHri(C.Offset, drawing.Hri, left, width);
    return done;
}

void Printer::PrintHri(std::size_t Offset, const std::string& Text, int Left, int Width) {
    Item line;
    line.What = Item::Line;
    line.Offset = Offset;
    const int cell = FState.HriFontB ? FontBWidth : FontAWidth;
    int x = 0;
    for (const char c : Text) {
        Glyph g;
        g.Character = static_cast<unsigned char>(c);
        g.FontB = FState.HriFontB;
        g.Width = g.Advance = cell;
        g.Height = FState.HriFontB ? FontBHeight : FontAHeight;
        g.X = x;
        x += cell;
        line.Box = g.Height;
        line.Glyphs.push_back(g);
    }
    if (FState.PageMode)
        return PlaceHri(std::move(line), Width);
    line.Indent = std::clamp(Left + (Width - x) / 2, 0, std::max(0, FProfile.Width - x));
    line.Text = Text;
    line.Advance = line.Box;
    Current().Items.push_back(std::move(line));
}

} // namespace escpos
