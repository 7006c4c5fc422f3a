// A 1-bit picture, one byte a dot: what the renderer draws pages into, and what the printer
// keeps of the images and codes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace escpos {

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
    bool Empty() const { return Width <= 0 || Height <= 0; }
};

// Raster data as the printer takes it: rows of (Width + 7) / 8 bytes, the high bit leftmost.
// Bytes missing at the end print white.
Bitmap FromRaster(std::string_view Data, int Width, int Height);

// Column data: Width columns of (Height + 7) / 8 bytes each, top to bottom, the high bit on top.
Bitmap FromColumns(std::string_view Data, int Width, int Height);

// The picture's rows as raster data, the inverse of FromRaster.
std::string ToRaster(const Bitmap& B);

// Each dot drawn ScaleX dots wide and ScaleY dots tall.
Bitmap Scaled(const Bitmap& B, int ScaleX, int ScaleY);

// Draws Picture onto B with its top-left corner at (Left, Top); what falls outside B is lost.
void Blit(Bitmap& B, const Bitmap& Picture, int Left, int Top);

} // namespace escpos
