// Bit images: ESC * column blocks that print within a line, GS v 0 raster images, the numbered
// NV bit images of FS q and FS p, and the downloaded bit image of GS * and GS /.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/decoder/CommandTable.h"

#include <algorithm>

namespace escpos {

namespace {

std::string_view Payload(const Command& C, std::size_t From) {
    return From < C.Bytes.size() ? std::string_view(C.Bytes).substr(From) : std::string_view();
}

// The scale modes of GS v 0, FS p and GS /: normal, double width, double height, quadruple.
struct Scale {
    int X = 1, Y = 1;
};
std::optional<Scale> ScaleMode(std::uint8_t M) {
    const int m = Choice(M);
    if (m > 3)
        return std::nullopt;
    return Scale{m & 1 ? 2 : 1, m & 2 ? 2 : 1};
}

// Keeps the first Columns columns: what lies past the print area is never scaled or kept.
Bitmap Cropped(const Bitmap& B, int Columns) {
    if (Columns >= B.Width)
        return B;
    Bitmap out(std::max(Columns, 0), B.Height);
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Set(x, y, B.At(x, y));
    return out;
}

} // namespace

bool Printer::LineBusy(const Command& C, std::string& Detail) {
    // Page mode puts pictures on the line among the text.
    if (FLine.Glyphs.empty() || FState.PageMode)
        return false;
    Detail = Refuse(C, "text is waiting in the line buffer");
    return true;
}

std::string Printer::Refuse(const Command& C, const std::string& Why) {
    const std::string name = CommandName(C);
    Warn(C.Offset, name + " not printed: " + Why);
    return "not printed: " + Why;
}

std::string Printer::PrintPicture(const Command& C, Bitmap Picture, const std::string& Label,
                                  bool Whole) {
    if (FState.PageMode)
        return PagePicture(C, std::move(Picture), Label, Whole);
    std::string busy;
    if (LineBusy(C, busy))
        return busy;
    if (Picture.Empty())
        return Refuse(C, "the picture is empty");
    const int room = Room();
    if (Picture.Width > room) {
        if (Whole)
            return Refuse(
                C, Format("%d dots wide, wider than the print area of %d", Picture.Width, room));
        Warn(C.Offset, Format("%s is %d dots wide: the print area keeps %d", CommandName(C).c_str(),
                              Picture.Width, room));
        Picture = Cropped(Picture, room);
    }
    Item image;
    image.What = Item::Image;
    image.Offset = C.Offset;
    image.Indent = FState.LeftMargin + JustifiedOffset(FState.Justification, room, Picture.Width);
    image.Advance = Picture.Height;
    image.Text = Label;
    image.Picture = std::make_shared<const Bitmap>(std::move(Picture));
    Log(C.Offset, "print " + Label);
    Current().Items.push_back(std::move(image));
    return "print " + Label;
}

std::string Printer::PrintBitImage(const Command& C) {
    // 8-dot modes print each bit three dots tall; single density prints each column twice.
    const std::uint8_t m = C.At(2);
    const bool tall = m >= 32;
    const int columns = C.At(3) + 256 * C.At(4);
    const Scale scale{m == 0 || m == 32 ? 2 : 1, tall ? 1 : 3};
    const Bitmap block = FromColumns(Payload(C, 5), columns, tall ? 24 : 8);
    Glyph g;
    g.Picture = std::make_shared<const Bitmap>(
        Scaled(Cropped(block, (Room() + scale.X - 1) / scale.X), scale.X, scale.Y));
    g.Width = g.Advance = std::min(g.Picture->Width, Room());
    g.Height = FontAHeight;
    if (g.Width <= 0)
        return "no columns: nothing printed";
    const int width = g.Width, height = g.Picture->Height;
    AddToLine(C.Offset, std::move(g));
    // The line's text marks the picture, as a raster image's does.
    FLine.Text += Format("[bit image %d x %d dots]", width, height);
    return Format("bit image, %d columns, %d-dot %s density", columns, tall ? 24 : 8,
                  scale.X == 2 ? "single" : "double");
}

std::string Printer::PrintRasterImage(const Command& C) {
    if (FState.PageMode)
        return Refuse(C, "not available in page mode");
    const auto scale = ScaleMode(C.At(3));
    if (!scale)
        return Refuse(C, Format("no scale mode %u", C.At(3)));
    const int bytes = C.At(4) + 256 * C.At(5), rows = C.At(6) + 256 * C.At(7);
    const Bitmap raster =
        Cropped(FromRaster(Payload(C, 8), bytes * 8, rows), (Room() + scale->X - 1) / scale->X);
    return PrintPicture(C, Scaled(raster, scale->X, scale->Y),
                        Format("[image %d x %d dots]", bytes * 8 * scale->X, rows * scale->Y));
}

std::string Printer::DefineNvBitImages(const Command& C) {
    // FS q n, then n images of x * 8 by y * 8 dots in columns; all earlier ones are replaced.
    const int count = C.At(2);
    const std::string_view all = Payload(C, 0);
    std::size_t at = 3, bytes = 0;
    for (int i = 0; i < count && at + 4 <= all.size(); ++i) {
        const std::size_t size = std::size_t(C.At(at) + 256 * C.At(at + 1)) *
                                 std::size_t(C.At(at + 2) + 256 * C.At(at + 3)) * 8;
        bytes += size;
        at += 4 + size;
    }
    std::size_t freed = 0;
    for (const Bitmap& image : FNv.BitImages)
        freed += std::size_t(image.Width) * std::size_t(image.Height) / 8;
    if (!NvRoom(C, bytes, freed))
        return "not stored: NV memory full";
    std::vector<Bitmap> images;
    at = 3;
    for (int i = 0; i < count && at + 4 <= all.size(); ++i) {
        const int x = C.At(at) + 256 * C.At(at + 1), y = C.At(at + 2) + 256 * C.At(at + 3);
        const std::size_t size = std::size_t(x) * std::size_t(y) * 8;
        images.push_back(FromColumns(all.substr(at + 4, size), x * 8, y * 8));
        at += 4 + size;
    }
    FNv.BitImages = std::move(images);
    ClearUserCharacters(); // they share the memory FS q writes
    NvChanged();
    return Format("define %d NV bit image(s)", count);
}

std::string Printer::PrintNvBitImage(const Command& C) {
    if (FState.PageMode)
        return Refuse(C, "not available in page mode");
    const int n = C.At(2);
    const auto scale = ScaleMode(C.At(3));
    if (!scale)
        return Refuse(C, Format("no scale mode %u", C.At(3)));
    if (n < 1 || n > static_cast<int>(FNv.BitImages.size()))
        return Refuse(C, Format("no NV bit image %d is defined", n));
    const Bitmap& image = FNv.BitImages[static_cast<std::size_t>(n - 1)];
    return PrintPicture(C, Scaled(image, scale->X, scale->Y),
                        Format("[NV bit image %d, %d x %d dots]", n, image.Width * scale->X,
                               image.Height * scale->Y));
}

std::string Printer::DefineDownloadedImage(const Command& C) {
    const int x = C.At(2), y = C.At(3);
    FState.Downloaded = FromColumns(Payload(C, 4), x * 8, y * 8);
    ClearUserCharacters(); // the image takes their memory
    return Format("define downloaded bit image, %d x %d dots", x * 8, y * 8);
}

std::string Printer::PrintDownloadedImage(const Command& C) {
    const auto scale = ScaleMode(C.At(2));
    if (!scale)
        return Refuse(C, Format("no scale mode %u", C.At(2)));
    if (!FState.Downloaded)
        return Refuse(C, "no downloaded bit image is defined");
    const Bitmap& image = *FState.Downloaded;
    return PrintPicture(C, Scaled(image, scale->X, scale->Y),
                        Format("[downloaded bit image, %d x %d dots]", image.Width * scale->X,
                               image.Height * scale->Y));
}

} // namespace escpos
