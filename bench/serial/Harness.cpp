// Runs every serial library's benchmark program against pseudo-terminals whose far side this
// process drains, checks and stamps, and prints one Markdown table per run.
//   serial_bench [--runs N] [--quick]
#include "receipt/DateStamp.h"
#include "receipt/Receipt.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Die(const std::string& What) {
    std::fprintf(stderr, "serial_bench: %s\n", What.c_str());
    std::exit(1);
}

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// --- The libraries -----------------------------------------------------------------------------

struct Library {
    std::string Name;
    std::string Alias;                 // the port name when ByAlias
    std::vector<std::string> Command;  // program and leading arguments
    bool ByAlias = false;              // opens the port by name through the alias folder
    std::vector<std::string> Env = {}; // "NAME=value" for this program only
};

std::vector<Library> FindLibraries(const fs::path& Dir) {
    std::vector<Library> all = {
        {"termios (floor)", {}, {(Dir / "bench_raw").string()}},
        {"ours, smThreadSync", {}, {(Dir / "bench_ours").string()}, true},
        {"ours, smNone", {}, {(Dir / "bench_ours").string(), "--sync-none"}, true},
        {"Qt QSerialPort", {}, {(Dir / "bench_qt").string()}},
        // It refuses ptys as they are; the shim answers its two questions (see sp_pty_shim.c).
        {"libserialport",
         {},
         {(Dir / "bench_sp").string()},
         false,
         // In a sanitizer build the shim comes before the ASan runtime, which then must not object.
         {"LD_PRELOAD=" + (Dir / "bench_sp_shim.so").string(),
          "ASAN_OPTIONS=verify_asan_link_order=0"}},
        {"Boost.Asio", {}, {(Dir / "bench_asio").string()}},
        {"pyserial", {}, {"/usr/bin/python3", BENCH_SERIAL_SOURCE_DIR "/pyserial_bench.py"}},
    };
    std::vector<Library> found;
    for (Library& lib : all) {
        // Not COMn: a missing alias then fails to open instead of reaching real hardware.
        lib.Alias = "BENCHPORT" + std::to_string(found.size() + 1);
        if (access(lib.Command[0].c_str(), X_OK) == 0)
            found.push_back(std::move(lib));
        else
            std::fprintf(stderr, "serial_bench: %s is not built (%s); its row is left out\n",
                         lib.Name.c_str(), lib.Command[0].c_str());
    }
    if (found.empty() || found[0].Name != "termios (floor)")
        Die("the termios floor program is missing");
    return found;
}

// --- The far side ------------------------------------------------------------------------------

// A pseudo-terminal pair. This process keeps the terminal side open too, so a library closing
// its descriptor never hangs the pair up and nothing it wrote is lost with the hang-up.
struct Pty {
    int Master = -1;
    int Slave = -1;
    std::string Path;

