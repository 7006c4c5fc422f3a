// The network printer under load: many clients at once, and a process out of descriptors.
#include "cli/emulate/NetworkPrinter.h"

#include "console/net/Socket.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int PatienceMs = 20000;

std::string ClientReceipt(int N) {
    return "\x1B@client " + std::to_string(N) + "\n\x1DV0";
}

TEST(NetworkLoad, FiftyClientsAtOnceAreAllFiledWholeAndInOrder) {
    constexpr int Clients = 50;
    testsupport::TempDir dir;
    std::mutex lock;
    std::condition_variable filed;
    std::vector<std::string> texts;
    escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), dir.Path().string(), nullptr);
    printer.OnFiled = [&](const escpos::FiledReceipt& R) {
        const std::lock_guard held(lock);
        texts.push_back(R.Text);
        filed.notify_all();
    };
    cli::NetworkPrinter network(console::ParseEndpoint("127.0.0.1:0", 9100, true), printer,
                                cli::NetworkLimits{PatienceMs, 1 << 20}, [](const std::string&) {});
    std::thread serving([&] { network.Serve(); });
    {
        // The first holds the printer while the others connect and send: all of them wait in
        // the listen queue together.
        std::vector<console::TSocket> sockets;
        for (int n = 0; n < Clients; ++n) {
            sockets.push_back(console::TSocket::Connect(network.Bound(), PatienceMs));
            if (n > 0) {
                sockets.back().Send(ClientReceipt(n), PatienceMs);
                sockets.back().Finish();
            }
        }
        sockets.front().Send(ClientReceipt(0), PatienceMs);
        sockets.front().Finish();
        std::unique_lock held(lock);
        filed.wait_for(held, std::chrono::milliseconds(PatienceMs),
                       [&] { return texts.size() == Clients; });
    }
    network.Stop();
    serving.join();
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(Clients));
    for (int n = 0; n < Clients; ++n)
        EXPECT_EQ(texts[static_cast<std::size_t>(n)],
                  "client " + std::to_string(n) + "\n[full cut]\n");
}

// Reads Pipe until its text holds Text; false at its end or after PatienceMs.
bool ReadUntil(int Pipe, std::string& Log, const std::string& Text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PatienceMs);
    while (Log.find(Text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd fd{Pipe, POLLIN, 0};
        char buffer[512];
        const ssize_t got =
            left > 0 && ::poll(&fd, 1, static_cast<int>(left)) > 0 ? ::read(Pipe, buffer, 512) : 0;
        if (got <= 0)
            return false;
        Log.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// The child's side: a network printer in a process whose descriptors are all taken, until the
// parent says to free them; the exit status says whether one receipt was filed.
[[noreturn]] void ServeOutOfDescriptors(const std::string& Folder, int Log, int Control) {
    auto say = [Log](const std::string& Line) {
        const std::string line = Line + "\n";
        [[maybe_unused]] const auto n = ::write(Log, line.data(), line.size());
    };
    escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), Folder, say);
    cli::NetworkPrinter network(console::ParseEndpoint("127.0.0.1:0", 9100, true), printer,
                                cli::NetworkLimits{PatienceMs, 1 << 20}, say);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 256;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        ::_exit(3);
    // UBSan checks a call through an exception's vtable with a pipe of its own, which a full
    // table refuses; it remembers a check made now, while descriptors are free.
    try {
        throw console::ENetError("a check for the sanitizer");
    } catch (const std::exception& error) {
        [[maybe_unused]] const char* what = error.what();
    }
    std::thread serving([&] { network.Serve(); });
    std::vector<int> taken;
    for (int fd; (fd = ::dup(Log)) >= 0;)
        taken.push_back(fd);
    say("port " + std::to_string(network.Bound().Port));
    char order = 0;
    [[maybe_unused]] auto n = ::read(Control, &order, 1);
    for (const int fd : taken)
        ::close(fd);
    n = ::read(Control, &order, 1);
    network.Stop();
    serving.join();
    ::_exit(printer.Written().size() == 1 ? 0 : 4);
}

TEST(NetworkLoad, OutOfDescriptorsItWaitsAndServesTheClientOnceSomeAreFree) {
    // A child that died must fail the test, not end it with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    testsupport::TempDir dir;
    int log[2], control[2];
    ASSERT_EQ(::pipe(log), 0);
    ASSERT_EQ(::pipe(control), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(log[0]);
        ::close(control[1]);
        ServeOutOfDescriptors(dir.Path().string(), log[1], control[0]);
    }
    ::close(log[1]);
    ::close(control[0]);
    std::string text;
    const bool started = ReadUntil(log[0], text, "\n") && text.rfind("port ", 0) == 0;
    EXPECT_TRUE(started) << text;
    bool refused = false, served = false;
    if (started) {
        console::TEndpoint where{"127.0.0.1",
                                 static_cast<std::uint16_t>(std::stoi(text.substr(5)))};
        console::TSocket client = console::TSocket::Connect(where, PatienceMs);
        client.Send(ClientReceipt(1), PatienceMs);
        client.Finish();
        refused = ReadUntil(log[0], text, "too many open files");
        [[maybe_unused]] auto n = ::write(control[1], "f", 1);
        served = ReadUntil(log[0], text, "receipt ");
    }
    [[maybe_unused]] auto n = ::write(control[1], "s", 1);
    int status = 0;
    ::close(control[1]);
    ReadUntil(log[0], text, "\x01never");
    // Its log closed when it ended; one still open after the patience ran out hangs.
    pollfd ended{log[0], POLLIN, 0};
    if (::poll(&ended, 1, 0) == 0)
        ::kill(child, SIGKILL);
    ::close(log[0]);
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(refused) << text;
    EXPECT_TRUE(served) << text;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << text;
}

} // namespace
