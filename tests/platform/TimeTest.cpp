#include "platform/Win32.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

// glibc's newlocale never frees the search path it builds from LOCPATH, which only these tests
// set; the leak sanitizer is told so instead of failing on it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;

using testsupport::ScopedEnv;

struct Answer {
    int Result;
    DWORD Error;
    std::string Text;
};

// One GetLocaleInfoA call into a buffer prefilled with 'x', so untouched bytes show.
Answer Ask(LCTYPE Type, int Size, LCID Locale = LOCALE_USER_DEFAULT) {
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    SetLastError(Sentinel);
    const int result = GetLocaleInfoA(Locale, Type, buffer, Size);
    return {result, GetLastError(), std::string(buffer, sizeof buffer)};
}

TEST(FieldSeparator, TakesTheTextBetweenTheFirstTwoFields) {
    const struct {
        const char* Format;
        const char* Separator;
    } cases[] = {
        {"%m/%d/%y", "/"},
        {"%d.%m.%Y", "."},
        {"%e-%b-%Y", "-"},
        {"%H.%M.%S", "."},
        {"%I:%M:%S %p", ":"},
        {"%-d/%-m/%Y", "/"}, // flags
        {"%_2d|%m", "|"},    // flag and width
        {"%Ey'%Om", "'"},    // alternative-form modifiers
        {"%D", "/"},         // composite fields spelled out
        {"%F", "-"},
        {"%T", ":"},
        {"%R", ":"},
        {"%r", ":"},
        {"%d%%%m", "%"},       // an escaped percent is text
        {"(%Y) %m", ") "},     // text before the first field is not the separator
        {"%Y. %m. %d.", ". "}, // more than one byte is kept whole
        {"%Y\xEB\x85\x84 %m\xEC\x9B\x94 %d\xEC\x9D\xBC", "\xEB\x85\x84 "},
        {"%Y%m%d", ""}, // nothing between the fields
        {"%d", ""},     // one field only
        {"", ""},
        {"%d/%", ""}, // a trailing lone percent is no field
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::FieldSeparator(c.Format), c.Separator) << c.Format;
}

TEST(GetLocaleInfoA, CLocaleGivesSlashAndColon) {
    ScopedEnv env;
    env.Set("LC_ALL", "C");

    const Answer date = Ask(LOCALE_SDATE, 16);
    EXPECT_EQ(date.Result, 2);
    EXPECT_EQ(date.Text.substr(0, 3), std::string("/\0x", 3));
    EXPECT_EQ(date.Error, Sentinel) << "success leaves the last error alone";

    const Answer time = Ask(LOCALE_STIME, 2);
    EXPECT_EQ(time.Result, 2);
    EXPECT_EQ(time.Text.substr(0, 3), std::string(":\0x", 3));
}

TEST(GetLocaleInfoA, SizeQueryAndShortBuffer) {
    ScopedEnv env;
    env.Set("LC_ALL", "C");

    const Answer query = Ask(LOCALE_SDATE, 0);
    EXPECT_EQ(query.Result, 2);
    EXPECT_EQ(query.Text, std::string(16, 'x'));
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, nullptr, 0), 2);

    const Answer shortBuffer = Ask(LOCALE_SDATE, 1);
    EXPECT_EQ(shortBuffer.Result, 0);
    EXPECT_EQ(shortBuffer.Error, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(shortBuffer.Text, std::string(16, 'x'));
}

