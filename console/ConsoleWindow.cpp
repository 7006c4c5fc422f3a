#include "console/ConsoleWindow.h"

#include "console/ConsoleActions.h"
#include "console/PortMap.h"
#include "console/PortSettings.h"
#include "receipt/DateStamp.h"
#include "runtime/Application.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace console {

namespace {

using enum ControlKind;

// A caption of 20 spaces: the gap in the frame's top edge that "Serial" fills.
constexpr char GroupBoxCaption[] = "                    ";

constexpr ControlLayout Controls[] = {
    {"Panel1", Panel, nullptr, {0, 0, 384, 385}, ""},
    {"PCMain", TabControl, "Panel1", {1, 1, 382, 383}, "", 16},
    {"TSPrinter", TabPage, "PCMain", {0, 0, 374, 348}, "Tillmark"},
    {"Panel2", Panel, "TSPrinter", {0, 0, 374, 348}, ""},
    {"Label9", Label, "Panel2", {15, 6, 71, 29}, "Printer", 24},
    {"Label25", Label, "Panel2", {9, 188, 72, 20}, "Language", 16},
    {"Label1", Label, "Panel2", {15, 246, 133, 29}, "CashDrawer", 24},
    {"BBtnDisplay", PushButton, "Panel2", {261, 179, 73, 33}, "Print", 0, nullptr, true},
    {"RbPrnParallel", RadioButton, "Panel2", {244, 48, 89, 17}, "Parallel"},
    {"GroupBox1", GroupBox, "Panel2", {14, 46, 203, 124}, GroupBoxCaption},
    {"Label24", Label, "GroupBox1", {16, 35, 24, 16}, "Port", 13},
    {"Label10", Label, "GroupBox1", {12, 81, 61, 16}, "BaudRate", 13},
    {"CbPRNCOM", DropDownList, "GroupBox1", {83, 30, 102, 24}, "", 13, nullptr, true},
    {"CbPRNBAU", DropDownList, "GroupBox1", {83, 77, 102, 24}, "", 13, nullptr, true},
    {"RbPrnSerial", RadioButton, "Panel2", {30, 48, 65, 17}, "Serial", 0, nullptr, true},
    {"CbPRNLang", DropDownList, "Panel2", {97, 186, 104, 24}, "", 13, nullptr, true},
    {"BtnBell",
     PushButton,
     "Panel2",
     {36, 296, 73, 33},
     "Bell",
     0,
     "Ring the bell through the EPSON Printer",
     true},
    {"BtnEpsonOpen",
     PushButton,
     "Panel2",
     {152, 297, 73, 33},
     "Epson",
     0,
     "Open CashDrawer from the EPSON Printer",
     true},
    {"BBtnCashDrawer",
     PushButton,
     "Panel2",
     {264, 296, 73, 33},
     "Open",
     0,
     "Open CashDrawer from the POS System",
     true},
};

// Print, the frame's two lists, "Serial", the language, then the drawer buttons. "Parallel" is
// no tab stop; the arrow keys reach it from "Serial".
constexpr const char* FocusOrder[] = {"BBtnDisplay", "CbPRNCOM", "CbPRNBAU",     "RbPrnSerial",
                                      "CbPRNLang",   "BtnBell",  "BtnEpsonOpen", "BBtnCashDrawer"};

struct ButtonName {
    const char* Name;
    ConsoleButton Button;
};
constexpr ButtonName Buttons[] = {{"BBtnDisplay", ConsoleButton::Print},
                                  {"BtnBell", ConsoleButton::Bell},
                                  {"BtnEpsonOpen", ConsoleButton::Epson},
                                  {"BBtnCashDrawer", ConsoleButton::Open}};

} // namespace

std::span<const ControlLayout> WindowControls() {
    return Controls;
}

const ControlLayout& Control(const char* Name) {
    for (const ControlLayout& control : Controls)
        if (std::strcmp(control.Name, Name) == 0)
            return control;
    throw std::out_of_range(std::string("the window has no control ") + Name);
}

int FontHeightOf(const ControlLayout& Control) {
    for (const ControlLayout* control = &Control;; control = &console::Control(control->Parent)) {
        if (control->FontHeight)
            return control->FontHeight;
        if (!control->Parent)
            return MainWindowLayout.FontHeight;
    }
}

