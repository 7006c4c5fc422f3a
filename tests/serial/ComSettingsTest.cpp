#include "serial/ComSettings.h"

#include <gtest/gtest.h>

namespace {

template <typename E>
void ExpectEveryTextFormReadsBack(std::size_t count, std::string (*toText)(E),
                                  E (*fromText)(const std::string&)) {
    for (std::size_t i = 0; i < count; ++i) {
        const E value = static_cast<E>(i);
        EXPECT_EQ(fromText(toText(value)), value) << toText(value);
    }
}

TEST(TextForms, EveryValueReadsBackFromItsOwnText) {
    ExpectEveryTextFormReadsBack<TBaudRate>(16, BaudRateToText, TextToBaudRate);
    ExpectEveryTextFormReadsBack<TStopBits>(3, StopBitsToText, TextToStopBits);
    ExpectEveryTextFormReadsBack<TDataBits>(4, DataBitsToText, TextToDataBits);
    ExpectEveryTextFormReadsBack<TParityBits>(5, ParityToText, TextToParity);
    ExpectEveryTextFormReadsBack<TFlowControl>(4, FlowControlToText, TextToFlowControl);
}

TEST(TextForms, AreSpelledAsStoresWriteThem) {
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(BaudRateToText(br110), "110");
    EXPECT_EQ(BaudRateToText(br256000), "256000");
    EXPECT_EQ(StopBitsToText(sbOne5StopBits), "1.5");
    EXPECT_EQ(DataBitsToText(dbFive), "5");
    EXPECT_EQ(ParityToText(prSpace), "Space");
    EXPECT_EQ(FlowControlToText(fcHardware), "Hardware");
}

TEST(TextForms, MatchWholeTextIgnoringAsciiCase) {
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("115200"), br115200);
    EXPECT_EQ(TextToStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(TextToFlowControl("NONE"), fcNone);
    EXPECT_EQ(TextToFlowControl("hArDwArE"), fcHardware);
    EXPECT_EQ(TextToParity("space"), prSpace);
}

TEST(TextForms, UnmatchedTextGivesTheFallback) {
    for (const char* text : {"", "9600 ", " 9600", "2400x", "96OO", "Custom\n"})
        EXPECT_EQ(TextToBaudRate(text), br9600) << '"' << text << '"';
    EXPECT_EQ(TextToBaudRate("  110"), br9600);
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToDataBits("9"), dbEight);
    EXPECT_EQ(TextToDataBits(std::string("5\0", 2)), dbEight);
    EXPECT_EQ(TextToParity("Evens"), prNone);
    EXPECT_EQ(TextToFlowControl("off"), fcCustom);
    // Only a-z fold: a Latin-1 letter does not match its ASCII look-alike.
    EXPECT_EQ(TextToParity("\xC9ven"), prNone);
}

TEST(DeviceCodes, FollowTheDeviceControlBlock) {
    const std::int32_t bps[16] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                  14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(BaudRateBitsPerSecond(static_cast<TBaudRate>(i)), bps[i]) << i;
    EXPECT_EQ(StopBitsCode(sbOneStopBit), 0);
    EXPECT_EQ(StopBitsCode(sbOne5StopBits), 1);
    EXPECT_EQ(StopBitsCode(sbTwoStopBits), 2);
    EXPECT_EQ(DataBitsCode(dbFive), 5);
    EXPECT_EQ(DataBitsCode(dbEight), 8);
    EXPECT_EQ(ParityCode(prMark), 3);
    EXPECT_EQ(ParityCode(prSpace), 4);
    EXPECT_EQ(DTRControlCode(dtrHandshake), 2u);
    EXPECT_EQ(RTSControlCode(rtsToggle), 3u);
}

TEST(Sets, HaveOneBitPerOrdinal) {
    EXPECT_EQ(TComEvents::All().Bits(), 0x3FFu);
    EXPECT_EQ((TComEvents{evRxChar, evRx80Full}).Bits(), 0x201u);
    EXPECT_EQ((TComErrors{ceTxFull}).Bits(), 0x80u);
    EXPECT_EQ((TSettingsGroups{sgLine, sgReceiveOptions}).Bits(), 33u);
}

} // namespace

namespace {

TEST(StoreForms, BooleansAreYesAndNo) {
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    for (const char* yes : {"yes", "Yes", "YES", "yEs"})
        EXPECT_TRUE(TextToBool(yes)) << yes;
    for (const char* no : {"True", "1", "", "No", "yes ", "Y"})
        EXPECT_FALSE(TextToBool(no)) << no;
}

TEST(StoreForms, ControlModesMatchWithoutCase) {
    EXPECT_EQ(RtsControlToText(rtsToggle), "Toggle");
    EXPECT_EQ(DtrControlToText(dtrHandshake), "Handshake");
    EXPECT_EQ(TextToRtsControl("toggle"), rtsToggle);
    EXPECT_EQ(TextToRtsControl("ENABLE"), rtsEnable);
    EXPECT_EQ(TextToRtsControl("off"), rtsDisable);
    EXPECT_EQ(TextToDtrControl("Toggle"), dtrDisable); // not a DTR mode
    EXPECT_EQ(TextToDtrControl("hAnDsHaKe"), dtrHandshake);
    for (int i = 0; i < 3; ++i) {
        const auto v = static_cast<TDTRFlowControl>(i);
        EXPECT_EQ(TextToDtrControl(DtrControlToText(v)), v);
    }
    for (int i = 0; i < 4; ++i) {
        const auto v = static_cast<TRTSFlowControl>(i);
        EXPECT_EQ(TextToRtsControl(RtsControlToText(v)), v);
    }
}

TEST(StoreForms, CharactersAreThemselvesOrHashAndCode) {
    EXPECT_EQ(CharToText(17), "#17");
    EXPECT_EQ(CharToText(19), "#19");
    EXPECT_EQ(CharToText(0), "#0");
    EXPECT_EQ(CharToText(' '), "#32");
    EXPECT_EQ(CharToText('A'), "A");
    EXPECT_EQ(CharToText('!'), "!");
    EXPECT_EQ(CharToText('\x7F'), "\x7F");
    EXPECT_EQ(CharToText('\x80'), "#128");
    EXPECT_EQ(CharToText('\xFF'), "#255");
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        EXPECT_EQ(TextToChar(CharToText(c)), c) << code;
    }
    EXPECT_EQ(TextToChar(""), 0);
    EXPECT_EQ(TextToChar("#abc"), 0);
    EXPECT_EQ(TextToChar("xyz"), 'x');
    EXPECT_EQ(TextToChar("#"), '#');
    EXPECT_EQ(TextToChar("#300"), 44);
    EXPECT_EQ(TextToChar("#$41"), 'A');
    EXPECT_EQ(TextToChar("#-1"), '\xFF');
}

} // namespace
