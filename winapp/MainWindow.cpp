#include "winapp/MainWindow.h"

#include "console/BaudRateTable.h"
#include "runtime/Application.h"
#include "runtime/Threads.h"

#include <commctrl.h>

#include <cstring>
#include <stdexcept>

using console::ControlKind;
using console::ControlLayout;

namespace {

constexpr char WindowClass[] = "TillmarkConsole";
constexpr char PanelClass[] = "TillmarkPanel";
constexpr int FirstId = 100;
// Posted when work is queued for the window's thread.
constexpr UINT ServeQueue = WM_APP + 1;
// How many rows a list shows dropped down.
constexpr int DroppedRows = 12;

// Controls inside panels, the tab control and the frame report to the window, which does all the
// work; a container only passes their messages up.
bool PassedUp(UINT Message) {
    return Message == WM_COMMAND || Message == WM_NOTIFY || Message == WM_CTLCOLORSTATIC ||
           Message == WM_CTLCOLORBTN;
}

LRESULT CALLBACK PanelProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (PassedUp(Message))
        return SendMessageA(GetAncestor(Window, GA_ROOT), Message, W, L);
    return DefWindowProcA(Window, Message, W, L);
}

LRESULT CALLBACK ContainerSubclass(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR,
                                   DWORD_PTR) {
    if (PassedUp(Message))
        return SendMessageA(GetAncestor(Window, GA_ROOT), Message, W, L);
    // A frame lets the mouse through to what lies under it, and so past its own children too:
    // the lists inside it must be reachable.
    if (Message == WM_NCHITTEST)
        return HTCLIENT;
    // A frame does not paint inside itself, and its parent clips its children out.
    if (Message == WM_ERASEBKGND) {
        RECT area;
        GetClientRect(Window, &area);
        FillRect(reinterpret_cast<HDC>(W), &area, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return DefSubclassProc(Window, Message, W, L);
}

void RegisterClasses(HINSTANCE Instance, WNDPROC WindowProc) {
    WNDCLASSEXA window{};
    window.cbSize = sizeof window;
    window.hInstance = Instance;
    window.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = PanelClass;
    window.lpfnWndProc = PanelProc;
    RegisterClassExA(&window);
    window.lpszClassName = WindowClass;
    window.lpfnWndProc = WindowProc;
    window.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(1));
    window.hIconSm = static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0));
    RegisterClassExA(&window);
}

} // namespace

TMainWindow::TMainWindow(HINSTANCE Instance, int Show) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses(Instance, &WindowProc);
    HDC screen = GetDC(nullptr);
    FDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    const console::WindowLayout& layout = console::MainWindowLayout;
    // Single border, system menu and minimise only: the window is never resized or maximised.
    constexpr DWORD style =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT bounds{0, 0, Scale(layout.ClientWidth), Scale(layout.ClientHeight)};
    AdjustWindowRectEx(&bounds, style, FALSE, 0);
    FWindow = CreateWindowExA(0, WindowClass, console::ApplicationTitle, style, layout.Left,
                              layout.Top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                              nullptr, nullptr, Instance, this);
    if (!FWindow)
        throw std::runtime_error("the window could not be created");
    FFonts.Attach(FWindow, FDpi);

    CreateControls();
    FillLists();
    AddTooltips();
    // Work another thread queues for this one (a port's events) is served from the message loop.
    HWND window = FWindow;
    SetWakeMainThread([window] { PostMessageA(window, ServeQueue, 0, 0); });
    SetApplicationErrorHandler([window](std::exception_ptr Error) {
        MessageBoxA(window, ExceptionMessage(Error).c_str(), console::ApplicationTitle,
                    MB_OK | MB_ICONERROR);
    });
    ShowWindow(FWindow, Show);
    UpdateWindow(FWindow);
}

TMainWindow::~TMainWindow() {
    SetApplicationErrorHandler({});
    SetWakeMainThread({});
    if (FWindow && IsWindow(FWindow))
        DestroyWindow(FWindow);
}

