// Asking the printer's status on each path: the port or connection opened, the questions asked
// and answered, and closed again, like every other action.
#pragma once

#include "console/ConsoleActions.h"
#include "console/net/Socket.h"
#include "console/status/PrinterStatus.h"

#include <exception>
#include <optional>
#include <string>

namespace console {

// Each fills Status and gives back the error that kept it from asking (the port would not open,
// no connection), or null; a printer that stays silent is no error: Status then has no answer.
// One answer from the printer on an open port: waits up to TimeoutMs for its first byte, then
// takes what else has come.
std::string ReceiveAnswer(TCustomComPort& Port, int TimeoutMs);

// For answers the caller reads itself: closes Port, points it at Choice with no read interval or
// per-byte time (the read constant too, when given) and no event handlers, and opens it.
void OpenForAnswers(TCustomComPort& Port, const SerialChoice& Choice,
                    std::optional<int> ReadConstantMs);

// The port's blocking transfers; its read time-outs bound each wait for an answer.
class TSerialLine : public TPrinterLine {
public:
    explicit TSerialLine(TCustomComPort& Port) : FPort(Port) {}
    void Send(std::string_view Bytes) override { FPort.SendText(std::string(Bytes)); }
    std::string Receive(int TimeoutMs) override { return ReceiveAnswer(FPort, TimeoutMs); }

private:
    TCustomComPort& FPort;
};

std::exception_ptr AskStatusSerial(TCustomComPort& Port, const SerialChoice& Choice, int TimeoutMs,
                                   TPrinterStatus& Status);
std::exception_ptr AskStatusTcp(const TEndpoint& Where, int TimeoutMs, TPrinterStatus& Status);
// The parallel channel only writes: the question goes out, no answer can come back.
std::exception_ptr AskStatusParallel(TPrinterStatus& Status);

} // namespace console
