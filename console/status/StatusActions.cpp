#include "console/status/StatusActions.h"

#include "console/BaudRateTable.h"
#include "console/ParallelDevice.h"

#include <algorithm>

namespace console {

namespace {

// A printer that closes or resets the connection ends the questions, not the answers it gave.
class TSocketLine final : public TPrinterLine {
public:
    TSocketLine(TSocket& Socket, int TimeoutMs) : FSocket(Socket), FTimeoutMs(TimeoutMs) {}
    void Send(std::string_view Bytes) override {
        if (!FLost.empty())
            return;
        try {
            FSocket.Send(Bytes, FTimeoutMs);
        } catch (const ENetError& error) {
            FLost = error.what();
        }
    }
    std::string Receive(int TimeoutMs) override {
        if (!FLost.empty())
            return {};
        TReceived got = FSocket.Receive(256, TimeoutMs);
        if (got.What == TReceived::Closed)
            FLost = got.Reset ? "the connection was reset" : "the printer closed the connection";
        return got.What == TReceived::Data ? std::move(got.Bytes) : std::string();
    }
    std::string Lost() const override { return FLost; }

private:
    TSocket& FSocket;
    int FTimeoutMs;
    std::string FLost;
};

} // namespace

std::string ReceiveAnswer(TCustomComPort& Port, int TimeoutMs) {
    // Waits up to the constant for the first byte, then takes what else is there. A read of
    // one byte under a total time-out means the same on every implementation, where the
    // "return at once with what is there" settings do not (Wine waits for a full buffer).
    Port.Timeouts().SetReadTotalConstant(std::max(1, TimeoutMs));
    char buffer[256];
    std::int32_t got = Port.ReceiveBytes(buffer, 1);
    if (got == 1) {
        const std::int32_t more =
            std::min<std::int32_t>(Port.QueuedInputCount(), sizeof buffer - 1);
        if (more > 0)
            got += Port.ReceiveBytes(buffer + 1, more);
    }
    return std::string(buffer, static_cast<std::size_t>(std::max(0, got)));
}

void OpenForAnswers(TCustomComPort& Port, const SerialChoice& Choice,
                    std::optional<int> ReadConstantMs) {
    Port.ClosePort();
    Port.SetPort(Choice.Port);
    Port.SetBaudRate(BaudRateForItem(Choice.SpeedItem));
    Port.Timeouts().SetReadInterval(0);
    Port.Timeouts().SetReadTotalMultiplier(0);
    if (ReadConstantMs)
        Port.Timeouts().SetReadTotalConstant(*ReadConstantMs);
    Port.SetEvents({});
    Port.OpenPort();
}

std::exception_ptr AskStatusSerial(TCustomComPort& Port, const SerialChoice& Choice, int TimeoutMs,
                                   TPrinterStatus& Status) {
    std::exception_ptr caught = Caught([&] {
        OpenForAnswers(Port, Choice, std::max(1, TimeoutMs));
        TSerialLine line(Port);
        Status = AskStatus(line, TimeoutMs);
    });
    if (Port.Connected())
        Port.ClosePort();
    return caught;
}

std::exception_ptr AskStatusTcp(const TEndpoint& Where, int TimeoutMs, TPrinterStatus& Status) {
    return Caught([&] {
        TSocket socket = TSocket::Connect(Where, TimeoutMs);
        TSocketLine line(socket, TimeoutMs);
        Status = AskStatus(line, TimeoutMs);
        // Lost before the first answer, the printer is no more there than one never reached.
        if (!Status.Answered() && !line.Lost().empty())
            throw ENetError(line.Lost());
        socket.Finish();
    });
}

std::exception_ptr AskStatusParallel(TPrinterStatus& Status) {
    return Caught([&] {
        TParallelDevice device;
        IOCheck(device.Open());
        IOCheck(device.Write("\x10\x04\x01"));
        IOCheck(device.Close());
        Status = TPrinterStatus{};
    });
}

} // namespace console
