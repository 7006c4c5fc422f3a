#include "platform/VirtualPort.h"

#include "platform/linux/files/DeviceNames.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace platform {

namespace {

volatile sig_atomic_t StopSignal = 0;

void OnStopSignal(int) {
    StopSignal = 1;
}

std::runtime_error SystemError(const std::string& What) {
    return std::runtime_error(What + ": " + std::strerror(errno));
}

} // namespace

struct StopOnSignals::Saved {
    struct sigaction Int {};
    struct sigaction Term {};
    sigset_t Mask{};
};

StopOnSignals::StopOnSignals() : FSaved(std::make_unique<Saved>()) {
    StopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &FSaved->Int);
    sigaction(SIGTERM, &action, &FSaved->Term);
    // Blocked except inside the wait, so a signal cannot slip in between a check and the wait.
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &block, &FSaved->Mask);
}

StopOnSignals::~StopOnSignals() {
    pthread_sigmask(SIG_SETMASK, &FSaved->Mask, nullptr);
    sigaction(SIGINT, &FSaved->Int, nullptr);
    sigaction(SIGTERM, &FSaved->Term, nullptr);
}

bool StopOnSignals::Requested() {
    return StopSignal != 0;
}

void StopOnSignals::Wait() const {
    sigset_t waiting = FSaved->Mask;
    sigdelset(&waiting, SIGINT);
    sigdelset(&waiting, SIGTERM);
    while (!Requested())
        sigsuspend(&waiting);
}

struct VirtualPort::Pair {
    int Master = -1;
    int Terminal = -1; // held open so the pair lives while programs come and go
};

VirtualPort::VirtualPort(const std::string& Name) : FPair(std::make_unique<Pair>()) {
    std::string name;
    for (const char c : Name)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        throw std::runtime_error("\"" + Name + "\" cannot name a port: use a plain name like com9");
    const std::string folder = platform::AliasFolder();
    if (folder.empty())
        throw std::runtime_error("no alias folder: neither XDG_CONFIG_HOME nor HOME is an "
                                 "absolute path");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw std::runtime_error("cannot make " + folder + ": " + error.message());
    FAlias = folder + "/" + name;
    struct stat st {};
    if (::lstat(FAlias.c_str(), &st) == 0) {
        // Another virtual printer, or a real device, holds the name; a link to nothing does not.
        if (::stat(FAlias.c_str(), &st) == 0)
            throw std::runtime_error(name + " is already taken in " + folder +
                                     ": choose another --name, or remove " + FAlias);
        ::unlink(FAlias.c_str());
    }

    if (::openpty(&FPair->Master, &FPair->Terminal, nullptr, nullptr, nullptr) < 0)
        throw SystemError("cannot make a pseudo-terminal");
    ::fcntl(FPair->Master, F_SETFD, FD_CLOEXEC);
    ::fcntl(FPair->Terminal, F_SETFD, FD_CLOEXEC);
    // The bytes must reach the printer as they were written: no echo, no CR/LF changes.
    termios raw{};
    ::tcgetattr(FPair->Terminal, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(FPair->Terminal, TCSANOW, &raw);
    const char* device = ::ttyname(FPair->Terminal);
    FDevice = device ? device : "";
    if (FDevice.empty() || ::symlink(FDevice.c_str(), FAlias.c_str()) < 0) {
        const auto failure = SystemError("cannot publish " + FAlias);
        ::close(FPair->Master);
        ::close(FPair->Terminal);
        throw failure;
    }
}

VirtualPort::~VirtualPort() {
    // Only our own link goes: someone may have replaced it meanwhile.
    char target[4096];
    const ssize_t length = ::readlink(FAlias.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == FDevice)
        ::unlink(FAlias.c_str());
    ::close(FPair->Terminal);
    ::close(FPair->Master);
}

std::optional<std::string> VirtualPort::Read() {
    sigset_t waiting;
    pthread_sigmask(SIG_SETMASK, nullptr, &waiting);
    sigdelset(&waiting, SIGINT);
    sigdelset(&waiting, SIGTERM);
    while (!StopOnSignals::Requested()) {
        pollfd fd{FPair->Master, POLLIN, 0};
        const int ready = ::ppoll(&fd, 1, nullptr, &waiting);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (fd.revents & POLLIN) {
            char buffer[4096];
            const ssize_t got = ::read(FPair->Master, buffer, sizeof buffer);
            if (got > 0)
                return std::string(buffer, static_cast<std::size_t>(got));
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            return std::nullopt;
        }
        if (fd.revents & (POLLERR | POLLNVAL))
            return std::nullopt;
    }
    return std::nullopt;
}

void VirtualPort::Write(std::string_view Bytes) {
    while (!Bytes.empty()) {
        const ssize_t put = ::write(FPair->Master, Bytes.data(), Bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return; // nobody reads answers on a broken pair; the printer carries on
        }
        Bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

} // namespace platform
