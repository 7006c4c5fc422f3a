// Print, Bell and Epson with "Serial" checked: the real buttons are clicked and what reached a
// pseudo-terminal published as COM5 is read back; the split into writes, the speeds and the
// failures are seen on the simulated comm device.
#include "tests/app/ConsoleTestSupport.h"

#include "platform/linux/sim/SimulatedComm.h"
#include "serial/ComError.h"

#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {

using consoletest::ConsoleTest;
using consoletest::PtyPrinter;
using platform::CommCall;
using platform::CommCallKind;
using platform::SimulatedComm;

const std::string Trailer = "\r\n\r\n\r\n\r\n\x1DV1";

class SerialActionsTest : public ConsoleTest {
protected:
    // A window whose port list holds the given ports, shown so clicks reach its buttons.
    std::unique_ptr<TfrmMain> ShownWindow(const std::vector<std::string>& Ports) {
        ListPorts(Ports);
        auto window = NewWindow();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    static void Click(QPushButton* Button) { QTest::mouseClick(Button, Qt::LeftButton); }

    static std::vector<std::string> Writes(const SimulatedComm& Device) {
        std::vector<std::string> writes;
        for (const CommCall& call : Device.Calls())
            if (call.Kind == CommCallKind::WriteFile)
                writes.emplace_back(call.Bytes.begin(), call.Bytes.end());
        return writes;
    }
    static std::optional<DCB> LastLineSettings(const SimulatedComm& Device) {
        std::optional<DCB> last;
        for (const CommCall& call : Device.Calls())
            if (call.Kind == CommCallKind::SetCommState)
                last = call.Dcb;
        return last;
    }
    static std::size_t Count(const SimulatedComm& Device, CommCallKind Kind) {
        const auto kinds = Device.CallKinds();
        return static_cast<std::size_t>(std::count(kinds.begin(), kinds.end(), Kind));
    }
};

TEST_F(SerialActionsTest, PrintSendsTheReceiptAndTrailerOfTheChosenLanguageToThePort) {
    PtyPrinter printer;
    Alias("com5", printer.Slave());
    auto window = ShownWindow({"COM5"});

    Click(window->BBtnDisplay);
    ASSERT_EQ(window->Model().DateStamp.size(), 20u);
    std::string english = printer.WaitForBytes(637 + 11);
    EXPECT_EQ(english.size(), 637u + 11u);
    EXPECT_EQ(english.substr(0, 39), "123xxstreet,xxxcity,xxxxstate        \r\n");
    EXPECT_NE(english.find("\r\n" + window->Model().DateStamp + "\r\n"), std::string::npos);
    EXPECT_NE(english.find("\r\nPrint test using serial interface.\r\n"), std::string::npos);
    // The cut command ends the stream on this path: no line end after it.
    EXPECT_EQ(english.substr(english.size() - 13), "\r\n" + Trailer);
    EXPECT_EQ(english, receipt::DeviceBytes(receipt::Path::Serial,
                                            receipt::PrintWrites(receipt::Language::English,
                                                                 receipt::Path::Serial,
                                                                 window->Model().DateStamp)));
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_EQ(window->Model().ComPort1->Port(), "COM5");

    printer.Clear();
    window->CbPRNLang->setCurrentIndex(0);
    Click(window->BBtnDisplay);
    std::string korean = printer.WaitForBytes(599 + 11);
    EXPECT_EQ(korean.size(), 599u + 11u);
    EXPECT_EQ(korean.find("\x1B!"), std::string::npos);
    EXPECT_NE(korean.find("Serial interface"), std::string::npos);
    EXPECT_EQ(korean.substr(korean.size() - 11), Trailer);
    EXPECT_EQ(korean, receipt::DeviceBytes(receipt::Path::Serial,
                                           receipt::PrintWrites(receipt::Language::Korean,
                                                                receipt::Path::Serial,
                                                                window->Model().DateStamp)));
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(SerialActionsTest, BellAndEpsonSendTheirCommandAloneAndEveryPressArrives) {
    PtyPrinter printer;
    Alias("com5", printer.Slave());
    auto window = ShownWindow({"COM5"});

    Click(window->BtnBell);
    EXPECT_EQ(printer.WaitForBytes(5), "\x1Bp0\xFF\xFF");
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    Click(window->BtnBell);
    EXPECT_EQ(printer.WaitForBytes(10), "\x1Bp0\xFF\xFF\x1Bp0\xFF\xFF");
    EXPECT_FALSE(window->Model().ComPort1->Connected());

    printer.Clear();
    Click(window->BtnEpsonOpen);
    Click(window->BtnEpsonOpen);
    EXPECT_EQ(printer.WaitForBytes(10), "\x1Bp000\x1Bp000");
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(SerialActionsTest, EachActionOpensWritesAndClosesInThatOrder) {
    auto device = SimulatedComm::Install("COM7");
    auto window = ShownWindow({"COM7"});

    Click(window->BBtnDisplay);
    const auto writes = Writes(*device);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].size(), 637u);
    EXPECT_EQ(writes[0].substr(writes[0].size() - 4), "\r\n\r\n");
    EXPECT_EQ(writes[1], Trailer);
    const auto kinds = device->CallKinds();
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.front(), CommCallKind::CreateFile);
    EXPECT_EQ(kinds.back(), CommCallKind::CloseHandle);
    EXPECT_FALSE(device->IsOpen());