TEST(GetLocaleInfoA, Refusals) {
    const Answer otherType = Ask(0x0024 /* LOCALE_SSHORTDATE */, 16);
    EXPECT_EQ(otherType.Result, 0);
    EXPECT_EQ(otherType.Error, ERROR_INVALID_FLAGS);

    const Answer otherLocale = Ask(LOCALE_SDATE, 16, 0x0800 /* LOCALE_SYSTEM_DEFAULT */);
    EXPECT_EQ(otherLocale.Result, 0);
    EXPECT_EQ(otherLocale.Error, ERROR_INVALID_PARAMETER);

    const Answer negative = Ask(LOCALE_SDATE, -1);
    EXPECT_EQ(negative.Result, 0);
    EXPECT_EQ(negative.Error, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(negative.Text, std::string(16, 'x'));

    SetLastError(Sentinel);
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GetLocaleInfoA, UnknownLocaleGivesTheDefaults) {
    ScopedEnv env;
    env.Set("LC_ALL", "xx_NOWHERE.UTF-8");
    EXPECT_EQ(Ask(LOCALE_SDATE, 16).Text.substr(0, 2), std::string("/\0", 2));
    EXPECT_EQ(Ask(LOCALE_STIME, 16).Text.substr(0, 2), std::string(":\0", 2));
}

// A locale of our own, compiled with localedef into a temporary LOCPATH: a Korean-style date
// whose separator is several bytes, and a time with ".".
class GeneratedLocale : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tillmark-locale-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
        std::ofstream(Dir / "source")
            << "LC_TIME\n"
               "abday \"Sun\";\"Mon\";\"Tue\";\"Wed\";\"Thu\";\"Fri\";\"Sat\"\n"
               "day \"Sunday\";\"Monday\";\"Tuesday\";\"Wednesday\";"
               "\"Thursday\";\"Friday\";\"Saturday\"\n"
               "abmon \"Jan\";\"Feb\";\"Mar\";\"Apr\";\"May\";\"Jun\";"
               "\"Jul\";\"Aug\";\"Sep\";\"Oct\";\"Nov\";\"Dec\"\n"
               "mon \"1\";\"2\";\"3\";\"4\";\"5\";\"6\";\"7\";\"8\";\"9\";"
               "\"10\";\"11\";\"12\"\n"
               "d_t_fmt \"%a %d %b %Y %T\"\n"
               "d_fmt \"%Y<UB144> %m<UC6D4> %d<UC77C>\"\n"
               "t_fmt \"%H.%M.%S\"\n"
               "am_pm \"AM\";\"PM\"\n"
               "t_fmt_ampm \"%I:%M:%S %p\"\n"
               "END LC_TIME\n";
        std::filesystem::create_directory(Dir / "out");
        const std::string command = "localedef -c -i '" + (Dir / "source").string() +
                                    "' -f UTF-8 '" + (Dir / "out" / "xx_XX.UTF-8").string() +
                                    "' >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str()); // warns, so not 0
        if (!std::filesystem::exists(Dir / "out" / "xx_XX.UTF-8" / "LC_TIME"))
            GTEST_SKIP() << "localedef or the UTF-8 charmap (package locales) is missing";
        Env.Set("LOCPATH", (Dir / "out").c_str());
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    std::filesystem::path Dir;
    ScopedEnv Env;
};

TEST_F(GeneratedLocale, SeparatorsComeFromLcTime) {
    Env.Set("LC_ALL", nullptr);
    Env.Set("LANG", "C");
    Env.Set("LC_TIME", "xx_XX.UTF-8");

    const Answer date = Ask(LOCALE_SDATE, 16);
    EXPECT_EQ(date.Result, 5);
    EXPECT_EQ(date.Text.substr(0, 6), std::string("\xEB\x85\x84 \0x", 6));
    EXPECT_EQ(Ask(LOCALE_SDATE, 2).Error, ERROR_INSUFFICIENT_BUFFER)
        << "a two-byte buffer cannot take a multibyte separator";

    const Answer time = Ask(LOCALE_STIME, 2);
    EXPECT_EQ(time.Result, 2);
    EXPECT_EQ(time.Text.substr(0, 2), std::string(".\0", 2));
}

TEST_F(GeneratedLocale, LcAllOverridesLcTime) {
    Env.Set("LC_TIME", "xx_XX.UTF-8");
    Env.Set("LC_ALL", "C");
    EXPECT_EQ(Ask(LOCALE_STIME, 16).Text.substr(0, 2), std::string(":\0", 2));
}

// The local time matches the clock read around it, in a zone with a half-hour offset.
// std::time reads the kernel's coarse clock, which may lag the precise one by a tick, so the
// bounds are read from the clock GetLocalTime itself reads.
TEST(GetLocalTime, FollowsTheClockAndTheZone) {
    const auto seconds = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return now.tv_sec;
    };
    for (const auto& [zone, offsetSeconds] :
         {std::pair{"UTC0", 0L}, std::pair{"<+0530>-5:30", 5L * 3600 + 1800}}) {
        ScopedEnv env;
        env.Set("TZ", zone);
        const std::time_t before = seconds();
        SYSTEMTIME local{};
        GetLocalTime(&local);
        const std::time_t after = seconds();

        std::tm fields{};
        fields.tm_year = local.wYear - 1900;
        fields.tm_mon = local.wMonth - 1;
        fields.tm_mday = local.wDay;
        fields.tm_hour = local.wHour;
        fields.tm_min = local.wMinute;
        fields.tm_sec = local.wSecond;
        const std::time_t utc = timegm(&fields) - offsetSeconds;
        EXPECT_LE(before, utc) << zone;
        EXPECT_LE(utc, after) << zone;
        EXPECT_EQ(local.wDayOfWeek, fields.tm_wday) << zone;
        EXPECT_LT(local.wMilliseconds, 1000) << zone;
    }
}

} // namespace
