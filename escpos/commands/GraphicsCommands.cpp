// Graphics (GS ( L and GS 8 L): pictures stored in the print buffer and printed, and graphics
// kept in NV memory under two-character key codes. GS ( also carries the 2D codes (GS ( k).
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/decoder/CommandTable.h"

namespace escpos {

namespace {

std::uint8_t At(std::string_view S, std::size_t I) {
    return I < S.size() ? static_cast<std::uint8_t>(S[I]) : 0;
}

int Word(std::string_view S, std::size_t I) {
    return At(S, I) + 256 * At(S, I + 1);
}

std::string KeyName(std::uint8_t K1, std::uint8_t K2) {
    return std::string{'"', static_cast<char>(K1), static_cast<char>(K2), '"'};
}

// A picture whose data starts at From: raster rows or columns, x by y dots, scaled bx by by.
// Empty when the command holds fewer bytes than the size says.
std::optional<Bitmap> Picture(std::string_view Body, std::size_t From, bool Columns, int X, int Y) {
    const std::size_t need = Columns ? std::size_t(X) * std::size_t((Y + 7) / 8)
                                     : std::size_t((X + 7) / 8) * std::size_t(Y);
    if (X <= 0 || Y <= 0 || From + need > Body.size())
        return std::nullopt;
    const std::string_view data = Body.substr(From, need);
    return Columns ? FromColumns(data, X, Y) : FromRaster(data, X, Y);
}

// As the printer keeps them: rows of whole bytes.
std::size_t NvGraphicsBytes(const Bitmap& B) {
    return std::size_t((B.Width + 7) / 8) * std::size_t(B.Height);
}

} // namespace

std::size_t NvMemory::Bytes() const {
    std::size_t total = 0;
    for (const auto& [key, picture] : Graphics)
        total += NvGraphicsBytes(picture);
    for (const Bitmap& image : BitImages)
        total += std::size_t(image.Width) * std::size_t(image.Height) / 8;
    return total;
}

bool Printer::NvRoom(const Command& C, std::size_t Bytes, std::size_t Freed) {
    const std::size_t used = FNv.Bytes() - Freed;
    if (used + Bytes <= FProfile.NvCapacity)
        return true;
    // The printer leaves its NV memory as it was.
    Warn(C.Offset,
         Format("%s not stored: %zu bytes do not fit in the %zu bytes of NV memory, of "
                "which %zu are free",
                CommandName(C).c_str(), Bytes, FProfile.NvCapacity, FProfile.NvCapacity - used));
    return false;
}

std::string Printer::RunFunction(const Command& C) {
    const std::string_view body = C.Bytes.size() > 5 ? std::string_view(C.Bytes).substr(5) : "";
    switch (C.At(2)) {
    case 'L':
        return Graphics(C, body);
    case 'k':
        return TwoDimensionalCode(C, body);
    default:
        return StepOver(C);
    }
}

std::string Printer::RunLargeGraphics(const Command& C) {
    return Graphics(C, C.Bytes.size() > 7 ? std::string_view(C.Bytes).substr(7) : "");
}

// Body is what follows the length: m fn and the function's parameters.
std::string Printer::Graphics(const Command& C, std::string_view Body) {
    if (Body.size() < 2)
        return Refuse(C, "no function given");
    const std::uint8_t fn = At(Body, 1);
    switch (fn) {
    case 2:
    case 50: {
        if (!FState.BufferedGraphics)
            return Refuse(C, "no graphics in the print buffer");
        Bitmap picture = std::move(*FState.BufferedGraphics);
        FState.BufferedGraphics.reset();
        const std::string label = Format("[graphics %d x %d dots]", picture.Width, picture.Height);
        return PrintPicture(C, std::move(picture), label);
    }
    case 112:
    case 113: {
        // a bx by c xL xH yL yH d...: raster (112) or columns (113), each dot bx by by.
        const int bx = At(Body, 3), by = At(Body, 4);
        if ((bx != 1 && bx != 2) || (by != 1 && by != 2))
            return Refuse(C, Format("no scale %d x %d", bx, by));
        const auto picture = Picture(Body, 10, fn == 113, Word(Body, 6), Word(Body, 8));
        if (!picture)
            return Refuse(C, "the data is shorter than the picture's size");
        FState.BufferedGraphics = Scaled(*picture, bx, by);
        return Format("store graphics %d x %d dots in the print buffer",
                      FState.BufferedGraphics->Width, FState.BufferedGraphics->Height);
    }
    case 67:
    case 68: {
        // a kc1 kc2 b xL xH yL yH, then per colour c and its data; the first colour is kept.
        const std::uint8_t k1 = At(Body, 3), k2 = At(Body, 4);
        if (k1 < 32 || k1 > 126 || k2 < 32 || k2 > 126)
            return Refuse(C, "a key code is outside 32 to 126");
        const auto picture = Picture(Body, 11, fn == 68, Word(Body, 6), Word(Body, 8));
        if (!picture)
            return Refuse(C, "the data is shorter than the picture's size");
        const auto old = FNv.Graphics.find({k1, k2});
        if (!NvRoom(C, NvGraphicsBytes(*picture),
                    old == FNv.Graphics.end() ? 0 : NvGraphicsBytes(old->second)))
            return "not stored: NV memory full";
        FNv.Graphics[{k1, k2}] = *picture;
        NvChanged();
        return Format("define NV graphics %s, %d x %d dots", KeyName(k1, k2).c_str(),
                      picture->Width, picture->Height);
    }
    case 69: {
        const std::uint8_t k1 = At(Body, 2), k2 = At(Body, 3);
        const int sx = At(Body, 4), sy = At(Body, 5);
        if ((sx != 1 && sx != 2) || (sy != 1 && sy != 2))
            return Refuse(C, Format("no scale %d x %d", sx, sy));
        const auto found = FNv.Graphics.find({k1, k2});
        if (found == FNv.Graphics.end())
            return Refuse(C, "no NV graphics under key " + KeyName(k1, k2));
        Bitmap picture = Scaled(found->second, sx, sy);
        const std::string label = Format("[NV graphics %s, %d x %d dots]", KeyName(k1, k2).c_str(),
                                         picture.Width, picture.Height);
        return PrintPicture(C, std::move(picture), label);
    }
    case 65:
        FNv.Graphics.clear();
        NvChanged();
        return "delete all NV graphics";
    case 66: {
        const std::uint8_t k1 = At(Body, 2), k2 = At(Body, 3);
        if (!FNv.Graphics.erase({k1, k2}))
            return "no NV graphics under key " + KeyName(k1, k2) + " to delete";
        NvChanged();
        return "delete NV graphics " + KeyName(k1, k2);
    }
    default:
        return Format("graphics function %u: understood, not acted on", fn);
    }
}

std::string NvMemoryCommands(const NvMemory& M) {
    std::string out;
    auto put32 = [&out](std::size_t N) {
        for (int shift = 0; shift < 32; shift += 8)
            out += static_cast<char>(N >> shift & 0xFF);
    };
    auto put16 = [&out](int N) {
        out += static_cast<char>(N & 0xFF);
        out += static_cast<char>(N >> 8 & 0xFF);
    };
    for (const auto& [key, picture] : M.Graphics) {
        const std::string data = ToRaster(picture);
        out += "\x1D"
               "8L";
        put32(11 + data.size());
        out += "0C0";
        out += static_cast<char>(key.first);
        out += static_cast<char>(key.second);
        out += '\x01';
        put16(picture.Width);
        put16(picture.Height);
        out += '1';
        out += data;
    }
    if (!M.BitImages.empty()) {
        out += "\x1Cq";
        out += static_cast<char>(M.BitImages.size());
        for (const Bitmap& image : M.BitImages) {
            // Columns of y * 8 dots, as FS q takes them.
            const int x = image.Width / 8, y = image.Height / 8;
            put16(x);
            put16(y);
            for (int column = 0; column < image.Width; ++column)
                for (int row = 0; row < image.Height; row += 8) {
                    std::uint8_t byte = 0;
                    for (int bit = 0; bit < 8; ++bit)
                        if (image.At(column, row + bit))
                            byte |= static_cast<std::uint8_t>(0x80 >> bit);
                    out += static_cast<char>(byte);
                }
        }
    }
    return out;
}

} // namespace escpos