    Click(window->BtnBell);
    Click(window->BtnEpsonOpen);
    const auto all = Writes(*device);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2], "\x1Bp0\xFF\xFF");
    EXPECT_EQ(all[3], "\x1Bp000");
    EXPECT_EQ(device->OpenCount(), 3);
    EXPECT_EQ(Count(*device, CommCallKind::CloseHandle), 3u);
    EXPECT_FALSE(device->IsOpen());
}

TEST_F(SerialActionsTest, SpeedListItemsSetTheirSpeedsOneToOne) {
    auto device = SimulatedComm::Install("COM7");
    auto window = ShownWindow({"COM7"});
    const std::pair<TBaudRate, DWORD> speeds[] = {
        {br110, 110},     {br300, 300},     {br1200, 1200},     {br2400, 2400},
        {br4800, 4800},   {br9600, 9600},   {br19200, 19200},   {br38400, 38400},
        {br56000, 56000}, {br57600, 57600}, {br115200, 115200}, {br256000, 256000}};
    ASSERT_EQ(window->CbPRNBAU->count(), 12);
    for (int index = 0; index < 12; ++index) {
        SCOPED_TRACE(window->CbPRNBAU->itemText(index).toStdString());
        window->CbPRNBAU->setCurrentIndex(index);
        Click(index % 2 ? window->BtnBell : window->BBtnDisplay);
        EXPECT_EQ(window->Model().ComPort1->BaudRate(), speeds[index].first);
        const auto dcb = LastLineSettings(*device);
        ASSERT_TRUE(dcb);
        EXPECT_EQ(dcb->BaudRate, speeds[index].second);
        EXPECT_EQ(window->CbPRNBAU->itemText(index).toULong(), speeds[index].second);
    }
}

