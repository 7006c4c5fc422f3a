// libserialport: one configuration object applied at once, sp_blocking_write for the writes,
// sp_wait on an event set for arrivals.
#include "bench/serial/Workload.h"

#include <libserialport.h>

#include <algorithm>

namespace {

void Check(sp_return Result, const char* What) {
    if (Result < 0) {
        char* message = sp_last_error_message();
        const std::string text = std::string(What) + ": " + (message ? message : "failed");
        sp_free_error_message(message);
        bench::Fail(text);
    }
}

sp_port* Open(const std::string& Name, sp_port_config* Config) {
    sp_port* port = nullptr;
    Check(sp_get_port_by_name(Name.c_str(), &port), "sp_get_port_by_name");
    Check(sp_open(port, SP_MODE_READ_WRITE), "sp_open");
    Check(sp_set_config(port, Config), "sp_set_config");
    return port;
}

void Close(sp_port* Port) {
    Check(sp_close(Port), "sp_close");
    sp_free_port(Port);
}

void WriteBlocking(sp_port* Port, const char* Data, std::size_t Size) {
    if (sp_blocking_write(Port, Data, Size, 0) != static_cast<int>(Size))
        bench::Fail("short write");
}

} // namespace

int main(int argc, char** argv) {
    const bench::Workload w = bench::ParseWorkload(argc, argv);
    sp_port_config* config = nullptr;
    Check(sp_new_config(&config), "sp_new_config");
    Check(sp_set_config_baudrate(config, 9600), "baudrate");
    Check(sp_set_config_bits(config, 8), "bits");
    Check(sp_set_config_parity(config, SP_PARITY_NONE), "parity");
    Check(sp_set_config_stopbits(config, 1), "stopbits");
    Check(sp_set_config_flowcontrol(config, SP_FLOWCONTROL_NONE), "flowcontrol");

    if (w.Kind == "print") {
        const std::int64_t start = bench::NowNs();
        for (long i = 0; i < w.Count; ++i) {
            sp_port* port = Open(w.Port, config);
            WriteBlocking(port, w.Receipt.data(), w.Receipt.size());
            WriteBlocking(port, w.Trailer.data(), w.Trailer.size());
            Close(port);
        }
        bench::ReportPrint(w.Count, bench::NowNs() - start);
    } else if (w.Kind == "throughput") {
        const std::string bytes = bench::PatternBytes(w.Count);
        sp_port* port = Open(w.Port, config);
        const std::int64_t start = bench::NowNs();
        for (long at = 0; at < w.Count; at += w.Block)
            WriteBlocking(port, bytes.data() + at,
                          static_cast<std::size_t>(std::min(w.Block, w.Count - at)));
        const std::int64_t ns = bench::NowNs() - start;
        Close(port);
        bench::ReportThroughput(w.Count, ns);
    } else {
        sp_port* port = Open(w.Port, config);
        sp_event_set* events = nullptr;
        Check(sp_new_event_set(&events), "sp_new_event_set");
        Check(sp_add_port_events(events, port,
                                 static_cast<sp_event>(SP_EVENT_RX_READY | SP_EVENT_ERROR)),
              "sp_add_port_events");
        if (w.Kind == "latency") {
            bench::SendStamp(w.AckFd, -1);
            long seen = 0;
            while (seen < w.Count) {
                Check(sp_wait(events, 0), "sp_wait");
                const std::int64_t stamp = bench::NowNs();
                char buffer[256];
                const int n = sp_nonblocking_read(port, buffer, sizeof buffer);
                if (n <= 0)
                    bench::Fail("nothing to read after sp_wait");
                seen += n;
                bench::SendStamp(w.AckFd, stamp);
            }
            std::printf("samples=%ld\n", seen);
        } else {
            const bench::Usage before = bench::ProcessUsage();
            const std::int64_t end = bench::NowNs() + w.Count * 1000000;
            for (std::int64_t now = bench::NowNs(); now < end; now = bench::NowNs()) {
                Check(sp_wait(events, static_cast<unsigned>((end - now + 999999) / 1000000)),
                      "sp_wait");
                if (sp_input_waiting(port) > 0)
                    bench::Fail("unexpected input while idle");
            }
            const bench::Usage after = bench::ProcessUsage();
            bench::ReportIdle(before, after);
        }
        sp_free_event_set(events);
        Close(port);
    }
    sp_free_config(config);
    return 0;
}
