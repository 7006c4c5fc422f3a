// Runs "tillmark-cli emulate" as its own process on a pseudo-terminal published in a private
// alias folder, talks to it as the console would, and checks what it filed.
#include "tests/cli/EmulatorProcess.h"

#include "receipt/Commands.h"
#include "receipt/Receipt.h"
#include "tests/support/CodeBytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using receipt::Language;
using receipt::Path;

const std::string Stamp = "2026/12/07  01:05 PM";

std::string ReadFile(const fs::path& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class Emulate : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("tillmark-emulate-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "receipts");
    }
    void TearDown() override { fs::remove_all(Dir); }

    fs::path Devices() const { return Dir / "tillmark" / "devices"; }
    fs::path Dir;
};

// Writes Bytes to the published port as the console does: open, write, close.
void Send(const fs::path& Alias, const std::string& Bytes) {
    const int fd = ::open(Alias.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << Alias;
    ASSERT_EQ(::write(fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
    ::close(fd);
}

TEST_F(Emulate, PrintsAReceiptAnswersStatusAndWithdrawsItsPort) {
    clitest::Emulator emulator(Dir, {"--name", "COM9", "--out", (Dir / "receipts").string()});
    ASSERT_TRUE(emulator.WaitFor("published as")) << emulator.Log;
    const fs::path alias = Devices() / "com9";
    ASSERT_TRUE(fs::is_symlink(alias));

    const auto writes = receipt::PrintWrites(Language::English, Path::Serial, Stamp);
    for (const auto& write : writes)
        Send(alias, write);
    ASSERT_TRUE(emulator.WaitFor("receipt " + (Dir / "receipts" / "receipt-0001.png").string()))
        << emulator.Log;

    // A status request is answered on the same line.
    const int fd = ::open(alias.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const char request[] = {0x10, 0x04, 0x01};
    ASSERT_EQ(::write(fd, request, 3), 3);
    pollfd answer{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&answer, 1, 20000), 1);
    char status = 0;
    ASSERT_EQ(::read(fd, &status, 1), 1);
    EXPECT_EQ(status, 0x16);
    ::close(fd);

    // A bell: paper that is never cut is filed when the printer stops.
    Send(alias, std::string(receipt::BellCommand));
    ASSERT_TRUE(emulator.WaitFor("DRAWER pin 2: 510 ms on / 510 ms off")) << emulator.Log;
    EXPECT_EQ(emulator.Stop(), 0) << emulator.Log;
    EXPECT_FALSE(fs::exists(fs::symlink_status(alias))) << "the alias outlived the emulator";

    EXPECT_NE(emulator.Log.find("ESC ! [1B 21 08]"), std::string::npos) << emulator.Log;
    EXPECT_NE(emulator.Log.find("print \"Total       $210.00\""), std::string::npos);
    EXPECT_NE(emulator.Log.find("GS V [1D 56 31]: partial cut"), std::string::npos);
    const fs::path receipts = Dir / "receipts";
    EXPECT_EQ(ReadFile(receipts / "receipt-0001.png"),
              ReadFile(fs::path(TILLMARK_GOLDEN_DIR) / "english.png"));
    const std::string text = ReadFile(receipts / "receipt-0001.txt");
    EXPECT_EQ(text.substr(0, 38), "123xxstreet,xxxcity,xxxxstate        \n");
    EXPECT_NE(text.find("\nTotal       $210.00\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n\n\n\n[partial cut]\n")) << text;
    EXPECT_EQ(ReadFile(receipts / "receipt-0002.txt"), "[DRAWER pin 2: 510 ms on / 510 ms off]\n");
}

TEST_F(Emulate, StandsInForTheParallelPortAndKeepsEarlierReceipts) {
    std::ofstream(Dir / "receipts" / "receipt-0007.png") << "earlier";
    clitest::Emulator emulator(Dir, {"--lpt", "--out", (Dir / "receipts").string()});
    ASSERT_TRUE(emulator.WaitFor("published as")) << emulator.Log;
    const fs::path alias = Devices() / "lpt1";
    const std::string bytes = receipt::DeviceBytes(
        Path::Parallel, receipt::PrintWrites(Language::Korean, Path::Parallel, Stamp));
    Send(alias, bytes);
    ASSERT_TRUE(emulator.WaitFor("receipt " + (Dir / "receipts" / "receipt-0008.png").string()))
        << emulator.Log;
    EXPECT_EQ(emulator.Stop(), 0) << emulator.Log;
    const std::string text = ReadFile(Dir / "receipts" / "receipt-0008.txt");
    EXPECT_TRUE(text.starts_with("금천지점                     (XX쇼핑)\n")) << text;
    EXPECT_NE(text.find("\n쿼리반트(주)\n"), std::string::npos) << text;
    EXPECT_EQ(ReadFile(Dir / "receipts" / "receipt-0007.png"), "earlier");
}

// Pictures and codes come out as render draws them, and NV graphics stay across a restart, as
// the printer's memory would.
TEST_F(Emulate, DrawsCodesAsRenderDoesAndKeepsNvGraphicsAcrossARestart) {
    using testsupport::Le16;
    const fs::path receipts = Dir / "receipts";
    const std::vector<std::string> args = {"--profile", "standard", "--out", receipts.string()};
    const std::string define =
        "\x1D(L" + Le16(11 + 2) + "0C0LG\x01" + Le16(8) + Le16(2) + "1" + "\xF0\x0F";
    {
        clitest::Emulator emulator(Dir, args);
        ASSERT_TRUE(emulator.WaitFor("published as")) << emulator.Log;
        Send(Devices() / "com9", testsupport::CodesReceipt() + define);
        ASSERT_TRUE(emulator.WaitFor("receipt-0001.png")) << emulator.Log;
        EXPECT_EQ(emulator.Stop(), 0) << emulator.Log;
    }
    EXPECT_EQ(ReadFile(receipts / "receipt-0001.png"),
              ReadFile(fs::path(TILLMARK_GOLDEN_DIR) / "codes.png"));
    clitest::Emulator restarted(Dir, args);
    ASSERT_TRUE(restarted.WaitFor("published as")) << restarted.Log;
    Send(Devices() / "com9", "\x1D(L" + Le16(6) + "0ELG\x01\x01\x1DV1");
    ASSERT_TRUE(restarted.WaitFor("receipt-0002.png")) << restarted.Log;
    EXPECT_EQ(restarted.Stop(), 0) << restarted.Log;
    EXPECT_EQ(ReadFile(receipts / "receipt-0002.txt"),
              "[NV graphics \"LG\", 8 x 2 dots]\n[partial cut]\n");
}

TEST_F(Emulate, RefusesANameThatIsTaken) {
    fs::create_directories(Devices());
    fs::create_symlink("/dev/null", Devices() / "com9");
    clitest::Emulator emulator(Dir, {"--out", (Dir / "receipts").string()});
    EXPECT_EQ(emulator.Exit(), 1) << emulator.Log;
    EXPECT_NE(emulator.Log.find("com9 is already taken"), std::string::npos) << emulator.Log;
    EXPECT_EQ(fs::read_symlink(Devices() / "com9"), "/dev/null");

    // A link left by an emulator that died is taken over.
    fs::remove(Devices() / "com9");
    fs::create_symlink("/dev/pts/no-such-terminal", Devices() / "com9");
    clitest::Emulator second(Dir, {"--out", (Dir / "receipts").string()});
    ASSERT_TRUE(second.WaitFor("published as")) << second.Log;
    EXPECT_EQ(second.Stop(), 0);
}

} // namespace
