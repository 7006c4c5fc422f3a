#include "console/status/StatusWatch.h"

#include "console/status/StatusActions.h"

#include <algorithm>
#include <chrono>

namespace console {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int SliceMs = 100; // how long one wait for bytes may keep Stop unread

// The serial port's blocking reads, as the status questions use them; a port whose device has
// gone raises its error, which here means the printer went away.
class TSerialWatchLine final : public TSerialLine {
public:
    using TSerialLine::TSerialLine;
    std::string Receive(int TimeoutMs) override {
        try {
            return TSerialLine::Receive(TimeoutMs);
        } catch (const std::exception& error) {
            throw ELineGone(error.what());
        }
    }
};

class TSocketWatchLine final : public TPrinterLine {
public:
    TSocketWatchLine(TSocket& Socket, int TimeoutMs) : FSocket(Socket), FTimeoutMs(TimeoutMs) {}
    void Send(std::string_view Bytes) override {
        try {
            FSocket.Send(Bytes, FTimeoutMs);
        } catch (const ENetError& error) {
            throw ELineGone(error.what());
        }
    }
    std::string Receive(int TimeoutMs) override {
        TReceived got = FSocket.Receive(256, TimeoutMs);
        if (got.What == TReceived::Closed)
            throw ELineGone("the connection closed");
        return got.What == TReceived::Data ? std::move(got.Bytes) : std::string();
    }

private:
    TSocket& FSocket;
    int FTimeoutMs;
};

// Whether the facts both kinds of status tell are the same, to see whether anything changed.
bool SameTold(const TStatusFacts& A, const TStatusFacts& B) {
    for (const receipt::StatusFactBits& row : receipt::StatusBitTable)
        if (row.RealTime.Byte && row.Automatic.Byte &&
            A.*FactField(row.Fact) != B.*FactField(row.Fact))
            return false;
    return true;
}

} // namespace

std::string AsbCommand(std::uint8_t Items) {
    return {'\x1d', 'a', static_cast<char>(Items)};
}

bool IsAsbFirstByte(std::uint8_t Byte) {
    return (Byte & receipt::StatusMarkMask) == receipt::AutomaticStatusMark;
}

TStatusFacts AsbFacts(const std::array<std::uint8_t, 4>& B) {
    TStatusFacts f;
    for (int n = 1; n <= 4; ++n)
        ReadStatusByte(&receipt::StatusFactBits::Automatic, n, B[static_cast<std::size_t>(n - 1)],
                       f);
    f.ErrorOccurred =
        *f.RecoverableError || *f.CutterError || *f.UnrecoverableError || *f.AutoRecoverableError;
    return f;
}

std::vector<std::array<std::uint8_t, 4>> TAsbReader::Feed(std::string_view Bytes,
                                                          std::vector<std::uint8_t>* RealTime) {
    std::vector<std::array<std::uint8_t, 4>> whole;
    for (const char c : Bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        // Bytes 2 to 4 keep bits 4 and 7 clear; one that does not is no part of a status.
        if (!FPartial.empty() && (b & 0x90) != 0)
            FPartial.clear();
        if (FPartial.empty()) {
            if (IsAsbFirstByte(b))
                FPartial += c;
            else if (RealTime && IsStatusByte(b))
                RealTime->push_back(b);
            continue;
        }
        FPartial += c;
        if (FPartial.size() == 4) {
            std::array<std::uint8_t, 4> status{};
            std::copy(FPartial.begin(), FPartial.end(), status.begin());
            whole.push_back(status);
            FPartial.clear();
        }
    }
    return whole;
}

TWatchEnd WatchStatus(TPrinterLine& Line, int TimeoutMs, const std::atomic<bool>& Stop,
                      const std::function<void(const TStatusMessage&)>& Tell) {
    const auto patience = std::chrono::milliseconds(std::max(1, TimeoutMs));
    Line.Send(AsbCommand(AsbAllItems));
    TAsbReader reader;
    std::vector<std::uint8_t> realTime;
    std::optional<TStatusFacts> last;
    auto tell = [&](const TStatusMessage& M) {
        if (!last || !SameTold(*last, M.Facts))
            Tell(M);
        last = M.Facts;
    };
    auto deadline = Clock::now() + patience;
    bool heard = false, asked = false;
    while (!Stop.load()) {
        for (const auto& bytes : reader.Feed(Line.Receive(SliceMs), asked ? &realTime : nullptr)) {
            heard = true;
            tell({true, bytes, AsbFacts(bytes)});
        }
        if (asked && realTime.size() >= 4) {
            TPrinterStatus status;
            for (std::size_t i = 0; i < 4; ++i)
                status.Bytes[i] = realTime[i];
            TStatusMessage m{
                false, {realTime[0], realTime[1], realTime[2], realTime[3]}, status.Facts()};
            if (!heard)
                tell(m);
            asked = false;
            heard = true;
        }
        if (!heard && Clock::now() >= deadline) {
            if (asked && realTime.empty())
                return TWatchEnd::NoAnswer;
            if (!asked) {
                // No automatic status yet: the real-time status, which an offline printer answers.
                Line.Send("\x10\x04\x01\x10\x04\x02\x10\x04\x03\x10\x04\x04");
                asked = true;
                deadline = Clock::now() + patience;
            }
        }
    }
    Line.Send(AsbCommand(0));
    return TWatchEnd::Stopped;
}

std::exception_ptr WatchStatusSerial(TCustomComPort& Port, const SerialChoice& Choice,
                                     int TimeoutMs, const std::atomic<bool>& Stop,
                                     const std::function<void(const TStatusMessage&)>& Tell,
                                     TWatchEnd& End) {
    // Each receive sets its own read constant.
    std::exception_ptr caught = Caught([&] {
        OpenForAnswers(Port, Choice, std::nullopt);
        TSerialWatchLine line(Port);
        End = WatchStatus(line, TimeoutMs, Stop, Tell);
    });
    try {
        if (Port.Connected())
            Port.ClosePort();
    } catch (const std::exception&) {
        // A device that went away may refuse to close; the watch already says so.
    }
    return caught;
}

std::exception_ptr WatchStatusTcp(const TEndpoint& Where, int TimeoutMs,
                                  const std::atomic<bool>& Stop,
                                  const std::function<void(const TStatusMessage&)>& Tell,
                                  TWatchEnd& End) {
    return Caught([&] {
        TSocket socket = TSocket::Connect(Where, TimeoutMs);
        TSocketWatchLine line(socket, TimeoutMs);
        End = WatchStatus(line, TimeoutMs, Stop, Tell);
        socket.Finish();
    });
}

} // namespace console
