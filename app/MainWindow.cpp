#include "app/MainWindow.h"

#include "app/PrinterIcon.h"
#include "console/BaudRateTable.h"
#include "console/PortSettings.h"
#include "runtime/Application.h"

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

namespace {

// The layout's face at a character height in pixels; where it is missing the system's sans-serif
// face stands in at the same height.
QFont LayoutFont(int PixelHeight) {
    QFont font(QStringLiteral("MS Sans Serif"));
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

// Controls carry their layout names, so tests and style rules find them by name.
template <typename Control>
Control* Named(Control* Widget, const char* Name) {
    Widget->setObjectName(QString::fromLatin1(Name));
    return Widget;
}

QLabel* NewLabel(QWidget* Parent, const char* Text, QRect Bounds, int PixelHeight) {
    auto* label = new QLabel(QString::fromUtf8(Text), Parent);
    label->setGeometry(Bounds);
    QFont font = LayoutFont(PixelHeight);
    // A stand-in face runs wider than the layout's; narrow it rather than cut the caption off.
    for (int stretch = 99;
         stretch >= 50 && QFontMetrics(font).horizontalAdvance(label->text()) > Bounds.width();
         --stretch)
        font.setStretch(stretch);
    label->setFont(font);
    return label;
}

QComboBox* NewDropDownList(QWidget* Parent, QRect Bounds) {
    auto* list = new QComboBox(Parent);
    list->setGeometry(Bounds);
    list->setFont(LayoutFont(13));
    list->setEditable(false);
    list->setItemDelegate(new TFixedItemHeight(16, list));
    return list;
}

QPushButton* NewButton(QWidget* Parent, const char* Text, QRect Bounds, const char* Hint) {
    auto* button = new QPushButton(QString::fromUtf8(Text), Parent);
    button->setGeometry(Bounds);
    if (Hint)
        button->setToolTip(QString::fromUtf8(Hint));
    // Enter presses the focused button, as on the desktop this layout comes from.
    button->setAutoDefault(true);
    return button;
}

} // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QWidget(Parent) {
    CreateControls();
    CreateComPort();
    ConnectHandlers();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(ApplicationTitle));
    // Single border, system menu and minimise only: the window is never resized or maximised.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    move(443, 251);
    setFixedSize(384, 385);
    setWindowIcon(PrinterIcon());
    setFont(LayoutFont(11));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    Panel1 = Named(new QFrame(this), "Panel1");
    Panel1->setGeometry(0, 0, 384, 385);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    PCMain = Named(new QTabWidget(Panel1), "PCMain");
    PCMain->setGeometry(1, 1, 382, 383);
    PCMain->setFont(LayoutFont(16));
    TSPrinter = Named(new QWidget, "TSPrinter");
    PCMain->addTab(TSPrinter, QStringLiteral("Tillmark"));
    PCMain->setCurrentWidget(TSPrinter);

    Panel2 = Named(new QFrame(TSPrinter), "Panel2");
    Panel2->setGeometry(0, 0, 374, 348);
    Panel2->setFrameStyle(QFrame::NoFrame);

    Label9 = Named(NewLabel(Panel2, "Printer", {15, 6, 71, 29}, 24), "Label9");
    Label25 = Named(NewLabel(Panel2, "Language", {9, 188, 72, 20}, 16), "Label25");
    Label1 = Named(NewLabel(Panel2, "CashDrawer", {15, 246, 133, 29}, 24), "Label1");

    BBtnDisplay = Named(NewButton(Panel2, "Print", {261, 179, 73, 33}, nullptr), "BBtnDisplay");

    RbPrnParallel = Named(new QRadioButton(QStringLiteral("Parallel"), Panel2), "RbPrnParallel");
    RbPrnParallel->setGeometry(244, 48, 89, 17);
    RbPrnParallel->setFocusPolicy(Qt::ClickFocus); // not a tab stop

    // The blank caption leaves a gap in the frame's top edge for the "Serial" button.
    GroupBox1 = Named(new QGroupBox(QString(20, QLatin1Char(' ')), Panel2), "GroupBox1");
    GroupBox1->setGeometry(14, 46, 203, 124);
    // The frame's top edge runs through the middle of its caption line, as on the desktop the
    // layout comes from, whatever the style would otherwise do.
    GroupBox1->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                       " margin-top: 9px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px; }"));
    Label24 = Named(NewLabel(GroupBox1, "Port", {16, 35, 24, 16}, 13), "Label24");
    Label10 = Named(NewLabel(GroupBox1, "BaudRate", {12, 81, 61, 16}, 13), "Label10");
    // Sorted: FillPortList puts every item in its place.
    CbPRNCOM = Named(NewDropDownList(GroupBox1, {83, 30, 102, 24}), "CbPRNCOM");
    CbPRNBAU = Named(NewDropDownList(GroupBox1, {83, 77, 102, 24}), "CbPRNBAU");
    for (const char* item : BaudRateItems)
        CbPRNBAU->addItem(QString::fromLatin1(item));
    CbPRNBAU->setCurrentIndex(5);

    // Created after the frame so it lies over the frame's top edge as its title.
    RbPrnSerial = Named(new QRadioButton(QStringLiteral("Serial"), Panel2), "RbPrnSerial");
    RbPrnSerial->setGeometry(30, 48, 65, 17);
    RbPrnSerial->setChecked(true);
    RbPrnSerial->setAutoFillBackground(true); // hides the frame's edge behind its text
    RbPrnSerial->raise();

    CbPRNLang = Named(NewDropDownList(Panel2, {97, 186, 104, 24}), "CbPRNLang");
    CbPRNLang->addItems({QStringLiteral("Korean"), QStringLiteral("English")});
    CbPRNLang->setCurrentIndex(1);

    BtnBell = Named(
        NewButton(Panel2, "Bell", {36, 296, 73, 33}, "Ring the bell through the EPSON Printer"),
        "BtnBell");
    BtnEpsonOpen = Named(
        NewButton(Panel2, "Epson", {152, 297, 73, 33}, "Open CashDrawer from the EPSON Printer"),
        "BtnEpsonOpen");
    BBtnCashDrawer =
        Named(NewButton(Panel2, "Open", {264, 296, 73, 33}, "Open CashDrawer from the POS System"),
              "BBtnCashDrawer");
    BBtnCashDrawer->setDefault(true);

    // Tab order of the layout: Print, the frame's two lists, Serial, language, then the drawer
    // buttons.
    QWidget* tabOrder[] = {BBtnDisplay, CbPRNCOM, CbPRNBAU,     RbPrnSerial,
                           CbPRNLang,   BtnBell,  BtnEpsonOpen, BBtnCashDrawer};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TfrmMain::CreateComPort() {
    ComPort1 = std::make_unique<TComPort>(nullptr);
    ComPort1->SetName("ComPort1");
    console::LoadConsolePortSettings(*ComPort1);
}

void TfrmMain::ConnectHandlers() {
    // An error that leaves a handler goes to the application's handler; none ever reaches Qt.
    auto on = [this](QPushButton* Button, void (TfrmMain::*Handler)()) {
        connect(Button, &QPushButton::clicked, this, [this, Handler] {
            try {
                (this->*Handler)();
            } catch (...) {
                ApplicationHandleException(std::current_exception());
            }
        });
    };
    on(BBtnDisplay, &TfrmMain::BBtnDisplayClick);
    on(BtnBell, &TfrmMain::BtnBellClick);
    on(BtnEpsonOpen, &TfrmMain::BtnEpsonOpenClick);
    on(BBtnCashDrawer, &TfrmMain::BBtnCashDrawerClick);
}

void TfrmMain::FormCreate() {
    try {
        PosDrawerKind = 0;
        BBtnCashDrawer->setEnabled(false);
    } catch (...) {
        // Start-up goes on whatever happens here.
    }
    FillPortList();
}
