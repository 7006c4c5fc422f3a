// What every C++ benchmark program shares: its command line, the monotonic clock the harness
// also reads, the bytes to send, and how results and latency stamps go back to the harness.
//
//   <program> print <port> <cycles> <receipt-file> <trailer-file>
//   <program> throughput <port> <total-bytes> <block-bytes>
//   <program> latency <port> <samples> <ack-fd>
//   <program> idle <port> <milliseconds>
//   <program> scale <port>,<port>,... <samples> <idle-milliseconds> <ack-fd>
//
// Results are "key=value" lines on standard output; a failure exits non-zero with a message.
#pragma once

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

struct Workload {
    std::string Kind;
    std::string Port;
    long Count = 0;      // cycles, total bytes, samples or milliseconds
    long Block = 0;      // throughput only
    int AckFd = -1;      // latency and scale
    long IdleMs = 0;     // scale only: how long to idle with every port open
    std::string Receipt; // print only
    std::string Trailer; // print only
};

[[noreturn]] inline void Fail(const std::string& What) {
    std::fprintf(stderr, "%s\n", What.c_str());
    std::exit(1);
}

inline std::string ReadWholeFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        Fail("cannot read " + Path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Workload ParseWorkload(int argc, char** argv) {
    Workload w;
    if (argc < 4)
        Fail("usage: <program> print|throughput|latency|idle|scale <port> <count> ...");
    w.Kind = argv[1];
    w.Port = argv[2];
    w.Count = std::atol(argv[3]);
    if (w.Kind == "print" && argc == 6) {
        w.Receipt = ReadWholeFile(argv[4]);
        w.Trailer = ReadWholeFile(argv[5]);
    } else if (w.Kind == "throughput" && argc == 5) {
        w.Block = std::atol(argv[4]);
    } else if (w.Kind == "latency" && argc == 5) {
        w.AckFd = std::atoi(argv[4]);
    } else if (w.Kind == "scale" && argc == 6) {
        // Port is a comma-separated list; the bytes arrive on the last one.
        w.IdleMs = std::atol(argv[4]);
        w.AckFd = std::atoi(argv[5]);
    } else if (w.Kind != "idle" || argc != 4) {
        Fail("bad arguments for workload " + w.Kind);
    }
    if (w.Count <= 0 || (w.Kind == "throughput" && w.Block <= 0))
        Fail("counts must be positive");
    return w;
}

// CLOCK_MONOTONIC in nanoseconds: the harness stamps its writes with the same clock.
inline std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The throughput stream: byte k is k mod 251, so a lost or repeated byte shows at the far side.
inline std::string PatternBytes(long Total) {
    std::string bytes(static_cast<std::size_t>(Total), '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<char>(k % 251);
    return bytes;
}

// Tells the harness a notification reached user code; Stamp -1 says "armed and waiting".
inline void SendStamp(int AckFd, std::int64_t Stamp) {
    const char* p = reinterpret_cast<const char*>(&Stamp);
    std::size_t left = sizeof Stamp;
    while (left > 0) {
        const ssize_t n = ::write(AckFd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("cannot reach the harness");
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// CPU time of all the process's threads, and its voluntary context switches.
struct Usage {
    std::int64_t CpuUs = 0;
    long VoluntarySwitches = 0;
};

inline Usage ProcessUsage() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    Usage u;
    u.CpuUs = (static_cast<std::int64_t>(ru.ru_utime.tv_sec) + ru.ru_stime.tv_sec) * 1000000 +
              ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
    u.VoluntarySwitches = ru.ru_nvcsw;
    return u;
}

inline void ReportPrint(long Cycles, std::int64_t Ns) {
    std::printf("cycles=%ld\nns=%lld\n", Cycles, static_cast<long long>(Ns));
}

inline void ReportThroughput(long Bytes, std::int64_t Ns) {
    std::printf("bytes=%ld\nns=%lld\n", Bytes, static_cast<long long>(Ns));
}

inline std::vector<std::string> SplitPorts(const std::string& List) {
    std::vector<std::string> ports;
    for (std::size_t at = 0; at <= List.size();) {
        const std::size_t comma = std::min(List.find(',', at), List.size());
        ports.push_back(List.substr(at, comma - at));
        at = comma + 1;
    }
    return ports;
}

// Resident memory of the process in KiB.
inline long ResidentKib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The scale workload's idle phase: Idle(Ms) waits that long with every port open.
template <typename IdleFor>
inline void RunScaleIdle(const Workload& W, long KibBefore, std::size_t Ports, IdleFor&& Idle) {
    const long kibPerPortTimes10 = (ResidentKib() - KibBefore) * 10 / static_cast<long>(Ports);
    // Threads that the opening started settle first: the figure is about idling, not starting.
    Idle(200);
    const Usage before = ProcessUsage();
    Idle(W.IdleMs);
    const Usage after = ProcessUsage();
    std::printf("kib_per_port=%ld.%ld\ncpu_us=%lld\nnvcsw=%ld\n", kibPerPortTimes10 / 10,
                kibPerPortTimes10 % 10, static_cast<long long>(after.CpuUs - before.CpuUs),
                after.VoluntarySwitches - before.VoluntarySwitches);
}

inline void ReportIdle(const Usage& Before, const Usage& After) {
    std::printf("cpu_us=%lld\nnvcsw=%ld\n", static_cast<long long>(After.CpuUs - Before.CpuUs),
                After.VoluntarySwitches - Before.VoluntarySwitches);
}

} // namespace bench
