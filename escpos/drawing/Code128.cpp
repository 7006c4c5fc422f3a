#include "escpos/drawing/Code128.h"

#include "escpos/Format.h"

#include <array>
#include <cstdint>

namespace escpos {

namespace {

// Bar and space widths of each symbol character, bar first; 106 is the stop, with its final bar.
constexpr std::array<std::string_view, 107> Patterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

constexpr int StartA = 103, Shift = 98, Stop = 106;
constexpr int CodeA = 101, CodeB = 100, CodeC = 99; // as characters of the other code sets
constexpr int Fnc1 = 102, Fnc2 = 97, Fnc3 = 96;
constexpr int Fnc4InA = 101, Fnc4InB = 100;

// The symbol character of byte B in code set A or B, or -1 when the set has no such character.
int CharacterIn(char Set, std::uint8_t B) {
    if (Set == 'A')
        return B < 32 ? B + 64 : B <= 95 ? B - 32 : -1;
    return B >= 32 && B <= 127 ? B - 32 : -1;
}

// The character a "{" pair stands for in Set, or -1; Switch is set for a code set selection.
int SpecialIn(char Set, char Code, char& Switch) {
    switch (Code) {
    case 'A':
    case 'B':
    case 'C':
        Switch = Code;
        return Code == Set ? -2 : Code == 'A' ? CodeA : Code == 'B' ? CodeB : CodeC;
    case 'S':
        return Set == 'C' ? -1 : Shift;
    case '1':
        return Fnc1;
    case '2':
        return Set == 'C' ? -1 : Fnc2;
    case '3':
        return Set == 'C' ? -1 : Fnc3;
    case '4':
        return Set == 'C' ? -1 : Set == 'A' ? Fnc4InA : Fnc4InB;
    default:
        return -1;
    }
}

} // namespace

Code128 ReadCode128(std::string_view D, bool Final) {
    Code128 out;
    auto stop = [&](std::size_t At, std::string Why) {
        out.Taken = At;
        out.Error = std::move(Why);
        return out;
    };
    if (D.size() < 2 && !Final && (D.empty() || D[0] == '{')) {
        out.NeedMore = true;
        return out;
    }
    if (D.size() < 2 || D[0] != '{' || D[1] < 'A' || D[1] > 'C')
        return stop(0, "the data does not begin with a code set selection, {A, {B or {C");
    char set = D[1];
    std::vector<int> values{StartA + (set - 'A')};
    bool shifted = false;
    std::size_t i = 2;
    while (i < D.size()) {
        const auto b = static_cast<std::uint8_t>(D[i]);
        const char in = shifted ? (set == 'A' ? 'B' : 'A') : set;
        if (b == '{') {
            if (i + 1 == D.size()) {
                if (!Final) {
                    out.Taken = i;
                    out.NeedMore = true;
                    return out;
                }
                return stop(i, "the data ends inside a \"{\" pair");
            }
            const char code = D[i + 1];
            if (code == '{') {
                if (in == 'C' || CharacterIn(in, b) < 0)
                    return stop(i, Format("\"{{\" is not in code set %c", in));
                values.push_back(CharacterIn(in, b));
                out.Hri += '{';
                shifted = false;
                i += 2;
                continue;
            }
            char to = 0;
            const int special = shifted ? -1 : SpecialIn(set, code, to);
            if (special == -1)
                return stop(i, Format("\"{%c\" is no special character in code set %c", code, in));
            if (special >= 0)
                values.push_back(special);
            if (special == Shift)
                shifted = true;
            else if (to)
                set = to;
            else
                out.Hri += ' '; // function characters read as spaces
            i += 2;
            continue;
        }
        if (in == 'C') {
            if (b > 99)
                return stop(i, Format("byte %u is no pair of digits in code set C", b));
            values.push_back(b);
            out.Hri += Format("%02u", b);
        } else {
            const int value = CharacterIn(in, b);
            if (value < 0)
                return stop(i, Format("byte %u is not in code set %c", b, in));
            values.push_back(value);
            out.Hri += b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b);
        }
        shifted = false;
        ++i;
    }
    out.Taken = i;
    if (shifted && Final)
        return stop(i - 2, "the data ends after a shift");
    if (!Final)
        return out;
    int sum = values[0];
    for (std::size_t k = 1; k < values.size(); ++k)
        sum += values[k] * static_cast<int>(k);
    values.push_back(sum % 103);
    values.push_back(Stop);
    out.Values = std::move(values);
    return out;
}

std::vector<bool> Code128Modules(const std::vector<int>& Values) {
    std::vector<bool> modules;
    for (const int value : Values) {
        bool dark = true;
        for (const char width : Patterns[static_cast<std::size_t>(value)]) {
            modules.insert(modules.end(), static_cast<std::size_t>(width - '0'), dark);
            dark = !dark;
        }
    }
    return modules;
}

} // namespace escpos