    Pty() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            Die("cannot make a pseudo-terminal");
        Path = ptsname(Master);
        Slave = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Slave < 0)
            Die("cannot open " + Path);
        // Every library starts from the same raw terminal.
        termios t{};
        tcgetattr(Slave, &t);
        cfmakeraw(&t);
        tcsetattr(Slave, TCSANOW, &t);
    }
    ~Pty() {
        close(Slave);
        close(Master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
};

// Drains the master side, checking each byte against what the library should have written.
class Drain {
public:
    Drain(int Master, std::string Pattern) : FMaster(Master), FPattern(std::move(Pattern)) {
        if (pipe2(FStop, O_CLOEXEC) != 0)
            Die("pipe");
        FThread = std::thread([this] { Run(); });
    }
    ~Drain() {
        if (FThread.joinable())
            Stop();
        close(FStop[0]);
        close(FStop[1]);
    }

    // Waits until Total bytes arrived (or none came for a while) and stops draining.
    void Finish(std::uint64_t Total) {
        std::int64_t last = NowNs();
        std::uint64_t seen = FReceived.load();
        while (seen < Total && FMismatch.load() < 0) {
            usleep(1000);
            const std::uint64_t now = FReceived.load();
            if (now != seen) {
                seen = now;
                last = NowNs();
            } else if (NowNs() - last > 3000000000) {
                break;
            }
        }
        Stop();
    }
    std::uint64_t Received() const { return FReceived.load(); }
    std::int64_t Mismatch() const { return FMismatch.load(); }

private:
    void Stop() {
        [[maybe_unused]] auto n = write(FStop[1], "x", 1);
        FThread.join();
    }
    void Run() {
        std::vector<char> buffer(65536);
        std::uint64_t at = 0;
        for (;;) {
            pollfd fds[2] = {{FMaster, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0)
                continue;
            if (!(fds[0].revents & POLLIN)) {
                if (fds[1].revents)
                    return;
                continue;
            }
            const ssize_t n = read(FMaster, buffer.data(), buffer.size());
            if (n <= 0)
                return;
            for (ssize_t i = 0; i < n; ++i, ++at)
                if (buffer[static_cast<std::size_t>(i)] != FPattern[at % FPattern.size()] &&
                    FMismatch.load() < 0)
                    FMismatch.store(static_cast<std::int64_t>(at));
            FReceived.store(at);
        }
    }

    int FMaster;
    std::string FPattern;
    int FStop[2] = {-1, -1};
    std::thread FThread;
    std::atomic<std::uint64_t> FReceived{0};
    std::atomic<std::int64_t> FMismatch{-1};
};

// --- Running a program -------------------------------------------------------------------------

class Child {
public:
    // Starts the library's program on Port with Args; AckFd (if any) becomes its descriptor 3.
    // Pinned, all its threads share one CPU: a hand-over between them then never depends on
    // whether the other CPU happens to be awake, which swings a median from run to run.
    Child(const Library& Lib, const std::string& Port, const std::vector<std::string>& Args,
          bool WithAck, bool Pinned = false) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0 || (WithAck && pipe2(FAck, O_CLOEXEC) != 0))
            Die("pipe");
        std::vector<std::string> argv = Lib.Command;
        argv.insert(argv.end(), Args.begin(), Args.end());
        argv.insert(argv.begin() + static_cast<long>(Lib.Command.size()) + 1, Port);
        std::vector<std::string> env = Lib.Env;
        if (WithAck)
            argv.push_back("3");
        FPid = fork();
        if (FPid < 0)
            Die("fork");
        if (FPid == 0) {
            if (Pinned) {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)) - 1, &one);
                if (sched_setaffinity(0, sizeof one, &one) != 0)
                    _exit(125);
            }
            dup2(out[1], 1);
            if (WithAck && (dup2(FAck[1], 3) != 3 || fcntl(3, F_SETFD, 0) != 0))
                _exit(126);
            for (std::string& e : env)
                putenv(e.data());
            std::vector<char*> raw;
            for (std::string& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            execv(raw[0], raw.data());
            _exit(127);
        }
        close(out[1]);
        FOut = out[0];
        if (WithAck)
            close(FAck[1]);
        FName = Lib.Name;
    }
    ~Child() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
        if (FOut >= 0)
            close(FOut);
        if (FAck[0] >= 0)
            close(FAck[0]);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next stamp the program sent, or nullopt when none came within TimeoutMs.
    std::optional<std::int64_t> NextStamp(int TimeoutMs) {
        std::int64_t stamp = 0;
        char* p = reinterpret_cast<char*>(&stamp);
        std::size_t got = 0;
        while (got < sizeof stamp) {
            pollfd fd{FAck[0], POLLIN, 0};
            if (poll(&fd, 1, TimeoutMs) <= 0)
                return std::nullopt;
            const ssize_t n = read(FAck[0], p + got, sizeof stamp - got);
            if (n <= 0)
                return std::nullopt;
            got += static_cast<std::size_t>(n);
        }
        return stamp;
    }

    // Waits for the program to end and returns its "key=value" results; fails the run if it
    // failed.
    std::map<std::string, double> Results() {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(FOut, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        int status = 0;
        waitpid(FPid, &status, 0);
        FPid = -1;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            Die(FName + ": the program failed");
        std::map<std::string, double> results;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (const auto eq = line.find('='); eq != std::string::npos)
                results[line.substr(0, eq)] = std::stod(line.substr(eq + 1));
        return results;
    }

private:
    pid_t FPid = -1;
    int FOut = -1;
    int FAck[2] = {-1, -1};
    std::string FName;
};

