// Asking the printer's status on each path: the port or connection opened, the questions asked
// and answered, and closed again, like every other action.
#pragma once

#include "console/ConsoleActions.h"
#include "console/net/Socket.h"
#include "console/status/PrinterStatus.h"

#include <exception>

namespace console {

// Each fills Status and gives back the error that kept it from asking (the port would not open,
// no connection), or null; a printer that stays silent is no error: Status then has no answer.
// One answer from the printer on an open port: waits up to TimeoutMs for its first byte, then
// takes what else has come.
std::string ReceiveAnswer(TCustomComPort& Port, int TimeoutMs);

std::exception_ptr AskStatusSerial(TCustomComPort& Port, const SerialChoice& Choice, int TimeoutMs,
                                   TPrinterStatus& Status);
std::exception_ptr AskStatusTcp(const TEndpoint& Where, int TimeoutMs, TPrinterStatus& Status);
// The parallel channel only writes: the question goes out, no answer can come back.
std::exception_ptr AskStatusParallel(TPrinterStatus& Status);

} // namespace console
