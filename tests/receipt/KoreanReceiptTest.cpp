#include "receipt/Receipt.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif
#include <string>
#include <vector>

namespace {

using receipt::Language;
using receipt::Path;

const std::string Stamp = "2026/12/07  01:05 PM";

// Decodes code page 949 with the system's converter, so the bytes are checked against the Hangul
// text by a decoder that is not ours; throws on bytes that are not valid code page 949.
#ifdef _WIN32
std::string DecodeCp949(const std::string& Bytes) {
    if (Bytes.empty())
        return {};
    const int size = static_cast<int>(Bytes.size());
    std::wstring wide(Bytes.size(), L'\0');
    const int chars =
        MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, Bytes.data(), size, wide.data(), size);
    if (chars == 0)
        throw std::runtime_error("not code page 949, error " + std::to_string(GetLastError()));
    std::string out(static_cast<std::size_t>(chars) * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, out.data(),
                                          static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes));
    return out;
}
#else
std::string DecodeCp949(const std::string& Bytes) {
    const iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no CP949 converter");
    std::string in = Bytes;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0)
        throw std::runtime_error("not code page 949, errno " + std::to_string(error));
    out.resize(out.size() - outLeft);
    return out;
}
#endif

struct Line {
    std::string Text; // UTF-8
    std::size_t Size; // code page 949 bytes, without the line end
};

// The serial form, as printed.
std::vector<Line> SerialGolden() {
    return {
        {"금천지점                     (XX쇼핑)", 37},
        {"온새디지털밸리 1층                   ", 37},
        {"사업자:999-99-99999      Tel:999-9999", 37},
        {Stamp, 20},
        {"-------------------------------------", 37},
        {" 상 품 명     단가   수량     금 액  ", 37},
        {"-------------------------------------", 37},
        {"ROLL지       1,000     10     10,000 ", 37},
        {"리본 2Cm     1,000      4      4,000 ", 37},
        {"리본 3Cm     2,000      4      8,000 ", 37},
        {"기타         2,000      4      8,000 ", 37},
        {"-------------------------------------", 37},
        {"합    계                      30,000 ", 37},
        {"------------------------------------ ", 37},
        {"", 0},
        {"", 0},
        {"Serial interface를 이용한 프린트 테스트입니다.", 46},
        {"쿼리반트(주)", 12},
        {"", 0},
        {"", 0},
    };
}

// The parallel form: the serial one with these lines replaced and a 21st, empty line.
std::vector<Line> ParallelGolden() {
    auto lines = SerialGolden();
    lines[1] = {"온새디지털밸리 1층", 18};
    lines[5] = {" 상 품 명     단가   수량     금 액", 35};
    lines[13] = {"-------------------------------------", 37};
    lines[16] = {"Parallel interface를 이용한 프린트 테스트입니다.", 48};
    lines.push_back({"", 0});
    return lines;
}

TEST(KoreanReceipt, EveryLineDecodesToItsTextAtItsSize) {
    for (const auto& [on, golden] :
         {std::pair{Path::Serial, SerialGolden()}, std::pair{Path::Parallel, ParallelGolden()}}) {
        const auto lines = receipt::KoreanLines(on, Stamp);
        ASSERT_EQ(lines.size(), golden.size());
        for (std::size_t i = 0; i < golden.size(); ++i) {
            EXPECT_EQ(DecodeCp949(lines[i]), golden[i].Text) << "line " << i + 1;
            EXPECT_EQ(lines[i].size(), golden[i].Size) << "line " << i + 1;
        }
    }
}

TEST(KoreanReceipt, SerialIsOneWriteOf599Bytes) {
    const auto writes = receipt::ReceiptWrites(Language::Korean, Path::Serial, Stamp);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].size(), 599u);
    std::string expected;
    for (const auto& line : SerialGolden())
        expected += line.Text + "\r\n";
    EXPECT_EQ(DecodeCp949(receipt::DeviceBytes(Path::Serial, writes)), expected);
}

TEST(KoreanReceipt, ParallelIsFifteenWritesOf582Bytes) {
    const auto writes = receipt::ReceiptWrites(Language::Korean, Path::Parallel, Stamp);
    const auto lines = receipt::KoreanLines(Path::Parallel, Stamp);
    ASSERT_EQ(writes.size(), 15u);
    for (std::size_t i = 0; i < 14; ++i)
        EXPECT_EQ(writes[i], lines[i]) << "write " << i + 1;
    EXPECT_EQ(
        DecodeCp949(writes[14]),
        "\r\n\r\nParallel interface를 이용한 프린트 테스트입니다.\r\n쿼리반트(주)\r\n\r\n\r\n");

    const std::string device = receipt::DeviceBytes(Path::Parallel, writes);
    EXPECT_EQ(device.size(), 582u);
    std::string expected;
    for (const auto& line : ParallelGolden())
        expected += line.Text + "\r\n";
    EXPECT_EQ(DecodeCp949(device), expected);
}

TEST(KoreanReceipt, SendsNoPrinterCommands) {
    for (const Path on : {Path::Serial, Path::Parallel}) {
        const std::string device =
            receipt::DeviceBytes(on, receipt::ReceiptWrites(Language::Korean, on, Stamp));
        EXPECT_EQ(device.find('\x1B'), std::string::npos) << static_cast<int>(on);
        EXPECT_EQ(device.find('\x1D'), std::string::npos) << static_cast<int>(on);
    }
}

TEST(KoreanReceipt, DecoderRejectsWhatIsNotCodePage949) {
    // The decoder must be able to fail, or the checks above would prove nothing.
    EXPECT_THROW(DecodeCp949("\xB1"), std::runtime_error);
    EXPECT_THROW(DecodeCp949("\xFF\xFF"), std::runtime_error);
    EXPECT_EQ(DecodeCp949("\xB1\xDD"), "금");
}

} // namespace
