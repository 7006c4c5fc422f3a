#include "app/MainWindow.h"

#include "app/PrinterIcon.h"
#include "console/BaudRateTable.h"

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>

#include <map>
#include <string>

using console::ControlKind;
using console::ControlLayout;

namespace {

// The layout's face at a character height in pixels; where it is missing the system's sans-serif
// face stands in at the same height.
QFont LayoutFont(int PixelHeight) {
    QFont font(QString::fromLatin1(console::MainWindowLayout.FontFace));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(PixelHeight);
    return font;
}

// Drop-down rows of one fixed height, whatever the face's own height.
class TFixedItemHeight : public QStyledItemDelegate {
public:
    TFixedItemHeight(int Height, QObject* Parent) : QStyledItemDelegate(Parent), FHeight(Height) {}
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        QSize size = QStyledItemDelegate::sizeHint(Option, Index);
        size.setHeight(FHeight);
        return size;
    }

private:
    int FHeight;
};

QRect BoundsOf(const ControlLayout& Control) {
    return {Control.Bounds.Left, Control.Bounds.Top, Control.Bounds.Width, Control.Bounds.Height};
}

// A stand-in face runs wider than the layout's; narrow it rather than cut the caption off.
void FitLabel(QLabel* Label) {
    QFont font = Label->font();
    for (int stretch = 99;
         stretch >= 50 && QFontMetrics(font).horizontalAdvance(Label->text()) > Label->width();
         --stretch)
        font.setStretch(stretch);
    Label->setFont(font);
}

void FillList(QComboBox* List, const auto& Items, int Selected) {
    for (const auto& item : Items)
        List->addItem(QString::fromLatin1(std::string(item).c_str()));
    List->setCurrentIndex(Selected);
}

} // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QWidget(Parent) {
    CreateControls();
    FillLists();
    BindButtons();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateControls() {
    const console::WindowLayout& layout = console::MainWindowLayout;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(console::ApplicationTitle));
    // Single border, system menu and minimise only: the window is never resized or maximised.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    move(layout.Left, layout.Top);
    setFixedSize(layout.ClientWidth, layout.ClientHeight);
    setWindowIcon(PrinterIcon());
    setFont(LayoutFont(layout.FontHeight));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    std::map<std::string, QWidget*> made;
    for (const ControlLayout& control : console::WindowControls()) {
        QWidget* widget = CreateControl(control, control.Parent ? made.at(control.Parent) : this);
        // Controls carry their layout names, so tests and style rules find them by name.
        widget->setObjectName(QString::fromLatin1(control.Name));
        if (control.FontHeight)
            widget->setFont(LayoutFont(control.FontHeight));
        if (control.Kind != ControlKind::TabPage)
            widget->setGeometry(BoundsOf(control));
        if (control.Hint)
            widget->setToolTip(QString::fromUtf8(control.Hint));
        if (!control.TabStop)
            widget->setFocusPolicy(
                static_cast<Qt::FocusPolicy>(widget->focusPolicy() & ~Qt::TabFocus));
        if (auto* label = qobject_cast<QLabel*>(widget))
            FitLabel(label);
        made[control.Name] = widget;
    }
    auto find = [&]<typename Control>(Control*& Member, const char* Name) {
        Member = static_cast<Control*>(made.at(Name));
    };
    find(Panel1, "Panel1");
    find(PCMain, "PCMain");
    find(TSPrinter, "TSPrinter");
    find(Panel2, "Panel2");
    find(Label9, "Label9");
    find(Label25, "Label25");
    find(Label1, "Label1");
    find(BBtnDisplay, "BBtnDisplay");
    find(RbPrnParallel, "RbPrnParallel");
    find(GroupBox1, "GroupBox1");
    find(Label24, "Label24");
    find(Label10, "Label10");
    find(CbPRNCOM, "CbPRNCOM");
    find(CbPRNBAU, "CbPRNBAU");
    find(RbPrnSerial, "RbPrnSerial");
    find(CbPRNLang, "CbPRNLang");
    find(BtnBell, "BtnBell");
    find(BtnEpsonOpen, "BtnEpsonOpen");
    find(BBtnCashDrawer, "BBtnCashDrawer");

    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PCMain->setCurrentWidget(TSPrinter);
    static_cast<QRadioButton*>(made.at(console::InitialRadioButton))->setChecked(true);
    static_cast<QPushButton*>(made.at(console::DefaultButton))->setDefault(true);
    const auto order = console::TabOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(made.at(order[i - 1]), made.at(order[i]));
}

QWidget* TfrmMain::CreateControl(const ControlLayout& Control, QWidget* Parent) {
    const QString text = QString::fromUtf8(Control.Text);
    switch (Control.Kind) {
    case ControlKind::Panel: {
        auto* panel = new QFrame(Parent);
        panel->setFrameStyle(QFrame::NoFrame);
        return panel;
    }
    case ControlKind::TabControl:
        return new QTabWidget(Parent);
    case ControlKind::TabPage: {
        auto* page = new QWidget;
        static_cast<QTabWidget*>(Parent)->addTab(page, text);
        return page;
    }
    case ControlKind::Label:
        return new QLabel(text, Parent);
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, Parent);
        // Enter presses the focused button, as on the desktop this layout comes from.
        button->setAutoDefault(true);
        return button;
    }
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(text, Parent);
        radio->setAutoFillBackground(true); // hides a frame's edge behind its text
        return radio;
    }
    case ControlKind::GroupBox: {
        auto* frame = new QGroupBox(text, Parent);
        // The frame's top edge runs through the middle of its caption line, as on the desktop
        // the layout comes from, whatever the style would otherwise do.
        frame->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 9px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px; }"));
        return frame;
    }
    case ControlKind::DropDownList: {
        auto* list = new QComboBox(Parent);
        list->setEditable(false);
        list->setItemDelegate(new TFixedItemHeight(console::ListItemHeight, list));
        return list;
    }
    }
    return nullptr;
}

void TfrmMain::FillLists() {
    const console::PortListItems ports = console::FillPortList();
    FillList(CbPRNCOM, ports.Items, ports.Selected);
    FillList(CbPRNBAU, BaudRateItems, console::InitialSpeedItem);
    FillList(CbPRNLang, console::LanguageItems, console::InitialLanguageItem);
}

void TfrmMain::BindButtons() {
    for (const ControlLayout& control : console::WindowControls()) {
        const std::optional<console::ConsoleButton> button = console::ButtonOf(control.Name);
        if (!button)
            continue;
        auto* widget = findChild<QPushButton*>(QString::fromLatin1(control.Name));
        widget->setEnabled(console::TConsoleWindow::Enabled(*button));
        connect(widget, &QPushButton::clicked, this,
                [this, pressed = *button] { FModel.Press(pressed, Choices()); });
    }
}

console::WindowChoices TfrmMain::Choices() const {
    return {RbPrnSerial->isChecked(), CbPRNCOM->currentText().toLatin1().toStdString(),
            CbPRNBAU->currentIndex(), CbPRNLang->currentIndex()};
}
