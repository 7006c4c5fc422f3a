// Terminals as comm devices: opening them exclusively and the engine's backend for them.
#include "platform/linux/comm/CommDevice.h"

#include "platform/linux/comm/CommEngine.h"
#include "platform/linux/files/DeviceNames.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

void WakeWatcher(int) {}

// The signal that pulls the line watcher out of TIOCMIWAIT, which nothing else interrupts.
int WatcherSignal() {
    static const int signal = [] {
        const int number = SIGRTMIN + 5;
        struct sigaction action {};
        action.sa_handler = WakeWatcher;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the ioctl must return EINTR
        sigaction(number, &action, nullptr);
        return number;
    }();
    return signal;
}

int Retry(int Result) {
    return Result < 0 ? errno : 0;
}

class TtyBackend final : public CommBackend {
public:
    // Current: the settings the terminal holds now. This backend is their only writer (the
    // device is open exclusively), so it keeps them rather than asking the kernel each time.
    TtyBackend(int Descriptor, const TermSettings& Current, std::optional<dev_t> Number)
        : Fd(Descriptor), Settings(Current) {
        struct stat st {};
        if (!Number && fstat(Fd, &st) == 0)
            Number = st.st_rdev;
        Pseudo = Number && IsPseudoTerminal(*Number);
    }
    ~TtyBackend() override {
        StopWatcher();
        Close();
    }

    int PollFd() const override { return Fd; }

    void Attach(std::function<void()> Waker) override {
        Wake = std::move(Waker);
        DWORD lines = 0;
        // Drivers without modem lines have nothing to watch.
        if (GetLines(lines) != 0)
            return;
        WatcherSignal();
        Watcher = std::thread([this] { WatchLines(); });
    }

    void Detach() override { StopWatcher(); }

    long Read(BYTE* Buffer, std::size_t Count) override {
        for (;;) {
            const ssize_t n = ::read(Fd, Buffer, Count);
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            return errno == EAGAIN ? 0 : -errno;
        }
    }

    long Write(const BYTE* Buffer, std::size_t Count) override {
        for (;;) {
            const ssize_t n = ::write(Fd, Buffer, Count);
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            return errno == EAGAIN ? 0 : -errno;
        }
    }

    int OutputQueued(DWORD& Count) override {
        // What a pty is given lands in the far side's input at once.
        if (Pseudo) {
            Count = 0;
            return 0;
        }
        int queued = 0;
        if (ioctl(Fd, TIOCOUTQ, &queued) < 0)
            return errno;
        Count = static_cast<DWORD>(queued > 0 ? queued : 0);
        return 0;
    }

    int GetSettings(TermSettings& Out) override {
        Out = Settings;
        return 0;
    }
    int SetSettings(const TermSettings& Wanted) override {
        return Apply(Wanted, TermCheck::SpeedAndFraming);
    }

    // Raw mode for the open, checking only the speed, as the framing is the driver's own yet.
    int MakeRaw() { return Apply(RawSettings(Settings), TermCheck::Speed); }

    // A pty has no modem lines and keeps no line counters: asking the kernel only costs calls.
    int GetLines(DWORD& Lines) override {
        if (Pseudo)
            return ENOTTY;
        int bits = 0;
        if (ioctl(Fd, TIOCMGET, &bits) < 0)
            return errno == EINVAL ? ENOTTY : errno;
        Lines = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
                ((bits & TIOCM_RNG) ? MS_RING_ON : 0) | ((bits & TIOCM_CAR) ? MS_RLSD_ON : 0);
        return 0;
    }

    int SetLines(int Dtr, int Rts) override {
        if (Pseudo)
            return ENOTTY;
        int raise = 0, lower = 0;
        (Dtr == 1 ? raise : lower) |= Dtr < 0 ? 0 : TIOCM_DTR;
        (Rts == 1 ? raise : lower) |= Rts < 0 ? 0 : TIOCM_RTS;
        if (raise && ioctl(Fd, TIOCMBIS, &raise) < 0)
            return errno == EINVAL ? ENOTTY : errno;
        if (lower && ioctl(Fd, TIOCMBIC, &lower) < 0)
            return errno == EINVAL ? ENOTTY : errno;
        return 0;
    }

    int GetCounters(LineCounters& Counters) override {
        if (Pseudo)
            return ENOTTY;
        serial_icounter_struct c{};
        if (ioctl(Fd, TIOCGICOUNT, &c) < 0)
            return errno == EINVAL ? ENOTTY : errno;
        Counters.Cts = static_cast<DWORD>(c.cts);
        Counters.Dsr = static_cast<DWORD>(c.dsr);
        Counters.Ring = static_cast<DWORD>(c.rng);
        Counters.Rlsd = static_cast<DWORD>(c.dcd);
        Counters.Frame = static_cast<DWORD>(c.frame);
        Counters.Parity = static_cast<DWORD>(c.parity);
        Counters.Overrun = static_cast<DWORD>(c.overrun);
        Counters.BufferOverrun = static_cast<DWORD>(c.buf_overrun);
        Counters.Break = static_cast<DWORD>(c.brk);
        return 0;
    }

