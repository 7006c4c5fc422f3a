// The console's one window on the Win32 API: controls built from the shared layout and bound to
// the shared window model, which does what each press does.
#pragma once

#include "console/ConsoleWindow.h"
#include "winapp/KoreanInput.h"
#include "winapp/LayoutFonts.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class TMainWindow {
public:
    // Creates the window and its controls, fills the lists and shows it.
    TMainWindow(HINSTANCE Instance, int Show);
    ~TMainWindow();
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    HWND Handle() const { return FWindow; }
    // The control of that name in the layout.
    HWND ControlWindow(const char* Name) const { return FControls.at(Name); }
    // Keys that move between controls the way the layout orders them (Tab, the arrows between
    // the radio buttons, Enter for the default button); true when Message was one of them.
    bool HandleNavigation(const MSG& Message);

private:
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L);
    LRESULT Handle(HWND Window, UINT Message, WPARAM W, LPARAM L);
    void CreateControls();
    HWND CreateControl(const console::ControlLayout& Control, HWND Parent, int Id);
    void FillLists();
    void AddTooltips();
    void Command(int Id, int Code);
    console::WindowChoices Choices() const;
    int Scale(int Pixels) const { return MulDiv(Pixels, FDpi, 96); }

    console::TConsoleWindow FModel;
    HWND FWindow = nullptr;
    HWND FTooltips = nullptr;
    int FDpi = 96;
    std::map<std::string, HWND> FControls;
    std::vector<const console::ControlLayout*> FById; // control id - FirstId
    TLayoutFonts FFonts;
    TKoreanInput FKoreanInput;
};
