// Bar codes (GS k) and their settings: height (GS h), module width (GS w), where the
// human-readable text goes (GS H) and its font (GS f). The data is checked as the printer checks
// it; the symbology library draws what passes.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/Symbology.h"

#include <zint.h>

#include <algorithm>
#include <cctype>

namespace escpos {

namespace {

bool Digits(std::string_view S) {
    return std::all_of(S.begin(), S.end(), [](char c) { return c >= '0' && c <= '9'; });
}

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

// Code 128 data as the printer takes it: a code set ({A, {B, {C) first, then characters of that
// set ({C: one byte 0 to 99 for each pair of digits), "{S" for one character of the other of A
// and B, "{{" for "{". Gives the characters the code stands for, or the reason it is refused.
struct Plain {
    std::string Data, Error;
};
Plain Code128Data(std::string_view D) {
    Plain out;
    if (D.size() < 2 || D[0] != '{' || D[1] < 'A' || D[1] > 'C') {
        out.Error = "Code 128 data must start with a code set, {A, {B or {C";
        return out;
    }
    char set = 0;
    bool shift = false;
    for (std::size_t i = 0; i < D.size(); ++i) {
        auto b = static_cast<std::uint8_t>(D[i]);
        if (b == '{' && i + 1 < D.size() && D[i + 1] != '{') {
            const char code = D[++i];
            if (code >= 'A' && code <= 'C')
                set = code;
            else if (code == 'S' && set != 'C')
                shift = true;
            else if (code >= '1' && code <= '4') {
                out.Error = Format("function character {%c is not drawn here", code);
                return out;
            } else {
                out.Error = Format("{%c is no Code 128 selection", code);
                return out;
            }
            continue;
        }
        if (b == '{')
            ++i; // "{{" stands for "{"
        const char in = shift ? (set == 'A' ? 'B' : 'A') : set;
        shift = false;
        if (in == 'C') {
            if (b > 99) {
                out.Error = Format("byte %u in code set C is no pair of digits", b);
                return out;
            }
            out.Data += Format("%02u", b);
        } else if (in == 'A' ? b > 95 : (b < 32 || b > 127)) {
            out.Error = Format("byte %u is not in code set %c", b, in);
            return out;
        } else {
            out.Data += static_cast<char>(b);
        }
    }
    if (out.Data.empty())
        out.Error = "no characters after the code set";
    return out;
}

struct Checked {
    SymbolRequest Request;
    std::string Data, Error, Name;
};

// The printer's checks for each symbology, and the library's name for what passes.
Checked Check(int Type, std::string Data) {
    Checked c;
    c.Data = Data;
    const std::size_t k = Data.size();
    auto digitsOf = [&](std::initializer_list<std::size_t> Lengths, int Plain, int WithCheck,
                        std::size_t Full) {
        if (!Digits(Data))
            c.Error = "digits only";
        else if (std::find(Lengths.begin(), Lengths.end(), k) == Lengths.end())
            c.Error = Format("%zu digits is no length it takes", k);
        else
            c.Request.Symbology = k == Full ? WithCheck : Plain;
    };
    switch (Type) {
    case 0:
        c.Name = "UPC-A";
        digitsOf({11, 12}, BARCODE_UPCA, BARCODE_UPCA_CHK, 12);
        break;
    case 1:
        c.Name = "UPC-E";
        digitsOf({6, 7, 8, 11, 12}, BARCODE_UPCE, BARCODE_UPCE_CHK, 8);
        if (c.Error.empty() && k > 6 && Data[0] != '0')
            c.Error = "the number system must be 0";
        else if (c.Error.empty() && k >= 11) {
            // The UPC-A form: the printer suppresses its zeros, and checks a check digit given.
            const std::string e = ZeroSuppressed(Data);
            if (e.empty())
                c.Error = "this UPC-A number has no UPC-E form";
            c.Data = "0" + e + (k == 12 ? Data.substr(11) : "");
            c.Request.Symbology = k == 12 ? BARCODE_UPCE_CHK : BARCODE_UPCE;
            if (k == 12) {
                int sum = 0;
                for (std::size_t i = 0; i < 11; ++i)
                    sum += (Data[i] - '0') * (i % 2 ? 1 : 3);
                if ((10 - sum % 10) % 10 != Data[11] - '0')
                    c.Error = "the check digit is wrong";
            }
        }
        break;
    case 2:
        c.Name = "EAN-13";
        digitsOf({12, 13}, BARCODE_EANX, BARCODE_EANX_CHK, 13);
        break;
    case 3:
        c.Name = "EAN-8";
        digitsOf({7, 8}, BARCODE_EANX, BARCODE_EANX_CHK, 8);
        break;
    case 4: {
        c.Name = "CODE39";
        // A leading "*" is the start character; the printer adds both when they are left out.
        if (k >= 2 && Data.front() == '*' && Data.back() == '*')
            c.Data = Data.substr(1, k - 2);
        const bool valid = !c.Data.empty() && std::all_of(c.Data.begin(), c.Data.end(), [](char x) {
            return (x >= '0' && x <= '9') || (x >= 'A' && x <= 'Z') ||
                   std::string_view(" $%+-./").find(x) != std::string_view::npos;
        });
        if (!valid)
            c.Error = "only 0-9, A-Z, space and $ % + - . / between the start and stop";
        c.Request.Symbology = BARCODE_CODE39;
        break;
    }
    case 5:
        c.Name = "ITF";
        if (!Digits(Data) || k == 0)
            c.Error = "digits only";
        else if (k % 2)
            c.Error = "an odd number of digits";
        c.Request.Symbology = BARCODE_C25INTER;
        break;
    case 6: {
        c.Name = "CODABAR";
        std::transform(c.Data.begin(), c.Data.end(), c.Data.begin(),
                       [](char x) { return static_cast<char>(std::toupper(x)); });
        auto startStop = [](char x) { return x >= 'A' && x <= 'D'; };
        if (k < 2 || !startStop(c.Data.front()) || !startStop(c.Data.back()))
            c.Error = "it must start and stop with A, B, C or D";
        else if (!std::all_of(c.Data.begin() + 1, c.Data.end() - 1, [](char x) {
                     return (x >= '0' && x <= '9') ||
                            std::string_view("$+-./:").find(x) != std::string_view::npos;
                 }))
            c.Error = "only 0-9 and $ + - . / : between the start and stop";
        c.Request.Symbology = BARCODE_CODABAR;
        break;
    }
    case 7:
        c.Name = "CODE93";
        if (k == 0 || !std::all_of(Data.begin(), Data.end(),
                                   [](char x) { return static_cast<std::uint8_t>(x) < 128; }))
            c.Error = "bytes 0 to 127 only";
        c.Request.Symbology = BARCODE_CODE93;
        break;
    case 8: {
        c.Name = "CODE128";
        const Plain plain = Code128Data(Data);
        c.Data = plain.Data;
        c.Error = plain.Error;
        c.Request.Symbology = BARCODE_CODE128;
        break;
    }
    default:
        c.Name = Format("bar code type %d", Type);
        c.Error = "not drawn by this printer";
    }
    return c;
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
    const std::uint8_t m = C.At(2);
    // Form A (0 to 6) runs to its NUL; form B (65 on) gives its length.
    const bool formB = m >= 65;
    const std::string_view data =
        formB ? std::string_view(C.Bytes).substr(4)
              : std::string_view(C.Bytes).substr(3, C.Bytes.size() > 3 ? C.Bytes.size() - 4 : 0);
    const Checked checked = Check(formB ? m - 65 : m, std::string(data));
    const std::string what = checked.Name + " \"" + Readable(data) + "\"";
    std::string busy;
    if (LineBusy(C, busy))
        return busy;
    if (!checked.Error.empty())
        return Refuse(C, what + ": " + checked.Error);
    const Symbol symbol = EncodeSymbol(checked.Request, checked.Data);
    if (!symbol.Ok())
        return Refuse(C, what + ": " + symbol.Error);
    const int module = FState.BarcodeModule;
    Bitmap bars(symbol.Columns * module, FState.BarcodeHeight);
    for (int x = 0; x < symbol.Columns; ++x)
        if (symbol.Rows[0][static_cast<std::size_t>(x)])
            for (int d = 0; d < module; ++d)
                for (int y = 0; y < bars.Height; ++y)
                    bars.Set(x * module + d, y);
    if (bars.Width > Room())
        return Refuse(C, what + Format(": %d dots wide, wider than the print area of %d",
                                       bars.Width, Room()));
    const std::string hri =
        checked.Request.Symbology == BARCODE_CODE128 ? Readable(checked.Data) : symbol.Text;
    int left = FState.LeftMargin;
    if (FState.Justification == 1)
        left += (Room() - bars.Width) / 2;
    else if (FState.Justification == 2)
        left += Room() - bars.Width;
    if (FState.HriPosition & 1)
        PrintHri(C.Offset, hri, left, bars.Width);
    const std::string label = "[" + checked.Name + " \"" + Readable(checked.Data) + "\"]";
    std::string done = PrintPicture(C, std::move(bars), label, true);
    if (FState.HriPosition & 2)
        PrintHri(C.Offset, hri, left, symbol.Columns * module);
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
