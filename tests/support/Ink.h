// Where a printed page's dots fall, for the tests that check the printer's geometry by dots, and
// the bytes a client sends written as the trace shows them ("1B 44 03 00").
#pragma once

#include "escpos/Printer.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace testsupport {

inline std::string Hex(const std::string& Spaced) {
    std::string out;
    for (std::size_t at = 0; at + 1 < Spaced.size(); at += 3)
        out += static_cast<char>(std::stoi(Spaced.substr(at, 2), nullptr, 16));
    return out;
}

// A little-endian 16-bit parameter, nL nH.
inline std::string Word(int N) {
    return {static_cast<char>(N & 0xFF), static_cast<char>(N >> 8 & 0xFF)};
}

// The smallest box around the black dots; Left > Right when there are none.
struct Box {
    int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
    bool operator==(const Box&) const = default;
};
inline std::ostream& operator<<(std::ostream& Out, const Box& B) {
    return Out << "{" << B.Left << ", " << B.Top << ", " << B.Right << ", " << B.Bottom << "}";
}

// The ink in the rows From to To.
inline Box InkBox(const escpos::Bitmap& B, int From = 0, int To = 1 << 20) {
    Box box;
    for (int y = From; y < std::min(B.Height, To); ++y)
        for (int x = 0; x < B.Width; ++x)
            if (B.At(x, y)) {
                box.Left = std::min(box.Left, x);
                box.Right = std::max(box.Right, x);
                box.Top = std::min(box.Top, y);
                box.Bottom = std::max(box.Bottom, y);
            }
    return box;
}

// The first page the bytes print on the standard model, drawn; a blank strip when they print
// none, so the checks on it fail.
inline escpos::Bitmap Picture(const std::string& Bytes) {
    const escpos::Printer p = escpos::PrintAll(Bytes, *escpos::FindProfile("standard"));
    if (p.Pages().empty())
        return escpos::Bitmap(512, 64);
    return escpos::RenderPage(p.Pages().at(0), 512, escpos::Fonts::Shared());
}

} // namespace testsupport
