#include "cli/MonitorCommand.h"
#include "cli/PortOptions.h"

#include "../platform/DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

TEST(MonitorFormat, ShowsBytesErrorsAndSpeeds) {
    EXPECT_EQ(cli::DescribeBytes(std::string("hi\0\xFF\x7F", 5)), "68 69 00 ff 7f  |hi...|");
    EXPECT_EQ(cli::DescribeBytes(""), "  ||");
    EXPECT_EQ(cli::DescribeErrors({ceFrame, ceOverrun, ceTxFull}), "frame, overrun, transmit full");
    EXPECT_EQ(cli::DescribeErrors({}), "");

    TComPort port(nullptr);
    cli::SetSpeed(port, 56000);
    EXPECT_EQ(port.BaudRate(), br56000);
    cli::SetSpeed(port, 7200);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 7200);
    cli::SetSpeed(port, 9600);
    EXPECT_EQ(port.BaudRate(), br9600);
}

// The built program, run as a user runs it, with its output read through pipes.
class Monitor {
public:
    explicit Monitor(std::vector<std::string> Args) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        Args.insert(Args.begin(), TILLMARK_CLI_PATH);
        std::vector<char*> argv;
        for (auto& a : Args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&Pid, TILLMARK_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        Out = out[0];
        Err = err[0];
    }
    ~Monitor() {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
        ::close(Out);
        ::close(Err);
    }

    // Reads both pipes until Text shows up in Stream's output or the pipes close.
    bool WaitFor(const std::string& Text, bool FromStdErr) {
        const std::string& text = FromStdErr ? ErrText : OutText;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (text.find(Text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !ReadSome())
                return false;
        }
        return true;
    }
    // Interrupts it as Ctrl+C does and gives its exit status.
    int Interrupt() {
        ::kill(Pid, SIGINT);
        return Finish();
    }
    int Finish() {
        while (ReadSome()) {
        }
        int status = 0;
        ::waitpid(Pid, &status, 0);
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string OutText, ErrText;

private:
    bool ReadSome() {
        pollfd fds[2] = {{Out, POLLIN, 0}, {Err, POLLIN, 0}};
        if (::poll(fds, 2, 20000) <= 0)
            return false;
        bool open = false;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? OutText : ErrText).append(buffer, static_cast<std::size_t>(n));
                open = true;
            }
        }
        return open;
    }

    pid_t Pid = -1;
    int Out = -1;
    int Err = -1;
};

TEST(MonitorCommand, PrintsWhatArrivesInEveryModeAndClosesOnCtrlC) {
    for (const char* mode : {"thread", "window", "none"}) {
        SCOPED_TRACE(mode);
        testsupport::DeviceEnvironment env;
        testsupport::Pty far;
        env.Alias("com9", far.Slave);
        Monitor monitor({"monitor", "COM9", "--baud", "19200", "--sync", mode});
        ASSERT_TRUE(monitor.WaitFor("press Ctrl+C to stop", true)) << monitor.ErrText;
        EXPECT_NE(monitor.OutText.find("CTS off\nDSR off\nRLSD off\n"), std::string::npos);
        ASSERT_EQ(::write(far.Master, "a\0\xFF", 3), 3);
        EXPECT_TRUE(monitor.WaitFor("RX 3 bytes: 61 00 ff  |a..|", false)) << monitor.OutText;
        EXPECT_EQ(monitor.Interrupt(), 0);
        EXPECT_NE(monitor.ErrText.find("Closed COM9."), std::string::npos) << monitor.ErrText;
    }
}

TEST(MonitorCommand, TakesThePortAndItsSettingsFromASettingsFile) {
    testsupport::DeviceEnvironment env;
    testsupport::Pty far;
    env.Alias("com9", far.Slave);
    testsupport::TempDir folder;
    const std::string file = folder / "till.ini";
    testsupport::WriteText(file, "[ComPort1]\nPort=COM9\nBaudRate=Custom\nCustomBaudRate=31250\n");
    Monitor monitor({"monitor", "--settings", file});
    ASSERT_TRUE(monitor.WaitFor("press Ctrl+C to stop", true)) << monitor.ErrText;
    EXPECT_NE(monitor.ErrText.find("Monitoring COM9 at 31250 bit/s (sync thread)"),
              std::string::npos)
        << monitor.ErrText;
    EXPECT_EQ(monitor.Interrupt(), 0);
}

TEST(MonitorCommand, SaysSoAndExitsWhenTheFarSideGoesAway) {
    for (const char* mode : {"thread", "none"}) {
        SCOPED_TRACE(mode);
        testsupport::DeviceEnvironment env;
        testsupport::Pty far;
        env.Alias("com5", far.Slave);
        Monitor monitor({"monitor", "COM5", "--sync", mode});
        ASSERT_TRUE(monitor.WaitFor("press Ctrl+C to stop", true)) << monitor.ErrText;
        ::close(far.Master);
        far.Master = -1;
        EXPECT_EQ(monitor.Finish(), 1);
        EXPECT_NE(monitor.ErrText.find("COM5: the device went away\n"), std::string::npos)
            << monitor.ErrText;
    }
}

TEST(MonitorCommand, AFailureToOpenPrintsTheComponentsMessage) {
    testsupport::DeviceEnvironment env;
    Monitor monitor({"monitor", "COM77"});
    EXPECT_EQ(monitor.Finish(), 1);
    EXPECT_EQ(monitor.ErrText, "tillmark-cli: Unable to open com port (win error code: 2)\n");
    EXPECT_EQ(monitor.OutText, "");

    Monitor bad({"monitor", "COM77", "--sync", "sometimes"});
    EXPECT_EQ(bad.Finish(), 2);
    EXPECT_NE(bad.ErrText.find("--sync"), std::string::npos) << bad.ErrText;
}

} // namespace
