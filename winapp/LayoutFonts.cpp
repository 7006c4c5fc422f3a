#include "winapp/LayoutFonts.h"

#include "console/ConsoleWindow.h"

#include <cstring>

TLayoutFonts::~TLayoutFonts() {
    for (const auto& [size, font] : FFonts)
        DeleteObject(font);
}

void TLayoutFonts::Attach(HWND Window, int Dpi) {
    FWindow = Window;
    FDpi = Dpi;
}

HFONT TLayoutFonts::Of(int PixelHeight, int Width) {
    HFONT& font = FFonts[{PixelHeight, Width}];
    if (font)
        return font;
    // A negative height asks for the character height, without the internal leading.
    auto make = [&](const char* Face) {
        return CreateFontA(-Scale(PixelHeight), Width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Face);
    };
    font = make(console::MainWindowLayout.FontFace);
    // The face is drawn from bitmaps of a few sizes; where it lacks this one, its outline twin
    // (or the system's stand-in for it) keeps the height.
    if (Measure(font, "").Height < Scale(PixelHeight)) {
        DeleteObject(font);
        font = make("Microsoft Sans Serif");
    }
    return font;
}

HFONT TLayoutFonts::Fitting(int PixelHeight, const char* Text, int Room) {
    HFONT font = Of(PixelHeight);
    // A stand-in face runs wider than the layout's; narrow it rather than cut the text off.
    for (int width = Measure(font, Text).AverageWidth;
         width > 1 && Measure(font, Text).TextWidth > Scale(Room);)
        font = Of(PixelHeight, --width);
    return font;
}

TLayoutFonts::Metrics TLayoutFonts::Measure(HFONT Font, const char* Text) const {
    HDC dc = GetDC(FWindow);
    HGDIOBJ old = SelectObject(dc, Font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SIZE extent{};
    GetTextExtentPoint32A(dc, Text, static_cast<int>(std::strlen(Text)), &extent);
    SelectObject(dc, old);
    ReleaseDC(FWindow, dc);
    return {static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading),
            static_cast<int>(metrics.tmAveCharWidth), static_cast<int>(extent.cx)};
}
