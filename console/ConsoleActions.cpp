#include "console/ConsoleActions.h"

#include "console/BaudRateTable.h"
#include "console/ParallelDevice.h"
#include "console/PortSettings.h"

namespace console {

namespace {

// Closing purges the output, and a driver may call a write done while its bytes still wait in
// the adapter (USB adapters, a pty under Wine): let them leave first, or the cut is lost.
void AwaitOutput(TCustomComPort& Port) {
    if (!FlushFileBuffers(Port.DeviceHandle()))
        throw EComPort(peWriteFile, static_cast<std::int32_t>(GetLastError()));
}

void SendSerial(TCustomComPort& Port, const SerialChoice& Line, const TPrinterAction& Action) {
    Port.ClosePort();
    Port.SetPort(Line.Port);
    Port.SetBaudRate(BaudRateForItem(Line.SpeedItem));
    if (Action.EightBitsNoParity) {
        Port.SetDataBits(dbEight);
        Port.Parity().SetBits(prNone);
    }
    Port.OpenPort();
    for (const std::string& write : Action.Writes(receipt::Path::Serial))
        Port.SendText(write);
    AwaitOutput(Port);
}

std::exception_ptr RunOnSerial(TCustomComPort& Port, const SerialChoice& Line,
                               const TPrinterAction& Action) {
    std::exception_ptr caught = Caught([&] { SendSerial(Port, Line, Action); });
    // The one step outside the guard.
    if (Port.Connected())
        Port.ClosePort();
    return caught;
}

// Each path's steps for one action.
struct TRun {
    const TPrinterAction& Action;

    std::exception_ptr operator()(const TSerialPrinter& Printer) const {
        if (Printer.Port)
            return RunOnSerial(*Printer.Port, Printer.Line, Action);
        TComPort own(nullptr);
        LoadConsolePortSettings(own);
        return RunOnSerial(own, Printer.Line, Action);
    }
    std::exception_ptr operator()(const TParallelPrinter&) const {
        return Caught([this] {
            TParallelDevice device;
            IOCheck(device.Open());
            for (const std::string& write : Action.Writes(receipt::Path::Parallel))
                IOCheck(device.WriteLine(write));
            IOCheck(device.Close());
        });
    }
    std::exception_ptr operator()(const TNetworkPrinter& Printer) const {
        return Caught([this, &Printer] {
            TSocket socket = TSocket::Connect(Printer.Where, Printer.TimeoutMs);
            for (const std::string& write : Action.Writes(receipt::Path::Serial))
                socket.Send(write, Printer.TimeoutMs);
            socket.Finish();
        });
    }
};

} // namespace

TPrinterAction PrintAction(receipt::Language Lang, const std::string& DateStamp) {
    return {
        [Lang, DateStamp](receipt::Path On) { return receipt::PrintWrites(Lang, On, DateStamp); }};
}

TPrinterAction DrawerAction(receipt::Drawer Kind) {
    return {[Kind](receipt::Path On) { return std::vector{receipt::DrawerWrite(Kind, On)}; }, true};
}

std::exception_ptr Caught(const std::function<void()>& Steps) {
    try {
        Steps();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

std::exception_ptr RunOnPrinter(const TPrinterChoice& Choice, const TPrinterAction& Action) {
    return std::visit(TRun{Action}, Choice);
}

} // namespace console