TEST_F(SerialActionsTest, BellAndEpsonSetEightDataBitsAndNoParityPrintKeepsThePorts) {
    auto device = SimulatedComm::Install("COM7");
    auto window = ShownWindow({"COM7"});
    window->Model().ComPort1->SetDataBits(dbSeven);
    window->Model().ComPort1->Parity().SetBits(prEven);

    Click(window->BBtnDisplay);
    auto dcb = LastLineSettings(*device);
    ASSERT_TRUE(dcb);
    EXPECT_EQ(dcb->ByteSize, 7);
    EXPECT_EQ(dcb->Parity, EVENPARITY);

    Click(window->BtnEpsonOpen);
    dcb = LastLineSettings(*device);
    EXPECT_EQ(dcb->ByteSize, 8);
    EXPECT_EQ(dcb->Parity, NOPARITY);
    EXPECT_EQ(dcb->StopBits, ONESTOPBIT);
    EXPECT_FALSE(dcb->fOutxCtsFlow);
    EXPECT_FALSE(dcb->fOutX);
    EXPECT_FALSE(dcb->fInX);
    EXPECT_EQ(dcb->fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(dcb->fRtsControl, RTS_CONTROL_DISABLE);
}

TEST_F(SerialActionsTest, OpenCannotBePressedAndItsActionSendsNothing) {
    auto device = SimulatedComm::Install("COM7");
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    auto window = ShownWindow({"COM7"});
    QSignalSpy clicked(window->BBtnCashDrawer, &QPushButton::clicked);

    Click(window->BBtnCashDrawer);
    window->CbPRNLang->setFocus();
    QTest::keyClick(window->CbPRNLang, Qt::Key_Return);
    QTest::keyClick(window.get(), Qt::Key_Enter);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(window->BBtnCashDrawer->isEnabled());
    for (int kind : {0, 1, 2, -1}) {
        window->Model().PosDrawerKind = kind;
        window->Model().Press(console::ConsoleButton::Open, window->Choices());
    }
    window->RbPrnParallel->click();
    window->Model().Press(console::ConsoleButton::Open, window->Choices());
    EXPECT_EQ(device->OpenCount(), 0);
    // The parallel printer's first bytes are Bell's: nothing went out before.
    Click(window->BtnBell);
    EXPECT_EQ(lpt.WaitForBytes(7), "\x1Bp0\xFF\xFF\r\n");
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(SerialActionsTest, WithNoPortListedTheActionsSendNothingAndShowNothing) {
    auto device = SimulatedComm::Install("COM7");
    InstallPortMap(std::nullopt);
    auto window = NewWindow();
    window->show();
    ASSERT_EQ(window->CbPRNCOM->count(), 0);
    Click(window->BBtnDisplay);
    Click(window->BtnBell);
    Click(window->BtnEpsonOpen);
    EXPECT_EQ(window->Model().ComPort1->Port(), "");
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_EQ(device->OpenCount(), 0);
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(SerialActionsTest, PortHeldByAnotherProgramLeavesTheWindowUsable) {
    PtyPrinter printer;
    Alias("com5", printer.Slave());
    auto window = ShownWindow({"COM5"});
    HANDLE other = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);

    Click(window->BtnBell);
    Click(window->BBtnDisplay);
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_TRUE(FBoxes.Texts().empty());

    CloseHandle(other);
    Click(window->BtnEpsonOpen);
    // Epson's bytes come first: the presses while the port was held sent nothing.
    EXPECT_EQ(printer.WaitForBytes(5), "\x1Bp000");
    EXPECT_FALSE(window->Model().ComPort1->Connected());
}

TEST_F(SerialActionsTest, DeviceVanishingMidActionSkipsTheRestAndClosesThePort) {
    auto vanishing = SimulatedComm::Install("COM7");
    auto spare = SimulatedComm::Install("COM8");
    auto window = ShownWindow({"COM7", "COM8"});
    window->Model().ComPort1->OnAfterOpen = [&](TObject*) { vanishing->Vanish(); };

    Click(window->BBtnDisplay);
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_FALSE(vanishing->IsOpen());
    // The receipt write failed, so the cut trailer was never sent.
    EXPECT_LE(Count(*vanishing, CommCallKind::WriteFile), 1u);
    EXPECT_TRUE(vanishing->Written().empty());
    EXPECT_TRUE(FBoxes.Texts().empty());

    window->Model().ComPort1->OnAfterOpen = nullptr;
    window->CbPRNCOM->setCurrentIndex(1);
    Click(window->BtnBell);
    EXPECT_EQ(Writes(*spare), std::vector<std::string>{"\x1Bp0\xFF\xFF"});
    EXPECT_FALSE(window->Model().ComPort1->Connected());
}

TEST_F(SerialActionsTest, ClosePortFailureAtTheEndShowsItsMessageOnce) {
    auto device = SimulatedComm::Install("COM7");
    auto window = ShownWindow({"COM7"});
    // The first purge after opening is the one that closing the port makes.
    window->Model().ComPort1->OnAfterOpen = [&](TObject*) {
        device->FailCall(CommCallKind::PurgeComm, 1, ERROR_GEN_FAILURE);
    };

    for (QPushButton* button : {window->BtnBell, window->BtnEpsonOpen, window->BBtnDisplay}) {
        SCOPED_TRACE(button->text().toStdString());
        const std::size_t before = FBoxes.Texts().size();
        Click(button);
        ASSERT_EQ(FBoxes.Texts().size(), before + 1);
        EXPECT_EQ(FBoxes.Texts().back(), EComPort(pePurgeComm, ERROR_GEN_FAILURE).what());
        EXPECT_EQ(FBoxes.Titles().back(), console::ApplicationTitle);
        // The port stays open after a failed close; the next action closes it first.
        EXPECT_TRUE(window->Model().ComPort1->Connected());
    }
    window->Model().ComPort1->OnAfterOpen = nullptr;
    Click(window->BtnBell);
    EXPECT_FALSE(window->Model().ComPort1->Connected());
    EXPECT_EQ(FBoxes.Texts().size(), 3u);
    EXPECT_EQ(Writes(*device).back(), "\x1Bp0\xFF\xFF");
}

TEST_F(SerialActionsTest, PortEventsReachHandlersWhileTheWindowIdles) {
    auto device = SimulatedComm::Install("COM7");
    auto window = ShownWindow({"COM7"});
    QEventLoop idle;
    std::int32_t received = 0;
    bool onWindowThread = false;
    window->Model().ComPort1->OnRxChar = [&](TObject*, std::int32_t Count) {
        received += Count;
        onWindowThread = QThread::currentThread() == QApplication::instance()->thread();
        idle.quit();
    };
    window->Model().ComPort1->SetPort("COM7");
    window->Model().ComPort1->OpenPort();
    device->Feed({'o', 'k', '\n'});
    QTimer::singleShot(10000, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_EQ(received, 3);
    EXPECT_TRUE(onWindowThread);
    window->Model().ComPort1->ClosePort();
    EXPECT_FALSE(window->Model().ComPort1->Connected());
}

} // namespace
