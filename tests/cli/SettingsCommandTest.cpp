#include "tests/cli/CliRun.h"

#include "../platform/DeviceTestSupport.h"

#include <gtest/gtest.h>

namespace {

int RunCli(std::vector<std::string> Args, std::string& Out, std::string& Err) {
    const clitest::Outcome outcome = clitest::RunCli(std::move(Args));
    Out = outcome.Out;
    Err = outcome.Err;
    return outcome.Code;
}

TEST(SettingsCommand, SavesChangesIntoTheFileAndShowsThem) {
    testsupport::TempDir folder;
    const std::string file = folder / "printer.ini";
    testsupport::WriteText(file, "; the printer by the till\n[Other]\nx=1\n");
    std::string out, err;
    ASSERT_EQ(RunCli({"settings", "save", file, "--port", "ttyUSB0", "--baud", "19200", "--parity",
                      "even", "--flow", "hardware"},
                     out, err),
              0)
        << err;
    EXPECT_EQ(out, "Saved the settings of ttyUSB0 to " + file + " [ComPort1].\n");
    // A second save changes only what it is given.
    ASSERT_EQ(RunCli({"settings", "save", file, "--data-bits", "7"}, out, err), 0) << err;

    const std::string text = testsupport::ReadText(file);
    for (const char* kept : {"; the printer by the till", "[Other]", "x=1", "[ComPort1]",
                             "Port=ttyUSB0", "BaudRate=19200", "Parity=Even", "DataBits=7",
                             "FlowControl=Hardware", "FlowControl.XonChar=#17"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;

    ASSERT_EQ(RunCli({"settings", "show", file}, out, err), 0) << err;
    EXPECT_EQ(out.rfind("Port=ttyUSB0\nBaudRate=19200\nStopBits=1\nDataBits=7\nParity=Even\n"
                        "FlowControl=Hardware\n",
                        0),
              0u)
        << out;
}

TEST(SettingsCommand, RefusesWhatItCannotUse) {
    std::string out, err;
    EXPECT_EQ(RunCli({"settings", "show", "/nonexistent/printer.ini"}, out, err), 2);
    EXPECT_EQ(RunCli({"settings", "save", "x.ini", "--parity", "sometimes"}, out, err), 2);
    EXPECT_NE(err.find("--parity"), std::string::npos) << err;
    EXPECT_EQ(RunCli({"monitor"}, out, err), 2);
    EXPECT_NE(err.find("PORT (or --settings)"), std::string::npos) << err;
}

} // namespace
