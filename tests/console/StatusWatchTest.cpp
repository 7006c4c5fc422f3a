// Watching the status: automatic status back told apart from real-time answers in a stream that
// comes in pieces, and what the watch sends and hands on, over a line that plays a printer.
#include "console/status/StatusWatch.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

using Status = std::array<std::uint8_t, 4>;

TEST(StatusWatch, AutomaticStatusIsFoundAmongOtherBytesAndPieces) {
    const struct {
        const char* What;
        std::vector<std::string> Pieces;
        std::vector<Status> Statuses;
        std::vector<std::uint8_t> RealTime;
    } cases[] = {
        {"one whole", {std::string("\x14\0\0\0", 4)}, {{0x14, 0, 0, 0}}, {}},
        {"split in three",
         {std::string("\x3C", 1), std::string("\0\x03", 2), std::string("\0", 1)},
         {{0x3C, 0, 0x03, 0}},
         {}},
        {"real-time answers around it",
         {std::string("\x16\x1C\0\x0F\0\x12", 6)},
         {{0x1C, 0, 0x0F, 0}},
         {0x16, 0x12}},
        {"a first byte cut short by another start",
         {std::string("\x14\0\x10\0\0\0", 6)},
         {{0x10, 0, 0, 0}},
         {}},
        {"garbage, no status", {"\xFF\x01\x80"}, {}, {}},
    };
    for (const auto& c : cases) {
        console::TAsbReader reader;
        std::vector<Status> found;
        std::vector<std::uint8_t> realTime;
        for (const std::string& piece : c.Pieces)
            for (const Status& s : reader.Feed(piece, &realTime))
                found.push_back(s);
        EXPECT_EQ(found, c.Statuses) << c.What;
        EXPECT_EQ(realTime, c.RealTime) << c.What;
    }
}

TEST(StatusWatch, FactsOfTheFourBytes) {
    const auto f = console::AsbFacts({0x38, 0x08, 0x0F, 0});
    EXPECT_EQ(f.Online, false);
    EXPECT_EQ(f.CoverOpen, true);
    EXPECT_EQ(f.DrawerPin3High, false);
    EXPECT_EQ(f.FeedingByButton, false);
    EXPECT_EQ(f.CutterError, true);
    EXPECT_EQ(f.ErrorOccurred, true);
    EXPECT_EQ(f.PaperNearEnd, true);
    EXPECT_EQ(f.PaperEnd, true);
    EXPECT_FALSE(f.FeedButtonPressed.has_value()) << "automatic status does not tell it";
}

// Plays a printer: each Receive gives the next of Replies; when they run out, the watch is
// stopped, as Ctrl+C would.
class PlayedPrinter final : public console::TPrinterLine {
public:
    PlayedPrinter(std::deque<std::string> Replies, std::atomic<bool>& Stop)
        : FReplies(std::move(Replies)), FStop(Stop) {}
    void Send(std::string_view Bytes) override { Sent.emplace_back(Bytes); }
    std::string Receive(int) override {
        if (FReplies.empty()) {
            FStop = true;
            return {};
        }
        std::string next = std::move(FReplies.front());
        FReplies.pop_front();
        return next;
    }
    std::vector<std::string> Sent;

private:
    std::deque<std::string> FReplies;
    std::atomic<bool>& FStop;
};

TEST(StatusWatch, EnablesTellsEachChangeOnceAndDisablesOnTheWayOut) {
    std::atomic<bool> stop{false};
    PlayedPrinter line({std::string("\x14\0\0\0", 4), std::string("\x14\0\0\0\x3C\0", 6),
                        std::string("\0\0", 2), std::string("\x14\0\0\0", 4)},
                       stop);
    std::vector<Status> told;
    const auto end = console::WatchStatus(line, 2000, stop, [&](const console::TStatusMessage& M) {
        EXPECT_TRUE(M.Automatic);
        told.push_back(M.Bytes);
    });
    EXPECT_EQ(end, console::TWatchEnd::Stopped);
    EXPECT_EQ(told, (std::vector<Status>{{0x14, 0, 0, 0}, {0x3C, 0, 0, 0}, {0x14, 0, 0, 0}}));
    EXPECT_EQ(line.Sent, (std::vector<std::string>{"\x1d\x61\x0f", std::string("\x1d\x61\0", 3)}));
}

// Offline, a printer holds GS a in its buffer and answers only the real-time questions; Silent
// answers nothing at all.
class OfflinePrinter final : public console::TPrinterLine {
public:
    OfflinePrinter(bool Silent, std::atomic<bool>& Stop) : FSilent(Silent), FStop(Stop) {}
    void Send(std::string_view Bytes) override { Sent.emplace_back(Bytes); }
    std::string Receive(int) override {
        const bool asked = Sent.size() > 1 && Sent[1].starts_with("\x10\x04\x01");
        if (FSilent || !asked)
            return {};
        if (!FAnswered) {
            FAnswered = true;
            return "\x1E\x16\x12\x12"; // cover open
        }
        FStop = true;
        return {};
    }
    std::vector<std::string> Sent;

private:
    bool FSilent;
    bool FAnswered = false;
    std::atomic<bool>& FStop;
};

TEST(StatusWatch, APrinterThatSendsNoStatusIsAskedOnceAndSilenceIsNoAnswer) {
    std::atomic<bool> stop{false};
    OfflinePrinter offline(false, stop);
    std::vector<console::TStatusMessage> told;
    EXPECT_EQ(console::WatchStatus(offline, 1, stop,
                                   [&](const console::TStatusMessage& M) { told.push_back(M); }),
              console::TWatchEnd::Stopped);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_FALSE(told[0].Automatic);
    EXPECT_EQ(told[0].Facts.CoverOpen, true);
    EXPECT_EQ(told[0].Facts.Online, false);
    EXPECT_EQ(offline.Sent.size(), 3u) << "GS a, the four questions in one write, GS a 0";

    stop = false;
    OfflinePrinter silent(true, stop);
    EXPECT_EQ(console::WatchStatus(silent, 1, stop, [](const console::TStatusMessage&) {}),
              console::TWatchEnd::NoAnswer);
}

} // namespace