// --- Workloads ---------------------------------------------------------------------------------

struct Settings {
    int Runs = 2;
    int Repetitions = 4;    // print and latency; throughput runs in the first two only
    long PrintCycles = 500; // per repetition
    long ThroughputBytes = 8L << 20;
    long Block = 4096;
    long LatencySamples = 500; // per repetition
    long IdleMs = 5000;
    int ScalePorts = 64;
    long ScaleSamples = 1000; // one round per run
    long ScaleIdleMs = 2000;
    fs::path Dir; // for the receipt files and the alias folder
};

struct Figures {
    double PrintNs = 0, PrintCycles = 0;
    double ThroughputNs = 0, ThroughputBytes = 0;
    std::vector<double> LatencyUs;
    double IdleCpuUs = 0, IdleSwitches = 0;
    // Many ports open at once: latency on one of them, idling, resident memory per port.
    std::vector<double> ScaleLatencyUs;
    double ScaleIdleCpuUs = 0, ScaleIdleSwitches = 0, ScaleKibPerPort = NAN;
};

// The scale workload compares ours with the plain termios program only.
bool InScale(const Library& Lib) {
    return Lib.Name == "termios (floor)" || Lib.Name.rfind("ours", 0) == 0;
}

std::string PortFor(const Library& Lib, const Pty& P, const Settings& S,
                    const std::string& Suffix = "") {
    if (!Lib.ByAlias)
        return P.Path;
    std::string file = Lib.Alias + Suffix;
    std::transform(file.begin(), file.end(), file.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const fs::path alias = S.Dir / "tillmark" / "devices" / file;
    fs::remove(alias);
    fs::create_symlink(P.Path, alias);
    return Lib.Alias + Suffix;
}

void CheckDelivered(const Library& Lib, Drain& D, std::uint64_t Expected) {
    D.Finish(Expected);
    if (D.Mismatch() >= 0)
        Die(Lib.Name + ": byte " + std::to_string(D.Mismatch()) + " arrived wrong");
    if (D.Received() != Expected)
        Die(Lib.Name + ": " + std::to_string(D.Received()) + " of " + std::to_string(Expected) +
            " bytes arrived");
}

void RunPrint(const Library& Lib, const Settings& S, const std::string& Receipt,
              const std::string& Trailer, Figures& F) {
    Pty pty;
    Drain drain(pty.Master, Receipt + Trailer);
    Child child(Lib, PortFor(Lib, pty, S),
                {"print", std::to_string(S.PrintCycles), (S.Dir / "receipt.bin").string(),
                 (S.Dir / "trailer.bin").string()},
                false);
    auto r = child.Results();
    CheckDelivered(Lib, drain,
                   static_cast<std::uint64_t>(r["cycles"]) * (Receipt.size() + Trailer.size()));
    if (r["cycles"] != static_cast<double>(S.PrintCycles))
        Die(Lib.Name + ": wrong cycle count");
    F.PrintCycles += r["cycles"];
    F.PrintNs += r["ns"];
}

void RunThroughput(const Library& Lib, const Settings& S, Figures& F) {
    Pty pty;
    std::string pattern(251, '\0');
    for (int k = 0; k < 251; ++k)
        pattern[static_cast<std::size_t>(k)] = static_cast<char>(k);
    Drain drain(pty.Master, pattern);
    Child child(Lib, PortFor(Lib, pty, S),
                {"throughput", std::to_string(S.ThroughputBytes), std::to_string(S.Block)}, false,
                true);
    auto r = child.Results();
    CheckDelivered(Lib, drain, static_cast<std::uint64_t>(S.ThroughputBytes));
    F.ThroughputBytes += r["bytes"];
    F.ThroughputNs += r["ns"];
}

// While it lives, the calling thread runs on the first CPU only, and the pinned program on the
// last: every library's byte then reaches it across CPUs in the same way. Left to the scheduler,
// this thread ran beside the program or not depending on how long the program kept its CPU busy
// after each notification, and a library's median moved with that rather than with its own work.
class OnFirstCpu {
public:
    OnFirstCpu() {
        FPinned =
            sysconf(_SC_NPROCESSORS_ONLN) > 1 && sched_getaffinity(0, sizeof FSaved, &FSaved) == 0;
        if (!FPinned)
            return;
        cpu_set_t first;
        CPU_ZERO(&first);
        CPU_SET(0, &first);
        FPinned = sched_setaffinity(0, sizeof first, &first) == 0;
    }
    ~OnFirstCpu() {
        if (FPinned)
            sched_setaffinity(0, sizeof FSaved, &FSaved);
    }
    OnFirstCpu(const OnFirstCpu&) = delete;
    OnFirstCpu& operator=(const OnFirstCpu&) = delete;

private:
    cpu_set_t FSaved{};
    bool FPinned = false;
};

// Writes Count single bytes to Master and collects the program's stamps as latencies in µs.
void Sample(const Library& Lib, Child& Program, int Master, long Count, std::mt19937& Random,
            std::vector<double>& LatencyUs) {
    // A pause of varying length before each byte, so the program is back waiting and no sample
    // locks into step with a timer of the library's.
    std::uniform_int_distribution<long> pause(100000, 300000);
    const OnFirstCpu pinned;
    for (long i = 0; i < Count; ++i) {
        const timespec gap{0, pause(Random)};
        nanosleep(&gap, nullptr);
        const std::int64_t sent = NowNs();
        if (write(Master, "L", 1) != 1)
            Die("cannot write to the pseudo-terminal");
        const auto stamp = Program.NextStamp(5000);
        if (!stamp)
            Die(Lib.Name + ": byte " + std::to_string(i) + " was never reported");
        LatencyUs.push_back(static_cast<double>(*stamp - sent) / 1000.0);
    }
}

void RunLatency(const Library& Lib, const Settings& S, std::mt19937& Random, Figures& F) {
    Pty pty;
    Child child(Lib, PortFor(Lib, pty, S), {"latency", std::to_string(S.LatencySamples)}, true,
                true);
    if (child.NextStamp(20000) != -1)
        Die(Lib.Name + ": the program never became ready");
    Sample(Lib, child, pty.Master, S.LatencySamples, Random, F.LatencyUs);
    child.Results();
}

// Opens ScalePorts ports in one program with every notification armed: the program idles with
// all of them open, then reports bytes on the last one; its resident memory before and after
// opening gives the cost per port.
void RunScale(const Library& Lib, const Settings& S, std::mt19937& Random, Figures& F) {
    std::vector<std::unique_ptr<Pty>> ptys;
    std::string ports;
    for (int k = 0; k < S.ScalePorts; ++k) {
        ptys.push_back(std::make_unique<Pty>());
        std::string suffix = "S";
        suffix += std::to_string(k);
        if (k > 0)
            ports += ',';
        ports += PortFor(Lib, *ptys.back(), S, suffix);
    }
    Child child(Lib, ports,
                {"scale", std::to_string(S.ScaleSamples), std::to_string(S.ScaleIdleMs)}, true,
                true);
    if (child.NextStamp(static_cast<int>(S.ScaleIdleMs) + 20000) != -1)
        Die(Lib.Name + ": the program never became ready");
    Sample(Lib, child, ptys.back()->Master, S.ScaleSamples, Random, F.ScaleLatencyUs);
    auto r = child.Results();
    F.ScaleIdleCpuUs = r["cpu_us"];
    F.ScaleIdleSwitches = r["nvcsw"];
    F.ScaleKibPerPort = r["kib_per_port"];
}

// All libraries idle at once: each measures only its own process, and idling programs do not
// disturb each other.
void RunIdle(const std::vector<Library>& Libs, const Settings& S, std::vector<Figures>& F) {
    std::vector<std::unique_ptr<Pty>> ptys;
    std::vector<std::unique_ptr<Child>> children;
    for (const Library& lib : Libs) {
        ptys.push_back(std::make_unique<Pty>());
        children.push_back(std::make_unique<Child>(
            lib, PortFor(lib, *ptys.back(), S),
            std::vector<std::string>{"idle", std::to_string(S.IdleMs)}, false));
    }
    for (std::size_t i = 0; i < Libs.size(); ++i) {
        auto r = children[i]->Results();
        F[i].IdleCpuUs += r["cpu_us"];
        F[i].IdleSwitches += r["nvcsw"];
    }
}

// --- The table -----------------------------------------------------------------------------

double Percentile(std::vector<double> Values, double P) {
    if (Values.empty())
        return NAN;
    std::sort(Values.begin(), Values.end());
    const std::size_t i = static_cast<std::size_t>(std::ceil(P * Values.size())) - 1;
    return Values[std::min(i, Values.size() - 1)];
}

std::string Cell(double Value, double Floor, int Decimals) {
    char text[64];
    if (Floor > 0 && std::isfinite(Value))
        std::snprintf(text, sizeof text, "%.*f (%.2f×)", Decimals, Value, Value / Floor);
    else
        std::snprintf(text, sizeof text, "%.*f", Decimals, Value);
    return text;
}

void PrintTable(int Run, const std::vector<Library>& Libs, const std::vector<Figures>& F,
                const Settings& S) {
    std::printf("Run %d (print: %d x %ld cycles, throughput: 2 x %ld MiB in %ld B writes, "
                "latency: %d x %ld samples, idle: %ld ms; ratios to the termios floor of this "
                "run)\n\n",
                Run, S.Repetitions, S.PrintCycles, S.ThroughputBytes >> 20, S.Block, S.Repetitions,
                S.LatencySamples, S.IdleMs);
    std::printf("| library | print cycles/s | throughput MiB/s | receive p50 µs | receive p99 µs "
                "| idle CPU ms | idle voluntary switches |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    auto cycles = [](const Figures& f) { return f.PrintCycles / (f.PrintNs / 1e9); };
    auto mibs = [](const Figures& f) {
        return f.ThroughputBytes / 1048576.0 / (f.ThroughputNs / 1e9);
    };
    const Figures& floor = F[0];
    for (std::size_t i = 0; i < Libs.size(); ++i) {
        const Figures& f = F[i];
        std::printf(
            "| %s | %s | %s | %s | %s | %s | %s |\n", Libs[i].Name.c_str(),
            Cell(cycles(f), cycles(floor), 0).c_str(), Cell(mibs(f), mibs(floor), 0).c_str(),
            Cell(Percentile(f.LatencyUs, 0.5), Percentile(floor.LatencyUs, 0.5), 1).c_str(),
            Cell(Percentile(f.LatencyUs, 0.99), Percentile(floor.LatencyUs, 0.99), 1).c_str(),
            Cell(f.IdleCpuUs / 1000.0, floor.IdleCpuUs / 1000.0, 2).c_str(),
            Cell(f.IdleSwitches, floor.IdleSwitches, 0).c_str());
    }
    std::printf("\nWith %d ports open at once (every notification armed; latency on the last port, "
                "%ld samples; idle %ld ms). The p50 ratio is to the same program's one-port p50 "
                "above; memory is resident memory added per open port.\n\n",
                S.ScalePorts, S.ScaleSamples, S.ScaleIdleMs);
    std::printf("| library | receive p50 µs | receive p99 µs | idle CPU ms | idle voluntary "
                "switches | KiB per port |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (std::size_t i = 0; i < Libs.size(); ++i) {
        const Figures& f = F[i];
        if (!InScale(Libs[i]))
            continue;
        std::printf(
            "| %s | %s | %s | %s | %s | %s |\n", Libs[i].Name.c_str(),
            Cell(Percentile(f.ScaleLatencyUs, 0.5), Percentile(f.LatencyUs, 0.5), 1).c_str(),
            Cell(Percentile(f.ScaleLatencyUs, 0.99), NAN, 1).c_str(),
            Cell(f.ScaleIdleCpuUs / 1000.0, NAN, 2).c_str(),
            Cell(f.ScaleIdleSwitches, NAN, 0).c_str(), Cell(f.ScaleKibPerPort, NAN, 1).c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            s.Runs = std::atoi(argv[++i]);
        } else if (arg == "--quick") {
            s.Repetitions = 2;
            s.PrintCycles = 100;
            s.ThroughputBytes = 1L << 20;
            s.LatencySamples = 100;
            s.IdleMs = 1000;
            s.ScaleSamples = 100;
            s.ScaleIdleMs = 500;
        } else {
            Die("usage: serial_bench [--runs N] [--quick]");
        }
    }
    signal(SIGPIPE, SIG_IGN);
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    const std::vector<Library> libs = FindLibraries(self);

    char dir[] = "/tmp/serial-bench-XXXXXX";
    if (!mkdtemp(dir))
        Die("cannot make a temporary folder");
    s.Dir = dir;
    fs::create_directories(s.Dir / "tillmark" / "devices");
    setenv("XDG_CONFIG_HOME", dir, 1);

    // The console's English serial receipt with a fixed date line, and its cut trailer.
    SYSTEMTIME noon{};
    noon.wYear = 2026;
    noon.wMonth = 1;
    noon.wDay = 1;
    noon.wHour = 12;
    const auto writes = receipt::PrintWrites(receipt::Language::English, receipt::Path::Serial,
                                             receipt::FormatDateStamp(noon));
    if (writes.size() != 2)
        Die("expected the receipt and the trailer as two writes");
    std::ofstream(s.Dir / "receipt.bin", std::ios::binary) << writes[0];
    std::ofstream(s.Dir / "trailer.bin", std::ios::binary) << writes[1];
    std::fprintf(stderr, "serial_bench: receipt %zu bytes, trailer %zu bytes\n", writes[0].size(),
                 writes[1].size());

    std::mt19937 random(12345);
    for (int run = 1; run <= s.Runs; ++run) {
        std::vector<Figures> figures(libs.size());
        // Each workload in several rounds, forwards then backwards through the libraries, so
        // drift over the run touches all of them alike.
        std::vector<std::size_t> order(libs.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        for (int rep = 0; rep < s.Repetitions; ++rep) {
            for (std::size_t i : order)
                RunPrint(libs[i], s, writes[0], writes[1], figures[i]);
            std::reverse(order.begin(), order.end());
            if (rep < 2)
                for (std::size_t i : order)
                    RunThroughput(libs[i], s, figures[i]);
            std::reverse(order.begin(), order.end());
            for (std::size_t i : order)
                RunLatency(libs[i], s, random, figures[i]);
            std::reverse(order.begin(), order.end());
        }
        RunIdle(libs, s, figures);
        for (std::size_t i = 0; i < libs.size(); ++i)
            if (InScale(libs[i]))
                RunScale(libs[i], s, random, figures[i]);
        PrintTable(run, libs, figures, s);
    }
    fs::remove_all(s.Dir);
    return 0;
}
