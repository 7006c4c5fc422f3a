#include "cli/emulate/RenderCommand.h"
#include "tests/cli/CliRun.h"

#include "receipt/Receipt.h"
#include "tests/support/PrintedReceipt.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testsupport::SplitLines;

namespace fs = std::filesystem;
using receipt::Language;
using receipt::Path;

const std::string Stamp = "2026/12/07  01:05 PM";

using clitest::Outcome;
using clitest::RunCli;

std::string ReadFile(const fs::path& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteBytes(const fs::path& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
}

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("tillmark-render-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    fs::path Receipt(Language Lang, Path On) {
        const fs::path file = Dir / (std::string(Lang == Language::English ? "en" : "ko") +
                                     (On == Path::Serial ? "-serial.bin" : "-parallel.bin"));
        WriteBytes(file, receipt::DeviceBytes(On, receipt::PrintWrites(Lang, On, Stamp)));
        return file;
    }

    fs::path Dir;
};

TEST_F(RenderCommand, RendersTheReceiptsOfBothLanguagesAndPaths) {
    for (const Language lang : {Language::English, Language::Korean}) {
        for (const Path on : {Path::Serial, Path::Parallel}) {
            const fs::path input = Receipt(lang, on);
            const fs::path png = Dir / "out.png";
            const fs::path text = Dir / "out.txt";
            const fs::path trace = Dir / "out.json";
            const auto r = RunCli({"render", input.string(), "-o", png.string(),
                                   "--text=" + text.string(), "--trace=" + trace.string()});
            ASSERT_EQ(r.Code, 0) << r.Err;
            EXPECT_EQ(r.Err, "wrote " + png.string() + "\n");
            const auto lines = SplitLines(ReadFile(text));
            ASSERT_GE(lines.size(), 25u) << input;
            EXPECT_EQ(lines.back(), "[partial cut]");
            EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end() - 1),
                      std::vector<std::string>(4, ""))
                << "four line feeds before the cut";
            const std::string json = ReadFile(trace);
            if (lang == Language::English) {
                EXPECT_EQ(lines[11], "Tax excluded.                 $200.00 ");
                EXPECT_EQ(lines[14], "Total       $210.00");
                EXPECT_EQ(lines[22], on == Path::Serial ? "Print test using serial interface."
                                                        : "Print test using Parallel interface.");
                EXPECT_NE(json.find("{\"text\": \"Tax excluded.                 $200.00 \", "
                                    "\"font\": \"A\", \"emphasised\": true, \"underline\": 0, "
                                    "\"width\": 1, \"height\": 1"),
                          std::string::npos);
                EXPECT_NE(json.find("{\"text\": \"Total       $210.00\", \"font\": \"A\", "
                                    "\"emphasised\": false, \"underline\": 0, \"width\": 2, "
                                    "\"height\": 1"),
                          std::string::npos);
            } else {
                EXPECT_EQ(lines[0], "금천지점                     (XX쇼핑)");
                EXPECT_EQ(lines[12], "합    계                      30,000 ");
                EXPECT_EQ(lines[16], on == Path::Serial
                                         ? "Serial interface를 이용한 프린트 테스트입니다."
                                         : "Parallel interface를 이용한 프린트 테스트입니다.");
                EXPECT_EQ(lines[17], "쿼리반트(주)");
            }
            EXPECT_NE(json.find("\"cut\": \"partial\""), std::string::npos);
            EXPECT_NE(json.find("\"warnings\": []"), std::string::npos);
            if (on == Path::Serial) {
                const std::string golden =
                    ReadFile(fs::path(TILLMARK_GOLDEN_DIR) /
                             (lang == Language::English ? "english.png" : "korean.png"));
                EXPECT_TRUE(!golden.empty() && ReadFile(png) == golden) << input;
            }
        }
    }
}

TEST_F(RenderCommand, ReadsStandardInputAndNamesEachCutsPicture) {
    const fs::path input = Receipt(Language::English, Path::Serial);
    const fs::path out = Dir / "stdin.txt";
    const std::string command = std::string(TILLMARK_CLI_PATH) + " render - --text < '" +
                                input.string() + "' > '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto lines = SplitLines(ReadFile(out));
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[2], Stamp);

    WriteBytes(Dir / "two.bin", "A\n\x1DV1"
                                "B\n\x1DV0"
                                "C\n");
    const auto r = RunCli({"render", (Dir / "two.bin").string(), "-o", (Dir / "r.png").string()});
    ASSERT_EQ(r.Code, 0) << r.Err;
    for (const char* name : {"r.png", "r-2.png", "r-3.png"})
        EXPECT_TRUE(fs::exists(Dir / name)) << name;
    EXPECT_EQ(cli::PagePath("a/b.c/out", 2), "a/b.c/out-2");
}

TEST_F(RenderCommand, ReportsErrorsAndWarnings) {
    WriteBytes(Dir / "empty.bin", "");
    WriteBytes(Dir / "odd.bin", "A\x1ByB\n");
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        int Code;
        const char* Says;
    } cases[] = {
        {"missing input", {"render", (Dir / "nope.bin").string(), "--text"}, 1, "cannot read"},
        {"nothing asked", {"render", (Dir / "odd.bin").string()}, 2, "nothing to write"},
        {"both to stdout",
         {"render", (Dir / "odd.bin").string(), "--text", "--trace"},
         2,
         "cannot both"},
        {"bad profile",
         {"render", (Dir / "odd.bin").string(), "--text", "--profile", "x"},
         2,
         "profile"},
        {"nothing printed",
         {"render", (Dir / "empty.bin").string(), "-o", (Dir / "e.png").string()},
         1,
         "nothing was printed"},
        {"unwritable picture",
         {"render", (Dir / "odd.bin").string(), "-o", (Dir / "no/such/dir.png").string()},
         1,
         "cannot write"},
        {"unknown command",
         {"render", (Dir / "odd.bin").string(), "--text"},
         0,
         "warning at byte 1: unknown command ESC y"},
    };
    for (const auto& c : cases) {
        const auto r = RunCli(c.Args);
        EXPECT_EQ(r.Code, c.Code) << c.Name << ": " << r.Err;
        EXPECT_NE(r.Err.find(c.Says), std::string::npos) << c.Name << ": " << r.Err;
    }
    EXPECT_EQ(RunCli({"render", (Dir / "odd.bin").string(), "--text"}).Out, "AB\n");
    const auto help = RunCli({"render", "--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_NE(help.Out.find("PNG"), std::string::npos);
}

} // namespace
