// The console window without a toolkit: its fixed layout, what its lists hold at start, and what
// a press of each button does. The Qt window and the native Windows window each build their
// controls from this and forward clicks to it; neither holds a rule of its own.
#pragma once

#include "console/ConsoleActions.h"
#include "receipt/Receipt.h"
#include "serial/CPort.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace console {

// The window's caption, which is also the application's title.
inline constexpr char ApplicationTitle[] = "Tillmark for TM-T88 Series";

// The window: placed and sized in pixels at 96 dpi, in the face and character height its
// controls take unless they have their own.
struct WindowLayout {
    int Left = 443;
    int Top = 251;
    int ClientWidth = 384;
    int ClientHeight = 385;
    const char* FontFace = "MS Sans Serif";
    int FontHeight = 11;
};
inline constexpr WindowLayout MainWindowLayout{};

enum class ControlKind : std::uint8_t {
    Panel,
    TabControl,
    TabPage,
    Label,
    PushButton,
    RadioButton,
    GroupBox,
    DropDownList
};

// The four buttons a user can press.
enum class ConsoleButton : std::uint8_t { Print, Bell, Epson, Open };

struct ControlRect {
    int Left, Top, Width, Height;
};

// One control of the layout. Bounds are relative to the parent's client area (a tab page's to
// the tab control's display area); FontHeight 0 takes the parent's face and height.
struct ControlLayout {
    const char* Name;
    ControlKind Kind;
    const char* Parent; // nullptr: the window
    ControlRect Bounds;
    const char* Text;
    int FontHeight = 0;
    const char* Hint = nullptr; // tooltip
    bool TabStop = false;
};

// Every control, parents before children and in the order they are made: a later sibling lies
// over an earlier one, so "Serial" covers the frame's top edge where the blank caption leaves a
// gap.
std::span<const ControlLayout> WindowControls();
// The control of that name; std::out_of_range when the layout has none.
const ControlLayout& Control(const char* Name);
// The character height a control's text is drawn at: its own, else its nearest parent's, else
// the window's.
int FontHeightOf(const ControlLayout& Control);
// The controls Tab moves through, in order.
std::span<const char* const> TabOrder();
// Keyboard moves where the toolkit leaves them to the window. Tab from Current (null or a control
// off the order: the first stop) to the next control in TabOrder that Usable accepts, or the one
// before with Backwards; Current itself when there is no other.
const char* NextTabStop(const char* Current, bool Backwards,
                        const std::function<bool(const char*)>& Usable);
// Enter presses the focused button, and anywhere else the default button.
const char* ButtonForEnter(const char* Focused);
// The arrow keys move from a radio button to the next one of its group, which they choose.
const char* NextRadioButton(const char* Radio);
// The button a control stands for; none for controls that are not test buttons.
std::optional<ConsoleButton> ButtonOf(const char* Name);
// Enter presses this button wherever the focus is not on another button.
inline constexpr char DefaultButton[] = "BBtnCashDrawer";

// Drop-down rows are this high whatever the face.
inline constexpr int ListItemHeight = 16;
// The language list's items in order; item 1 is selected at start.
inline constexpr std::array<const char*, 2> LanguageItems = {"Korean", "English"};
inline constexpr int InitialLanguageItem = 1;
// "Serial" is chosen at start.
inline constexpr char InitialRadioButton[] = "RbPrnSerial";
// The speed list (BaudRateItems) starts at "9600".
inline constexpr int InitialSpeedItem = 5;
// The three lists ask for Korean input while they have the focus.
bool WantsKoreanInput(const char* Name);

// The port list as start-up fills it from the operating system's serial-port map: the ports in
// ascending order ignoring case and the item selected, -1 for none (no map, an empty one, or a
// map value that holds no text). Never throws: start-up goes on with what was listed.
struct PortListItems {
    std::vector<std::string> Items;
    int Selected = -1;
};
PortListItems FillPortList();

// What the window shows at a press, read afresh from its controls every time.
struct WindowChoices {
    bool Serial = true; // "Serial" checked, else "Parallel"
    std::string Port;   // the port list's text: its selected item, or empty
    int SpeedItem = InitialSpeedItem;
    int LanguageItem = InitialLanguageItem;
};

// The window's state behind its controls: the printer's serial port, closed between actions,
// and the receipt's last date line.
class TConsoleWindow {
public:
    TConsoleWindow();
    ~TConsoleWindow();
    TConsoleWindow(const TConsoleWindow&) = delete;
    TConsoleWindow& operator=(const TConsoleWindow&) = delete;

    // Whether the button can be pressed: "Open" stays disabled from start to end.
    static bool Enabled(ConsoleButton Button);

    // Runs the button's action on the calling (window's) thread. The action swallows the errors
    // of its own work, so the printer's response is the only result; the one step outside its
    // guard, closing a serial port left connected, hands its error to the application's handler,
    // which shows its message. Never throws.
    void Press(ConsoleButton Button, const WindowChoices& Choices) noexcept;

    std::unique_ptr<TComPort> ComPort1;
    // Selector for opening the drawer through the station itself; nothing acts on it.
    std::int32_t PosDrawerKind = 0;
    // The receipt's date and time line, made by every Print.
    std::string DateStamp;

private:
    TPrinterChoice PrinterOf(const WindowChoices& Choices);
    void Print(const WindowChoices& Choices);
    void SendDrawerCommand(receipt::Drawer Kind, const WindowChoices& Choices);
};

} // namespace console
