// The window as it starts: the port list from the serial-port map, the other choices' defaults,
// and the serial port's initial settings.
#include "tests/app/ConsoleTestSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

using consoletest::ConsoleTest;
using platform::DwordValue;
using platform::RegistryValue;
using platform::TextValue;

std::vector<std::string> Items(const QComboBox* List) {
    std::vector<std::string> items;
    for (int i = 0; i < List->count(); ++i)
        items.push_back(List->itemText(i).toStdString());
    return items;
}

using StartupTest = ConsoleTest;

TEST_F(StartupTest, PortsAreListedInCaseInsensitiveOrderWithTheFirstSelected) {
    ListPorts({"COM2", "COM10", "COM1"});
    auto window = NewWindow();
    EXPECT_EQ(Items(window->CbPRNCOM), (std::vector<std::string>{"COM1", "COM10", "COM2"}));
    EXPECT_EQ(window->CbPRNCOM->currentIndex(), 0);
    EXPECT_EQ(window->CbPRNCOM->currentText().toStdString(), "COM1");

    ListPorts({"ttyUSB0", "COM3", "Com20", "acm0"});
    window = NewWindow();
    // Letter case does not order the list; the map's order does not show.
    EXPECT_EQ(Items(window->CbPRNCOM),
              (std::vector<std::string>{"acm0", "Com20", "COM3", "ttyUSB0"}));
    EXPECT_EQ(window->CbPRNCOM->currentText().toStdString(), "acm0");
}

TEST_F(StartupTest, MissingOrEmptyMapGivesAnEmptyUnselectedList) {
    InstallPortMap(std::nullopt);
    auto window = NewWindow();
    EXPECT_EQ(window->CbPRNCOM->count(), 0);
    EXPECT_EQ(window->CbPRNCOM->currentIndex(), -1);
    EXPECT_TRUE(window->CbPRNCOM->currentText().isEmpty());

    InstallPortMap(std::vector<RegistryValue>{});
    window = NewWindow();
    EXPECT_EQ(window->CbPRNCOM->count(), 0);
    EXPECT_EQ(window->CbPRNCOM->currentIndex(), -1);
}

TEST_F(StartupTest, NonTextValueStopsTheFillAndLeavesNothingSelected) {
    InstallPortMap(std::vector<RegistryValue>{
        TextValue("\\Device\\Serial1", "COM4"), TextValue("\\Device\\Serial0", "COM3"),
        DwordValue("\\Device\\Odd", 5), TextValue("\\Device\\Serial2", "COM5")});
    auto window = NewWindow();
    EXPECT_EQ(Items(window->CbPRNCOM), (std::vector<std::string>{"COM3", "COM4"}));
    EXPECT_EQ(window->CbPRNCOM->currentIndex(), -1);
    EXPECT_TRUE(window->CbPRNCOM->currentText().isEmpty());
}

TEST_F(StartupTest, TextValuesAreCutAtTheirFirstNulAndEmptyDataListsAnEmptyItem) {
    RegistryValue embedded{"\\Device\\A", REG_SZ, {'C', 'O', 'M', '7', 0, 'X', 0}};
    RegistryValue unterminated{"\\Device\\B", REG_SZ, {'C', 'O', 'M', '8'}};
    RegistryValue empty{"\\Device\\C", REG_SZ, {}};
    InstallPortMap(std::vector<RegistryValue>{embedded, unterminated, empty,
                                              TextValue("\\Device\\D", "COM9", REG_EXPAND_SZ)});
    auto window = NewWindow();
    EXPECT_EQ(Items(window->CbPRNCOM), (std::vector<std::string>{"", "COM7", "COM8", "COM9"}));
    EXPECT_EQ(window->CbPRNCOM->currentIndex(), 0);
}

TEST_F(StartupTest, ChoicesStartAtTheirDefaultsWithOpenDisabled) {
    ListPorts({"COM5"});
    auto window = NewWindow();
    EXPECT_EQ(window->CbPRNBAU->currentText().toStdString(), "9600");
    EXPECT_EQ(window->CbPRNBAU->count(), 12);
    EXPECT_EQ(window->CbPRNLang->currentText().toStdString(), "English");
    EXPECT_EQ(Items(window->CbPRNLang), (std::vector<std::string>{"Korean", "English"}));
    EXPECT_TRUE(window->RbPrnSerial->isChecked());
    EXPECT_FALSE(window->RbPrnParallel->isChecked());
    EXPECT_FALSE(window->BBtnCashDrawer->isEnabled());
    EXPECT_TRUE(window->BBtnDisplay->isEnabled());
    EXPECT_EQ(window->Model().PosDrawerKind, 0);
    EXPECT_TRUE(window->Model().DateStamp.empty());
    // Choosing "Parallel" disables nothing.
    window->RbPrnParallel->click();
    EXPECT_TRUE(window->RbPrnParallel->isChecked());
    EXPECT_FALSE(window->RbPrnSerial->isChecked());
    EXPECT_TRUE(window->CbPRNCOM->isEnabled());
    EXPECT_TRUE(window->CbPRNBAU->isEnabled());
}

TEST_F(StartupTest, SerialPortStartsClosedWithTheLayoutsSettings) {
    auto window = NewWindow();
    const TComPort& port = *window->Model().ComPort1;
    EXPECT_EQ(port.Name(), "ComPort1");
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.Loading());
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.Events(), TComEvents::All());
    EXPECT_FALSE(port.FlowControl().OutCTSFlow());
    EXPECT_FALSE(port.FlowControl().OutDSRFlow());
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_FALSE(port.FlowControl().XonXoffOut());
    EXPECT_FALSE(port.FlowControl().XonXoffIn());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_FALSE(port.OnRxChar);
    EXPECT_FALSE(port.OnAfterOpen);
}

} // namespace
