// A pseudo-terminal whose master side is drained by a thread of its own, so writers on the
// terminal side never stall on a full pty.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace bench {

class DrainedPty {
public:
    DrainedPty() {
        char name[256] = {};
        // The terminal side stays open here too, so the master never sees a hang-up.
        if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            return;
        Path = name;
        if (::pipe2(StopPipe, O_CLOEXEC) != 0)
            return;
        Reader = std::thread([this] { Drain(); });
    }
    ~DrainedPty() {
        if (Reader.joinable()) {
            [[maybe_unused]] auto n = ::write(StopPipe[1], "x", 1);
            Reader.join();
        }
        for (int fd : {Master, Slave, StopPipe[0], StopPipe[1]})
            if (fd >= 0)
                ::close(fd);
    }

    bool Ok() const { return Reader.joinable(); }

    // Waits until the far side has received Total bytes since the pty was made.
    void AwaitReceived(std::uint64_t Total) {
        std::unique_lock lock(Lock);
        Arrived.wait(lock, [&] { return Received >= Total; });
    }

    std::string Path;
    int Slave = -1; // the terminal side, for writing to it without the engine

private:
    void Drain() {
        char buffer[65536];
        for (;;) {
            pollfd fds[2] = {{Master, POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                return;
            const ssize_t n = ::read(Master, buffer, sizeof buffer);
            if (n <= 0)
                return;
            std::lock_guard lock(Lock);
            Received += static_cast<std::uint64_t>(n);
            Arrived.notify_all();
        }
    }

    int Master = -1;
    int StopPipe[2] = {-1, -1};
    std::thread Reader;
    std::mutex Lock;
    std::condition_variable Arrived;
    std::uint64_t Received = 0;
};

} // namespace bench