void TMainWindow::CreateControls() {
    for (const ControlLayout& control : console::WindowControls()) {
        const int id = FirstId + static_cast<int>(FById.size());
        HWND parent = control.Parent ? ControlWindow(control.Parent) : FWindow;
        HWND made = CreateControl(control, parent, id);
        if (!made)
            throw std::runtime_error(std::string("the window could not make ") + control.Name);
        FById.push_back(&control);
        FControls[control.Name] = made;
        // A later sibling lies over an earlier one; keyboard order is the layout's own.
        SetWindowPos(made, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const int height = console::FontHeightOf(control);
        HFONT font = control.Kind == ControlKind::Label
                         ? FFonts.Fitting(height, control.Text, control.Bounds.Width)
                         : FFonts.Of(height);
        SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        if (control.Kind == ControlKind::DropDownList) {
            SendMessageA(made, CB_SETITEMHEIGHT, 0, Scale(console::ListItemHeight));
            // The closed list is as high as the layout says, its edge included.
            SendMessageA(made, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                         Scale(control.Bounds.Height) - 6);
        }
        if (const auto button = console::ButtonOf(control.Name))
            EnableWindow(made, console::TConsoleWindow::Enabled(*button));
    }
    SendMessageA(ControlWindow(console::InitialRadioButton), BM_SETCHECK, BST_CHECKED, 0);
}

HWND TMainWindow::CreateControl(const ControlLayout& Control, HWND Parent, int Id) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (Control.TabStop ? WS_TABSTOP : 0);
    const char* windowClass = WC_BUTTONA;
    console::ControlRect r{Scale(Control.Bounds.Left), Scale(Control.Bounds.Top),
                           Scale(Control.Bounds.Width), Scale(Control.Bounds.Height)};
    bool container = false;
    switch (Control.Kind) {
    case ControlKind::Panel:
        windowClass = PanelClass;
        style |= WS_CLIPCHILDREN;
        break;
    case ControlKind::TabControl:
        windowClass = WC_TABCONTROLA;
        style |= WS_CLIPCHILDREN;
        container = true;
        break;
    case ControlKind::TabPage: {
        // The page fills the tab control's display area, under its one tab.
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(Control.Text);
        SendMessageA(Parent, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        RECT area;
        GetClientRect(Parent, &area);
        TabCtrl_AdjustRect(Parent, FALSE, &area);
        r = {area.left, area.top, area.right - area.left, area.bottom - area.top};
        windowClass = PanelClass;
        style |= WS_CLIPCHILDREN;
        break;
    }
    case ControlKind::Label:
        windowClass = WC_STATICA;
        style |= SS_LEFT | SS_NOPREFIX;
        break;
    case ControlKind::PushButton:
        style |= std::strcmp(Control.Name, console::DefaultButton) == 0 ? BS_DEFPUSHBUTTON
                                                                        : BS_PUSHBUTTON;
        break;
    case ControlKind::RadioButton:
        style |= BS_RADIOBUTTON;
        break;
    case ControlKind::GroupBox:
        style |= BS_GROUPBOX;
        container = true;
        break;
    case ControlKind::DropDownList:
        windowClass = WC_COMBOBOXA;
        style |= CBS_DROPDOWNLIST | WS_VSCROLL;
        // A list's height is the dropped-down one; the closed height comes from its font.
        r.Height += Scale(console::ListItemHeight) * DroppedRows;
        break;
    }
    HWND made = CreateWindowExA(
        0, windowClass, Control.Text, style, r.Left, r.Top, r.Width, r.Height, Parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(Parent, GWLP_HINSTANCE)), nullptr);
    if (made && container)
        SetWindowSubclass(made, ContainerSubclass, 0, 0);
    return made;
}

void TMainWindow::FillLists() {
    auto fill = [this](const char* Name, const auto& Items, int Selected) {
        HWND list = ControlWindow(Name);
        for (const auto& item : Items)
            SendMessageA(list, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(std::string(item).c_str()));
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(Selected), 0);
    };
    const console::PortListItems ports = console::FillPortList();
    fill("CbPRNCOM", ports.Items, ports.Selected);
    fill("CbPRNBAU", BaudRateItems, console::InitialSpeedItem);
    fill("CbPRNLang", console::LanguageItems, console::InitialLanguageItem);
}

