// Print, Bell and Epson with "Parallel" checked, against a pseudo-terminal published as LPT1.
#include "tests/app/ConsoleTestSupport.h"

#include "platform/linux/sim/SimulatedComm.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using consoletest::ConsoleTest;
using consoletest::PtyPrinter;
using platform::SimulatedComm;

const std::string TrailerLine = "\r\n\r\n\r\n\r\n\x1DV1\r\n";

std::size_t CountOf(const std::string& Text, const std::string& Part) {
    std::size_t n = 0;
    for (auto at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1))
        ++n;
    return n;
}

class ParallelActionsTest : public ConsoleTest {
protected:
    std::unique_ptr<TfrmMain> ParallelWindow() {
        auto window = NewWindow();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseClick(window->RbPrnParallel, Qt::LeftButton);
        EXPECT_TRUE(window->RbPrnParallel->isChecked());
        return window;
    }
    static void Click(QPushButton* Button) { QTest::mouseClick(Button, Qt::LeftButton); }
};

TEST_F(ParallelActionsTest, PrintSendsTheParallelReceiptWithTheExtraLineEndsAndTrailer) {
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    auto window = ParallelWindow();

    Click(window->BBtnDisplay);
    const std::string english = lpt.WaitForBytes(639 + 2 + 13);
    EXPECT_EQ(english.size(), 639u + 2u + 13u);
    EXPECT_NE(english.find("\r\nPrint test using Parallel interface.\r\n"), std::string::npos);
    EXPECT_NE(english.find("\r\n" + window->Model().DateStamp + "\r\n"), std::string::npos);
    // The receipt's own last line end, the one the writer adds, then the trailer as a line.
    EXPECT_EQ(english.substr(english.size() - 35), "Quorivant, Inc\r\n\r\n\r\n\r\n" + TrailerLine);
    EXPECT_EQ(english, receipt::DeviceBytes(receipt::Path::Parallel,
                                            receipt::PrintWrites(receipt::Language::English,
                                                                 receipt::Path::Parallel,
                                                                 window->Model().DateStamp)));

    lpt.Clear();
    window->CbPRNLang->setCurrentIndex(0);
    Click(window->BBtnDisplay);
    const std::string korean = lpt.WaitForBytes(582 + 13);
    EXPECT_EQ(korean.size(), 582u + 13u);
    EXPECT_EQ(korean.find("\x1B!"), std::string::npos);
    EXPECT_NE(korean.find("Parallel interface"), std::string::npos);
    // Line 14 is a full rule of 37 hyphens here, unlike the serial form.
    EXPECT_EQ(CountOf(korean, "\r\n" + std::string(37, '-') + "\r\n"), 4u);
    EXPECT_EQ(korean.find(std::string(36, '-') + " \r\n"), std::string::npos);
    EXPECT_EQ(korean.substr(korean.size() - 19), "\r\n\r\n\r\n" + TrailerLine);
    EXPECT_EQ(korean, receipt::DeviceBytes(receipt::Path::Parallel,
                                           receipt::PrintWrites(receipt::Language::Korean,
                                                                receipt::Path::Parallel,
                                                                window->Model().DateStamp)));
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(ParallelActionsTest, BellAndEpsonSendTheirLinesAndEveryPressArrives) {
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    auto window = ParallelWindow();

    Click(window->BtnBell);
    EXPECT_EQ(lpt.WaitForBytes(7), "\x1Bp0\xFF\xFF\r\n");
    Click(window->BtnEpsonOpen);
    EXPECT_EQ(lpt.WaitForBytes(16), "\x1Bp0\xFF\xFF\r\n\x1Bp000\r\n\r\n");
    Click(window->BtnEpsonOpen);
    EXPECT_EQ(lpt.WaitForBytes(25), "\x1Bp0\xFF\xFF\r\n\x1Bp000\r\n\r\n\x1Bp000\r\n\r\n");
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(ParallelActionsTest, PortChoicesDoNotMatterAndOnlyBellAndEpsonCloseTheSerialPort) {
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    auto serial = SimulatedComm::Install("COM7");
    InstallPortMap(std::vector<platform::RegistryValue>{
        platform::TextValue("\\Device\\Bad", "no/such/../../port")});
    auto window = ParallelWindow();
    window->Model().ComPort1->SetPort("COM7");
    window->Model().ComPort1->OpenPort();

    Click(window->BBtnDisplay);
    EXPECT_EQ(lpt.WaitForBytes(654).size(), 654u);
    // Print on this path leaves the serial port alone.
    EXPECT_TRUE(window->Model().ComPort1->Connected());
    EXPECT_EQ(window->Model().ComPort1->Port(), "COM7");

    Click(window->BtnBell);
    EXPECT_EQ(lpt.WaitForBytes(661).substr(654), "\x1Bp0\xFF\xFF\r\n");
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_TRUE(serial->Written().empty());
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(ParallelActionsTest, MissingParallelPortMakesTheActionsDoNothingVisible) {
    Alias("lpt1", "/dev/tillmark-no-such-printer");
    auto window = ParallelWindow();
    Click(window->BBtnDisplay);
    Click(window->BtnBell);
    Click(window->BtnEpsonOpen);
    EXPECT_TRUE(FBoxes.Texts().empty());
    EXPECT_TRUE(window->BBtnDisplay->isEnabled());
    EXPECT_EQ(window->Model().DateStamp.size(), 20u);
}

} // namespace
