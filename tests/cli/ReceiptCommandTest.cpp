#include "cli/ReceiptCommand.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <vector>

namespace {

using receipt::Language;
using receipt::Path;

const std::string Stamp = "2026/12/07  01:05 PM";

using clitest::Outcome;
using clitest::RunCli;

// Keeps the regional separators at "/" and ":" whatever the machine's locale is.
class ReceiptCommand : public ::testing::Test {
protected:
    void SetUp() override { Env.Set("LC_ALL", "C"); }
    testsupport::ScopedEnv Env;
};

TEST_F(ReceiptCommand, WritesWhatEachPathSends) {
    const struct {
        const char* Lang;
        const char* On;
        Language L;
        Path P;
        std::size_t Size;
    } cases[] = {
        {"english", "serial", Language::English, Path::Serial, 637},
        {"english", "parallel", Language::English, Path::Parallel, 641},
        {"korean", "serial", Language::Korean, Path::Serial, 599},
        {"korean", "parallel", Language::Korean, Path::Parallel, 582},
        {"Korean", "PARALLEL", Language::Korean, Path::Parallel, 582}, // any case
    };
    for (const auto& c : cases) {
        const auto result =
            RunCli({"receipt", "--lang", c.Lang, "--path", c.On, "--at", "2026-12-07 13:05"});
        EXPECT_EQ(result.Code, 0) << c.Lang << " " << c.On << ": " << result.Err;
        EXPECT_EQ(result.Err, "");
        EXPECT_EQ(result.Out.size(), c.Size) << c.Lang << " " << c.On;
        EXPECT_EQ(result.Out, receipt::DeviceBytes(c.P, receipt::ReceiptWrites(c.L, c.P, Stamp)))
            << c.Lang << " " << c.On;

        const auto withTrailer = RunCli(
            {"receipt", "--lang", c.Lang, "--path", c.On, "--at", "2026-12-07 13:05", "--trailer"});
        EXPECT_EQ(withTrailer.Code, 0);
        const std::string trailer =
            c.P == Path::Serial ? "\r\n\r\n\r\n\r\n\x1DV1" : "\r\n\r\n\r\n\r\n\x1DV1\r\n";
        EXPECT_EQ(withTrailer.Out, result.Out + trailer) << c.Lang << " " << c.On;
    }
}

TEST_F(ReceiptCommand, WithoutAtPrintsNow) {
    const std::string before = receipt::LocalDateStamp();
    const auto result = RunCli({"receipt", "--lang", "english", "--path", "serial"});
    const std::string after = receipt::LocalDateStamp();
    ASSERT_EQ(result.Code, 0) << result.Err;
    const std::string line3 = result.Out.substr(result.Out.find("9999\r\n") + 6, 20);
    EXPECT_TRUE(line3 == before || line3 == after) << line3;
    EXPECT_EQ(result.Out.size(), 637u);
}

TEST_F(ReceiptCommand, RefusesBadArgumentsClearly) {
    const struct {
        std::vector<std::string> Args;
        const char* Mentions;
    } cases[] = {
        {{}, "subcommand"},
        {{"print"}, "print"},
        {{"receipt", "--path", "serial"}, "--lang"},
        {{"receipt", "--lang", "english"}, "--path"},
        {{"receipt", "--lang", "french", "--path", "serial"}, "french"},
        {{"receipt", "--lang", "english", "--path", "usb"}, "usb"},
        {{"receipt", "--lang", "english", "--path", "serial", "extra"}, "extra"},
        {{"receipt", "--lang", "english", "--path", "serial", "--at", "2026-13-01 10:00"},
         "YYYY-MM-DD HH:MM"},
    };
    for (const auto& c : cases) {
        const auto result = RunCli(c.Args);
        EXPECT_NE(result.Code, 0) << c.Mentions;
        EXPECT_EQ(result.Out, "") << c.Mentions;
        EXPECT_NE(result.Err.find(c.Mentions), std::string::npos) << result.Err;
    }
}

TEST_F(ReceiptCommand, HelpGoesToStandardOutput) {
    const auto result = RunCli({"receipt", "--help"});
    EXPECT_EQ(result.Code, 0);
    EXPECT_NE(result.Out.find("--trailer"), std::string::npos);
}

TEST_F(ReceiptCommand, AFailedWriteIsReported) {
    cli::ReceiptOptions options;
    options.At = "2026-12-07 13:05";
    std::ostream broken(nullptr); // every write fails
    std::ostringstream err;
    EXPECT_NE(cli::RunReceiptCommand(options, broken, err), 0);
    EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

TEST(ParseAt, AcceptsOnlyRealDatesInTheOneForm) {
    const auto leapDay = cli::ParseAt("2028-02-29 23:59");
    ASSERT_TRUE(leapDay);
    EXPECT_EQ(leapDay->wYear, 2028);
    EXPECT_EQ(leapDay->wMonth, 2);
    EXPECT_EQ(leapDay->wDay, 29);
    EXPECT_EQ(leapDay->wHour, 23);
    EXPECT_EQ(leapDay->wMinute, 59);
    EXPECT_EQ(leapDay->wDayOfWeek, 2); // a Tuesday

    for (const char* bad :
         {"2026-02-29 10:00", "2026-04-31 10:00", "2026-00-10 10:00", "2026-12-00 10:00",
          "0000-01-01 10:00", "2026-12-07 24:00", "2026-12-07 13:60", "2026-12-07 1:05",
          "2026/12/07 13:05", "2026-12-07T13:05", "2026-12-07 13:05 ", "+026-12-07 13:05", ""})
        EXPECT_FALSE(cli::ParseAt(bad)) << bad;
}

#ifndef _WIN32
// Under Wine the Windows stage runs the built program itself, from its script.
// The built program, run as a user would, writes the same bytes to a pipe.
TEST(TillmarkCli, RunsEndToEnd) {
    const std::string command = std::string("LC_ALL=C '") + TILLMARK_CLI_PATH +
                                "' receipt --lang korean --path serial --at '2026-12-07 13:05' "
                                "--trailer";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out, receipt::DeviceBytes(
                       Path::Serial, receipt::PrintWrites(Language::Korean, Path::Serial, Stamp)));
    EXPECT_EQ(out.size(), 599u + 11u);

    const std::string bad = std::string("'") + TILLMARK_CLI_PATH + "' receipt 2>/dev/null";
    const int badStatus = std::system(bad.c_str());
    ASSERT_TRUE(WIFEXITED(badStatus));
    EXPECT_EQ(WEXITSTATUS(badStatus), 2);
}
#endif

} // namespace
