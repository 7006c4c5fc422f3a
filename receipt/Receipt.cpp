#include "receipt/Receipt.h"

#include "receipt/Commands.h"

#include <initializer_list>

namespace receipt {

namespace {

// Hangul words as code page 949 bytes, two per syllable, each beside its text.
namespace cp949 {
constexpr std::string_view Geumcheonjijeom = "\xB1\xDD\xC3\xB5\xC1\xF6\xC1\xA1"; // 금천지점
constexpr std::string_view Syoping = "\xBC\xEE\xC7\xCE";                         // 쇼핑
constexpr std::string_view Onsaedijiteolbaelli =
    "\xBF\xC2\xBB\xF5\xB5\xF0\xC1\xF6\xC5\xD0\xB9\xEB\xB8\xAE";    // 온새디지털밸리
constexpr std::string_view Cheung = "\xC3\xFE";                    // 층
constexpr std::string_view Saeopja = "\xBB\xE7\xBE\xF7\xC0\xDA";   // 사업자
constexpr std::string_view Sang = "\xBB\xF3";                      // 상
constexpr std::string_view Pum = "\xC7\xB0";                       // 품
constexpr std::string_view Myeong = "\xB8\xED";                    // 명
constexpr std::string_view Danga = "\xB4\xDC\xB0\xA1";             // 단가
constexpr std::string_view Suryang = "\xBC\xF6\xB7\xAE";           // 수량
constexpr std::string_view Geum = "\xB1\xDD";                      // 금
constexpr std::string_view Aek = "\xBE\xD7";                       // 액
constexpr std::string_view Ji = "\xC1\xF6";                        // 지
constexpr std::string_view Ribon = "\xB8\xAE\xBA\xBB";             // 리본
constexpr std::string_view Gita = "\xB1\xE2\xC5\xB8";              // 기타
constexpr std::string_view Hap = "\xC7\xD5";                       // 합
constexpr std::string_view Gye = "\xB0\xE8";                       // 계
constexpr std::string_view Reul = "\xB8\xA6";                      // 를
constexpr std::string_view Iyonghan = "\xC0\xCC\xBF\xEB\xC7\xD1";  // 이용한
constexpr std::string_view Peurinteu = "\xC7\xC1\xB8\xB0\xC6\xAE"; // 프린트
constexpr std::string_view Teseuteuimnida =
    "\xC5\xD7\xBD\xBA\xC6\xAE\xC0\xD4\xB4\xCF\xB4\xD9";                        // 테스트입니다
constexpr std::string_view Kwoeeribanteu = "\xC4\xF5\xB8\xAE\xB9\xDD\xC6\xAE"; // 쿼리반트
constexpr std::string_view Ju = "\xC1\xD6";                                    // 주
} // namespace cp949

std::string Cat(std::initializer_list<std::string_view> Parts) {
    std::string out;
    for (const auto part : Parts)
        out += part;
    return out;
}

std::string Spaces(std::size_t Count) {
    return std::string(Count, ' ');
}

std::string Hyphens(std::size_t Count) {
    return std::string(Count, '-');
}

std::string JoinLines(std::vector<std::string>::const_iterator First,
                      std::vector<std::string>::const_iterator Last, bool EndLast) {
    std::string out;
    for (auto it = First; it != Last; ++it) {
        out += *it;
        if (EndLast || it + 1 != Last)
            out += LineEnd;
    }
    return out;
}

} // namespace

std::vector<std::string> EnglishLines(Path On, std::string_view DateStamp) {
    return {
        "123xxstreet,xxxcity,xxxxstate        ",
        "                     TEL 9999-99-9999",
        std::string(DateStamp),
        "",
        Hyphens(37),
        "apples                         $20.00",
        "grapes                         $30.00",
        "bananas                        $40.00",
        "lemons                         $50.00",
        "oranges                        $60.00",
        "",
        Cat({EmphasisedMode, "Tax excluded.                 $200.00 "}),
        Cat({NormalMode, "Tax  5.0%                      $10.00 "}),
        // The hyphens print in normal size; the modes take effect for the total below them.
        Cat({Hyphens(37), EmphasisedMode, DoubleWidthMode}),
        "Total       $210.00",
        "",
        "",
        std::string(NormalMode),
        "Customer's payment            $250.00",
        "Change                         $40.00",
        "",
        "",
        On == Path::Serial ? "Print test using serial interface."
                           : "Print test using Parallel interface.",
        "Quorivant, Inc",
        "",
        "",
    };
}

std::vector<std::string> KoreanLines(Path On, std::string_view DateStamp) {
    using namespace cp949;
    const bool serial = On == Path::Serial;
    std::vector<std::string> lines{
        Cat({Geumcheonjijeom, Spaces(21), "(XX", Syoping, ")"}),
        Cat({Onsaedijiteolbaelli, " 1", Cheung, serial ? Spaces(19) : ""}),
        Cat({Saeopja, ":999-99-99999", Spaces(6), "Tel:999-9999"}),
        std::string(DateStamp),
        Hyphens(37),
        Cat({" ", Sang, " ", Pum, " ", Myeong, Spaces(5), Danga, Spaces(3), Suryang, Spaces(5),
             Geum, " ", Aek, serial ? Spaces(2) : ""}),
        Hyphens(37),
        Cat({"ROLL", Ji, Spaces(7), "1,000", Spaces(5), "10", Spaces(5), "10,000 "}),
        Cat({Ribon, " 2Cm", Spaces(5), "1,000", Spaces(6), "4", Spaces(6), "4,000 "}),
        Cat({Ribon, " 3Cm", Spaces(5), "2,000", Spaces(6), "4", Spaces(6), "8,000 "}),
        Cat({Gita, Spaces(9), "2,000", Spaces(6), "4", Spaces(6), "8,000 "}),
        Hyphens(37),
        Cat({Hap, Spaces(4), Gye, Spaces(22), "30,000 "}),
        serial ? Hyphens(36) + " " : Hyphens(37),
        "",
        "",
        Cat({serial ? "Serial" : "Parallel", " interface", Reul, " ", Iyonghan, " ", Peurinteu, " ",
             Teseuteuimnida, "."}),
        Cat({Kwoeeribanteu, "(", Ju, ")"}),
        "",
        "",
    };
    if (!serial)
        lines.emplace_back();
    return lines;
}

std::vector<std::string> ReceiptLines(Language Lang, Path On, std::string_view DateStamp) {
    return Lang == Language::Korean ? KoreanLines(On, DateStamp) : EnglishLines(On, DateStamp);
}

std::vector<std::string> ReceiptWrites(Language Lang, Path On, std::string_view DateStamp) {
    const auto lines = ReceiptLines(Lang, On, DateStamp);
    if (On == Path::Serial || Lang == Language::English)
        return {JoinLines(lines.begin(), lines.end(), true)};
    // Korean on the parallel path: the writer ends each line, the last one included.
    constexpr std::size_t lineByLine = 14;
    std::vector<std::string> writes(lines.begin(), lines.begin() + lineByLine);
    writes.push_back(JoinLines(lines.begin() + lineByLine, lines.end(), false));
    return writes;
}

std::vector<std::string> PrintWrites(Language Lang, Path On, std::string_view DateStamp) {
    auto writes = ReceiptWrites(Lang, On, DateStamp);
    writes.emplace_back(CutTrailer);
    return writes;
}

std::string DrawerWrite(Drawer Kind, Path On) {
    if (Kind == Drawer::Bell)
        return std::string(BellCommand);
    return On == Path::Serial ? std::string(EpsonCommand) : Cat({EpsonCommand, LineEnd});
}

std::string DeviceBytes(Path On, const std::vector<std::string>& Writes) {
    std::string out;
    for (const auto& write : Writes) {
        out += write;
        if (On == Path::Parallel)
            out += LineEnd;
    }
    return out;
}

} // namespace receipt
