#include "console/PortSettings.h"

namespace console {

namespace {

// The printer port's settings in the stored form the component loads.
const TStoredDescription ConsolePortSettings = {
    {"BaudRate", "br9600"},
    {"Port", "COM1"},
    {"Parity.Bits", "prNone"},
    {"StopBits", "sbOneStopBit"},
    {"DataBits", "dbEight"},
    {"Events",
     "[evRxChar,evTxEmpty,evRxFlag,evRing,evBreak,evCTS,evDSR,evError,evRLSD,evRx80Full]"},
    {"FlowControl.OutCTSFlow", "False"},
    {"FlowControl.OutDSRFlow", "False"},
    {"FlowControl.ControlDTR", "dtrDisable"},
    {"FlowControl.ControlRTS", "rtsDisable"},
    {"FlowControl.XonXoffOut", "False"},
    {"FlowControl.XonXoffIn", "False"},
};

} // namespace

void LoadConsolePortSettings(TCustomComPort& Port) {
    Port.LoadStoredDescription(ConsolePortSettings);
}

} // namespace console
