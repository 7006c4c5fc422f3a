#include "serial/CPort.h"

namespace {
using TApply = void (TCustomComPort::*)();

// The setter rule: compare, store, then apply the setting's group on the owning port.
template <typename T>
void Update(TCustomComPort* Port, T& Field, T Value, TApply Apply) {
    if (Field == Value)
        return;
    Field = Value;
    if (Port)
        (Port->*Apply)();
}

// A positive odd size loses one; even and negative sizes stay.
std::int32_t EvenBufferSize(std::int32_t Value) {
    return Value % 2 == 1 ? Value - 1 : Value;
}

std::int64_t CharCode(char c) {
    return static_cast<unsigned char>(c);
}
char CodeChar(std::int64_t v) {
    return static_cast<char>(static_cast<unsigned char>(v));
}
std::int32_t Int32(std::int64_t v) {
    return static_cast<std::int32_t>(v);
}
} // namespace

// --- TComTimeouts ---------------------------------------------------------------------------

void TComTimeouts::CopySettingsFrom(const TPersistent* Source) {
    auto* src = dynamic_cast<const TComTimeouts*>(Source);
    if (!src)
        AssignError(Source);
    FValues = src->FValues;
}

void TComTimeouts::SetReadInterval(std::int32_t Value) {
    Update(FComPort, FValues.ReadInterval, Value, &TCustomComPort::ApplyTimeoutValues);
}
void TComTimeouts::SetReadTotalMultiplier(std::int32_t Value) {
    Update(FComPort, FValues.ReadTotalMultiplier, Value, &TCustomComPort::ApplyTimeoutValues);
}
void TComTimeouts::SetReadTotalConstant(std::int32_t Value) {
    Update(FComPort, FValues.ReadTotalConstant, Value, &TCustomComPort::ApplyTimeoutValues);
}
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t Value) {
    Update(FComPort, FValues.WriteTotalMultiplier, Value, &TCustomComPort::ApplyTimeoutValues);
}
void TComTimeouts::SetWriteTotalConstant(std::int32_t Value) {
    Update(FComPort, FValues.WriteTotalConstant, Value, &TCustomComPort::ApplyTimeoutValues);
}

void TComTimeouts::DefineProperties(TFiler& Filer) {
    const TTimeoutValues initial;
    Filer.Integer("ReadInterval", FValues.ReadInterval, initial.ReadInterval,
                  [&](std::int64_t v) { SetReadInterval(Int32(v)); });
    Filer.Integer("ReadTotalMultiplier", FValues.ReadTotalMultiplier, initial.ReadTotalMultiplier,
                  [&](std::int64_t v) { SetReadTotalMultiplier(Int32(v)); });
    Filer.Integer("ReadTotalConstant", FValues.ReadTotalConstant, initial.ReadTotalConstant,
                  [&](std::int64_t v) { SetReadTotalConstant(Int32(v)); });
    Filer.Integer("WriteTotalMultiplier", FValues.WriteTotalMultiplier,
                  initial.WriteTotalMultiplier,
                  [&](std::int64_t v) { SetWriteTotalMultiplier(Int32(v)); });
    Filer.Integer("WriteTotalConstant", FValues.WriteTotalConstant, initial.WriteTotalConstant,
                  [&](std::int64_t v) { SetWriteTotalConstant(Int32(v)); });
}

// --- TComFlowControl ------------------------------------------------------------------------

void TComFlowControl::CopySettingsFrom(const TPersistent* Source) {
    auto* src = dynamic_cast<const TComFlowControl*>(Source);
    if (!src)
        AssignError(Source);
    FOutCTSFlow = src->FOutCTSFlow;
    FOutDSRFlow = src->FOutDSRFlow;
    FControlDTR = src->FControlDTR;
    FControlRTS = src->FControlRTS;
    FXonXoffOut = src->FXonXoffOut;
    FXonXoffIn = src->FXonXoffIn;
    FDSRSensitivity = src->FDSRSensitivity;
    FTxContinueOnXoff = src->FTxContinueOnXoff;
    FXonChar = src->FXonChar;
    FXoffChar = src->FXoffChar;
}

TFlowControl TComFlowControl::FlowControl() const {
    const bool xonXoff = FXonXoffIn || FXonXoffOut;
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !xonXoff)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !xonXoff)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value) {
    if (Value != fcCustom) {
        FControlRTS = Value == fcHardware ? rtsHandshake : rtsDisable;
        FOutCTSFlow = Value == fcHardware;
        FXonXoffIn = Value == fcSoftware;
        FXonXoffOut = Value == fcSoftware;
    }
    if (FComPort)
        FComPort->ApplyLineSettings();
}

