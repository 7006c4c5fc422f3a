#include "console/ConsoleActions.h"

#include "console/BaudRateTable.h"
#include "console/ParallelDevice.h"

namespace console {

namespace {

// Closing purges the output, and a driver may call a write done while its bytes still wait in
// the adapter (USB adapters, a pty under Wine): let them leave first, or the cut is lost.
void AwaitOutput(TCustomComPort& Port) {
    if (!FlushFileBuffers(Port.DeviceHandle()))
        throw EComPort(peWriteFile, static_cast<std::int32_t>(GetLastError()));
}

// The one step of every serial action outside its guard.
void CloseIfConnected(TCustomComPort& Port) {
    if (Port.Connected())
        Port.ClosePort();
}

} // namespace

std::exception_ptr PrintSerial(TCustomComPort& Port, const SerialChoice& Choice,
                               receipt::Language Lang, const std::string& DateStamp) {
    std::exception_ptr caught;
    try {
        Port.ClosePort();
        Port.SetPort(Choice.Port);
        Port.SetBaudRate(BaudRateForItem(Choice.SpeedItem));
        Port.OpenPort();
        // The receipt, then the cut trailer, each as one write; a failed receipt leaves the
        // paper uncut.
        for (const std::string& write :
             receipt::PrintWrites(Lang, receipt::Path::Serial, DateStamp))
            Port.SendText(write);
        AwaitOutput(Port);
    } catch (...) {
        caught = std::current_exception();
    }
    CloseIfConnected(Port);
    return caught;
}

std::exception_ptr PrintParallel(receipt::Language Lang, const std::string& DateStamp) {
    try {
        TParallelDevice device;
        IOCheck(device.Open());
        for (const std::string& line :
             receipt::PrintWrites(Lang, receipt::Path::Parallel, DateStamp))
            IOCheck(device.WriteLine(line));
        IOCheck(device.Close());
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

std::exception_ptr DrawerSerial(TCustomComPort& Port, const SerialChoice& Choice,
                                receipt::Drawer Kind) {
    std::exception_ptr caught;
    try {
        Port.ClosePort();
        Port.SetPort(Choice.Port);
        Port.SetBaudRate(BaudRateForItem(Choice.SpeedItem));
        Port.SetDataBits(dbEight);
        Port.Parity().SetBits(prNone);
        if (!Port.Connected())
            Port.OpenPort();
        Port.SendText(receipt::DrawerWrite(Kind, receipt::Path::Serial));
        AwaitOutput(Port);
    } catch (...) {
        caught = std::current_exception();
    }
    CloseIfConnected(Port);
    return caught;
}

std::exception_ptr DrawerParallel(receipt::Drawer Kind) {
    try {
        TParallelDevice device;
        IOCheck(device.Open());
        IOCheck(device.WriteLine(receipt::DrawerWrite(Kind, receipt::Path::Parallel)));
        IOCheck(device.Close());
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

} // namespace console
