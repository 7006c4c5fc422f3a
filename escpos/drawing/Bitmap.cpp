#include "escpos/drawing/Bitmap.h"

#include <string>

namespace escpos {

namespace {

bool Bit(std::string_view Data, std::size_t Byte, int Shift) {
    return Byte < Data.size() && (static_cast<std::uint8_t>(Data[Byte]) >> Shift & 1);
}

} // namespace

Bitmap FromRaster(std::string_view Data, int Width, int Height) {
    Bitmap b(Width, Height);
    const std::size_t stride = static_cast<std::size_t>(Width + 7) / 8;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            b.Set(x, y,
                  Bit(Data, static_cast<std::size_t>(y) * stride + std::size_t(x / 8), 7 - x % 8));
    return b;
}

Bitmap FromColumns(std::string_view Data, int Width, int Height) {
    Bitmap b(Width, Height);
    const std::size_t depth = static_cast<std::size_t>(Height + 7) / 8;
    for (int x = 0; x < Width; ++x)
        for (int y = 0; y < Height; ++y)
            b.Set(x, y,
                  Bit(Data, static_cast<std::size_t>(x) * depth + std::size_t(y / 8), 7 - y % 8));
    return b;
}

std::string ToRaster(const Bitmap& B) {
    const std::size_t stride = static_cast<std::size_t>(B.Width + 7) / 8;
    std::string out(stride * static_cast<std::size_t>(B.Height), '\0');
    for (int y = 0; y < B.Height; ++y)
        for (int x = 0; x < B.Width; ++x)
            if (B.At(x, y))
                out[static_cast<std::size_t>(y) * stride + std::size_t(x / 8)] |=
                    static_cast<char>(0x80 >> (x % 8));
    return out;
}

Bitmap Scaled(const Bitmap& B, int ScaleX, int ScaleY) {
    if (ScaleX == 1 && ScaleY == 1)
        return B;
    Bitmap out(B.Width * ScaleX, B.Height * ScaleY);
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Set(x, y, B.At(x / ScaleX, y / ScaleY));
    return out;
}

void Blit(Bitmap& B, const Bitmap& Picture, int Left, int Top) {
    for (int y = 0; y < Picture.Height; ++y)
        for (int x = 0; x < Picture.Width; ++x)
            if (Picture.At(x, y))
                B.Set(Left + x, Top + y);
}

} // namespace escpos
