// The sample receipt in English and Korean, and how each attachment path splits what an action
// sends into writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace receipt {

enum class Language { Korean, English };

// The language list offers "Korean" as item 0; any other index, none selected (-1) included, is
// English.
constexpr Language LanguageOfItem(int ItemIndex) {
    return ItemIndex == 0 ? Language::Korean : Language::English;
}

// The serial path sends each write as it is; the parallel writer appends a line end to each.
enum class Path { Serial, Parallel };

enum class Drawer { Bell, Epson };

// The receipt's lines without their line ends: English 26 on both paths; Korean 20 on the serial
// path and 21 on the parallel path, as code page 949 bytes. DateStamp is the date and time line.
std::vector<std::string> EnglishLines(Path On, std::string_view DateStamp);
std::vector<std::string> KoreanLines(Path On, std::string_view DateStamp);
std::vector<std::string> ReceiptLines(Language Lang, Path On, std::string_view DateStamp);

// What Print hands to the path for the receipt, one entry per write: on the serial path the whole
// receipt at once; on the parallel path the English receipt at once (so the writer adds one more
// line end), the Korean one line by line for lines 1 to 14 and the rest in one write.
std::vector<std::string> ReceiptWrites(Language Lang, Path On, std::string_view DateStamp);

// The receipt's writes followed by the cut trailer's.
std::vector<std::string> PrintWrites(Language Lang, Path On, std::string_view DateStamp);

// What Bell or Epson hands to the path. Epson's parallel line carries its own line end, so the
// device gets two.
std::string DrawerWrite(Drawer Kind, Path On);

// The bytes that reach the device, in order, when the writes go out on the path.
std::string DeviceBytes(Path On, const std::vector<std::string>& Writes);

} // namespace receipt
