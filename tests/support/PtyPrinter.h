// A pseudo-terminal standing in for a printer's port: what the code under test writes to its
// terminal side is collected, so a test can wait for bytes without touching a real device.
#pragma once

#include "tests/support/RawPty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace testsupport {

// A pseudo-terminal pair in raw mode whose master side is read into a buffer by a thread of its
// own, so nothing the console writes waits in the terminal when the port is closed.
class PtyPrinter {
public:
    PtyPrinter() {
        FMaster = OpenRawPty(FSlave);
        // Holding the slave open keeps the master readable between the console's opens.
        FKeepOpen = ::open(FSlave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (::pipe2(FStop, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        FReader = std::thread([this] { Read(); });
    }
    ~PtyPrinter() {
        const char stop = 1;
        [[maybe_unused]] auto n = ::write(FStop[1], &stop, 1);
        FReader.join();
        ::close(FStop[0]);
        ::close(FStop[1]);
        if (FKeepOpen >= 0)
            ::close(FKeepOpen);
        if (FMaster >= 0)
            ::close(FMaster);
    }
    const std::string& Slave() const { return FSlave; }

    // Waits (up to a generous bound) until at least Count bytes have arrived; all bytes so far.
    std::string WaitForBytes(std::size_t Count) {
        std::unique_lock lock(FLock);
        FArrived.wait_for(lock, std::chrono::seconds(10), [&] { return FBytes.size() >= Count; });
        return FBytes;
    }
    std::string Bytes() {
        std::lock_guard lock(FLock);
        return FBytes;
    }
    void Clear() {
        std::lock_guard lock(FLock);
        FBytes.clear();
    }

private:
    void Read() {
        for (;;) {
            pollfd fds[2] = {{FMaster, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                return;
            char buffer[4096];
            const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
            std::lock_guard lock(FLock);
            if (n > 0) {
                FBytes.append(buffer, static_cast<std::size_t>(n));
                FArrived.notify_all();
            }
        }
    }

    int FMaster = -1;
    int FKeepOpen = -1;
    int FStop[2] = {-1, -1};
    std::string FSlave;
    std::thread FReader;
    std::mutex FLock;
    std::condition_variable FArrived;
    std::string FBytes;
};

} // namespace testsupport
