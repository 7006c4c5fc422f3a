// The first parallel port as a text channel on its own: when lines reach the device, and the
// result codes and errors of failed steps. LPT1 is an alias of the test's own, never a real port.
#include "console/ParallelDevice.h"
#include "tests/support/PtyPrinter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

using testsupport::PtyPrinter;

std::string FileText(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// XDG_CONFIG_HOME pointed at a scratch folder holding an empty alias folder.
class ParallelDeviceTest : public ::testing::Test {
protected:
    ParallelDeviceTest() {
        FEnv.Set("XDG_CONFIG_HOME", FConfig.Path().c_str());
        fs::create_directories(AliasFolder());
    }
    fs::path AliasFolder() const { return FConfig.Path() / "tillmark" / "devices"; }
    void Alias(const std::string& Name, const std::string& Target) const {
        fs::create_symlink(Target, AliasFolder() / Name);
    }

private:
    testsupport::TempDir FConfig;
    testsupport::ScopedEnv FEnv;
};

TEST_F(ParallelDeviceTest, CharacterDeviceGetsEveryLineAtItsLineEnd) {
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    TParallelDevice device;
    ASSERT_EQ(device.Open(), 0);
    EXPECT_TRUE(device.FlushesLines());
    ASSERT_EQ(device.WriteLine("abc"), 0);
    // Arrives before the close: the line end sent the buffer.
    EXPECT_EQ(lpt.WaitForBytes(5), "abc\r\n");
    const std::string longLine(300, 'x');
    ASSERT_EQ(device.WriteLine(longLine), 0);
    EXPECT_EQ(lpt.WaitForBytes(307), "abc\r\n" + longLine + "\r\n");
    EXPECT_EQ(device.Close(), 0);
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(ParallelDeviceTest, OtherDevicesGetFullBuffersAndTheRestAtClose) {
    const auto file = AliasFolder().parent_path() / "spool";
    std::ofstream(file).put('>');
    Alias("lpt1", file.string());
    TParallelDevice device;
    ASSERT_EQ(device.Open(), 0);
    EXPECT_FALSE(device.FlushesLines());
    ASSERT_EQ(device.WriteLine(std::string(100, 'a')), 0);
    EXPECT_EQ(FileText(file), ">");
    ASSERT_EQ(device.WriteLine(std::string(100, 'b')), 0);
    // 204 bytes given: one full buffer of 128 went out, 76 wait.
    EXPECT_EQ(FileText(file), ">" + std::string(100, 'a') + "\r\n" + std::string(26, 'b'));
    ASSERT_EQ(device.Close(), 0);
    EXPECT_EQ(FileText(file),
              ">" + std::string(100, 'a') + "\r\n" + std::string(100, 'b') + "\r\n");
}

TEST_F(ParallelDeviceTest, FailuresLeaveResultCodesThatRaiseIOErrors) {
    Alias("lpt1", "/dev/tillmark-no-such-printer");
    TParallelDevice missing;
    const int openResult = missing.Open();
    EXPECT_NE(openResult, 0);
    EXPECT_FALSE(missing.IsOpen());
    try {
        IOCheck(openResult);
        ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.ErrorCode(), openResult);
    }
    // Steps on a channel that is not open fail the same way and write nothing.
    EXPECT_EQ(missing.WriteLine("x"), ioNotOpenForOutput);
    EXPECT_EQ(missing.Close(), ioNotOpenForOutput);
    EXPECT_NO_THROW(IOCheck(0));
    EXPECT_THROW(IOCheck(ioNotOpenForOutput), EInOutError);
}

} // namespace
