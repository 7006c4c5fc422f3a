#include "escpos/drawing/Raster.h"

#include "escpos/drawing/Fonts.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace escpos {

namespace {

constexpr int NoteGap = 16;    // between the paper's edge and a note
constexpr int NoteHeight = 20; // a Font B line and a little air
constexpr int CutThickness = 2;
constexpr int PerforationDash = 8;

void DrawGlyph(Bitmap& B, const Glyph& G, int Left, int Top, Fonts& F) {
    if (G.Picture) {
        Blit(B, *G.Picture, Left, Top + G.Height - G.Picture->Height);
        return;
    }
    const Face face = G.DoubleByte ? Face::Korean : G.FontB ? Face::B : Face::A;
    const std::uint32_t code = G.DoubleByte ? G.KsCode : static_cast<std::uint32_t>(G.Character);
    Cell pattern;
    if (G.Pattern)
        pattern = {G.Pattern->Width, G.Pattern->Height, G.Pattern->Dots};
    const Cell& cell = G.Pattern ? pattern : F.Glyph(face, G.Emphasised, code);
    for (int y = 0; y < G.Height; ++y) {
        for (int x = 0; x < G.Advance; ++x) {
            // A rotated cell's column x shows the character's row from its bottom up.
            const int cx = (G.Rotated ? y : x) / G.WidthMul;
            const int cy = (G.Rotated ? G.Width - 1 - x : y) / G.HeightMul;
            bool black = x < G.Width && cx < cell.Width && cy < cell.Height && cell.At(cx, cy);
            if (G.Underline && y >= G.Height - G.Underline)
                black = true;
            if (G.Reverse)
                black = !black;
            if (black)
                B.Set(Left + x, Top + y);
        }
    }
}

void DrawText(Bitmap& B, const std::string& Text, int Left, int Top, Fonts& F) {
    int x = Left;
    for (const char c : Text) {
        const Cell& cell = F.Glyph(Face::B, false, static_cast<unsigned char>(c));
        for (int y = 0; y < cell.Height; ++y)
            for (int cx = 0; cx < cell.Width; ++cx)
                if (cell.At(cx, y))
                    B.Set(x + cx, Top + y);
        x += cell.Width;
    }
}

// A line turned upside down is drawn aside and turned by 180 degrees within its print area.
void DrawLine(Bitmap& B, const Item& Line, int Top, Fonts& F) {
    if (!Line.UpsideDown) {
        for (const auto& g : Line.Glyphs)
            DrawGlyph(B, g, Line.Indent + g.X, Top + Line.Box - g.Height, F);
        return;
    }
    Bitmap aside(B.Width, Line.Box);
    for (const auto& g : Line.Glyphs)
        DrawGlyph(aside, g, Line.Indent + g.X, Line.Box - g.Height, F);
    const int right = 2 * Line.AreaLeft + Line.AreaWidth - 1;
    for (int y = 0; y < aside.Height; ++y)
        for (int x = 0; x < aside.Width; ++x)
            if (aside.At(x, y))
                B.Set(right - x, Top + Line.Box - 1 - y);
}

// Logical (U, V), along the print direction and across it from the direction's starting corner,
// to the dot on the paper; false when it lies outside the area.
bool OnPaper(const PageBuffer::Part& P, int U, int V, int& X, int& Y) {
    const PageArea& a = P.Area;
    const bool across = P.Direction % 2 == 1;
    if (U < 0 || V < 0 || U >= (across ? a.Height : a.Width) || V >= (across ? a.Width : a.Height))
        return false;
    switch (P.Direction) {
    case 1: // from the lower left, upwards
        X = a.X + V, Y = a.Y + a.Height - 1 - U;
        break;
    case 2: // from the lower right, leftwards
        X = a.X + a.Width - 1 - U, Y = a.Y + a.Height - 1 - V;
        break;
    case 3: // from the upper right, downwards
        X = a.X + a.Width - 1 - V, Y = a.Y + U;
        break;
    default:
        X = a.X + U, Y = a.Y + V;
    }
    return true;
}

// The page buffer as printed: each part drawn upright aside, then turned into its area.
void DrawBuffer(Bitmap& B, const PageBuffer& Buffer, std::size_t Count, int Top, Fonts& F) {
    for (std::size_t i = 0; i < Count; ++i) {
        const PageBuffer::Part& part = Buffer.Parts[i];
        if (part.Erase) {
            for (int y = 0; y < part.Area.Height; ++y)
                for (int x = 0; x < part.Area.Width; ++x)
                    B.Set(part.Area.X + x, Top + part.Area.Y + y, false);
            continue;
        }
        const Item& item = part.What;
        Bitmap aside;
        if (item.What == Item::Image) {
            aside = *item.Picture;
        } else {
            int width = 0;
            for (const auto& g : item.Glyphs)
                width = std::max(width, g.X + g.Advance);
            aside = Bitmap(width, item.Box);
            for (const auto& g : item.Glyphs)
                DrawGlyph(aside, g, g.X, item.Box - g.Height, F);
        }
        int x = 0, y = 0;
        for (int v = 0; v < aside.Height; ++v)
            for (int u = 0; u < aside.Width; ++u)
                if (aside.At(u, v) && OnPaper(part, part.X + u, part.Y + v, x, y))
                    B.Set(x, Top + y);
    }
}

// Where each item starts, the page's height, and the notes' places, in one pass.
struct Layout {
    std::vector<int> Tops;
    std::vector<int> NoteTops;
    int Height = 0;
    bool Notes = false;
};

Layout Lay(const Page& P) {
    Layout layout;
    int y = 0, noteBottom = 0;
    for (const auto& item : P.Items) {
        layout.Tops.push_back(y);
        switch (item.What) {
        case Item::Line:
        case Item::Feed:
        case Item::Image:
        case Item::PageData:
            y = std::min(y + item.Advance, MaxPageHeight + 1);
            break;
        case Item::Cut:
            y = std::min(y + CutThickness, MaxPageHeight + 1);
            break;
        case Item::Note: {
            const int top = std::max(y, noteBottom);
            layout.NoteTops.push_back(top);
            noteBottom = std::min(top + NoteHeight, MaxPageHeight + 1);
            layout.Notes = true;
            break;
        }
        }
    }
    layout.Height = std::max({y, noteBottom, 1});
    return layout;
}

} // namespace

