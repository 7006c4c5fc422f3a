// The printer's character cells, drawn from bitmap fonts through FreeType: Font A 12 x 24 and
// Font B 9 x 17 from the Terminus fonts, double-byte characters 24 x 24 from the Baekmuk Gulim
// font (KS X 1001). Each has a bold face for emphasis.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace escpos {

// A character cell: Width x Height dots, one byte each, 1 where the dot is black.
struct Cell {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Dots;
    bool At(int X, int Y) const { return Dots[static_cast<std::size_t>(Y * Width + X)] != 0; }
};

enum class Face { A, B, Korean };

class Fonts {
public:
    // Loads the fonts from Folder, or from the folders Debian installs them to when it is
    // empty. Throws std::runtime_error naming the missing file and its package.
    explicit Fonts(const std::string& Folder = "");
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // The cell for Character (A, B) or for the KS X 1001 code (Korean); a hollow box when the
    // font has no glyph for it.
    const Cell& Glyph(Face F, bool Bold, std::uint32_t Code);

    // Shared fonts for the process, loaded on first use (TILLMARK_FONT_DIR overrides where).
    static Fonts& Shared();

private:
    struct Loaded;
    Cell Draw(Face F, bool Bold, std::uint32_t Code);

    std::unique_ptr<Loaded> FLoaded;
    std::mutex FLock;
    std::map<std::tuple<Face, bool, std::uint32_t>, Cell> FCache;
};

} // namespace escpos
