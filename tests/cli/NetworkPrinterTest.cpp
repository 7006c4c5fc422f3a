// The printer on the network and its status: tillmark-cli in-process against "tillmark-cli
// emulate --tcp" on 127.0.0.1 at a port the system chose, beside the same emulator's pty.
#include "tests/cli/CliRun.h"
#include "tests/cli/EmulatorProcess.h"

#include "console/net/Socket.h"
#include "receipt/Receipt.h"
#include "tests/support/RawPty.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using clitest::Outcome;
using clitest::RunCli;

std::string FileText(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class NetworkPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("tillmark-network-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "receipts");
        ::setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(Dir);
    }

    // Starts the emulator on the loopback and on com9; gives "127.0.0.1:PORT".
    std::string Start(std::unique_ptr<clitest::Emulator>& E, std::vector<std::string> Args) {
        Args.insert(Args.end(), {"--tcp", "0", "--name", "com9", "--out", Receipts()});
        E = std::make_unique<clitest::Emulator>(Dir, Args);
        if (!E->WaitFor("; receipts go to"))
            return "";
        const auto at = E->Log.find("listening on ") + 13;
        return E->Log.substr(at, E->Log.find(';', at) - at);
    }
    std::string Receipts() const { return (Dir / "receipts").string(); }
    std::string Receipt(int N, const char* Ext = ".png") const {
        char name[32];
        std::snprintf(name, sizeof name, "/receipt-%04d", N);
        return Receipts() + name + Ext;
    }

    fs::path Dir;
};

// The first log line says which profile the printer has and where it is, whether on a pty, on
// TCP or both.
TEST_F(NetworkPrinter, TheFirstLogLineNamesTheProfileAndWhereThePrinterIs) {
    const struct {
        std::vector<std::string> Args;
        std::string Start, Then;
    } cases[] = {
        {{"--tcp", "127.0.0.1:0"},
         "virtual printer (standard profile) listening on 127.0.0.1:",
         ""},
        {{"--tcp", "127.0.0.1:0", "--name", "com9"},
         "virtual printer (standard profile) on /dev/",
         "/tillmark/devices/com9, and listening on 127.0.0.1:"},
    };
    for (const auto& c : cases) {
        auto args = c.Args;
        args.insert(args.end(), {"--profile", "standard", "--out", Receipts()});
        clitest::Emulator emulator(Dir, args);
        ASSERT_TRUE(emulator.WaitFor("; receipts go to")) << emulator.Log;
        EXPECT_EQ(emulator.Log.rfind(c.Start, 0), 0u) << emulator.Log;
        EXPECT_NE(emulator.Log.find(c.Then), std::string::npos) << emulator.Log;
    }
}

TEST_F(NetworkPrinter, StatusReportsEachSensorStateOnThePtyAndOnTcp) {
    struct Case {
        std::vector<std::string> Args;
        std::string Words;    // lines the words must hold
        std::string JsonPart; // and the JSON
    };
    const Case cases[] = {
        {{}, ": online\ncover: closed\n", "\"online\": true, \"offline_causes\": []"},
        {{"--paper", "near-end"},
         "paper near end: yes\npaper end: no\n",
         "\"paper_near_end\": true, \"paper_end\": false"},
        {{"--paper", "end"},
         ": offline: paper end\n",
         "\"paper_near_end\": true, \"paper_end\": true"},
        {{"--cover", "open"},
         ": offline: cover open\ncover: open\n",
         "\"online\": false, \"offline_causes\": [\"cover open\"], \"cover_open\": true"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Words);
        std::unique_ptr<clitest::Emulator> emulator;
        const std::string tcp = Start(emulator, c.Args);
        ASSERT_NE(tcp, "") << emulator->Log;
        for (const std::vector<std::string>& where :
             {std::vector<std::string>{"--serial", "COM9"}, {"--tcp", tcp}}) {
            std::vector<std::string> args = {"status"};
            args.insert(args.end(), where.begin(), where.end());
            const Outcome words = RunCli(args);
            EXPECT_EQ(words.Code, 0) << words.Err;
            EXPECT_NE(words.Out.find(c.Words), std::string::npos) << words.Out;
            args.push_back("--json");
            const Outcome json = RunCli(args);
            EXPECT_EQ(json.Code, 0) << json.Err;
            EXPECT_NE(json.Out.find(c.JsonPart), std::string::npos) << json.Out;
            // The identity only while online: an offline printer holds GS I unanswered.
            EXPECT_EQ(words.Out.find("model: TM-T88III") != std::string::npos,
                      words.Out.find(": online\n") != std::string::npos)
                << words.Out;
        }
        EXPECT_EQ(emulator->Stop(), 0);
    }
}

