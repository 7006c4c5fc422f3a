// The status questions over a scripted line: what each answer is taken for, and what is reported
// when an answer is garbage, partial or missing.
#include "console/status/PrinterStatus.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using console::TPrinterStatus;

// Answers each question from a table; a question not in it gets silence at once.
class ScriptedLine final : public console::TPrinterLine {
public:
    explicit ScriptedLine(std::map<std::string, std::string> Answers)
        : FAnswers(std::move(Answers)) {}
    void Send(std::string_view Bytes) override {
        Asked += std::string(Bytes);
        const auto it = FAnswers.find(std::string(Bytes));
        FPending = it == FAnswers.end() ? "" : it->second;
    }
    std::string Receive(int) override { return std::exchange(FPending, {}); }
    std::string Asked;

private:
    std::map<std::string, std::string> FAnswers;
    std::string FPending;
};

std::string Eot(int N) {
    return {0x10, 0x04, static_cast<char>(N)};
}
std::string Id(int N) {
    return {0x1D, 0x49, static_cast<char>(N)};
}
std::string Text(const char* T) {
    return "_" + std::string(T) + std::string(1, '\0');
}

std::map<std::string, std::string> Online(std::string S1 = "\x16", std::string S4 = "\x12") {
    return {{Eot(1), S1},    {Eot(2), "\x12"},      {Eot(3), "\x12"},
            {Eot(4), S4},    {Id(1), "\x20"},       {Id(2), "\x02"},
            {Id(3), "\x10"}, {Id(65), Text("1.0")}, {Id(66), Text("EPSON")}};
}

TEST(PrinterStatus, ReadsEveryFactOfTheFourStatusBytes) {
    struct Case {
        std::string S1, S2, S3, S4;
        bool Online, Cover, Button, Pin3, Recoverable, Cutter, Unrecoverable, Auto, NearEnd, End;
    };
    const Case cases[] = {
        {"\x16", "\x12", "\x12", "\x12", true, false, false, true, false, false, false, false,
         false, false},
        {"\x5A", "\x36", "\x12", "\x7E", false, true, true, false, false, false, false, false, true,
         true},
        {"\x12", "\x12", "\x7E", "\x1E", true, false, false, false, true, true, true, true, true,
         false},
    };
    for (const Case& c : cases) {
        ScriptedLine line({{Eot(1), c.S1}, {Eot(2), c.S2}, {Eot(3), c.S3}, {Eot(4), c.S4}});
        const auto f = console::AskStatus(line, 100).Facts();
        EXPECT_EQ(f.Online, c.Online);
        EXPECT_EQ(f.CoverOpen, c.Cover);
        EXPECT_EQ(f.FeedButtonPressed, c.Button);
        EXPECT_EQ(f.DrawerPin3High, c.Pin3);
        EXPECT_EQ(f.RecoverableError, c.Recoverable);
        EXPECT_EQ(f.CutterError, c.Cutter);
        EXPECT_EQ(f.UnrecoverableError, c.Unrecoverable);
        EXPECT_EQ(f.AutoRecoverableError, c.Auto);
        EXPECT_EQ(f.PaperNearEnd, c.NearEnd);
        EXPECT_EQ(f.PaperEnd, c.End);
    }
}

TEST(PrinterStatus, AsksIdentityOnlyWhileOnlineAndStopsAtTheFirstSilentText) {
    ScriptedLine online(Online());
    const TPrinterStatus status = console::AskStatus(online, 100);
    EXPECT_EQ(status.ModelId, 0x20);
    EXPECT_EQ(status.TypeId, 0x02);
    ASSERT_EQ(status.Texts.size(), 2u);
    EXPECT_EQ(status.Texts[1].Name, "maker");
    EXPECT_EQ(status.Texts[1].Text, "EPSON");
    EXPECT_TRUE(status.Problems.empty());
    // 67 went unanswered: 68 and 69 are not asked.
    EXPECT_EQ(online.Asked.find(Id(68)), std::string::npos);

    ScriptedLine offline(Online("\x1E"));
    EXPECT_FALSE(console::AskStatus(offline, 100).ModelId);
    EXPECT_EQ(offline.Asked.find(Id(1)), std::string::npos);

    ScriptedLine silent({});
    const TPrinterStatus none = console::AskStatus(silent, 100);
    EXPECT_FALSE(none.Answered());
    EXPECT_EQ(silent.Asked, Eot(1));
}

TEST(PrinterStatus, ReportsGarbagePartialAndForeignAnswersWithoutGuessing) {
    struct Case {
        std::string Question, Answer, Problem;
    };
    const Case cases[] = {
        {Eot(1), "\xFF", "DLE EOT 1 answered a byte no printer sends: FF"},
        // Each of the four fixed bits wrong alone: bit 7 set, bit 4 clear, bit 1 clear, bit 0 set.
        {Eot(1), "\x92", "DLE EOT 1 answered a byte no printer sends: 92"},
        {Eot(1), "\x06", "DLE EOT 1 answered a byte no printer sends: 06"},
        {Eot(1), "\x14", "DLE EOT 1 answered a byte no printer sends: 14"},
        {Eot(1), "\x17", "DLE EOT 1 answered a byte no printer sends: 17"},
        {Eot(4), "\x16", ""}, // one bit of a sensor pair: no status byte either
        {Eot(2), std::string("\x12\x00\x41", 3),
         "unexpected bytes after the answer to DLE EOT 2: 00 41"},
        {Id(65), std::string("_1.0", 4), "partial answer to GS I 65: 5F 31 2E 30"},
        {Id(66), Text("EP\x01SON"), "garbage in answer to GS I 66: 5F 45 50 01 53 4F 4E 00"},
        // DEL and the C1 controls are control bytes too, never text to print.
        {Id(66), Text("EP\x7FSON"), "garbage in answer to GS I 66: 5F 45 50 7F 53 4F 4E 00"},
        {Id(66), Text("EP\x9FSON"), "garbage in answer to GS I 66: 5F 45 50 9F 53 4F 4E 00"},
        {Id(65), "1.0", "garbage in answer to GS I 65: 31 2E 30"},
        {Id(65), "_" + std::string(90, 'x'), "garbage in answer to GS I 65"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Problem);
        auto answers = Online();
        answers[c.Question] = c.Answer;
        ScriptedLine line(answers);
        const TPrinterStatus status = console::AskStatus(line, 100);
        std::string all;
        for (const auto& p : status.Problems)
            all += p + "\n";
        EXPECT_NE(all.find(c.Problem), std::string::npos) << all;
        if (c.Question[0] == 0x10) {
            // The fact stays unknown, and the byte is kept raw.
            const int n = c.Question[2];
            EXPECT_EQ(status.Bytes[static_cast<std::size_t>(n - 1)],
                      static_cast<std::uint8_t>(c.Answer[0]));
            if (n == 1) {
                EXPECT_FALSE(status.Facts().Online);
            } else if (n == 4) {
                EXPECT_FALSE(status.Facts().PaperEnd);
            }
        }
    }
}

} // namespace
