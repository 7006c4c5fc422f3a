// The time-out rules of comm reads and writes, driven by hand-made time points: no sleeping.
#include "platform/linux/comm/CommTimeouts.h"

#include <gtest/gtest.h>

namespace {

using platform::CommClock;
using platform::TransferTimer;
using std::chrono::milliseconds;

const CommClock::time_point T0 = CommClock::time_point{} + std::chrono::hours(1);

COMMTIMEOUTS Reads(DWORD Interval, DWORD Multiplier, DWORD Constant) {
    return {Interval, Multiplier, Constant, 0, 0};
}

TEST(CommReadTimeouts, IntervalMaxWithZeroTotalsReturnsAtOnce) {
    const auto t = TransferTimer::ForRead(Reads(MAXDWORD, 0, 0), 100, T0);
    EXPECT_TRUE(t.ReturnsAtOnce());
    EXPECT_FALSE(t.ReturnsOnFirstByte());
}

TEST(CommReadTimeouts, MaxIntervalAndMultiplierWaitUpToTheConstantForTheFirstByte) {
    auto t = TransferTimer::ForRead(Reads(MAXDWORD, MAXDWORD, 250), 100, T0);
    EXPECT_FALSE(t.ReturnsAtOnce());
    EXPECT_TRUE(t.ReturnsOnFirstByte());
    ASSERT_TRUE(t.Deadline());
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(250));
    EXPECT_FALSE(t.Expired(T0 + milliseconds(249)));
    EXPECT_TRUE(t.Expired(T0 + milliseconds(250)));
}

TEST(CommReadTimeouts, MaxIntervalAndMultiplierWithoutConstantIsNoFirstByteRead) {
    // Constant 0 is not the special pair: the multiplier counts per byte and bounds the read.
    const auto t = TransferTimer::ForRead(Reads(MAXDWORD, MAXDWORD, 0), 2, T0);
    EXPECT_FALSE(t.ReturnsOnFirstByte());
    EXPECT_FALSE(t.ReturnsAtOnce());
    ASSERT_TRUE(t.Deadline());
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(2ull * MAXDWORD));
}

TEST(CommReadTimeouts, AllZeroWaitsForEveryByte) {
    auto t = TransferTimer::ForRead(Reads(0, 0, 0), 10, T0);
    EXPECT_FALSE(t.ReturnsAtOnce());
    EXPECT_FALSE(t.Deadline());
    t.BytesArrived(T0 + milliseconds(5));
    EXPECT_FALSE(t.Deadline());
    EXPECT_FALSE(t.Expired(T0 + std::chrono::hours(1000)));
}

TEST(CommReadTimeouts, TotalIsConstantPlusCountTimesMultiplier) {
    const auto t = TransferTimer::ForRead(Reads(0, 10, 100), 7, T0);
    ASSERT_TRUE(t.Deadline());
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(170));
    EXPECT_FALSE(t.Expired(T0 + milliseconds(169)));
    EXPECT_TRUE(t.Expired(T0 + milliseconds(170)));
}

TEST(CommReadTimeouts, IntervalStartsAtTheFirstByteAndStartsOverWithEachByte) {
    auto t = TransferTimer::ForRead(Reads(50, 0, 0), 10, T0);
    EXPECT_FALSE(t.Deadline()) << "no byte yet: the interval does not run";
    t.BytesArrived(T0 + milliseconds(1000));
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(1050));
    t.BytesArrived(T0 + milliseconds(1040));
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(1090));
    EXPECT_FALSE(t.Expired(T0 + milliseconds(1089)));
    EXPECT_TRUE(t.Expired(T0 + milliseconds(1090)));
}

TEST(CommReadTimeouts, EarlierOfIntervalAndTotalWins) {
    auto t = TransferTimer::ForRead(Reads(50, 0, 120), 10, T0);
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(120));
    t.BytesArrived(T0 + milliseconds(10));
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(60));
    t.BytesArrived(T0 + milliseconds(100));
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(120));
}

TEST(CommReadTimeouts, MaxIntervalWithTotalsOnlyKeepsTheTotal) {
    auto t = TransferTimer::ForRead(Reads(MAXDWORD, 0, 300), 10, T0);
    EXPECT_FALSE(t.ReturnsAtOnce());
    EXPECT_FALSE(t.ReturnsOnFirstByte());
    t.BytesArrived(T0 + milliseconds(5));
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(300));
}

TEST(CommReadTimeouts, HugeMultiplierDoesNotWrapAround) {
    const auto t = TransferTimer::ForRead(Reads(0, MAXDWORD, MAXDWORD), MAXDWORD, T0);
    ASSERT_TRUE(t.Deadline());
    EXPECT_GT(*t.Deadline(), T0 + std::chrono::hours(24 * 300));
}

TEST(CommWriteTimeouts, TotalIsConstantPlusCountTimesMultiplier) {
    // The port's defaults: 100 ms per byte and 1000 ms on top.
    const COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 100, 1000};
    const auto t = TransferTimer::ForWrite(timeouts, 11, T0);
    EXPECT_EQ(*t.Deadline(), T0 + milliseconds(2100));
    EXPECT_FALSE(t.ReturnsAtOnce());
}

TEST(CommWriteTimeouts, ZeroTotalsNeverExpire) {
    const COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    auto t = TransferTimer::ForWrite(timeouts, 11, T0);
    EXPECT_FALSE(t.Deadline());
    t.BytesArrived(T0 + milliseconds(5));
    EXPECT_FALSE(t.Expired(T0 + std::chrono::hours(1000)));
}

TEST(CommTimeoutsValidity, OnlyAllThreeReadValuesAtMaxAreRefused) {
    EXPECT_FALSE(platform::TimeoutsValid({MAXDWORD, MAXDWORD, MAXDWORD, 0, 0}));
    EXPECT_TRUE(platform::TimeoutsValid({MAXDWORD, MAXDWORD, 1000, 0, 0}));
    EXPECT_TRUE(platform::TimeoutsValid({MAXDWORD, 0, 0, MAXDWORD, MAXDWORD}));
    EXPECT_TRUE(platform::TimeoutsValid({0, 0, 0, 0, 0}));
}

} // namespace