std::span<const char* const> TabOrder() {
    return FocusOrder;
}

const char* NextTabStop(const char* Current, bool Backwards,
                        const std::function<bool(const char*)>& Usable) {
    const std::size_t count = std::size(FocusOrder);
    std::size_t at = Backwards ? 0 : count - 1; // so that the first step lands on the first stop
    for (std::size_t i = 0; i < count; ++i)
        if (Current && std::strcmp(FocusOrder[i], Current) == 0)
            at = i;
    for (std::size_t step = 1; step <= count; ++step) {
        const char* next = FocusOrder[(at + (Backwards ? count - step : step)) % count];
        if (Usable(next))
            return next;
    }
    return Current;
}

const char* ButtonForEnter(const char* Focused) {
    return Focused && Control(Focused).Kind == PushButton ? Focused : DefaultButton;
}

const char* NextRadioButton(const char* Radio) {
    const ControlLayout* first = nullptr;
    bool passed = false;
    for (const ControlLayout& control : Controls) {
        if (control.Kind != RadioButton || std::strcmp(control.Parent, Control(Radio).Parent) != 0)
            continue;
        if (passed)
            return control.Name;
        first = first ? first : &control;
        passed = std::strcmp(control.Name, Radio) == 0;
    }
    return first ? first->Name : Radio;
}

std::optional<ConsoleButton> ButtonOf(const char* Name) {
    for (const ButtonName& button : Buttons)
        if (std::strcmp(button.Name, Name) == 0)
            return button.Button;
    return std::nullopt;
}

bool WantsKoreanInput(const char* Name) {
    return Control(Name).Kind == DropDownList;
}

PortListItems FillPortList() {
    PortListItems list;
    try {
        const PortMap map = ReadPortMap();
        for (const MappedPort& mapped : SortedPorts(map.Ports))
            list.Items.push_back(mapped.Port);
        // A map value that holds no text leaves what was listed so far, and nothing selected.
        list.Selected = !map.Error && !list.Items.empty() ? 0 : -1;
    } catch (...) {
        list.Selected = -1; // start-up goes on with what was listed
    }
    return list;
}

TConsoleWindow::TConsoleWindow() : ComPort1(std::make_unique<TComPort>(nullptr)) {
    ComPort1->SetName("ComPort1");
    LoadConsolePortSettings(*ComPort1);
}

TConsoleWindow::~TConsoleWindow() = default;

bool TConsoleWindow::Enabled(ConsoleButton Button) {
    return Button != ConsoleButton::Open;
}

void TConsoleWindow::Press(ConsoleButton Button, const WindowChoices& Choices) noexcept {
    try {
        switch (Button) {
        case ConsoleButton::Print:
            Print(Choices);
            break;
        case ConsoleButton::Bell:
            SendDrawerCommand(receipt::Drawer::Bell, Choices);
            break;
        case ConsoleButton::Epson:
            SendDrawerCommand(receipt::Drawer::Epson, Choices);
            break;
        case ConsoleButton::Open:
            // Opening the drawer through the station itself has no device behind it here,
            // whatever PosDrawerKind holds.
            break;
        }
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
}

TPrinterChoice TConsoleWindow::PrinterOf(const WindowChoices& Choices) {
    if (Choices.Serial)
        return TSerialPrinter{{Choices.Port, Choices.SpeedItem}, ComPort1.get()};
    return TParallelPrinter{};
}

void TConsoleWindow::Print(const WindowChoices& Choices) {
    DateStamp = receipt::LocalDateStamp();
    // Nothing is shown; the printer not printing is the result.
    (void)RunOnPrinter(PrinterOf(Choices),
                       PrintAction(receipt::LanguageOfItem(Choices.LanguageItem), DateStamp));
}

void TConsoleWindow::SendDrawerCommand(receipt::Drawer Kind, const WindowChoices& Choices) {
    // Nothing is shown; the printer not responding is the result.
    (void)RunOnPrinter(PrinterOf(Choices), DrawerAction(Kind));
    // A drawer press leaves the serial port closed whichever path it took (Print does not).
    if (ComPort1->Connected())
        ComPort1->ClosePort();
}

} // namespace console
