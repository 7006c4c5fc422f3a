#include "escpos/drawing/Fonts.h"

#include "escpos/drawing/Charset.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace escpos {

namespace {

struct FontFile {
    Face Which;
    bool Bold;
    const char* Folder; // under /usr/share/fonts/X11
    const char* Name;
    const char* Package;
    int CellWidth, CellHeight;
    int Left, Top; // where the font's own box sits in the cell
};

// Terminus has no 9 x 17 size: its 8 x 16 stands in the cell with a column to its right and a
// row above, as the printer's Font B leaves them.
constexpr FontFile Files[] = {
    {Face::A, false, "misc", "ter-u24n_unicode.pcf.gz", "xfonts-terminus", 12, 24, 0, 0},
    {Face::A, true, "misc", "ter-u24b_unicode.pcf.gz", "xfonts-terminus", 12, 24, 0, 0},
    {Face::B, false, "misc", "ter-u16n_unicode.pcf.gz", "xfonts-terminus", 9, 17, 0, 1},
    {Face::B, true, "misc", "ter-u16b_unicode.pcf.gz", "xfonts-terminus", 9, 17, 0, 1},
    {Face::Korean, false, "75dpi", "gulim24.pcf.gz", "xfonts-baekmuk", 24, 24, 0, 0},
    {Face::Korean, true, "75dpi", "gulim24b.pcf.gz", "xfonts-baekmuk", 24, 24, 0, 0},
};
constexpr std::size_t FileCount = std::size(Files);

std::size_t IndexOf(Face F, bool Bold) {
    return static_cast<std::size_t>(F) * 2 + (Bold ? 1 : 0);
}

Cell HollowBox(int Width, int Height) {
    Cell cell{Width, Height, std::vector<std::uint8_t>(static_cast<std::size_t>(Width * Height))};
    for (int y = 2; y < Height - 2; ++y)
        for (int x = 1; x < Width - 2; ++x)
            if (y == 2 || y == Height - 3 || x == 1 || x == Width - 3)
                cell.Dots[static_cast<std::size_t>(y * Width + x)] = 1;
    return cell;
}

// Source squeezed into Width x Height: each dot black when any it covers is.
Cell Squeezed(const Cell& Source, int Width, int Height) {
    Cell cell{Width, Height, std::vector<std::uint8_t>(static_cast<std::size_t>(Width * Height))};
    for (int y = 0; y < Source.Height; ++y)
        for (int x = 0; x < Source.Width; ++x)
            if (Source.At(x, y))
                cell.Dots[static_cast<std::size_t>(y * Height / Source.Height * Width +
                                                   x * Width / Source.Width)] = 1;
    return cell;
}

} // namespace

struct Fonts::Loaded {
    FT_Library Library = nullptr;
    FT_Face Faces[FileCount] = {};
    ~Loaded() {
        for (FT_Face face : Faces)
            if (face)
                FT_Done_Face(face);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

Fonts::Fonts(const std::string& Folder) : FLoaded(std::make_unique<Loaded>()) {
    if (FT_Init_FreeType(&FLoaded->Library))
        throw std::runtime_error("cannot start the font engine");
    for (std::size_t i = 0; i < FileCount; ++i) {
        const FontFile& f = Files[i];
        const std::string path =
            Folder.empty() ? std::string("/usr/share/fonts/X11/") + f.Folder + "/" + f.Name
                           : Folder + "/" + f.Name;
        FT_Face face = nullptr;
        if (!std::filesystem::exists(path) || FT_New_Face(FLoaded->Library, path.c_str(), 0, &face))
            throw std::runtime_error("font " + path + " not found (install " + f.Package + ")");
        FLoaded->Faces[IndexOf(f.Which, f.Bold)] = face;
        if (face->num_fixed_sizes > 0)
            FT_Select_Size(face, 0);
        // Terminus is indexed by Unicode; the Korean font by its own KS X 1001 codes.
        if (f.Which != Face::Korean)
            FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        else if (face->num_charmaps > 0)
            FT_Set_Charmap(face, face->charmaps[0]);
    }
}

Fonts::~Fonts() = default;

Fonts& Fonts::Shared() {
    static std::once_flag once;
    static std::unique_ptr<Fonts> shared;
    std::call_once(once, [] {
        const char* folder = std::getenv("TILLMARK_FONT_DIR");
        shared = std::make_unique<Fonts>(folder ? folder : "");
    });
    return *shared;
}

const Cell& Fonts::Glyph(Face F, bool Bold, std::uint32_t Code) {
    const std::lock_guard guard(FLock);
    const auto key = std::make_tuple(F, Bold, Code);
    auto it = FCache.find(key);
    if (it == FCache.end())
        it = FCache.emplace(key, Draw(F, Bold, Code)).first;
    return it->second;
}

Cell Fonts::Draw(Face F, bool Bold, std::uint32_t Code) {
    const FontFile& file = Files[IndexOf(F, Bold)];
    FT_Face face = FLoaded->Faces[IndexOf(F, Bold)];
    Cell cell{
        file.CellWidth, file.CellHeight,
        std::vector<std::uint8_t>(static_cast<std::size_t>(file.CellWidth * file.CellHeight))};
    if (Code == ' ')
        return cell;
    const FT_UInt index = Code ? FT_Get_Char_Index(face, Code) : 0;
    // Terminus has no half-width katakana: the double-byte font's katakana, made narrow.
    if (index == 0 && F != Face::Korean && FullWidthKatakana(Code))
        if (const std::uint16_t ks = KsCodeOf(FullWidthKatakana(Code)))
            return Squeezed(Draw(Face::Korean, Bold, ks), file.CellWidth, file.CellHeight);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO))
        return HollowBox(file.CellWidth, file.CellHeight);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    const int left = file.Left + face->glyph->bitmap_left;
    const int top = file.Top + ascent - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        for (unsigned col = 0; col < bitmap.width; ++col) {
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            const bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                ? (line[col / 8] >> (7 - col % 8)) & 1
                                : line[col] >= 128;
            const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
            if (on && x >= 0 && y >= 0 && x < cell.Width && y < cell.Height)
                cell.Dots[static_cast<std::size_t>(y * cell.Width + x)] = 1;
        }
    }
    return cell;
}

} // namespace escpos
