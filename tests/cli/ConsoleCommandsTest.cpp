// print, bell and drawer run in-process through the serial component (or the parallel channel)
// into "tillmark-cli emulate" running as a process of its own; ports over a made-up device tree.
#include "tests/cli/EmulatorProcess.h"

#include "platform/linux/files/DeviceNames.h"
#include "platform/linux/registry/Registry.h"
#include "tests/cli/CliRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using Result = clitest::Outcome;

class ConsoleCommands : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("tillmark-console-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "receipts");
        ::setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
    }
    void TearDown() override {
        platform::RestoreSerialCommMap();
        platform::SetDeviceRootsForTest({});
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(Dir);
    }

    static Result Cli(std::vector<std::string> Args) { return clitest::RunCli(std::move(Args)); }
    std::string Receipt(int Number) const {
        char name[32];
        std::snprintf(name, sizeof name, "receipt-%04d", Number);
        return (Dir / "receipts" / name).string();
    }

    fs::path Dir;
};

TEST_F(ConsoleCommands, PrintBellAndDrawerReachTheVirtualPrinterOnASerialPort) {
    clitest::Emulator emulator(Dir, {"--name", "com9", "--out", (Dir / "receipts").string()});
    ASSERT_TRUE(emulator.WaitFor("published as")) << emulator.Log;

    Result print = Cli({"print", "--serial", "COM9", "--baud", "19200"});
    EXPECT_EQ(print.Code, 0) << print.Err;
    EXPECT_EQ(print.Out, "sent the English receipt and the cut to COM9 at 19200 bit/s\n");
    ASSERT_TRUE(emulator.WaitFor("receipt " + Receipt(1) + ".png")) << emulator.Log;
    const std::string english = FileText(Receipt(1) + ".txt");
    EXPECT_TRUE(english.starts_with("123xxstreet,xxxcity,xxxxstate        \n")) << english;
    EXPECT_NE(english.find("\nPrint test using serial interface.\nQuorivant, Inc\n"),
              std::string::npos);
    EXPECT_TRUE(english.ends_with("\n\n\n\n[partial cut]\n")) << english;

    print = Cli({"print", "--serial", "com9", "--lang", "Korean"});
    EXPECT_EQ(print.Code, 0) << print.Err;
    ASSERT_TRUE(emulator.WaitFor("receipt " + Receipt(2) + ".png")) << emulator.Log;
    const std::string korean = FileText(Receipt(2) + ".txt");
    EXPECT_NE(korean.find("\nSerial interface를 이용한 프린트 테스트입니다.\n쿼리반트(주)\n"),
              std::string::npos)
        << korean;

    EXPECT_EQ(Cli({"bell", "--serial", "COM9"}).Code, 0);
    ASSERT_TRUE(emulator.WaitFor("DRAWER pin 2: 510 ms on / 510 ms off")) << emulator.Log;
    const Result drawer = Cli({"drawer", "--serial", "COM9", "--baud", "115200"});
    EXPECT_EQ(drawer.Code, 0) << drawer.Err;
    EXPECT_EQ(drawer.Out, "sent the drawer pulse (pin 2, 96 ms) to COM9 at 115200 bit/s\n");
    ASSERT_TRUE(emulator.WaitFor("DRAWER pin 2: 96 ms on / 96 ms off")) << emulator.Log;
    EXPECT_EQ(emulator.Stop(), 0);
}

TEST_F(ConsoleCommands, PrintAndBellReachTheVirtualPrinterOnTheParallelPort) {
    clitest::Emulator emulator(Dir, {"--lpt", "--out", (Dir / "receipts").string()});
    ASSERT_TRUE(emulator.WaitFor("published as")) << emulator.Log;

    const Result print = Cli({"print", "--parallel"});
    EXPECT_EQ(print.Code, 0) << print.Err;
    ASSERT_TRUE(emulator.WaitFor("receipt " + Receipt(1) + ".png")) << emulator.Log;
    EXPECT_NE(FileText(Receipt(1) + ".txt").find("\nPrint test using Parallel interface.\n"),
              std::string::npos);
    EXPECT_EQ(Cli({"bell", "--parallel"}).Code, 0);
    ASSERT_TRUE(emulator.WaitFor("DRAWER pin 2: 510 ms on / 510 ms off")) << emulator.Log;
    EXPECT_EQ(emulator.Stop(), 0);
}

