// "tillmark-cli emulate" as a child process of a test, with its log read from a pipe.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace clitest {

inline constexpr auto Patience = std::chrono::seconds(20);

// The emulator as a child process, its standard output and error on a pipe.
class Emulator {
public:
    Emulator(const std::filesystem::path& Config, std::vector<std::string> Args) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        Pid = ::fork();
        if (Pid == 0) {
            ::dup2(pipeFds[1], 1);
            ::dup2(pipeFds[1], 2);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            ::setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
            Args.insert(Args.begin(), {TILLMARK_CLI_PATH, "emulate"});
            std::vector<char*> argv;
            for (auto& arg : Args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(TILLMARK_CLI_PATH, argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        Output = pipeFds[0];
    }
    ~Emulator() {
        if (Pid > 0 && !Reaped) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
        if (Output >= 0)
            ::close(Output);
    }

    // Reads the log until a line holds Text; false when the process ends or time runs out first.
    bool WaitFor(const std::string& Text) {
        const auto deadline = std::chrono::steady_clock::now() + Patience;
        while (Log.find(Text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd{Output, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            const ssize_t got = ::read(Output, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            Log.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    // Sends SIGTERM and gives the exit status, with the rest of the log read.
    int Stop() {
        ::kill(Pid, SIGTERM);
        WaitFor("\x01never"); // reads to the end of the output
        int status = 0;
        ::waitpid(Pid, &status, 0);
        Reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Exit() {
        WaitFor("\x01never");
        int status = 0;
        ::waitpid(Pid, &status, 0);
        Reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t Pid = -1;
    int Output = -1;
    bool Reaped = false;
    std::string Log;
};

} // namespace clitest