TEST_F(NetworkPrinter, PrintOverTcpFilesTheSerialPathsReceiptAndBellAndDrawerAreLogged) {
    std::unique_ptr<clitest::Emulator> emulator;
    const std::string tcp = Start(emulator, {});
    ASSERT_NE(tcp, "") << emulator->Log;
    const std::string at = "2026-12-07 13:05";
    Outcome print = RunCli({"print", "--tcp", tcp, "--at", at, "--lang", "korean"});
    EXPECT_EQ(print.Code, 0) << print.Err;
    EXPECT_EQ(print.Out, "sent the Korean receipt and the cut to " + tcp + "\n");
    ASSERT_TRUE(emulator->WaitFor("receipt " + Receipt(1))) << emulator->Log;
    print = RunCli({"print", "--serial", "COM9", "--at", at, "--lang", "korean"});
    EXPECT_EQ(print.Code, 0) << print.Err;
    ASSERT_TRUE(emulator->WaitFor("receipt " + Receipt(2))) << emulator->Log;
    EXPECT_EQ(FileText(Receipt(1)), FileText(Receipt(2)));
    EXPECT_NE(FileText(Receipt(1, ".txt")).find("2026/12/07  01:05 PM"), std::string::npos);

    EXPECT_EQ(RunCli({"bell", "--tcp", tcp, "--at", at}).Code, 0);
    ASSERT_TRUE(emulator->WaitFor("DRAWER pin 2: 510 ms on / 510 ms off")) << emulator->Log;
    EXPECT_EQ(RunCli({"drawer", "--tcp", tcp}).Code, 0);
    ASSERT_TRUE(emulator->WaitFor("DRAWER pin 2: 96 ms on / 96 ms off")) << emulator->Log;
    EXPECT_EQ(emulator->Stop(), 0);
}

TEST_F(NetworkPrinter, ServesOneConnectionAtATimeInOrderAndCutsOffBadClients) {
    std::unique_ptr<clitest::Emulator> emulator;
    const std::string tcp = Start(emulator, {"--idle-timeout", "200", "--max-bytes", "4000"});
    ASSERT_NE(tcp, "") << emulator->Log;
    const auto where = console::ParseEndpoint(tcp, 9100);
    const auto english = receipt::PrintWrites(receipt::Language::English, receipt::Path::Serial,
                                              "2026/12/07  01:05 PM");
    const auto korean = receipt::PrintWrites(receipt::Language::Korean, receipt::Path::Serial,
                                             "2026/12/07  01:05 PM");
    {
        // The second client sends its whole receipt while the first is still being served.
        console::TSocket first = console::TSocket::Connect(where, 5000);
        ASSERT_TRUE(emulator->WaitFor("connection from")) << emulator->Log;
        console::TSocket second = console::TSocket::Connect(where, 5000);
        for (const auto& write : korean)
            second.Send(write, 5000);
        second.Finish();
        for (const auto& write : english)
            first.Send(write, 5000);
        first.Finish();
    }
    ASSERT_TRUE(emulator->WaitFor("receipt " + Receipt(2))) << emulator->Log;
    EXPECT_NE(FileText(Receipt(1, ".txt")).find("Print test using serial interface."),
              std::string::npos);
    EXPECT_NE(FileText(Receipt(2, ".txt")).find("쿼리반트(주)"), std::string::npos);

    // One that says nothing, then one that sends too much: each is cut off, the next served.
    console::TSocket silent = console::TSocket::Connect(where, 5000);
    ASSERT_TRUE(emulator->WaitFor("cut off after 200 ms of silence")) << emulator->Log;
    console::TSocket flood = console::TSocket::Connect(where, 5000);
    try {
        flood.Send(std::string(100000, 'x'), 5000);
    } catch (const console::ENetError&) {
        // The printer may reset the connection before all of it is sent.
    }
    ASSERT_TRUE(emulator->WaitFor("cut off at the limit of 4000 bytes")) << emulator->Log;
    EXPECT_EQ(RunCli({"print", "--tcp", tcp}).Code, 0);
    ASSERT_TRUE(emulator->WaitFor("receipt " + Receipt(3))) << emulator->Log;
    EXPECT_EQ(emulator->Stop(), 0);
}

TEST_F(NetworkPrinter, ASilentLineAndAClosedPortEachGetTheirOwnExit) {
    // A pty nobody answers on: the time-out, then exit 3.
    std::string slave;
    const int master = testsupport::OpenRawPty(slave);
    const Outcome silent = RunCli({"status", "--serial", slave.substr(5), "--timeout", "200"});
    ::close(master);
    EXPECT_EQ(silent.Code, 3);
    EXPECT_EQ(silent.Err,
              "tillmark-cli status: no answer from " + slave.substr(5) + " within 200 ms\n");

    // A port nobody listens on any more.
    std::string closed;
    {
        const console::TListener listener(console::ParseEndpoint("127.0.0.1:0", 9100, true));
        closed = listener.Bound().Text();
    }
    for (const char* command : {"status", "print", "bell", "drawer"}) {
        const Outcome refused = RunCli({command, "--tcp", closed});
        EXPECT_EQ(refused.Code, 1) << command;
        EXPECT_EQ(refused.Err, std::string("tillmark-cli ") + command + ": " + closed +
                                   ": connection refused\n");
    }
    for (const char* bad : {"127.0.0.1:0", "127.0.0.1:http", ":9100", "[::1"})
        EXPECT_EQ(RunCli({"status", "--tcp", bad}).Code, 2) << bad;
}

} // namespace
