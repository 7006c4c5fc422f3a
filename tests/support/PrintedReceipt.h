// What the printer shows for a receipt, for the tests that read it back: its text lines.
#pragma once

#include "receipt/Receipt.h"

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> lines;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The Korean receipt stamped with Stamp, line by line as printed on the path On (the two forms
// differ in trailing blanks, one rule, the interface line and a last line end), before the cut
// trailer.
inline std::vector<std::string> KoreanPrinted(receipt::Path On, const std::string& Stamp) {
    const bool serial = On == receipt::Path::Serial;
    std::vector<std::string> lines{
        "금천지점                     (XX쇼핑)",
        serial ? "온새디지털밸리 1층                   " : "온새디지털밸리 1층",
        "사업자:999-99-99999      Tel:999-9999",
        Stamp,
        "-------------------------------------",
        serial ? " 상 품 명     단가   수량     금 액  " : " 상 품 명     단가   수량     금 액",
        "-------------------------------------",
        "ROLL지       1,000     10     10,000 ",
        "리본 2Cm     1,000      4      4,000 ",
        "리본 3Cm     2,000      4      8,000 ",
        "기타         2,000      4      8,000 ",
        "-------------------------------------",
        "합    계                      30,000 ",
        serial ? "------------------------------------ " : "-------------------------------------",
        "",
        "",
        serial ? "Serial interface를 이용한 프린트 테스트입니다."
               : "Parallel interface를 이용한 프린트 테스트입니다.",
        "쿼리반트(주)",
        "",
        "",
    };
    if (!serial)
        lines.push_back("");
    return lines;
}

} // namespace testsupport
