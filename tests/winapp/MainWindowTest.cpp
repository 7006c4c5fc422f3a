// The Windows window against its layout, made hidden on the stage's virtual display: every
// control where the layout puts it, with its text and character height; the window fixed in
// size without a maximise box; the lists' items and the initial choices; the tooltips, the
// default button and "Open" disabled. The stage clicks the shown window end to end.
#include "winapp/MainWindow.h"

#include "console/BaudRateTable.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using console::ControlKind;
using console::ControlLayout;

std::string TextOf(HWND Control) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(Control)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(Control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<std::string> Items(HWND List) {
    std::vector<std::string> items;
    for (WPARAM i = 0; i < static_cast<WPARAM>(SendMessageA(List, CB_GETCOUNT, 0, 0)); ++i) {
        std::string item(static_cast<std::size_t>(SendMessageA(List, CB_GETLBTEXTLEN, i, 0)), '\0');
        SendMessageA(List, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        items.push_back(item);
    }
    return items;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GetEnvironmentVariableA("DISPLAY", nullptr, 0))
            GTEST_SKIP() << "no display to make the window on";
        FWindow = std::make_unique<TMainWindow>(GetModuleHandleA(nullptr), SW_HIDE);
    }
    HWND Of(const char* Name) const { return FWindow->ControlWindow(Name); }

    std::unique_ptr<TMainWindow> FWindow;
};

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThemWithTheirTextsAndFaces) {
    RECT client;
    GetClientRect(FWindow->Handle(), &client);
    EXPECT_EQ(client.right, console::MainWindowLayout.ClientWidth);
    EXPECT_EQ(client.bottom, console::MainWindowLayout.ClientHeight);
    for (const ControlLayout& control : console::WindowControls()) {
        SCOPED_TRACE(control.Name);
        HWND made = Of(control.Name);
        RECT r;
        GetWindowRect(made, &r);
        MapWindowPoints(nullptr, GetParent(made), reinterpret_cast<POINT*>(&r), 2);
        if (control.Kind != ControlKind::TabPage) {
            EXPECT_EQ(r.left, control.Bounds.Left);
            EXPECT_EQ(r.top, control.Bounds.Top);
            EXPECT_EQ(r.right - r.left, control.Bounds.Width);
            EXPECT_EQ(r.bottom - r.top, control.Bounds.Height);
        }
        if (control.Kind == ControlKind::DropDownList) {
            EXPECT_EQ(SendMessageA(made, CB_GETITEMHEIGHT, 0, 0), console::ListItemHeight);
        } else if (control.Kind != ControlKind::TabControl) {
            EXPECT_EQ(TextOf(made), control.Text);
        }
        // Panels and the page draw no text of their own.
        if (control.Kind != ControlKind::Panel && control.Kind != ControlKind::TabPage) {
            LOGFONTA font{};
            GetObjectA(reinterpret_cast<HFONT>(SendMessageA(made, WM_GETFONT, 0, 0)), sizeof font,
                       &font);
            EXPECT_EQ(font.lfHeight, -console::FontHeightOf(control));
        }
    }
    // The page lies inside the tab control, below its one tab.
    EXPECT_EQ(TabCtrl_GetItemCount(Of("PCMain")), 1);
    EXPECT_EQ(GetParent(Of("Panel2")), Of("TSPrinter"));
}

TEST_F(MainWindowTest, WindowIsFixedInSizeWithoutMaximiseAndCarriesTheTitleAndIcon) {
    const LONG_PTR style = GetWindowLongPtrA(FWindow->Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(TextOf(FWindow->Handle()), console::ApplicationTitle);
    RECT frame;
    GetWindowRect(FWindow->Handle(), &frame);
    EXPECT_EQ(frame.left, console::MainWindowLayout.Left);
    EXPECT_EQ(frame.top, console::MainWindowLayout.Top);
}

TEST_F(MainWindowTest, ChoicesStartAtTheirDefaultsWithOpenDisabledAndHintsOnThreeButtons) {
    EXPECT_EQ(Items(Of("CbPRNBAU")),
              std::vector<std::string>(BaudRateItems.begin(), BaudRateItems.end()));
    EXPECT_EQ(SendMessageA(Of("CbPRNBAU"), CB_GETCURSEL, 0, 0), 5);
    EXPECT_EQ(Items(Of("CbPRNLang")), (std::vector<std::string>{"Korean", "English"}));
    EXPECT_EQ(SendMessageA(Of("CbPRNLang"), CB_GETCURSEL, 0, 0), 1);
    // The serial-port map the stage gave Wine lists its ports, sorted, the first chosen.
    const std::vector<std::string> ports = Items(Of("CbPRNCOM"));
    EXPECT_EQ(ports, console::FillPortList().Items);
    EXPECT_EQ(SendMessageA(Of("CbPRNCOM"), CB_GETCURSEL, 0, 0), ports.empty() ? -1 : 0);
    EXPECT_EQ(SendMessageA(Of("RbPrnSerial"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(Of("RbPrnParallel"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(GetWindowLongPtrA(Of("RbPrnParallel"), GWL_STYLE) & WS_TABSTOP);

    for (const char* button : {"BBtnDisplay", "BtnBell", "BtnEpsonOpen", "BBtnCashDrawer"}) {
        SCOPED_TRACE(button);
        const bool open = std::string(button) == "BBtnCashDrawer";
        EXPECT_EQ(IsWindowEnabled(Of(button)) != 0, !open);
        EXPECT_EQ((GetWindowLongPtrA(Of(button), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON,
                  open);
    }
    HWND tips = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND Window, LPARAM Found) {
            char name[64];
            if (GetClassNameA(Window, name, sizeof name) && std::string(name) == TOOLTIPS_CLASSA)
                *reinterpret_cast<HWND*>(Found) = Window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 3);
    TTTOOLINFOA tool{};
    char text[80] = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = FWindow->Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Of("BtnBell"));
    tool.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, "Ring the bell through the EPSON Printer");
}

} // namespace
