// "tillmark-cli status" in-process against a printer on 127.0.0.1 that answers from a script and
// may close or reset the connection part way; the endpoint forms and port ranges every command
// takes.
#include "tests/cli/CliRun.h"
#include "tests/cli/EmulatorProcess.h"

#include "cli/emulate/EmulateCommand.h"
#include "cli/web/WebBoard.h"
#include "console/net/Socket.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

namespace {

using clitest::Outcome;
using clitest::RunCli;
using console::TReceived;

std::string Eot(int N) {
    return {0x10, 0x04, static_cast<char>(N)};
}
std::string Id(int N) {
    return {0x1D, 0x49, static_cast<char>(N)};
}
std::string Text(const std::string& T) {
    return "_" + T + std::string(1, '\0');
}

using Script = std::map<std::string, std::string>;

// Online, with every identity answer, so no question waits out the time-out.
Script Online() {
    return {{Eot(1), "\x16"},         {Eot(2), "\x12"},      {Eot(3), "\x12"},
            {Eot(4), "\x12"},         {Id(1), "\x20"},       {Id(2), "\x02"},
            {Id(3), "\x10"},          {Id(65), Text("1.0")}, {Id(66), Text("EPSON")},
            {Id(67), Text("TM-T88")}, {Id(68), Text("X1")},  {Id(69), Text("KOREA")}};
}

// A printer on 127.0.0.1 serving each connection from Answers (a question not in it gets
// silence). After Questions answers it closes (having read the next question) or resets (leaving
// it unread, so the system answers with a reset), unless it stays.
class FakePrinter {
public:
    enum End { Stays, Closes, Resets };

    FakePrinter(Script Answers, int Questions, End How, std::uint16_t Port = 0)
        : FListener(console::TEndpoint{"127.0.0.1", Port}), FAnswers(std::move(Answers)),
          FQuestions(Questions), FHow(How), FThread([this] { Serve(); }) {}
    ~FakePrinter() {
        FStop.Raise();
        FThread.join();
    }
    std::string Where() const { return FListener.Bound().Text(); }

private:
    void Serve() {
        while (auto connection = FListener.Accept(FStop))
            ServeOne(*connection);
    }
    void ServeOne(console::TSocket& Connection) {
        for (int answered = 0;; ++answered) {
            const bool last = FHow != Stays && answered == FQuestions;
            const std::size_t wanted = last && FHow == Resets ? 1 : 3;
            std::string question;
            while (question.size() < wanted) {
                TReceived got = Connection.Receive(wanted - question.size(), 5000, &FStop);
                if (got.What != TReceived::Data)
                    return;
                question += got.Bytes;
            }
            if (last)
                return;
            if (const auto it = FAnswers.find(question); it != FAnswers.end())
                Connection.Send(it->second, 5000);
        }
    }

