// Pages drawn as 1-bit pictures the width of the paper, and written as PNG.
#pragma once

#include "escpos/Printer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace escpos {

class Fonts;

struct Bitmap {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Dots; // one byte a dot, 1 for black

    bool Truncated = false; // the page was longer than MaxPageHeight and was cut short

    Bitmap() = default;
    Bitmap(int W, int H)
        : Width(W), Height(H), Dots(static_cast<std::size_t>(W) * static_cast<std::size_t>(H)) {}
    void Set(int X, int Y, bool Black = true) {
        if (X >= 0 && Y >= 0 && X < Width && Y < Height)
            Dots[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) +
                 static_cast<std::size_t>(X)] = Black;
    }
    bool At(int X, int Y) const {
        return Dots[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) +
                    static_cast<std::size_t>(X)] != 0;
    }
};

// Room to the right of the paper for drawer notes, when a page has any.
inline constexpr int NoteMargin = 352;

// The longest picture drawn, about 9 m of paper: a stream of feeds cannot exhaust memory.
inline constexpr int MaxPageHeight = 65536;

// Draws the page on paper PaperWidth dots wide: lines, feeds, the cut (a perforation for a
// partial cut, a solid line for a full one) and drawer notes in a margin to the right.
Bitmap RenderPage(const Page& P, int PaperWidth, Fonts& F);

// The picture as PNG bytes: 1-bit greyscale, no time or text chunks, so the same page always
// gives the same bytes.
std::string EncodePng(const Bitmap& B);

// Writes the bytes to Path; throws std::runtime_error with the reason when it cannot.
void WriteFile(const std::string& Path, const std::string& Bytes);

} // namespace escpos
