// The line printer behind "LPTn": a plain descriptor written synchronously.
#include "platform/linux/files/DeviceNames.h"
#include "platform/linux/sync/Sync.h"

#include "platform/Win32.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform {

namespace {

// A reader that went away turns write() on a pipe into SIGPIPE, which would end the whole
// program; blocked for the call, the write fails with EPIPE instead.
class SigpipeBlocked {
public:
    SigpipeBlocked() {
        sigemptyset(&Pipe_);
        sigaddset(&Pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &Pipe_, &Previous_);
        sigset_t pending;
        sigpending(&pending);
        WasPending_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlocked() { pthread_sigmask(SIG_SETMASK, &Previous_, nullptr); }
    // Takes back the SIGPIPE our own failed write raised, leaving anyone else's in place.
    void Discard() {
        if (WasPending_)
            return;
        const timespec none{};
        while (sigtimedwait(&Pipe_, nullptr, &none) < 0 && errno == EINTR) {
        }
    }

private:
    sigset_t Pipe_{};
    sigset_t Previous_{};
    bool WasPending_ = false;
};

class LinePrinter final : public KernelObject {
public:
    // Overlapped: opened with FILE_FLAG_OVERLAPPED.
    LinePrinter(int Fd, bool Overlapped) : Fd_(Fd), Overlapped_(Overlapped) {}
    // The descriptor goes when the last call using it has finished, so a CloseHandle racing a
    // write on another thread cannot hand the number to an unrelated open.
    ~LinePrinter() override { ::close(Fd_); }

    BOOL Write(const void* Buffer, DWORD Count, DWORD* Written, _OVERLAPPED* Overlapped) override {
        if (Written)
            *Written = 0;
        // As Windows: an overlapped handle's write has nowhere to report but its record.
        if (Overlapped_ && !Overlapped) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        DWORD done = 0;
        int error = 0;
        {
            SigpipeBlocked guard;
            const auto* bytes = static_cast<const unsigned char*>(Buffer);
            while (done < Count) {
                const ssize_t n = ::write(Fd_, bytes + done, Count - done);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    error = errno;
                    if (error == EPIPE)
                        guard.Discard();
                    break;
                }
                done += static_cast<DWORD>(n);
            }
        }
        if (Written)
            *Written = done;
        const DWORD status = Win32ErrorFromErrno(error);
        if (Overlapped) {
            // The device is synchronous: the record is complete before the call returns.
            Overlapped->InternalHigh = done;
            std::atomic_ref<ULONG_PTR>(Overlapped->Internal)
                .store(status, std::memory_order_release);
            if (Overlapped->hEvent)
                SetEvent(Overlapped->hEvent);
        }
        if (error)
            return FailWithErrno(error);
        return TRUE;
    }

    BOOL Read(void*, DWORD, DWORD*, _OVERLAPPED*) override {
        SetLastError(ERROR_ACCESS_DENIED); // opened for writing only
        return FALSE;
    }

    DWORD FileType() const override {
        struct stat st {};
        if (::fstat(Fd_, &st) != 0)
            return FILE_TYPE_UNKNOWN;
        if (S_ISCHR(st.st_mode))
            return FILE_TYPE_CHAR;
        if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
            return FILE_TYPE_PIPE;
        if (S_ISREG(st.st_mode))
            return FILE_TYPE_DISK;
        return FILE_TYPE_UNKNOWN;
    }

private:
    const int Fd_;
    const bool Overlapped_;
};

bool IsCharDevice(const std::string& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

std::shared_ptr<KernelObject> OpenLinePrinter(unsigned Number, DWORD DesiredAccess,
                                              bool Overlapped) {
    if (Number == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    // A printer is written to; nothing here reads its status back.
    if ((DesiredAccess & GENERIC_READ) || !(DesiredAccess & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }

    std::string path;
    const bool viaAlias = FindAlias("lpt" + std::to_string(Number)).has_value();
    if (viaAlias) {
        path = *FindAlias("lpt" + std::to_string(Number));
    } else {
        // A stray regular file named like the device (left by an open that created it while no
        // printer was attached) is not a printer: only character devices count.
        const std::string dev = CurrentDeviceRoots().Dev;
        const std::string index = std::to_string(Number - 1);
        for (const std::string& candidate : {dev + "/usb/lp" + index, dev + "/lp" + index}) {
            if (IsCharDevice(candidate)) {
                path = candidate;
                break;
            }
        }
        if (path.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
    }

    // Never O_CREAT or O_TRUNC: "CREATE_ALWAYS" on a printer must not make or empty a file.
    // O_NONBLOCK keeps the open itself from waiting (for a FIFO's reader, for an offline
    // printer); writes are made blocking again below. A regular file is appended to.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | O_APPEND);
    if (fd < 0) {
        FailWithErrno(errno); // ENXIO, a FIFO nobody reads: ERROR_FILE_NOT_FOUND
        return nullptr;
    }
    struct stat st {};
    DWORD refusal = ERROR_SUCCESS;
    if (::fstat(fd, &st) != 0)
        refusal = Win32ErrorFromErrno(errno);
    else if (S_ISREG(st.st_mode) ? !viaAlias : !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)))
        refusal = ERROR_ACCESS_DENIED;
    else if (S_ISCHR(st.st_mode) && IsConsoleDevice(st.st_rdev))
        refusal = ERROR_ACCESS_DENIED;
    const int flags = ::fcntl(fd, F_GETFL);
    if (refusal == ERROR_SUCCESS && (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0))
        refusal = Win32ErrorFromErrno(errno);
    if (refusal != ERROR_SUCCESS) {
        ::close(fd);
        SetLastError(refusal);
        return nullptr;
    }
    return std::make_shared<LinePrinter>(fd, Overlapped);
}

} // namespace platform