TEST_F(ConsoleCommands, FailuresAreReportedWithTheirMessageAndAnExitCode) {
    Result missing = Cli({"print", "--serial", "COM77"});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_EQ(missing.Err, "tillmark-cli print: COM77 at 9600 bit/s: Unable to open com port "
                           "(win error code: 2)\n");
    EXPECT_EQ(missing.Out, "");

    // No LPT1 in this alias folder, and the test machine's own line printer is not ours to use.
    fs::create_directories(Dir / "tillmark" / "devices");
    fs::create_symlink(Dir / "no-such-printer", Dir / "tillmark" / "devices" / "lpt1");
    missing = Cli({"bell", "--parallel"});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_EQ(missing.Err, "tillmark-cli bell: LPT1: no such device (I/O error 2)\n");

    for (const auto& usage :
         std::vector<std::vector<std::string>>{{"print"},
                                               {"drawer", "--serial", "COM9", "--parallel"},
                                               {"print", "--serial", "COM9", "--baud", "14400"},
                                               {"bell", "--parallel", "--baud", "9600"},
                                               {"print", "--parallel", "--lang", "french"},
                                               {"bell", "--serial", "COM9", "--lang", "korean"}}) {
        const Result result = Cli(usage);
        EXPECT_EQ(result.Code, 2) << usage[0] << " " << result.Err;
        EXPECT_NE(result.Err, "");
    }
}

TEST_F(ConsoleCommands, PortsListsTheWindowsOrderWithWhatSysfsKnows) {
    const fs::path dev = Dir / "dev";
    const fs::path sys = Dir / "sys";
    fs::create_directories(dev / "pts");
    std::ofstream(dev / "ttyUSB0").put('\0');
    std::ofstream(dev / "ttyS1").put('\0');
    std::ofstream(dev / "pts" / "7").put('\0');
    // A USB adapter: the port's device, its driver, and the USB device two folders up.
    const fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / "1-1";
    const fs::path port = usb / "1-1:1.0" / "ttyUSB0";
    fs::create_directories(port / "tty" / "ttyUSB0");
    fs::create_directories(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
    fs::create_symlink(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio", port / "driver");
    fs::create_symlink(port, port / "tty" / "ttyUSB0" / "device");
    for (const auto& [file, text] :
         std::vector<std::pair<std::string, std::string>>{{"idVendor", "0403"},
                                                          {"idProduct", "6001"},
                                                          {"manufacturer", "FTDI"},
                                                          {"product", "FT232R USB UART"},
                                                          {"serial", "A1B2C3"}})
        std::ofstream(usb / file) << text << "\n";
    fs::create_directories(sys / "class" / "tty");
    fs::create_symlink(port / "tty" / "ttyUSB0", sys / "class" / "tty" / "ttyUSB0");
    // A UART with its driver and no USB above it.
    const fs::path uart = sys / "devices" / "platform" / "serial8250" / "tty" / "ttyS1";
    fs::create_directories(uart);
    fs::create_directories(sys / "bus" / "platform" / "drivers" / "serial8250");
    fs::create_symlink(sys / "bus" / "platform" / "drivers" / "serial8250",
                       uart.parent_path().parent_path() / "driver");
    fs::create_symlink(uart.parent_path().parent_path(), uart / "device");
    fs::create_symlink(uart, sys / "class" / "tty" / "ttyS1");
    fs::create_directories(Dir / "tillmark" / "devices");
    fs::create_symlink(dev / "pts" / "7", Dir / "tillmark" / "devices" / "com9");
    platform::SetDeviceRootsForTest({dev.string(), sys.string()});
    platform::InstallSerialCommMapForTest(
        std::vector<platform::RegistryValue>{platform::TextValue("\\Device\\ttyUSB0", "ttyUSB0"),
                                             platform::TextValue("\\Device\\Alias\\com9", "COM9"),
                                             platform::TextValue("\\Device\\ttyS1", "COM2")});

    const Result ports = Cli({"ports"});
    EXPECT_EQ(ports.Code, 0) << ports.Err;
    const std::string canonical = fs::canonical(dev).string();
    EXPECT_EQ(ports.Out, "COM2\tttyS1\t" + canonical +
                             "/ttyS1\tdriver serial8250\n"
                             "COM9\talias com9\t" +
                             canonical +
                             "/pts/7\tpseudo-terminal\n"
                             "ttyUSB0\tttyUSB0\t" +
                             canonical +
                             "/ttyUSB0\tdriver ftdi_sio\tusb 0403:6001\t\"FTDI FT232R USB "
                             "UART\"\tserial A1B2C3\n");

    // A map value that holds no text: what was read is listed, and the error is reported.
    platform::InstallSerialCommMapForTest(std::vector<platform::RegistryValue>{
        platform::TextValue("\\Device\\ttyS1", "COM2"), platform::DwordValue("\\Device\\Broken", 7),
        platform::TextValue("\\Device\\ttyUSB0", "ttyUSB0")});
    const Result broken = Cli({"ports"});
    EXPECT_EQ(broken.Code, 1);
    EXPECT_TRUE(broken.Out.starts_with("COM2\tttyS1\t")) << broken.Out;
    EXPECT_EQ(broken.Out.find("ttyUSB0"), std::string::npos);
    EXPECT_NE(broken.Err.find("holds no text"), std::string::npos) << broken.Err;

    platform::InstallSerialCommMapForTest(std::nullopt);
    EXPECT_EQ(Cli({"ports"}).Out, "no serial ports: the serial-port map is missing\n");
}

} // namespace
