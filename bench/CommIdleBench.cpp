// An open comm device with a WaitCommEvent pending and nothing happening must cost no CPU: the
// engine sleeps in poll() and nothing wakes it. Reports the process's CPU time over a few seconds.
#include "platform/Win32.h"
#include "platform/linux/comm/CommDevice.h"
#include "platform/linux/sync/Handles.h"

#include <benchmark/benchmark.h>
#include <pty.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_IdleWaitCommEvent(benchmark::State& State) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        State.SkipWithError("no pseudo-terminals");
        return;
    }
    auto device = platform::OpenCommDevice(name, true);
    if (!device) {
        State.SkipWithError("cannot open the pty as a comm device");
        return;
    }
    HANDLE port = platform::InsertHandle(std::move(device));
    SetCommMask(port, 0x05FF); // every event the port asks for
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    DWORD mask = 0;
    WaitCommEvent(port, &mask, &overlapped);

    const auto idle = std::chrono::milliseconds(State.range(0));
    double cpu = 0;
    for (auto _ : State) {
        const double before = ProcessCpuSeconds();
        // Nothing to measure but the absence of work: the process just stays idle.
        std::this_thread::sleep_for(idle);
        cpu = ProcessCpuSeconds() - before;
    }
    State.counters["cpu_ms"] = cpu * 1000;
    State.counters["cpu_percent"] = 100.0 * cpu / std::chrono::duration<double>(idle).count();

    SetCommMask(port, 0);
    CloseHandle(overlapped.hEvent);
    CloseHandle(port);
    ::close(slave);
    ::close(master);
}

BENCHMARK(BM_IdleWaitCommEvent)
    ->Arg(3000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
