// Write throughput over a pty: overlapped WriteFile through the comm engine, and beside it a
// plain write() loop on a raw terminal, in the same run and with the same chunk sizes.
#include "BenchPty.h"

#include "platform/Win32.h"
#include "platform/linux/comm/CommDevice.h"
#include "platform/linux/sync/Handles.h"

#include <benchmark/benchmark.h>
#include <termios.h>

#include <vector>

namespace {

constexpr std::size_t Total = 1 << 20; // bytes per iteration

std::vector<BYTE> Payload(std::size_t Size) {
    std::vector<BYTE> bytes(Size);
    for (std::size_t i = 0; i < Size; ++i)
        bytes[i] = static_cast<BYTE>(i * 131);
    return bytes;
}

void BM_WriteFileThroughEngine(benchmark::State& State) {
    bench::DrainedPty pty;
    auto device = pty.Ok() ? platform::OpenCommDevice(pty.Path, true) : nullptr;
    if (!device) {
        State.SkipWithError("no pseudo-terminal to open as a comm device");
        return;
    }
    HANDLE port = platform::InsertHandle(std::move(device));
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(port, &timeouts);
    const auto chunk = static_cast<std::size_t>(State.range(0));
    const auto bytes = Payload(chunk);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    std::uint64_t sent = 0;
    for (auto _ : State) {
        for (std::size_t done = 0; done < Total; done += chunk) {
            DWORD written = 0;
            if (!WriteFile(port, bytes.data(), static_cast<DWORD>(chunk), &written, &overlapped) &&
                GetLastError() == ERROR_IO_PENDING)
                GetOverlappedResult(port, &overlapped, &written, TRUE);
            sent += written;
        }
        pty.AwaitReceived(sent);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(sent));
    CloseHandle(overlapped.hEvent);
    CloseHandle(port);
}

void BM_PlainWriteLoop(benchmark::State& State) {
    bench::DrainedPty pty;
    if (!pty.Ok()) {
        State.SkipWithError("no pseudo-terminal");
        return;
    }
    termios raw{};
    tcgetattr(pty.Slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(pty.Slave, TCSANOW, &raw);
    const auto chunk = static_cast<std::size_t>(State.range(0));
    const auto bytes = Payload(chunk);
    std::uint64_t sent = 0;
    for (auto _ : State) {
        for (std::size_t done = 0; done < Total; done += chunk) {
            std::size_t off = 0;
            while (off < chunk) {
                const ssize_t n = ::write(pty.Slave, bytes.data() + off, chunk - off);
                if (n <= 0)
                    break;
                off += static_cast<std::size_t>(n);
            }
            sent += off;
        }
        pty.AwaitReceived(sent);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(sent));
}

BENCHMARK(BM_WriteFileThroughEngine)->Arg(64)->Arg(4096)->Arg(65536)->UseRealTime();
BENCHMARK(BM_PlainWriteLoop)->Arg(64)->Arg(4096)->Arg(65536)->UseRealTime();

} // namespace