    int Flush(bool Input, bool Output) override {
        if (Fd < 0)
            return EBADF;
        // A pty's output goes straight into the far side's input: flushing it would take back
        // bytes that are already delivered, which no line can do.
        if (Pseudo)
            Output = false;
        if (!Input && !Output)
            return 0;
        const int which = Input && Output ? TCIOFLUSH : Input ? TCIFLUSH : TCOFLUSH;
        return Retry(tcflush(Fd, which));
    }

    // A pty's output is in the far side's hands once written: nothing is left to wait for.
    int Drain() override { return Pseudo ? 0 : Retry(tcdrain(Fd)); }

    int SetBreak(bool On) override { return Retry(ioctl(Fd, On ? TIOCSBRK : TIOCCBRK)); }
    int SuspendOutput(bool Suspend) override { return Retry(tcflow(Fd, Suspend ? TCOOFF : TCOON)); }

    void Close() override {
        if (Fd >= 0) {
            // The exclusive flag outlives us while another program holds the terminal open.
            ioctl(Fd, TIOCNXCL);
            ::close(Fd); // also drops the flock
        }
        Fd = -1;
    }

private:
    // Settings the terminal already holds are not written again: a port opened once more with
    // the settings of its last use (the print cycle) keeps them, raw mode included, from then.
    int Apply(const TermSettings& Wanted, TermCheck Check) {
        if (Wanted == Settings)
            return 0;
        return WriteTermSettings(Fd, Wanted, Pseudo ? TermCheck::None : Check, &Settings,
                                 &Settings);
    }

    // Sleeps in the kernel until a modem line changes, then wakes the engine. A driver that
    // refuses the wait, or answers it without any change, is not asked again.
    void WatchLines() {
        int idle = 0;
        DWORD lines = 0;
        LineCounters counters;
        GetLines(lines);
        GetCounters(counters);
        while (!Stopping.load()) {
            if (ioctl(Fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            DWORD nowLines = 0;
            LineCounters now;
            GetLines(nowLines);
            GetCounters(now);
            const bool changed = nowLines != lines || now.Cts != counters.Cts ||
                                 now.Dsr != counters.Dsr || now.Ring != counters.Ring ||
                                 now.Rlsd != counters.Rlsd;
            lines = nowLines;
            counters = now;
            idle = changed ? 0 : idle + 1;
            if (idle >= 3)
                break;
            if (changed && Wake)
                Wake();
        }
        std::lock_guard lock(WatcherLock);
        WatcherDone = true;
        WatcherEnded.notify_all();
    }

    void StopWatcher() {
        if (!Watcher.joinable())
            return;
        Stopping.store(true);
        std::unique_lock lock(WatcherLock);
        // The signal may land just before the thread enters the ioctl; send it again until the
        // thread has seen the stop flag.
        while (!WatcherDone) {
            pthread_kill(Watcher.native_handle(), WatcherSignal());
            WatcherEnded.wait_for(lock, std::chrono::milliseconds(20));
        }
        lock.unlock();
        Watcher.join();
    }

    int Fd;
    TermSettings Settings;
    bool Pseudo = false;
    std::function<void()> Wake;
    std::thread Watcher;
    std::atomic<bool> Stopping{false};
    std::mutex WatcherLock;
    std::condition_variable WatcherEnded;
    bool WatcherDone = false;
};

std::atomic<CommDeviceProvider> provider{nullptr};

} // namespace

void SetCommDeviceProvider(CommDeviceProvider Provider) {
    provider.store(Provider);
}

std::optional<std::shared_ptr<KernelObject>> OpenProvidedComm(const std::string& Name,
                                                              bool Overlapped) {
    const CommDeviceProvider open = provider.load();
    if (!open)
        return std::nullopt;
    return open(Name, Overlapped);
}

std::shared_ptr<KernelObject> OpenCommDevice(const std::string& DevicePath, bool Overlapped,
                                             const CheckedNode* Checked) {
    constexpr int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    int fd = -1;
    std::optional<dev_t> number;
    if (Checked && Checked->Node) {
        // Reopening the checked node leaves no moment in which the name could lead elsewhere.
        fd = ::open(("/proc/self/fd/" + std::to_string(*Checked->Node)).c_str(), flags);
        if (fd >= 0)
            number = Checked->Number;
        else if (errno != ENOENT) {
            FailWithErrno(errno);
            return nullptr;
        }
    }
    if (fd < 0) // no /proc
        fd = ::open(DevicePath.c_str(), flags);
    if (fd < 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    auto fail = [fd](DWORD Error) -> std::shared_ptr<KernelObject> {
        ::close(fd);
        SetLastError(Error);
        return nullptr;
    };
    // Reading the settings also tells a terminal from anything else.
    TermSettings current;
    if (const int error = ReadTermSettings(fd, current))
        return fail(error == ENOTTY ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(error));
    // flock holds even against root, which TIOCEXCL does not stop; TIOCEXCL keeps out
    // programs that only honour that.
    if (flock(fd, LOCK_EX | LOCK_NB) < 0)
        return fail(Win32ErrorFromErrno(errno));
    ioctl(fd, TIOCEXCL);
    auto backend = std::make_unique<TtyBackend>(fd, current, number);
    if (const int error = backend->MakeRaw()) {
        SetLastError(Win32ErrorFromErrno(error));
        return nullptr;
    }
    return StartCommEngine(std::move(backend), Overlapped);
}

} // namespace platform
