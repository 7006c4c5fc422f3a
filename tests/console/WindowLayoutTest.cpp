// The window's layout as both front ends build it: every control inside its parent, the focus
// order and the buttons bound to their actions.
#include "console/ConsoleWindow.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using console::ControlKind;
using console::ControlLayout;

TEST(WindowLayout, ParentsComeFirstAndEveryControlFitsInIt) {
    std::set<std::string> made;
    for (const ControlLayout& control : console::WindowControls()) {
        SCOPED_TRACE(control.Name);
        EXPECT_TRUE(made.insert(control.Name).second) << "named twice";
        const console::ControlRect& r = control.Bounds;
        int width = console::MainWindowLayout.ClientWidth;
        int height = console::MainWindowLayout.ClientHeight;
        if (control.Parent) {
            ASSERT_TRUE(made.count(control.Parent)) << "made before its parent";
            width = console::Control(control.Parent).Bounds.Width;
            height = console::Control(control.Parent).Bounds.Height;
        }
        EXPECT_GE(r.Left, 0);
        EXPECT_GE(r.Top, 0);
        EXPECT_LE(r.Left + r.Width, width);
        EXPECT_LE(r.Top + r.Height, height);
    }
    // "Serial" is made after the frame, so it lies over the frame's top edge.
    const ControlLayout& frame = console::Control("GroupBox1");
    const ControlLayout& serial = console::Control("RbPrnSerial");
    EXPECT_EQ(serial.Parent, std::string(frame.Parent));
    EXPECT_GE(serial.Bounds.Top, frame.Bounds.Top);
    EXPECT_LT(serial.Bounds.Top, frame.Bounds.Top + 8);
    EXPECT_THROW(console::Control("BtnNone"), std::out_of_range);
}

TEST(WindowLayout, FontHeightsComeFromTheControlOrItsNearestParent) {
    const std::pair<const char*, int> heights[] = {
        {"Panel1", 11}, {"PCMain", 16},        {"Panel2", 16},   {"BBtnDisplay", 16},
        {"Label9", 24}, {"RbPrnParallel", 16}, {"CbPRNCOM", 13}, {"Label24", 13}};
    for (const auto& [name, height] : heights)
        EXPECT_EQ(console::FontHeightOf(console::Control(name)), height) << name;
}

TEST(WindowLayout, TabVisitsTheTabStopsAndTheButtonsPressTheirActions) {
    std::set<std::string> stops;
    for (const ControlLayout& control : console::WindowControls())
        if (control.TabStop)
            stops.insert(control.Name);
    const auto order = console::TabOrder();
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()), stops);
    EXPECT_FALSE(stops.count("RbPrnParallel"));

    using enum console::ConsoleButton;
    const std::pair<const char*, console::ConsoleButton> buttons[] = {{"BBtnDisplay", Print},
                                                                      {"BtnBell", Bell},
                                                                      {"BtnEpsonOpen", Epson},
                                                                      {"BBtnCashDrawer", Open}};
    for (const auto& [name, button] : buttons) {
        EXPECT_EQ(console::ButtonOf(name), button) << name;
        EXPECT_EQ(console::Control(name).Kind, ControlKind::PushButton);
        EXPECT_EQ(console::TConsoleWindow::Enabled(button), button != Open);
    }
    EXPECT_FALSE(console::ButtonOf("RbPrnSerial"));
    EXPECT_EQ(console::ButtonOf(console::DefaultButton), Open);
    for (const char* list : {"CbPRNCOM", "CbPRNBAU", "CbPRNLang"})
        EXPECT_TRUE(console::WantsKoreanInput(list)) << list;
    EXPECT_FALSE(console::WantsKoreanInput("BtnBell"));
}

TEST(WindowLayout, KeysMoveAlongTheTabOrderPressButtonsAndSwitchRadioButtons) {
    const std::string closed = "BBtnCashDrawer"; // disabled, so Tab steps over it
    auto usable = [&](const char* Name) { return Name != closed; };
    struct Case {
        const char* From;
        bool Backwards;
        std::string To;
    };
    const Case tabs[] = {
        {nullptr, false, "BBtnDisplay"},        {nullptr, true, "BtnEpsonOpen"},
        {"BBtnDisplay", false, "CbPRNCOM"},     {"CbPRNBAU", false, "RbPrnSerial"},
        {"BtnEpsonOpen", false, "BBtnDisplay"}, {"BBtnDisplay", true, "BtnEpsonOpen"},
        {"RbPrnParallel", false, "BBtnDisplay"}};
    for (const Case& tab : tabs)
        EXPECT_EQ(console::NextTabStop(tab.From, tab.Backwards, usable), tab.To)
            << (tab.From ? tab.From : "nothing") << (tab.Backwards ? " back" : "");
    EXPECT_EQ(
        std::string(console::NextTabStop("BtnBell", false, [](const char*) { return false; })),
        "BtnBell");

    EXPECT_EQ(std::string(console::ButtonForEnter("BtnBell")), "BtnBell");
    EXPECT_EQ(std::string(console::ButtonForEnter("CbPRNLang")), console::DefaultButton);
    EXPECT_EQ(std::string(console::ButtonForEnter(nullptr)), console::DefaultButton);
    EXPECT_EQ(std::string(console::NextRadioButton("RbPrnSerial")), "RbPrnParallel");
    EXPECT_EQ(std::string(console::NextRadioButton("RbPrnParallel")), "RbPrnSerial");
}

} // namespace