Bitmap RenderPage(const Page& P, int PaperWidth, Fonts& F) {
    const Layout layout = Lay(P);
    Bitmap b(PaperWidth + (layout.Notes ? NoteMargin : 0), std::min(layout.Height, MaxPageHeight));
    b.Truncated = layout.Height > MaxPageHeight;
    std::size_t note = 0;
    for (std::size_t i = 0; i < P.Items.size(); ++i) {
        const Item& item = P.Items[i];
        const int top = layout.Tops[i];
        if (top >= b.Height && item.What != Item::Note)
            break;
        switch (item.What) {
        case Item::Line:
            DrawLine(b, item, top, F);
            break;
        case Item::Feed:
            break;
        case Item::Image:
            Blit(b, *item.Picture, item.Indent, top);
            break;
        case Item::PageData:
            DrawBuffer(b, *item.Buffer, item.BufferParts, top, F);
            break;
        case Item::Cut:
            for (int x = 0; x < PaperWidth; ++x)
                if (!item.Partial || (x / PerforationDash) % 2 == 0)
                    for (int t = 0; t < CutThickness; ++t)
                        b.Set(x, top + t);
            break;
        case Item::Note: {
            const int noteTop = layout.NoteTops[note++];
            // A bar on the paper's edge marks where the pulse came.
            for (int y = noteTop; y < noteTop + NoteHeight - 2; ++y)
                b.Set(PaperWidth + NoteGap / 2, y);
            DrawText(b, item.Text, PaperWidth + NoteGap, noteTop + 1, F);
            break;
        }
        }
    }
    return b;
}

namespace {

void AppendBytes(png_structp Png, png_bytep Data, png_size_t Length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(Png));
    out->append(reinterpret_cast<const char*>(Data), Length);
}

void NoFlush(png_structp) {}

} // namespace

namespace {
// libpng reports failures by longjmp, so this frame creates no object that needs destroying;
// the caller owns the output, the row buffer and the encoder.
bool WritePng(png_structp Png, png_infop Info, const Bitmap& B, png_bytep Row, std::size_t Stride,
              std::string* Out) {
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_set_write_fn(Png, Out, AppendBytes, NoFlush);
    png_set_compression_level(Png, 9);
    png_set_IHDR(Png, Info, static_cast<png_uint_32>(B.Width), static_cast<png_uint_32>(B.Height),
                 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(Png, Info, 7087, 7087, PNG_RESOLUTION_METER); // 180 dpi
    png_write_info(Png, Info);
    for (int y = 0; y < B.Height; ++y) {
        std::fill(Row, Row + Stride, png_byte{0xFF});
        for (int x = 0; x < B.Width; ++x)
            if (B.At(x, y))
                Row[static_cast<std::size_t>(x / 8)] &= static_cast<png_byte>(~(0x80 >> (x % 8)));
        png_write_row(Png, Row);
    }
    png_write_end(Png, Info);
    return true;
}
} // namespace

std::string EncodePng(const Bitmap& B) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        throw std::runtime_error("cannot start the PNG encoder");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("cannot start the PNG encoder");
    }
    const std::size_t stride = static_cast<std::size_t>(B.Width + 7) / 8;
    std::vector<png_byte> row(stride);
    const bool written = WritePng(png, info, B, row.data(), stride, &out);
    png_destroy_write_struct(&png, &info);
    if (!written)
        throw std::runtime_error("cannot encode the PNG");
    return out;
}

void WriteFile(const std::string& Path, const std::string& Bytes) {
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw std::runtime_error("cannot write " + Path + ": " + std::strerror(errno));
    file.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + Path + ": " + std::strerror(errno));
}

} // namespace escpos
