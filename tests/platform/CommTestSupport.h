// Pseudo-terminal pairs and overlapped records for the comm device tests. The engine opens the
// pty's terminal side as its device; the test plays the far side on the master.
#pragma once

#include "platform/Win32.h"
#include "platform/linux/comm/CommDevice.h"
#include "platform/linux/sync/Handles.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace commtest {

// Written into out-parameters and the last error first, so a value a call did not set shows.
constexpr DWORD Sentinel = 0xC0FFEEu;

// A plain port set-up: binary, 8 data bits, no parity, one stop bit, XON/XOFF characters.
inline DCB PortDcb(DWORD BaudRate = 9600) {
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = BaudRate;
    d.fBinary = 1;
    d.XonLim = d.XoffLim = 256;
    d.ByteSize = 8;
    d.XonChar = 17;
    d.XoffChar = 19;
    return d;
}

class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&Master, &slave, name, nullptr, nullptr) != 0)
            return;
        ::close(slave);
        fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
        Path = name;
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool Ok() const { return Master >= 0; }
    void CloseMaster() {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }

    void Send(const std::vector<BYTE>& Bytes) const {
        std::size_t done = 0;
        while (done < Bytes.size()) {
            const ssize_t n = ::write(Master, Bytes.data() + done, Bytes.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
    }

    // Up to Count bytes the device sent, waiting at most Limit for them.
    std::vector<BYTE> Receive(std::size_t Count,
                              std::chrono::milliseconds Limit = std::chrono::seconds(5)) const {
        std::vector<BYTE> got;
        const auto end = std::chrono::steady_clock::now() + Limit;
        while (got.size() < Count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{Master, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            BYTE buffer[4096];
            const ssize_t n = ::read(Master, buffer, std::min(sizeof buffer, Count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    int Master = -1;
    std::string Path;
};

// An OVERLAPPED with its own manual-reset event, prefilled so untouched fields show.
struct Overlapped {
    Overlapped() {
        Record.Internal = 0xFEEDu;
        Record.InternalHigh = 0xFEEDu;
        Record.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    ~Overlapped() { CloseHandle(Record.hEvent); }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    // True when the operation completed within Limit.
    bool Done(DWORD Limit = 5000) const {
        return WaitForSingleObject(Record.hEvent, Limit) == WAIT_OBJECT_0;
    }
    OVERLAPPED* Get() { return &Record; }
    OVERLAPPED Record{};
};

// The result of a completed transfer on Port: its count, or the error as a negative number.
inline long long Outcome(HANDLE Port, Overlapped& Record) {
    DWORD count = Sentinel;
    if (!GetOverlappedResult(Port, Record.Get(), &count, FALSE))
        return -static_cast<long long>(GetLastError());
    return count;
}

// A transfer on an overlapped handle waited for, as a blocking call on a plain handle would be.
inline BOOL ReadWaited(HANDLE Port, void* Buffer, DWORD Count, DWORD& Got) {
    Overlapped record;
    if (!ReadFile(Port, Buffer, Count, &Got, record.Get()) && GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    return GetOverlappedResult(Port, record.Get(), &Got, TRUE);
}
inline BOOL WriteWaited(HANDLE Port, const void* Buffer, DWORD Count, DWORD& Written) {
    Overlapped record;
    if (!WriteFile(Port, Buffer, Count, &Written, record.Get()) &&
        GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    return GetOverlappedResult(Port, record.Get(), &Written, TRUE);
}

// A comm handle on the pty's terminal side, opened the way CreateFileA opens a comm device: for
// overlapped transfers unless Overlapped is false.
inline HANDLE OpenComm(const std::string& Path, bool Overlapped = true) {
    auto object = platform::OpenCommDevice(Path, Overlapped);
    if (!object)
        return INVALID_HANDLE_VALUE;
    return platform::InsertHandle(std::move(object));
}

} // namespace commtest
