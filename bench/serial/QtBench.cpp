// Qt's QSerialPort as its users drive it: blocking writes are write() plus waitForBytesWritten,
// arrivals come as readyRead from the event loop.
#include "bench/serial/Workload.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

namespace {

void Configure(QSerialPort& Port) {
    if (!Port.setBaudRate(QSerialPort::Baud9600) || !Port.setDataBits(QSerialPort::Data8) ||
        !Port.setParity(QSerialPort::NoParity) || !Port.setStopBits(QSerialPort::OneStop) ||
        !Port.setFlowControl(QSerialPort::NoFlowControl))
        bench::Fail("configure: " + Port.errorString().toStdString());
}

void Open(QSerialPort& Port, const std::string& Name) {
    Port.setPortName(QString::fromStdString(Name));
    if (!Port.open(QIODevice::ReadWrite))
        bench::Fail("open: " + Port.errorString().toStdString());
    Configure(Port);
}

void WriteBlocking(QSerialPort& Port, const char* Data, qint64 Size) {
    if (Port.write(Data, Size) != Size)
        bench::Fail("write: " + Port.errorString().toStdString());
    while (Port.bytesToWrite() > 0)
        if (!Port.waitForBytesWritten(-1))
            bench::Fail("write: " + Port.errorString().toStdString());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bench::Workload w = bench::ParseWorkload(argc, argv);
    if (w.Kind == "print") {
        const std::int64_t start = bench::NowNs();
        for (long i = 0; i < w.Count; ++i) {
            QSerialPort port;
            Open(port, w.Port);
            WriteBlocking(port, w.Receipt.data(), static_cast<qint64>(w.Receipt.size()));
            WriteBlocking(port, w.Trailer.data(), static_cast<qint64>(w.Trailer.size()));
            port.close();
        }
        bench::ReportPrint(w.Count, bench::NowNs() - start);
    } else if (w.Kind == "throughput") {
        const std::string bytes = bench::PatternBytes(w.Count);
        QSerialPort port;
        Open(port, w.Port);
        const std::int64_t start = bench::NowNs();
        for (long at = 0; at < w.Count; at += w.Block)
            WriteBlocking(port, bytes.data() + at, std::min(w.Block, w.Count - at));
        const std::int64_t ns = bench::NowNs() - start;
        port.close();
        bench::ReportThroughput(w.Count, ns);
    } else if (w.Kind == "latency") {
        QSerialPort port;
        Open(port, w.Port);
        long seen = 0;
        QObject::connect(&port, &QSerialPort::readyRead, [&] {
            const std::int64_t stamp = bench::NowNs();
            seen += port.readAll().size();
            bench::SendStamp(w.AckFd, stamp);
            if (seen >= w.Count)
                app.quit();
        });
        bench::SendStamp(w.AckFd, -1);
        app.exec();
        port.close();
        std::printf("samples=%ld\n", seen);
    } else {
        QSerialPort port;
        Open(port, w.Port);
        long calls = 0;
        QObject::connect(&port, &QSerialPort::readyRead, [&] { ++calls; });
        QObject::connect(&port, &QSerialPort::bytesWritten, [&] { ++calls; });
        QObject::connect(&port, &QSerialPort::errorOccurred, [&] { ++calls; });
        const bench::Usage before = bench::ProcessUsage();
        QTimer::singleShot(static_cast<int>(w.Count), &app, &QCoreApplication::quit);
        app.exec();
        const bench::Usage after = bench::ProcessUsage();
        port.close();
        bench::ReportIdle(before, after);
    }
    return 0;
}