void TComFlowControl::SetOutCTSFlow(bool Value) {
    Update(FComPort, FOutCTSFlow, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetOutDSRFlow(bool Value) {
    Update(FComPort, FOutDSRFlow, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) {
    Update(FComPort, FControlDTR, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) {
    Update(FComPort, FControlRTS, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetXonXoffOut(bool Value) {
    Update(FComPort, FXonXoffOut, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetXonXoffIn(bool Value) {
    Update(FComPort, FXonXoffIn, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetDSRSensitivity(bool Value) {
    Update(FComPort, FDSRSensitivity, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetTxContinueOnXoff(bool Value) {
    Update(FComPort, FTxContinueOnXoff, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetXonChar(char Value) {
    Update(FComPort, FXonChar, Value, &TCustomComPort::ApplyLineSettings);
}
void TComFlowControl::SetXoffChar(char Value) {
    Update(FComPort, FXoffChar, Value, &TCustomComPort::ApplyLineSettings);
}

void TComFlowControl::DefineProperties(TFiler& Filer) {
    // The summary FlowControl is derived from the fields below and never stored.
    Filer.Boolean("OutCTSFlow", FOutCTSFlow, std::nullopt, [&](bool v) { SetOutCTSFlow(v); });
    Filer.Boolean("OutDSRFlow", FOutDSRFlow, std::nullopt, [&](bool v) { SetOutDSRFlow(v); });
    Filer.Enumeration<TDTRFlowControl>("ControlDTR", FControlDTR, DTRFlowControlIdents,
                                       std::nullopt, [&](TDTRFlowControl v) { SetControlDTR(v); });
    Filer.Enumeration<TRTSFlowControl>("ControlRTS", FControlRTS, RTSFlowControlIdents,
                                       std::nullopt, [&](TRTSFlowControl v) { SetControlRTS(v); });
    Filer.Boolean("XonXoffOut", FXonXoffOut, std::nullopt, [&](bool v) { SetXonXoffOut(v); });
    Filer.Boolean("XonXoffIn", FXonXoffIn, std::nullopt, [&](bool v) { SetXonXoffIn(v); });
    Filer.Boolean("DSRSensitivity", FDSRSensitivity, false, [&](bool v) { SetDSRSensitivity(v); });
    Filer.Boolean("TxContinueOnXoff", FTxContinueOnXoff, false,
                  [&](bool v) { SetTxContinueOnXoff(v); });
    Filer.Integer("XonChar", CharCode(FXonChar), 17,
                  [&](std::int64_t v) { SetXonChar(CodeChar(v)); });
    Filer.Integer("XoffChar", CharCode(FXoffChar), 19,
                  [&](std::int64_t v) { SetXoffChar(CodeChar(v)); });
}

// --- TComParity -----------------------------------------------------------------------------

void TComParity::CopySettingsFrom(const TPersistent* Source) {
    auto* src = dynamic_cast<const TComParity*>(Source);
    if (!src)
        AssignError(Source);
    FBits = src->FBits;
    FCheck = src->FCheck;
    FReplace = src->FReplace;
    FReplaceChar = src->FReplaceChar;
}

void TComParity::SetBits(TParityBits Value) {
    Update(FComPort, FBits, Value, &TCustomComPort::ApplyLineSettings);
}
void TComParity::SetCheck(bool Value) {
    Update(FComPort, FCheck, Value, &TCustomComPort::ApplyLineSettings);
}
void TComParity::SetReplace(bool Value) {
    Update(FComPort, FReplace, Value, &TCustomComPort::ApplyLineSettings);
}
void TComParity::SetReplaceChar(char Value) {
    Update(FComPort, FReplaceChar, Value, &TCustomComPort::ApplyLineSettings);
}

void TComParity::DefineProperties(TFiler& Filer) {
    Filer.Enumeration<TParityBits>("Bits", FBits, ParityBitsIdents, std::nullopt,
                                   [&](TParityBits v) { SetBits(v); });
    Filer.Boolean("Check", FCheck, false, [&](bool v) { SetCheck(v); });
    Filer.Boolean("Replace", FReplace, false, [&](bool v) { SetReplace(v); });
    Filer.Integer("ReplaceChar", CharCode(FReplaceChar), 0,
                  [&](std::int64_t v) { SetReplaceChar(CodeChar(v)); });
}

// --- TComBuffer -----------------------------------------------------------------------------

void TComBuffer::CopySettingsFrom(const TPersistent* Source) {
    auto* src = dynamic_cast<const TComBuffer*>(Source);
    if (!src)
        AssignError(Source);
    FInputSize = src->FInputSize;
    FOutputSize = src->FOutputSize;
}

void TComBuffer::SetInputSize(std::int32_t Value) {
    if (Value == FInputSize)
        return;
    FInputSize = EvenBufferSize(Value);
    if (FComPort)
        FComPort->ApplyBufferSizes();
}

void TComBuffer::SetOutputSize(std::int32_t Value) {
    if (Value == FOutputSize)
        return;
    FOutputSize = EvenBufferSize(Value);
    if (FComPort)
        FComPort->ApplyBufferSizes();
}

void TComBuffer::DefineProperties(TFiler& Filer) {
    Filer.Integer("InputSize", FInputSize, 1024, [&](std::int64_t v) { SetInputSize(Int32(v)); });
    Filer.Integer("OutputSize", FOutputSize, 1024,
                  [&](std::int64_t v) { SetOutputSize(Int32(v)); });
}

// --- TCustomComPort -------------------------------------------------------------------------

TCustomComPort::TCustomComPort(TComponent* AOwner)
    : TComponent(AOwner), FParity(std::make_unique<TComParity>()),
      FFlowControl(std::make_unique<TComFlowControl>()),
      FTimeouts(std::make_unique<TComTimeouts>()), FBuffer(std::make_unique<TComBuffer>()) {
    FParity->FComPort = this;
    FFlowControl->FComPort = this;
    FTimeouts->FComPort = this;
    FBuffer->FComPort = this;
    WatchQuietHandlers();
}

void TCustomComPort::SetBaudRate(TBaudRate Value) {
    Update(this, FBaudRate, Value, &TCustomComPort::ApplyLineSettings);
}
void TCustomComPort::SetCustomBaudRate(std::int32_t Value) {
    Update(this, FCustomBaudRate, Value, &TCustomComPort::ApplyLineSettings);
}
void TCustomComPort::SetStopBits(TStopBits Value) {
    Update(this, FStopBits, Value, &TCustomComPort::ApplyLineSettings);
}
void TCustomComPort::SetDataBits(TDataBits Value) {
    Update(this, FDataBits, Value, &TCustomComPort::ApplyLineSettings);
}
void TCustomComPort::SetDiscardNull(bool Value) {
    Update(this, FDiscardNull, Value, &TCustomComPort::ApplyLineSettings);
}
void TCustomComPort::SetEventChar(char Value) {
    Update(this, FEventChar, Value, &TCustomComPort::ApplyLineSettings);
}

void TCustomComPort::SetPort(const std::string& Value) {
    if (Value == FPort)
        return;
    FPort = Value;
    if (CanApply()) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == FSyncMethod)
        return;
    if (CanApply())
        throw EComPort(pePropertyWhileOpen);
    FSyncMethod = Value;
}

void TCustomComPort::SetParity(const TComParity& Value) {
    FParity->CopySettingsFrom(&Value);
    ApplyLineSettings();
}
void TCustomComPort::SetFlowControl(const TComFlowControl& Value) {
    FFlowControl->CopySettingsFrom(&Value);
    ApplyLineSettings();
}
void TCustomComPort::SetTimeouts(const TComTimeouts& Value) {
    FTimeouts->CopySettingsFrom(&Value);
    ApplyTimeoutValues();
}
void TCustomComPort::SetBuffer(const TComBuffer& Value) {
    FBuffer->CopySettingsFrom(&Value);
    ApplyBufferSizes();
}

// --- TComPort -------------------------------------------------------------------------------

void TComPort::DefineProperties(TFiler& Filer) {
    Filer.Boolean("Connected", Connected(), false, [&](bool v) { SetConnected(v); });
    Filer.Enumeration<TBaudRate>("BaudRate", BaudRate(), BaudRateIdents, std::nullopt,
                                 [&](TBaudRate v) { SetBaudRate(v); });
    Filer.Text("Port", Port(), [&](const std::string& v) { SetPort(v); });
    Filer.Object("Parity", Parity());
    Filer.Enumeration<TStopBits>("StopBits", StopBits(), StopBitsIdents, std::nullopt,
                                 [&](TStopBits v) { SetStopBits(v); });
    Filer.Enumeration<TDataBits>("DataBits", DataBits(), DataBitsIdents, std::nullopt,
                                 [&](TDataBits v) { SetDataBits(v); });
    Filer.Boolean("DiscardNull", DiscardNull(), false, [&](bool v) { SetDiscardNull(v); });
    Filer.Integer("EventChar", CharCode(EventChar()), 0,
                  [&](std::int64_t v) { SetEventChar(CodeChar(v)); });
    Filer.SetOf<TComEvent, 10>("Events", Events(), ComEventIdents, std::nullopt,
                               [&](TComEvents v) { SetEvents(v); });
    Filer.Object("Buffer", Buffer());
    Filer.Object("FlowControl", FlowControl());
    Filer.Object("Timeouts", Timeouts());
    Filer.Enumeration<TSyncMethod>("SyncMethod", SyncMethod(), SyncMethodIdents, smThreadSync,
                                   [&](TSyncMethod v) { SetSyncMethod(v); });
}
