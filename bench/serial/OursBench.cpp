// Our component through TComPort, doing what the console does: every print cycle is the console's
// sequence (close, settings, open with all ten events, two SendText, close).
// The scale workload opens many ports at once, each with all ten events.
//   bench_ours [--sync-none] <workload> ...   (smThreadSync unless --sync-none)
#include "bench/serial/Workload.h"
#include "serial/CPort.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <semaphore>
#include <string>
#include <vector>

namespace {

TSyncMethod Sync = smThreadSync;

void Prepare(TComPort& Port, const std::string& Name) {
    Port.SetSyncMethod(Sync);
    Port.SetEvents(TComEvents::All());
    Port.SetPort(Name);
    Port.SetBaudRate(br9600);
    Port.SetDataBits(dbEight);
    Port.SetStopBits(sbOneStopBit);
    Port.Parity().SetBits(prNone);
    Port.FlowControl().SetFlowControl(fcNone);
}

void RunPrint(const bench::Workload& W) {
    TComPort port(nullptr);
    Prepare(port, W.Port);
    const std::int64_t start = bench::NowNs();
    for (long i = 0; i < W.Count; ++i) {
        port.ClosePort();
        port.SetPort(W.Port);
        port.SetBaudRate(br9600);
        port.OpenPort();
        if (port.SendText(W.Receipt) != static_cast<std::int32_t>(W.Receipt.size()) ||
            port.SendText(W.Trailer) != static_cast<std::int32_t>(W.Trailer.size()))
            bench::Fail("short write");
        if (port.Connected())
            port.ClosePort();
    }
    bench::ReportPrint(W.Count, bench::NowNs() - start);
}

void RunThroughput(const bench::Workload& W) {
    // SendText takes a string: the blocks are cut before the clock starts, as a caller holding
    // its data in strings would have them.
    const std::string bytes = bench::PatternBytes(W.Count);
    std::vector<std::string> blocks;
    for (long at = 0; at < W.Count; at += W.Block)
        blocks.push_back(
            bytes.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(W.Block)));
    TComPort port(nullptr);
    Prepare(port, W.Port);
    port.OpenPort();
    const std::int64_t start = bench::NowNs();
    for (const std::string& block : blocks)
        if (port.SendText(block) != static_cast<std::int32_t>(block.size()))
            bench::Fail("short write");
    const std::int64_t ns = bench::NowNs() - start;
    port.ClosePort();
    bench::ReportThroughput(W.Count, ns);
}

// Counts the bytes that notifications announce and stamps each notification for the harness.
struct Receiver {
    const bench::Workload& W;
    std::atomic<long> Seen{0};
    std::binary_semaphore Done{0};

    void Listen(TComPort& Port) {
        Port.OnRxChar = [this, &Port](TObject*, std::int32_t Count) {
            const std::int64_t stamp = bench::NowNs();
            char buffer[256];
            for (std::int32_t left = Count; left > 0;) {
                const std::int32_t n = Port.ReceiveBytes(
                    buffer, std::min<std::int32_t>(left, static_cast<std::int32_t>(sizeof buffer)));
                if (n <= 0)
                    bench::Fail("nothing to read after a receive notification");
                left -= n;
            }
            bench::SendStamp(W.AckFd, stamp);
            if (Seen.fetch_add(Count) + Count >= W.Count)
                Done.release();
        };
    }
    // Says "armed" and waits for every sample; in smThreadSync they arrive through this thread.
    void Collect() {
        bench::SendStamp(W.AckFd, -1);
        if (Sync == smThreadSync) {
            while (Seen.load() < W.Count)
                CheckSynchronize(INFINITE);
        } else {
            Done.acquire();
        }
        std::printf("samples=%ld\n", Seen.load());
    }
};

// The main thread idles the way an event loop does: asleep until something is queued.
void IdleServing(long Ms) {
    const std::int64_t end = bench::NowNs() + Ms * 1000000;
    for (std::int64_t now = bench::NowNs(); now < end; now = bench::NowNs())
        CheckSynchronize(static_cast<DWORD>((end - now + 999999) / 1000000));
}

void RunLatency(const bench::Workload& W) {
    TComPort port(nullptr);
    Prepare(port, W.Port);
    Receiver receiver{W};
    receiver.Listen(port);
    port.OpenPort();
    receiver.Collect();
    port.ClosePort();
}

void RunScale(const bench::Workload& W) {
    const std::vector<std::string> names = bench::SplitPorts(W.Port);
    const long before = bench::ResidentKib();
    Receiver receiver{W};
    std::vector<std::unique_ptr<TComPort>> ports;
    for (const std::string& name : names) {
        ports.push_back(std::make_unique<TComPort>(nullptr));
        Prepare(*ports.back(), name);
        receiver.Listen(*ports.back());
        ports.back()->OpenPort();
    }
    bench::RunScaleIdle(W, before, names.size(), IdleServing);
    receiver.Collect();
    for (auto& port : ports)
        port->ClosePort();
}

void RunIdle(const bench::Workload& W) {
    TComPort port(nullptr);
    Prepare(port, W.Port);
    long calls = 0;
    port.OnRxChar = [&](TObject*, std::int32_t) { ++calls; };
    port.OnTxEmpty = [&](TObject*) { ++calls; };
    port.OpenPort();
    const bench::Usage before = bench::ProcessUsage();
    IdleServing(W.Count);
    const bench::Usage after = bench::ProcessUsage();
    port.ClosePort();
    bench::ReportIdle(before, after);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--sync-none") == 0) {
        Sync = smNone;
        --argc;
        ++argv;
    }
    const bench::Workload w = bench::ParseWorkload(argc, argv);
    try {
        if (w.Kind == "print")
            RunPrint(w);
        else if (w.Kind == "throughput")
            RunThroughput(w);
        else if (w.Kind == "latency")
            RunLatency(w);
        else if (w.Kind == "scale")
            RunScale(w);
        else
            RunIdle(w);
    } catch (const std::exception& e) {
        bench::Fail(std::string("error: ") + e.what());
    }
    return 0;
}
