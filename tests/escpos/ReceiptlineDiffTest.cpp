// Differential test against an independent receipt encoder (the npm package receiptline, pinned in
// tests/escpos/receiptline): receipts it encodes as ESC/POS must decode here to the lines it lays
// out in its own plain-text output, every character in the same column and as wide. Skipped
// (exit 77) when node is missing or npm cannot install the package.
#include "escpos/Printer.h"
#include "escpos/Profile.h"
#include "tests/escpos/Scanner.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int SkipCode = 77;
const fs::path Package = TILLMARK_RECEIPTLINE_DIR;
fs::path Encoded; // where encode.js wrote the receipts

std::string FileText(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string RightTrimmed(std::string Text) {
    while (!Text.empty() && Text.back() == ' ')
        Text.pop_back();
    return Text;
}

// Font A columns are 12 dots wide; a glyph covers as many columns as its cell is wide, and a
// double-byte character shows as two of them in plain text.
constexpr int ColumnDots = 12;

std::string LaidOut(const escpos::Item& Line) {
    std::string out;
    int column = 0;
    for (const escpos::Glyph& glyph : Line.Glyphs) {
        // Centring and right alignment may land between columns; plain text rounds to one.
        const int start = (Line.Indent + glyph.X + ColumnDots / 2) / ColumnDots;
        const int end = start + glyph.Width / ColumnDots;
        for (; column < start; ++column)
            out += ' ';
        escpos::AppendUtf8(out, glyph.Character ? glyph.Character : U'?');
        column += glyph.DoubleByte ? 2 : 1;
        for (; column < end; ++column)
            out += ' ';
    }
    return RightTrimmed(out);
}

// The printed lines of every page, blank ones left out.
std::vector<std::string> DecodedLines(const std::string& Bytes) {
    const auto profile = escpos::FindProfile("korean");
    const escpos::Printer printer = escpos::PrintAll(Bytes, *profile);
    std::vector<std::string> lines;
    for (const escpos::Page& page : printer.Pages())
        for (const escpos::Item& item : page.Items)
            if (item.What == escpos::Item::Line)
                if (std::string line = LaidOut(item); !line.empty())
                    lines.push_back(line);
    return lines;
}

std::vector<std::string> TextLines(const std::string& Text) {
    std::vector<std::string> lines;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);)
        if (line = RightTrimmed(line); !line.empty())
            lines.push_back(line);
    return lines;
}

// A rule prints as a run of one graphics character (not ASCII) where the text shows hyphens.
bool SameLine(const std::string& Decoded, const std::string& Text) {
    if (Decoded == Text)
        return true;
    if (Text.find_first_not_of('-') != std::string::npos || Decoded.empty() ||
        static_cast<unsigned char>(Decoded[0]) < 0x80)
        return false;
    const std::size_t width = Decoded.find_first_of(Decoded[0], 1);
    if (width == std::string::npos || Decoded.size() != width * Text.size())
        return false;
    for (std::size_t at = 0; at < Decoded.size(); at += width)
        if (Decoded.compare(at, width, Decoded, 0, width) != 0)
            return false;
    return true;
}

void ExpectSameLines(const std::string& Name) {
    const std::vector<std::string> decoded = DecodedLines(FileText(Encoded / (Name + ".bin")));
    const std::vector<std::string> text = TextLines(FileText(Encoded / (Name + ".txt")));
    ASSERT_EQ(decoded.size(), text.size()) << ::testing::PrintToString(decoded);
    for (std::size_t i = 0; i < text.size(); ++i)
        EXPECT_TRUE(SameLine(decoded[i], text[i]))
            << "line " << i + 1 << "\n decoded: [" << decoded[i] << "]\n    text: [" << text[i]
            << "]";
}

TEST(Receiptline, EnglishReceiptDecodesToItsOwnLayout) {
    ExpectSameLines("english");
}

TEST(Receiptline, KoreanReceiptInCodePage949DecodesToItsOwnLayout) {
    ExpectSameLines("korean");
}

// Its own bar codes and QR code, drawn here, scan back to the data in its source (encode.js).
TEST(Receiptline, CodesItEncodesScanBackToTheirData) {
    if (!testsupport::ScannerInstalled())
        GTEST_SKIP() << "ZXingReader (zxing-cpp-tools) is not installed";
    const escpos::Printer printer =
        escpos::PrintAll(FileText(Encoded / "codes.bin"), *escpos::FindProfile("korean"));
    EXPECT_TRUE(printer.Warnings().empty()) << printer.Warnings()[0].Message;
    ASSERT_FALSE(printer.Pages().empty());
    EXPECT_EQ(testsupport::ScanItems(printer.Pages()[0]),
              (std::vector<std::string>{"RCPT-0042", "4006381333931",
                                        "https://receipts.example/r/0042"}));
}

int Shell(const std::string& Command) {
    const int status = std::system(Command.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (Shell("command -v node >/dev/null 2>&1") != 0) {
        std::puts("skipped: node is not installed");
        return SkipCode;
    }
    if (!fs::exists(Package / "node_modules" / "receiptline" / "package.json") &&
        Shell("npm ci --prefix '" + Package.string() +
              "' --no-audit --no-fund --loglevel=error >&2") != 0) {
        std::puts("skipped: npm could not install receiptline (no registry?)");
        return SkipCode;
    }
    std::string folder = (fs::temp_directory_path() / "tillmark-receiptline-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    Encoded = folder;
    if (Shell("node '" + (Package / "encode.js").string() + "' '" + folder + "'") != 0) {
        std::fputs("encode.js failed\n", stderr);
        fs::remove_all(Encoded);
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    fs::remove_all(Encoded);
    return result;
}
