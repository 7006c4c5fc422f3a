// Boost.Asio's serial_port: options set one by one as its users do, asio::write for blocking
// writes, async_read_some on an io_context for arrivals.
#include "bench/serial/Workload.h"

// Boost 1.74 uses std::exchange in its coroutine support without including <utility>.
#include <utility>

#include <boost/asio.hpp>

#include <algorithm>

namespace asio = boost::asio;

namespace {

void Open(asio::serial_port& Port, const std::string& Name) {
    Port.open(Name);
    Port.set_option(asio::serial_port_base::baud_rate(9600));
    Port.set_option(asio::serial_port_base::character_size(8));
    Port.set_option(asio::serial_port_base::parity(asio::serial_port_base::parity::none));
    Port.set_option(asio::serial_port_base::stop_bits(asio::serial_port_base::stop_bits::one));
    Port.set_option(
        asio::serial_port_base::flow_control(asio::serial_port_base::flow_control::none));
}

struct Reader {
    asio::serial_port& Port;
    const bench::Workload& W;
    long Seen = 0;
    char Buffer[256];

    void Arm() {
        Port.async_read_some(asio::buffer(Buffer),
                             [this](boost::system::error_code Error, std::size_t Count) {
                                 const std::int64_t stamp = bench::NowNs();
                                 if (Error)
                                     bench::Fail("read: " + Error.message());
                                 Seen += static_cast<long>(Count);
                                 bench::SendStamp(W.AckFd, stamp);
                                 if (Seen < W.Count)
                                     Arm();
                             });
    }
};

} // namespace

int main(int argc, char** argv) {
    const bench::Workload w = bench::ParseWorkload(argc, argv);
    asio::io_context io;
    try {
        if (w.Kind == "print") {
            const std::int64_t start = bench::NowNs();
            for (long i = 0; i < w.Count; ++i) {
                asio::serial_port port(io);
                Open(port, w.Port);
                asio::write(port, asio::buffer(w.Receipt));
                asio::write(port, asio::buffer(w.Trailer));
                port.close();
            }
            bench::ReportPrint(w.Count, bench::NowNs() - start);
        } else if (w.Kind == "throughput") {
            const std::string bytes = bench::PatternBytes(w.Count);
            asio::serial_port port(io);
            Open(port, w.Port);
            const std::int64_t start = bench::NowNs();
            for (long at = 0; at < w.Count; at += w.Block)
                asio::write(port, asio::buffer(bytes.data() + at, static_cast<std::size_t>(std::min(
                                                                      w.Block, w.Count - at))));
            const std::int64_t ns = bench::NowNs() - start;
            port.close();
            bench::ReportThroughput(w.Count, ns);
        } else if (w.Kind == "latency") {
            asio::serial_port port(io);
            Open(port, w.Port);
            Reader reader{port, w, 0, {}};
            reader.Arm();
            bench::SendStamp(w.AckFd, -1);
            io.run();
            port.close();
            std::printf("samples=%ld\n", reader.Seen);
        } else {
            asio::serial_port port(io);
            Open(port, w.Port);
            char buffer[256];
            port.async_read_some(asio::buffer(buffer),
                                 [](boost::system::error_code Error, std::size_t) {
                                     if (Error != asio::error::operation_aborted)
                                         bench::Fail("unexpected input while idle");
                                 });
            asio::steady_timer timer(io, std::chrono::milliseconds(w.Count));
            const bench::Usage before = bench::ProcessUsage();
            timer.async_wait([&](boost::system::error_code) {
                const bench::Usage after = bench::ProcessUsage();
                bench::ReportIdle(before, after);
                port.cancel();
            });
            io.run();
            port.close();
        }
    } catch (const std::exception& e) {
        bench::Fail(std::string("error: ") + e.what());
    }
    return 0;
}
