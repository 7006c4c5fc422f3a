#include "escpos/decoder/BarcodeData.h"

#include "escpos/Format.h"
#include "escpos/drawing/Code128.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace escpos {

namespace {

constexpr std::size_t LongestData = 255; // function A: past this without a NUL it is no command

bool IsDigit(std::uint8_t B) {
    return B >= '0' && B <= '9';
}

// Whether byte B at Index of the data is in the symbology's range.
bool InRange(int Type, std::uint8_t B) {
    switch (Type) {
    case 4: // CODE39; "*" is handled by the caller
        return IsDigit(B) || (B >= 'A' && B <= 'Z') ||
               std::string_view(" $%+-./").find(static_cast<char>(B)) != std::string_view::npos;
    case 6: // CODABAR
        return IsDigit(B) || (B >= 'A' && B <= 'D') || (B >= 'a' && B <= 'd') ||
               std::string_view("$+-./:").find(static_cast<char>(B)) != std::string_view::npos;
    case 7: // CODE93
        return B < 128;
    default: // UPC-A, UPC-E, EAN-13, EAN-8, ITF
        return IsDigit(B);
    }
}

// How much of Data the printer takes as bar code data.
struct Scan {
    std::size_t Taken = 0; // bytes in range; the byte at Taken is out of range when Error is set
    bool NeedMore = false;
    bool Ended = false; // CODE39's stop character ended the data after Taken bytes
    std::string Error;
};

Scan ScanData(int Type, std::string_view Data, bool Final) {
    Scan scan;
    if (Type == 8) {
        const Code128 code = ReadCode128(Data, Final);
        scan.Taken = code.Taken;
        scan.NeedMore = code.NeedMore;
        scan.Error = code.Error;
        return scan;
    }
    for (const char c : Data) {
        const auto b = static_cast<std::uint8_t>(c);
        if (Type == 4 && b == '*') {
            ++scan.Taken;
            if (scan.Taken > 1) { // the first is the start character, any other the stop
                scan.Ended = true;
                return scan;
            }
            continue;
        }
        if (!InRange(Type, b)) {
            scan.Error = Format("byte %u is out of range for %s", b, BarcodeName(Type).c_str());
            return scan;
        }
        ++scan.Taken;
    }
    return scan;
}

// The lengths function B takes for each symbology.
bool LengthTaken(int Type, std::size_t N) {
    auto oneOf = [N](std::initializer_list<std::size_t> Lengths) {
        return std::find(Lengths.begin(), Lengths.end(), N) != Lengths.end();
    };
    switch (Type) {
    case 0:
        return oneOf({11, 12});
    case 1:
        return oneOf({6, 7, 8, 11, 12});
    case 2:
        return oneOf({12, 13});
    case 3:
        return oneOf({7, 8});
    case 5:
        return N >= 2 && N % 2 == 0;
    case 8:
        return N >= 2;
    default:
        return N >= 1;
    }
}

// The data as it is drawn: CODE39 without its start and stop characters, ITF of an even count.
std::string Drawn(int Type, std::string_view Data) {
    std::string data(Data);
    if (Type == 4) {
        if (!data.empty() && data.front() == '*')
            data.erase(0, 1);
        if (!data.empty() && data.back() == '*')
            data.pop_back();
    }
    if (Type == 5 && data.size() % 2)
        data.pop_back(); // the printer ignores the last digit of an odd count
    return data;
}

BarcodeRead Result(BarcodeRead::Kind What, std::size_t Length, int Type, std::string Why = {}) {
    BarcodeRead read;
    read.What = What;
    read.Length = Length;
    read.Type = Type;
    read.Why = std::move(Why);
    return read;
}

// Function A: the data runs to a NUL; UPC, EAN-13 and EAN-8 end after their full count.
BarcodeRead FunctionA(std::string_view P, int Type) {
    std::string_view data = P.substr(3);
    const std::size_t nul = data.find('\0');
    const bool final = nul != std::string_view::npos;
    if (final)
        data = data.substr(0, nul);
    else if (data.size() > LongestData)
        return Result(BarcodeRead::NoSuch, P.size(), Type);
    const Scan scan = ScanData(Type, data, final);
    if (!scan.Error.empty())
        return Result(BarcodeRead::Feed, 3 + scan.Taken, Type, scan.Error);
    static constexpr std::size_t Full[] = {12, 12, 13, 8};
    BarcodeRead read = Result(BarcodeRead::Draw, 3 + data.size() + (final ? 1 : 0), Type);
    if (scan.Ended)
        read.Length = 3 + scan.Taken;
    else if (Type <= 3 && data.size() == Full[Type])
        read.Length = 3 + data.size();
    else if (!final)
        return {};
    else if (data.empty())
        return Result(BarcodeRead::Stop, read.Length, Type, "no data: the command is ignored");
    else if (Type <= 3 && !LengthTaken(Type, data.size()))
        return Result(
            BarcodeRead::Stop, read.Length, Type,
            Format("%zu digits is no length it takes: the command is ignored", data.size()));
    read.Data = Drawn(Type, data.substr(0, read.Length - 3));
    return read;
}

// Function B: n bytes of data follow n.
BarcodeRead FunctionB(std::string_view P, int Type) {
    if (P.size() < 4)
        return {};
    const std::size_t n = static_cast<std::uint8_t>(P[3]);
    if (Type > 8) {
        if (P.size() < 4 + n)
            return {};
        return Result(BarcodeRead::Stop, 4 + n, Type, "not drawn by this printer");
    }
    if (!LengthTaken(Type, n))
        return Result(BarcodeRead::Stop, 4, Type,
                      Format("n = %zu is out of range for %s", n, BarcodeName(Type).c_str()));
    const std::string_view data = P.substr(4, std::min(n, P.size() - 4));
    const bool final = data.size() == n;
    const Scan scan = ScanData(Type, data, final);
    if (!scan.Error.empty())
        return Result(Type == 8 ? BarcodeRead::Stop : BarcodeRead::Feed, 4 + scan.Taken, Type,
                      scan.Error);
    if (!scan.Ended && !final)
        return {};
    BarcodeRead read = Result(BarcodeRead::Draw, 4 + scan.Taken, Type);
    read.Data = Drawn(Type, data.substr(0, scan.Taken));
    return read;
}

} // namespace

BarcodeRead ReadBarcode(std::string_view P) {
    if (P.size() < 3)
        return {};
    const std::uint8_t m = static_cast<std::uint8_t>(P[2]);
    if (m <= 6)
        return FunctionA(P, m);
    if (m >= 65 && m <= 79)
        return FunctionB(P, m - 65);
    return Result(BarcodeRead::NoSuch, 3, -1);
}

std::string BarcodeName(int Type) {
    static constexpr const char* Names[] = {"UPC-A", "UPC-E",   "EAN-13", "EAN-8",  "CODE39",
                                            "ITF",   "CODABAR", "CODE93", "CODE128"};
    return Type >= 0 && Type <= 8 ? Names[Type] : Format("bar code type %d", Type);
}

} // namespace escpos
