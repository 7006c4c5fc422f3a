#include "escpos/drawing/Charset.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>

namespace escpos {

namespace {

// One character from Bytes in Encoding, through iconv; 0 when it names none.
char32_t Convert(const char* Encoding, const char* Bytes, std::size_t Length) {
    iconv_t cd = iconv_open("UTF-32LE", Encoding);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    char in[4] = {};
    std::memcpy(in, Bytes, Length);
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = Length, outLeft = sizeof out;
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || outLeft != sizeof out - 4)
        return 0;
    return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
           char32_t(out[3]) << 24;
}

struct PageName {
    unsigned Page;
    const char* Encoding;
};
// The TM-T88's pages. Page 1 holds the JIS X 0201 katakana at A1 to DF and the rules and corners
// at 8F to 9F (its other graphics are not drawn here); 254 and 255 are space pages, every upper
// byte a space.
constexpr PageName Pages[] = {
    {0, "CP437"},   {1, "SHIFT_JIS"}, {2, "CP850"},  {3, "CP860"},  {4, "CP863"},   {5, "CP865"},
    {16, "CP1252"}, {17, "CP866"},    {18, "CP852"}, {19, "CP858"}, {254, nullptr}, {255, nullptr},
};
constexpr char32_t KatakanaRules[] = U"┼┴┬┤├▔─│▕┌┐└┘╭╮╰╯"; // 8F to 9F

constexpr bool SpacePage(unsigned Page) {
    return Page == 254 || Page == 255;
}

const PageName* Find(unsigned Page) {
    for (const auto& p : Pages)
        if (p.Page == Page)
            return &p;
    return nullptr;
}

// The upper halves of the code pages, converted once.
const std::array<char32_t, 128>& UpperHalf(unsigned Page) {
    static std::mutex lock;
    static std::map<unsigned, std::array<char32_t, 128>> tables;
    const std::lock_guard guard(lock);
    auto [it, added] = tables.try_emplace(Page);
    if (added) {
        for (unsigned b = 0x80; b < 0x100; ++b) {
            const char c = static_cast<char>(b);
            if (Page == 1 && b >= 0x8F && b <= 0x9F)
                it->second[b - 0x80] = KatakanaRules[b - 0x8F];
            else if (Page != 1 || (b >= 0xA1 && b <= 0xDF))
                it->second[b - 0x80] = Convert(Find(Page)->Encoding, &c, 1);
        }
    }
    return it->second;
}

// The twelve positions each international set replaces, and what it puts there.
constexpr std::uint8_t Replaced[12] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                       0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
constexpr char32_t Sets[][12] = {
    {U'#', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'}, // USA
    {U'#', U'$', U'à', U'°', U'ç', U'§', U'^', U'`', U'é', U'ù', U'è', U'¨'},  // France
    {U'#', U'$', U'§', U'Ä', U'Ö', U'Ü', U'^', U'`', U'ä', U'ö', U'ü', U'ß'},  // Germany
    {U'£', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'}, // UK
    {U'#', U'$', U'@', U'Æ', U'Ø', U'Å', U'^', U'`', U'æ', U'ø', U'å', U'~'},  // Denmark I
    {U'#', U'¤', U'É', U'Ä', U'Ö', U'Å', U'Ü', U'é', U'ä', U'ö', U'å', U'ü'},  // Sweden
    {U'#', U'$', U'@', U'°', U'\\', U'é', U'^', U'ù', U'à', U'ò', U'è', U'ì'}, // Italy
    {U'₧', U'$', U'@', U'¡', U'Ñ', U'¿', U'^', U'`', U'¨', U'ñ', U'}', U'~'},  // Spain I
    {U'#', U'$', U'@', U'[', U'¥', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // Japan
    {U'#', U'¤', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},  // Norway
    {U'#', U'$', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},  // Denmark II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'`', U'í', U'ñ', U'ó', U'ú'},  // Spain II
    {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'ü', U'í', U'ñ', U'ó', U'ú'},  // Latin America
    {U'#', U'$', U'@', U'[', U'₩', U']', U'^', U'`', U'{', U'|', U'}', U'~'},  // Korea
};

} // namespace

bool HasCodePage(unsigned Page) {
    return Find(Page) != nullptr;
}

bool HasCharacterSet(unsigned Set) {
    return Set < std::size(Sets);
}

char32_t SingleByteCharacter(std::uint8_t B, unsigned Page, unsigned Set) {
    if (B < 0x20 || B == 0x7F)
        return 0;
    if (B < 0x80) {
        if (HasCharacterSet(Set))
            for (std::size_t i = 0; i < std::size(Replaced); ++i)
                if (Replaced[i] == B)
                    return Sets[Set][i];
        return B;
    }
    if (!HasCodePage(Page))
        return 0;
    if (SpacePage(Page))
        return U' ';
    return UpperHalf(Page)[B - 0x80];
}

bool IsCp949Lead(std::uint8_t B) {
    return B >= 0x81 && B <= 0xFE;
}

bool IsCp949Trail(std::uint8_t B) {
    return (B >= 0x41 && B <= 0x5A) || (B >= 0x61 && B <= 0x7A) || (B >= 0x81 && B <= 0xFE);
}

char32_t Cp949Character(std::uint8_t Lead, std::uint8_t Trail) {
    if (!IsCp949Lead(Lead) || !IsCp949Trail(Trail))
        return 0;
    static std::mutex lock;
    static std::map<std::uint16_t, char32_t> cache;
    const std::uint16_t key = static_cast<std::uint16_t>(Lead << 8 | Trail);
    const std::lock_guard guard(lock);
    auto [it, added] = cache.try_emplace(key, 0);
    if (added) {
        const char pair[2] = {static_cast<char>(Lead), static_cast<char>(Trail)};
        it->second = Convert("CP949", pair, 2);
    }
    return it->second;
}

std::uint16_t KsCode(std::uint8_t Lead, std::uint8_t Trail) {
    if (Lead < 0xA1 || Lead > 0xFE || Trail < 0xA1 || Trail > 0xFE)
        return 0;
    return static_cast<std::uint16_t>((Lead - 0x80) << 8 | (Trail - 0x80));
}

char32_t FullWidthKatakana(char32_t C) {
    // U+FF61 to U+FF9F in order: their wide forms.
    static constexpr char32_t Wide[] =
        U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
        U"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
    static_assert(std::size(Wide) == 0xFF9F - 0xFF61 + 2);
    return C >= 0xFF61 && C <= 0xFF9F ? Wide[C - 0xFF61] : 0;
}

std::uint16_t KsCodeOf(char32_t C) {
    iconv_t cd = iconv_open("EUC-KR", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    char in[4] = {static_cast<char>(C & 0xFF), static_cast<char>(C >> 8 & 0xFF),
                  static_cast<char>(C >> 16 & 0xFF), static_cast<char>(C >> 24 & 0xFF)};
    unsigned char out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = sizeof in, outLeft = sizeof out;
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || outLeft != sizeof out - 2)
        return 0;
    return KsCode(out[0], out[1]);
}

} // namespace escpos
