#include "receipt/DateStamp.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

using receipt::DateSeparators;

SYSTEMTIME At(WORD Year, WORD Month, WORD Day, WORD Hour, WORD Minute) {
    SYSTEMTIME time{};
    time.wYear = Year;
    time.wMonth = Month;
    time.wDay = Day;
    time.wHour = Hour;
    time.wMinute = Minute;
    time.wSecond = 59;
    time.wMilliseconds = 999;
    return time;
}

TEST(FormatDateStamp, TwelveHourClockPaddingAndSeparators) {
    const struct {
        SYSTEMTIME Time;
        DateSeparators Separators;
        const char* Line;
    } cases[] = {
        {At(2026, 12, 7, 13, 5), {}, "2026/12/07  01:05 PM"},
        {At(2026, 12, 7, 0, 30), {}, "2026/12/07  12:30 AM"},
        {At(2026, 12, 7, 12, 0), {}, "2026/12/07  12:00 PM"},
        {At(2026, 12, 7, 11, 59), {}, "2026/12/07  11:59 AM"},
        {At(2026, 12, 7, 23, 59), {}, "2026/12/07  11:59 PM"},
        {At(2026, 1, 9, 1, 0), {}, "2026/01/09  01:00 AM"},
        {At(2026, 12, 7, 13, 5), {'-', ':'}, "2026-12-07  01:05 PM"},
        {At(2026, 12, 7, 13, 5), {'.', '.'}, "2026.12.07  01.05 PM"},
        {At(987, 3, 4, 5, 6), {}, "0987/03/04  05:06 AM"},
        // An empty regional setting writes nothing in the separator's place.
        {At(2026, 12, 7, 13, 5), {'\0', '\0'}, "20261207  0105 PM"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(receipt::FormatDateStamp(c.Time, c.Separators), c.Line) << c.Line;
}

TEST(FormatDateStamp, IsTwentyBytesEveryMinuteOfTheDay) {
    for (WORD hour = 0; hour < 24; ++hour) {
        for (WORD minute = 0; minute < 60; ++minute) {
            const std::string line = receipt::FormatDateStamp(At(2026, 12, 31, hour, minute));
            ASSERT_EQ(line.size(), 20u) << line;
            const int shown = std::stoi(line.substr(12, 2));
            ASSERT_EQ(shown % 12, hour % 12) << line;
            ASSERT_TRUE(shown >= 1 && shown <= 12) << line;
            ASSERT_EQ(line.substr(18), hour < 12 ? "AM" : "PM") << line;
        }
    }
}

using testsupport::ScopedEnv;

#ifndef _WIN32
// Our layer answers from the LC_TIME locale; Windows from its regional settings.
TEST(RegionalSeparators, CLocaleGivesTheDefaults) {
    ScopedEnv env;
    env.Set("LC_ALL", "C");
    const DateSeparators separators = receipt::RegionalSeparators();
    EXPECT_EQ(separators.Date, '/');
    EXPECT_EQ(separators.Time, ':');
}

// A locale compiled into a temporary LOCPATH whose date separator is multibyte (Korean "년 ")
// and whose time separator is ".": the first falls back, the second is used.
TEST(RegionalSeparators, MultibyteSeparatorFallsBackSingleByteIsUsed) {
    char pattern[] = "/tmp/tillmark-locale-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    std::ofstream(dir / "source") << "LC_TIME\n"
                                     "abday \"Su\";\"Mo\";\"Tu\";\"We\";\"Th\";\"Fr\";\"Sa\"\n"
                                     "day \"Su\";\"Mo\";\"Tu\";\"We\";\"Th\";\"Fr\";\"Sa\"\n"
                                     "abmon \"1\";\"2\";\"3\";\"4\";\"5\";\"6\";\"7\";\"8\";\"9\";"
                                     "\"10\";\"11\";\"12\"\n"
                                     "mon \"1\";\"2\";\"3\";\"4\";\"5\";\"6\";\"7\";\"8\";\"9\";"
                                     "\"10\";\"11\";\"12\"\n"
                                     "d_t_fmt \"%c\"\n"
                                     "d_fmt \"%Y<UB144> %m<UC6D4> %d<UC77C>\"\n"
                                     "t_fmt \"%H.%M.%S\"\n"
                                     "am_pm \"AM\";\"PM\"\n"
                                     "t_fmt_ampm \"%I.%M.%S %p\"\n"
                                     "END LC_TIME\n";
    std::filesystem::create_directory(dir / "out");
    const std::string command = "localedef -c -i '" + (dir / "source").string() + "' -f UTF-8 '" +
                                (dir / "out" / "xx_XX.UTF-8").string() + "' >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str()); // warns, so not 0
    const bool built = std::filesystem::exists(dir / "out" / "xx_XX.UTF-8" / "LC_TIME");
    std::optional<DateSeparators> separators;
    if (built) {
        ScopedEnv env;
        env.Set("LOCPATH", (dir / "out").c_str());
        env.Set("LC_ALL", "xx_XX.UTF-8");
        separators = receipt::RegionalSeparators();
    }
    std::filesystem::remove_all(dir);
    if (!built)
        GTEST_SKIP() << "localedef or the UTF-8 charmap (package locales) is missing";
    EXPECT_EQ(separators->Date, '/');
    EXPECT_EQ(separators->Time, '.');
}
#endif

TEST(LocalDateStamp, IsTheLocalTimeWithTheRegionalSeparators) {
    ScopedEnv env;
    env.Set("LC_ALL", "C");
    env.Set("TZ", "<+0530>-5:30");
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const std::string stamp = receipt::LocalDateStamp();
    SYSTEMTIME after{};
    GetLocalTime(&after);
    EXPECT_TRUE(stamp == receipt::FormatDateStamp(before) ||
                stamp == receipt::FormatDateStamp(after))
        << stamp;
}

} // namespace
