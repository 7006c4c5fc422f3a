// Pages drawn as 1-bit pictures the width of the paper, and written as PNG.
#pragma once

#include "escpos/Printer.h"
#include "escpos/drawing/Bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace escpos {

class Fonts;

// Room to the right of the paper for drawer notes, when a page has any.
inline constexpr int NoteMargin = 352;

// The longest picture drawn, about 9 m of paper: a stream of feeds cannot exhaust memory.
inline constexpr int MaxPageHeight = 65536;

// Draws the page on paper PaperWidth dots wide: lines, feeds, the cut (a perforation for a
// partial cut, a solid line for a full one) and drawer notes in a margin to the right.
Bitmap RenderPage(const Page& P, int PaperWidth, Fonts& F);

// The picture as PNG bytes: 1-bit greyscale, no time or text chunks, so the same page always
// gives the same bytes.
std::string EncodePng(const Bitmap& B);

// Writes the bytes to Path; throws std::runtime_error with the reason when it cannot.
void WriteFile(const std::string& Path, const std::string& Bytes);

} // namespace escpos