    console::TListener FListener;
    console::TStopSignal FStop;
    Script FAnswers;
    int FQuestions;
    End FHow;
    std::thread FThread;
};

Script With(const std::string& Question, const std::string& Answer) {
    Script s = Online();
    s[Question] = Answer;
    return s;
}

TEST(StatusCommand, GarbagePartialAndLostAnswersKeepWhatCameAndExit4) {
    const struct {
        const char* What;
        Script Answers;
        int Questions;
        FakePrinter::End How;
        int Code;
        std::string Words; // in the text, or for an error the whole message after the port
        std::string Json;
    } cases[] = {
        {"all answered", Online(), 0, FakePrinter::Stays, 0, "fonts: KOREA\n",
         "\"fonts\": \"KOREA\"}, \"problems\": []"},
        {"garbage status", With(Eot(3), "\xFF"), 0, FakePrinter::Stays, 4,
         "status 3: raw FF, not a status byte a printer sends\n", "\"recoverable_error\": null"},
        {"bit 7 set", With(Eot(2), "\x92"), 0, FakePrinter::Stays, 4,
         "status 2: raw 92, not a status byte a printer sends\n", "\"cover_open\": null"},
        {"partial text", With(Id(65), "_1.0"), 0, FakePrinter::Stays, 4,
         "problem: partial answer to GS I 65: 5F 31 2E 30\n",
         "\"partial answer to GS I 65: 5F 31 2E 30\""},
        {"C1 control in a text", With(Id(66), Text("EP\x9BSON")), 0, FakePrinter::Stays, 4,
         "problem: garbage in answer to GS I 66: 5F 45 50 9B 53 4F 4E 00\n",
         "\"firmware\": \"1.0\", \"model\""},
        {"reset after two", Online(), 2, FakePrinter::Resets, 4,
         "cover: closed\npaper feed button: not pressed\ndrawer connector pin 3: high\n"
         "status 3: no answer\n",
         "\"problems\": [\"the connection was reset before the answer to DLE EOT 3\", \"no "
         "answer to DLE EOT 3\", \"no answer to DLE EOT 4\", \"no answer to GS I 1\""},
        {"closed after six", Online(), 6, FakePrinter::Closes, 4,
         "type ID: 02\n  two-byte characters: no, autocutter: yes\n"
         "problem: the printer closed the connection before the answer to GS I 3\n"
         "problem: no answer to GS I 3\n",
         "\"rom_version\": null}"},
        {"reset at once", Online(), 0, FakePrinter::Resets, 1, "the connection was reset\n", ""},
        {"closed at once", Online(), 0, FakePrinter::Closes, 1,
         "the printer closed the connection\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const FakePrinter printer(c.Answers, c.Questions, c.How);
        const Outcome words = RunCli({"status", "--tcp", printer.Where(), "--timeout", "300"});
        const Outcome json =
            RunCli({"status", "--tcp", printer.Where(), "--timeout", "300", "--json"});
        EXPECT_EQ(words.Code, c.Code) << words.Err;
        EXPECT_EQ(json.Code, c.Code) << json.Err;
        if (c.Code == 1) {
            const std::string error = "tillmark-cli status: " + printer.Where() + ": " + c.Words;
            EXPECT_EQ(words.Err, error);
            EXPECT_EQ(json.Err, error);
            EXPECT_EQ(words.Out + json.Out, "");
            continue;
        }
        EXPECT_NE(words.Out.find(c.Words), std::string::npos) << words.Out;
        EXPECT_NE(json.Out.find(c.Json), std::string::npos) << json.Out;
        // No control byte of the printer's reaches the terminal raw.
        for (const std::string* out : {&words.Out, &json.Out})
            EXPECT_EQ(out->find_first_of("\x7F\x9B"), std::string::npos) << *out;
    }
}

TEST(StatusCommand, TextAndJsonSayTheSameOfTheTypeId) {
    const struct {
        Script Answers;
        std::string Words, Json;
    } cases[] = {
        {Online(), "  two-byte characters: no, autocutter: yes\n",
         "\"printer_type\": {\"two_byte_characters\": false, \"autocutter\": true}"},
        {With(Id(2), "\x01"), "  two-byte characters: yes, autocutter: no\n",
         "\"printer_type\": {\"two_byte_characters\": true, \"autocutter\": false}"},
        {With(Eot(1), "\x1E"), "", "\"printer_type\": null"}, // offline: GS I is not asked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Json);
        const FakePrinter printer(c.Answers, 0, FakePrinter::Stays);
        const Outcome words = RunCli({"status", "--tcp", printer.Where(), "--timeout", "300"});
        const Outcome json =
            RunCli({"status", "--tcp", printer.Where(), "--timeout", "300", "--json"});
        EXPECT_EQ(words.Out.find("two-byte") != std::string::npos, !c.Words.empty()) << words.Out;
        if (!c.Words.empty()) {
            EXPECT_NE(words.Out.find(c.Words), std::string::npos) << words.Out;
        }
        EXPECT_NE(json.Out.find(c.Json), std::string::npos) << json.Out;
    }
}

TEST(StatusCommand, TcpWithoutAPortMeansPort9100) {
    std::unique_ptr<FakePrinter> printer;
    try {
        printer = std::make_unique<FakePrinter>(Online(), 0, FakePrinter::Stays, 9100);
    } catch (const console::ENetError& e) {
        GTEST_SKIP() << "127.0.0.1:9100 is not free here: " << e.what();
    }
    const Outcome status = RunCli({"status", "--tcp", "127.0.0.1", "--timeout", "300"});
    EXPECT_EQ(status.Code, 0) << status.Err;
    EXPECT_TRUE(status.Out.starts_with("127.0.0.1:9100: online\n")) << status.Out;
    const Outcome print = RunCli({"print", "--tcp", "127.0.0.1"});
    EXPECT_EQ(print.Code, 0) << print.Err;
}

// The emulator's exit status once it ends by itself, or -1 when it still runs after a while.
int EmulatorExit(std::vector<std::string> Args) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tillmark-status-" + std::to_string(::getpid()));
    Args.insert(Args.end(), {"--out", dir.string()});
    int code = -1;
    {
        clitest::Emulator emulator(dir, Args);
        // Its output ends when it does.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[4096];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{emulator.Output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                break;
            if (::read(emulator.Output, buffer, sizeof buffer) <= 0) {
                int status = 0;
                ::waitpid(emulator.Pid, &status, 0);
                emulator.Reaped = true;
                code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
        }
    }
    std::filesystem::remove_all(dir);
    return code;
}

TEST(StatusCommand, PortsOutside1To65535AreUsageErrorsForClientAndEmulator) {
    for (const char* command : {"status", "print"})
        for (const char* tcp :
             {"127.0.0.1:65536", "127.0.0.1:99999", "[::1]:65536", "[::1]:0", "127.0.0.1:0"}) {
            const Outcome usage = RunCli({command, "--tcp", tcp, "--timeout", "300"});
            EXPECT_EQ(usage.Code, 2) << command << " --tcp " << tcp << ": " << usage.Err;
        }
    const std::vector<std::string> emulate[] = {
        {"--tcp", "65536"},
        {"--tcp", "127.0.0.1:65536"},
        {"--tcp", "[::1]:65536"},
        {"--web", "65536", "--tcp", "0"},
        {"--web", "[::1]:65536", "--tcp", "0"},
        {"--tcp", "[::1]"},
        {"--web", "[::1]", "--tcp", "0"},
    };
    for (const auto& args : emulate)
        EXPECT_EQ(EmulatorExit(args), 2) << args[0] << " " << args[1];
}

TEST(StatusCommand, ListenAddressesAreAPortOnTheLoopbackOrAnAddressAndPort) {
    const struct {
        const char* Text;
        const char* Host; // nullptr: refused
        int Port;
    } cases[] = {
        {"9100", "127.0.0.1", 9100}, {"0", "127.0.0.1", 0},         {"[::1]:0", "::1", 0},
        {"[::1]:8080", "::1", 8080}, {"0.0.0.0:80", "0.0.0.0", 80}, {"65535", "127.0.0.1", 65535},
        {"65536", nullptr, 0},       {"[::1]:65536", nullptr, 0},   {"", nullptr, 0},
        {"[::1]", nullptr, 0},
    };
    // --tcp and --web take the same forms: they share the parser.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            const console::TEndpoint tcp = cli::ListenEndpoint(c.Text);
            ASSERT_NE(c.Host, nullptr);
            EXPECT_EQ(tcp.Host, c.Host);
            EXPECT_EQ(tcp.Port, c.Port);
        } catch (const console::ENetError& e) {
            EXPECT_EQ(c.Host, nullptr) << e.what();
        }
    }
}

} // namespace
