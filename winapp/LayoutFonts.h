// The layout's face at the character heights its controls ask for, made once each and deleted
// with the window.
#pragma once

#include <windows.h>

#include <map>
#include <utility>

class TLayoutFonts {
public:
    TLayoutFonts() = default;
    ~TLayoutFonts();
    TLayoutFonts(const TLayoutFonts&) = delete;
    TLayoutFonts& operator=(const TLayoutFonts&) = delete;

    // Measures on Window's screen, at Dpi pixels per inch (the layout's are 96).
    void Attach(HWND Window, int Dpi);
    // The face at a character height in layout pixels, at its own width or the average width given.
    HFONT Of(int PixelHeight, int Width = 0);
    // The face at that height, narrowed until Text fits in Room layout pixels.
    HFONT Fitting(int PixelHeight, const char* Text, int Room);

private:
    int Scale(int Pixels) const { return MulDiv(Pixels, FDpi, 96); }
    // The font's character height and average character width, and Text's width in it.
    struct Metrics {
        int Height, AverageWidth, TextWidth;
    };
    Metrics Measure(HFONT Font, const char* Text) const;

    HWND FWindow = nullptr;
    int FDpi = 96;
    std::map<std::pair<int, int>, HFONT> FFonts; // by height and width
};
