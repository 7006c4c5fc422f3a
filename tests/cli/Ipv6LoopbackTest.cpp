// [::1]:PORT end to end: "emulate --tcp" and "--web" listen on ::1, and status and print reach it
// there. Skipped (exit 77) on a machine without IPv6 loopback.
#include "tests/cli/CliRun.h"
#include "tests/cli/EmulatorProcess.h"

#include "console/net/Socket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(Ipv6Loopback, EmulatorStatusAndPrintMeetOnBracketedAddresses) {
    const fs::path dir =
        fs::temp_directory_path() / ("tillmark-ipv6-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    {
        clitest::Emulator emulator(
            dir, {"--tcp", "[::1]:0", "--web", "[::1]:0", "--out", (dir / "receipts").string()});
        ASSERT_TRUE(emulator.WaitFor("receipts shown at ")) << emulator.Log;
        const auto at = emulator.Log.find("listening on [::1]:");
        ASSERT_NE(at, std::string::npos) << emulator.Log;
        const auto from = at + 13;
        const std::string tcp = emulator.Log.substr(from, emulator.Log.find(';', from) - from);
        EXPECT_NE(emulator.Log.find("receipts shown at http://[::1]:"), std::string::npos)
            << emulator.Log;

        const clitest::Outcome status = clitest::RunCli({"status", "--tcp", tcp});
        EXPECT_EQ(status.Code, 0) << status.Err;
        EXPECT_TRUE(status.Out.starts_with(tcp + ": online\n")) << status.Out;
        const clitest::Outcome print = clitest::RunCli({"print", "--tcp", tcp});
        EXPECT_EQ(print.Code, 0) << print.Err;
        EXPECT_TRUE(emulator.WaitFor("receipt-0001.png")) << emulator.Log;
        EXPECT_EQ(emulator.Stop(), 0);
    }
    fs::remove_all(dir);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    try {
        const console::TListener probe(console::TEndpoint{"::1", 0});
    } catch (const console::ENetError& e) {
        std::printf("skipped: no IPv6 loopback here (%s)\n", e.what());
        return 77;
    }
    return RUN_ALL_TESTS();
}