void TMainWindow::AddTooltips() {
    FTooltips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FWindow,
                                nullptr, nullptr, nullptr);
    for (const ControlLayout* control : FById) {
        if (!control->Hint)
            continue;
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = FWindow;
        tool.uId = reinterpret_cast<UINT_PTR>(ControlWindow(control->Name));
        tool.lpszText = const_cast<char*>(control->Hint);
        SendMessageA(FTooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

LRESULT CALLBACK TMainWindow::WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (Message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(L);
        SetWindowLongPtrA(Window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TMainWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    return self ? self->Handle(Window, Message, W, L) : DefWindowProcA(Window, Message, W, L);
}

LRESULT TMainWindow::Handle(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
    case WM_COMMAND:
        Command(LOWORD(W), HIWORD(W));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Text in the window-text colour on the button face, opaque so that "Serial" hides the
        // frame's edge behind it.
        HDC dc = reinterpret_cast<HDC>(W);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case ServeQueue:
        try {
            CheckSynchronize(0);
        } catch (...) {
            ApplicationHandleException(std::current_exception());
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(Window);
        return 0;
    case WM_DESTROY:
        FWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(Window, Message, W, L);
    }
}

void TMainWindow::Command(int Id, int Code) {
    const std::size_t index = static_cast<std::size_t>(Id - FirstId);
    if (Id < FirstId || index >= FById.size())
        return;
    const ControlLayout& control = *FById[index];
    if (control.Kind == ControlKind::DropDownList && console::WantsKoreanInput(control.Name)) {
        if (Code == CBN_SETFOCUS)
            FKoreanInput.FocusGained();
        else if (Code == CBN_KILLFOCUS)
            FKoreanInput.FocusLost();
    }
    if (Code != BN_CLICKED)
        return;
    if (control.Kind == ControlKind::RadioButton) {
        // The radio buttons form one exclusive group.
        for (const ControlLayout* other : FById)
            if (other->Kind == ControlKind::RadioButton)
                SendMessageA(ControlWindow(other->Name), BM_SETCHECK,
                             other == &control ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    if (const auto button = console::ButtonOf(control.Name))
        if (IsWindowEnabled(ControlWindow(control.Name)))
            FModel.Press(*button, Choices());
}

console::WindowChoices TMainWindow::Choices() const {
    auto selected = [this](const char* Name) {
        return static_cast<int>(SendMessageA(ControlWindow(Name), CB_GETCURSEL, 0, 0));
    };
    std::string port;
    if (const int item = selected("CbPRNCOM"); item >= 0) {
        port.resize(static_cast<std::size_t>(SendMessageA(
            ControlWindow("CbPRNCOM"), CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0)));
        SendMessageA(ControlWindow("CbPRNCOM"), CB_GETLBTEXT, static_cast<WPARAM>(item),
                     reinterpret_cast<LPARAM>(port.data()));
    }
    return {SendMessageA(ControlWindow("RbPrnSerial"), BM_GETCHECK, 0, 0) == BST_CHECKED, port,
            selected("CbPRNBAU"), selected("CbPRNLang")};
}

bool TMainWindow::HandleNavigation(const MSG& Message) {
    if (Message.message != WM_KEYDOWN)
        return false;
    const char* focused = nullptr;
    for (const auto& [name, control] : FControls)
        if (control == GetFocus())
            focused = console::Control(name.c_str()).Name;
    auto usable = [this](const char* Name) {
        return IsWindowEnabled(ControlWindow(Name)) && IsWindowVisible(ControlWindow(Name));
    };
    switch (Message.wParam) {
    case VK_TAB:
        SetFocus(ControlWindow(console::NextTabStop(focused, GetKeyState(VK_SHIFT) < 0, usable)));
        return true;
    case VK_RETURN:
        // An open list takes Enter for itself.
        if (focused && console::Control(focused).Kind == ControlKind::DropDownList &&
            SendMessageA(ControlWindow(focused), CB_GETDROPPEDSTATE, 0, 0))
            return false;
        if (usable(console::ButtonForEnter(focused)))
            SendMessageA(ControlWindow(console::ButtonForEnter(focused)), BM_CLICK, 0, 0);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (!focused || console::Control(focused).Kind != ControlKind::RadioButton)
            return false;
        SetFocus(ControlWindow(console::NextRadioButton(focused)));
        SendMessageA(ControlWindow(console::NextRadioButton(focused)), BM_CLICK, 0, 0);
        return true;
    default:
        return false;
    }
}
