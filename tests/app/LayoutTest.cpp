// The window against its layout: every control where the layout puts it, with its text, face
// height, tab order and hints; the window fixed in size without a maximise button. The picture
// the offscreen platform draws is kept as docs/console.png (with TILLMARK_UPDATE_DOCS=1).
#include "tests/app/ConsoleTestSupport.h"

#include "app/PrinterIcon.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using consoletest::ConsoleTest;

struct Placement {
    const char* Name;
    const char* Parent;
    QRect Bounds;
    const char* Text; // null: no text to compare
    int PixelHeight;
};

const Placement Layout[] = {
    {"Panel1", "frmMain", {0, 0, 384, 385}, nullptr, 11},
    {"PCMain", "Panel1", {1, 1, 382, 383}, nullptr, 16},
    {"Panel2", "TSPrinter", {0, 0, 374, 348}, nullptr, 16},
    {"Label9", "Panel2", {15, 6, 71, 29}, "Printer", 24},
    {"Label25", "Panel2", {9, 188, 72, 20}, "Language", 16},
    {"Label1", "Panel2", {15, 246, 133, 29}, "CashDrawer", 24},
    {"BBtnDisplay", "Panel2", {261, 179, 73, 33}, "Print", 16},
    {"RbPrnParallel", "Panel2", {244, 48, 89, 17}, "Parallel", 16},
    {"GroupBox1", "Panel2", {14, 46, 203, 124}, "                    ", 16},
    {"Label24", "GroupBox1", {16, 35, 24, 16}, "Port", 13},
    {"Label10", "GroupBox1", {12, 81, 61, 16}, "BaudRate", 13},
    {"CbPRNCOM", "GroupBox1", {83, 30, 102, 24}, nullptr, 13},
    {"CbPRNBAU", "GroupBox1", {83, 77, 102, 24}, nullptr, 13},
    {"RbPrnSerial", "Panel2", {30, 48, 65, 17}, "Serial", 16},
    {"CbPRNLang", "Panel2", {97, 186, 104, 24}, nullptr, 13},
    {"BtnBell", "Panel2", {36, 296, 73, 33}, "Bell", 16},
    {"BtnEpsonOpen", "Panel2", {152, 297, 73, 33}, "Epson", 16},
    {"BBtnCashDrawer", "Panel2", {264, 296, 73, 33}, "Open", 16},
};

QString TextOf(const QWidget* Control) {
    if (auto* label = qobject_cast<const QLabel*>(Control))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(Control))
        return button->text();
    if (auto* box = qobject_cast<const QGroupBox*>(Control))
        return box->title();
    return {};
}

using LayoutTest = ConsoleTest;

TEST_F(LayoutTest, ControlsSitWhereTheLayoutPutsThem) {
    ListPorts({"COM1"});
    auto window = NewWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const Placement& place : Layout) {
        SCOPED_TRACE(place.Name);
        auto* control = window->findChild<QWidget*>(QString::fromLatin1(place.Name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget()->objectName().toStdString(), place.Parent);
        EXPECT_EQ(control->geometry(), place.Bounds);
        EXPECT_TRUE(control->isVisible());
        if (place.Text) {
            EXPECT_EQ(TextOf(control).toStdString(), place.Text);
        }
        EXPECT_EQ(control->font().pixelSize(), place.PixelHeight);
        // A stand-in face must not cut a caption off.
        if (auto* label = qobject_cast<QLabel*>(control)) {
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                      place.Bounds.width());
        }
    }
    EXPECT_EQ(window->PCMain->count(), 1);
    EXPECT_EQ(window->PCMain->currentWidget(), window->TSPrinter);
    EXPECT_EQ(window->PCMain->tabText(0).toStdString(), "Tillmark");
    EXPECT_EQ(window->font().pixelSize(), 11);
    // The "Serial" button lies over the frame's top edge, above it.
    EXPECT_TRUE(window->GroupBox1->geometry().contains(window->RbPrnSerial->geometry().topLeft()));
    EXPECT_EQ(window->Panel2->childAt(window->RbPrnSerial->geometry().center()),
              window->RbPrnSerial);
}

TEST_F(LayoutTest, WindowIsFixedInSizeWithoutMaximiseAndCarriesTheTitleAndIcon) {
    auto window = NewWindow();
    EXPECT_EQ(window->objectName().toStdString(), "frmMain");
    EXPECT_EQ(window->windowTitle().toStdString(), console::ApplicationTitle);
    EXPECT_EQ(window->size(), QSize(384, 385));
    EXPECT_EQ(window->minimumSize(), QSize(384, 385));
    EXPECT_EQ(window->maximumSize(), QSize(384, 385));
    EXPECT_EQ(window->pos(), QPoint(443, 251));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(window->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(32, 32)));
    const QImage icon = PrinterIconImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_LE(icon.colorCount(), 256);
    EXPECT_GT(icon.colorCount(), 4); // a picture, not a blank
}

TEST_F(LayoutTest, TabOrderHintsAndDefaultButtonFollowTheLayout) {
    ListPorts({"COM1"});
    auto window = NewWindow();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->BBtnDisplay->setFocus();
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited,
              (std::vector<QWidget*>{window->BBtnDisplay, window->CbPRNCOM, window->CbPRNBAU,
                                     window->RbPrnSerial, window->CbPRNLang, window->BtnBell,
                                     window->BtnEpsonOpen}));
    EXPECT_EQ(window->RbPrnParallel->focusPolicy() & Qt::TabFocus, 0);

    EXPECT_EQ(window->BtnBell->toolTip().toStdString(), "Ring the bell through the EPSON Printer");
    EXPECT_EQ(window->BtnEpsonOpen->toolTip().toStdString(),
              "Open CashDrawer from the EPSON Printer");
    EXPECT_EQ(window->BBtnCashDrawer->toolTip().toStdString(),
              "Open CashDrawer from the POS System");
    EXPECT_TRUE(window->BBtnDisplay->toolTip().isEmpty());
    EXPECT_TRUE(window->BBtnCashDrawer->isDefault());
    EXPECT_FALSE(window->BtnBell->isDefault());
    for (QComboBox* list : {window->CbPRNCOM, window->CbPRNBAU, window->CbPRNLang}) {
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(list->view()->sizeHintForRow(0), 16);
    }
}

TEST_F(LayoutTest, ScreenshotIsDrawnAtTheWindowsSize) {
    ListPorts({"COM1", "COM3"});
    auto window = NewWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage shot = window->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(384, 385));
    // Something was drawn: the buttons' text differs from the face around it.
    EXPECT_GT(shot.convertToFormat(QImage::Format_Indexed8).colorCount(), 8);

    // The picture in the docs is redrawn only on request (TILLMARK_UPDATE_DOCS=1), so a test
    // run never changes the checkout; otherwise it goes next to the test binary.
    const char* update = std::getenv("TILLMARK_UPDATE_DOCS");
    const std::filesystem::path target = update && std::string(update) == "1"
                                             ? std::filesystem::path(TILLMARK_SOURCE_DIR) / "docs"
                                             : std::filesystem::current_path();
    std::filesystem::create_directories(target);
    const std::filesystem::path temporary =
        target / ("console.png.tmp" + std::to_string(::getpid()));
    ASSERT_TRUE(shot.save(QString::fromStdString(temporary.string()), "PNG"));
    std::filesystem::rename(temporary, target / "console.png");
    EXPECT_EQ(QImage(QString::fromStdString((target / "console.png").string())).size(),
              QSize(384, 385));
}

} // namespace
