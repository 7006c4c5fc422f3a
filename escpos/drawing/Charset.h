// From printer bytes to Unicode: the single-byte code pages (ESC t), the international character
// sets (ESC R) and code page 949 for the double-byte mode.
#pragma once

#include <cstdint>

namespace escpos {

// The character that byte B (0x20 and above) prints as under code page Page and international
// set Set; 0 when Page is not one this printer has.
char32_t SingleByteCharacter(std::uint8_t B, unsigned Page, unsigned Set);

// True when Page (ESC t n) is a code page this printer has.
bool HasCodePage(unsigned Page);

// True when Set (ESC R n) is an international character set this printer has.
bool HasCharacterSet(unsigned Set);

// Code page 949: which bytes start a double-byte character, which may follow, and the character
// the pair stands for (0 when the pair is not one).
bool IsCp949Lead(std::uint8_t B);
bool IsCp949Trail(std::uint8_t B);
char32_t Cp949Character(std::uint8_t Lead, std::uint8_t Trail);

// The KS X 1001 code (row and cell each 0x21..0x7E) a code page 949 pair stands for, as the
// bitmap font indexes it; 0 for the extended Hangul that only code page 949 has.
std::uint16_t KsCode(std::uint8_t Lead, std::uint8_t Trail);

// The wide form of a half-width katakana (U+FF61 to U+FF9F), 0 for any other character.
char32_t FullWidthKatakana(char32_t C);

// The KS X 1001 code of a character the double-byte font has, 0 when it has none.
std::uint16_t KsCodeOf(char32_t C);

} // namespace escpos
