// What a press of each button does, and the port list start-up fills, with the window's choices
// given as the front ends read them: the serial path on the simulated comm device, the parallel
// path on a pseudo-terminal published as LPT1.
#include "console/ConsoleWindow.h"

#include "platform/linux/registry/Registry.h"
#include "platform/linux/sim/SimulatedComm.h"
#include "receipt/Receipt.h"
#include "runtime/Application.h"
#include "serial/ComError.h"
#include "tests/support/PtyPrinter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using console::ConsoleButton;
using console::WindowChoices;
using platform::CommCallKind;
using platform::RegistryValue;
using platform::SimulatedComm;
using platform::TextValue;
using Strings = std::vector<std::string>;

class ConsoleWindowTest : public ::testing::Test {
protected:
    ConsoleWindowTest() {
        FEnv.Set("XDG_CONFIG_HOME", FConfig.Path().c_str());
        std::filesystem::create_directories(FConfig.Path() / "tillmark" / "devices");
        FPrevious = SetApplicationErrorHandler(
            [this](std::exception_ptr Error) { FShown.push_back(ExceptionMessage(Error)); });
    }
    ~ConsoleWindowTest() override {
        SetApplicationErrorHandler(FPrevious);
        platform::RestoreSerialCommMap();
    }
    void PublishLpt1(const std::string& Target) {
        std::filesystem::create_symlink(Target, FConfig.Path() / "tillmark" / "devices" / "lpt1");
    }
    static std::string Written(const SimulatedComm& Device) {
        const std::vector<BYTE> bytes = Device.Written();
        return {bytes.begin(), bytes.end()};
    }

    console::TConsoleWindow FWindow;
    std::vector<std::string> FShown; // what the application's handler was given

private:
    testsupport::TempDir FConfig;
    testsupport::ScopedEnv FEnv;
    TExceptionHandler FPrevious;
};

TEST_F(ConsoleWindowTest, PortListIsSortedAndSelectsTheFirstUnlessTheMapWasMissingOrBroken) {
    struct Case {
        const char* What;
        std::optional<std::vector<RegistryValue>> Map;
        Strings Items;
        int Selected;
    };
    const Case cases[] = {
        {"sorted ignoring case",
         std::vector<RegistryValue>{TextValue("\\Device\\A", "COM2"),
                                    TextValue("\\Device\\B", "COM10"),
                                    TextValue("\\Device\\C", "com1")},
         {"com1", "COM10", "COM2"},
         0},
        {"no map", std::nullopt, {}, -1},
        {"an empty map", std::vector<RegistryValue>{}, {}, -1},
        {"a value without text",
         std::vector<RegistryValue>{
             TextValue("\\Device\\A", "COM4"), TextValue("\\Device\\B", "COM3"),
             platform::DwordValue("\\Device\\C", 5), TextValue("\\Device\\D", "COM5")},
         {"COM3", "COM4"},
         -1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.What);
        platform::InstallSerialCommMapForTest(test.Map);
        const console::PortListItems list = console::FillPortList();
        EXPECT_EQ(list.Items, test.Items);
        EXPECT_EQ(list.Selected, test.Selected);
    }
}

TEST_F(ConsoleWindowTest, PrintTakesThePathAndLanguageChosenAndDatesTheReceipt) {
    auto device = SimulatedComm::Install("COM7");
    testsupport::PtyPrinter lpt;
    PublishLpt1(lpt.Slave());

    FWindow.Press(ConsoleButton::Print, WindowChoices{true, "COM7", 7, 0});
    EXPECT_EQ(FWindow.DateStamp.size(), 20u);
    EXPECT_EQ(Written(*device),
              receipt::DeviceBytes(receipt::Path::Serial,
                                   receipt::PrintWrites(receipt::Language::Korean,
                                                        receipt::Path::Serial, FWindow.DateStamp)));
    EXPECT_EQ(FWindow.ComPort1->BaudRate(), br38400);
    EXPECT_FALSE(FWindow.ComPort1->Connected());

    // The parallel path leaves the serial port alone; the port and speed chosen do not matter.
    FWindow.Press(ConsoleButton::Print, WindowChoices{false, "", -1, 1});
    const std::string parallel = receipt::DeviceBytes(
        receipt::Path::Parallel, receipt::PrintWrites(receipt::Language::English,
                                                      receipt::Path::Parallel, FWindow.DateStamp));
    EXPECT_EQ(lpt.WaitForBytes(parallel.size()), parallel);
    EXPECT_EQ(device->OpenCount(), 1);
    EXPECT_TRUE(FShown.empty());
}

TEST_F(ConsoleWindowTest, DrawerButtonsCloseTheSerialPortOnBothPathsAndOpenDoesNothing) {
    auto device = SimulatedComm::Install("COM7");
    testsupport::PtyPrinter lpt;
    PublishLpt1(lpt.Slave());

    FWindow.Press(ConsoleButton::Bell, WindowChoices{true, "COM7"});
    EXPECT_EQ(Written(*device), "\x1Bp0\xFF\xFF");
    FWindow.ComPort1->OpenPort();
    FWindow.Press(ConsoleButton::Epson, WindowChoices{false, "COM7"});
    EXPECT_EQ(lpt.WaitForBytes(9), "\x1Bp000\r\n\r\n");
    EXPECT_FALSE(FWindow.ComPort1->Connected());

    const int opens = device->OpenCount();
    for (int kind : {0, 1, -1}) {
        FWindow.PosDrawerKind = kind;
        FWindow.Press(ConsoleButton::Open, WindowChoices{true, "COM7"});
        FWindow.Press(ConsoleButton::Open, WindowChoices{false, "COM7"});
    }
    EXPECT_EQ(device->OpenCount(), opens);
    EXPECT_EQ(Written(*device), "\x1Bp0\xFF\xFF");
    EXPECT_TRUE(FShown.empty());
}

TEST_F(ConsoleWindowTest, OnlyAFailedCloseIsShownAndOnlyOnce) {
    auto device = SimulatedComm::Install("COM7");
    // Nothing to open: every press fails silently.
    for (ConsoleButton button : {ConsoleButton::Print, ConsoleButton::Bell, ConsoleButton::Epson})
        FWindow.Press(button, WindowChoices{true, "COM77"});
    EXPECT_TRUE(FShown.empty());

    FWindow.ComPort1->OnAfterOpen = [&](TObject*) {
        device->FailCall(CommCallKind::PurgeComm, 1, ERROR_GEN_FAILURE);
    };
    FWindow.Press(ConsoleButton::Bell, WindowChoices{true, "COM7"});
    EXPECT_EQ(FShown, Strings{EComPort(pePurgeComm, ERROR_GEN_FAILURE).what()});
    EXPECT_TRUE(FWindow.ComPort1->Connected());
}

} // namespace
