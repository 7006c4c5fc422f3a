// The port's four settings objects: time-outs, flow control, parity and buffer sizes. Each
// belongs to one port and applies a change to its device while the port is open.
#pragma once

#include "platform/Export.h"
#include "runtime/Classes.h"
#include "serial/ComSettings.h"

#include <cstdint>

class TCustomComPort;

// The port's read and write time-outs in milliseconds; -1 goes to the device as MAXDWORD.
class TILLMARK_SERIAL_API TComTimeouts : public TPersistent {
public:
    // A stand-alone object, as a value for the port's SetTimeouts; each port owns its own.
    TComTimeouts() = default;
    // For TPersistent: the class name, Assign (as CopySettingsFrom) and the published values.
    const char* ClassName() const override { return "TComTimeouts"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    // Copies every setting of Source (this class or one derived from it) without applying it.
    void CopySettingsFrom(const TPersistent* Source);

    // The port that owns this object; null for a stand-alone one.
    TCustomComPort* ComPort() const { return FComPort; }
    // The longest gap between two received bytes, and per direction a total limit of Constant +
    // Multiplier x bytes asked for. A change is applied to the owning port when it is open.
    std::int32_t ReadInterval() const { return FValues.ReadInterval; }
    void SetReadInterval(std::int32_t Value);
    std::int32_t ReadTotalMultiplier() const { return FValues.ReadTotalMultiplier; }
    void SetReadTotalMultiplier(std::int32_t Value);
    std::int32_t ReadTotalConstant() const { return FValues.ReadTotalConstant; }
    void SetReadTotalConstant(std::int32_t Value);
    std::int32_t WriteTotalMultiplier() const { return FValues.WriteTotalMultiplier; }
    void SetWriteTotalMultiplier(std::int32_t Value);
    std::int32_t WriteTotalConstant() const { return FValues.WriteTotalConstant; }
    void SetWriteTotalConstant(std::int32_t Value);
    // The five values, as the device's time-out record is built from them.
    const TTimeoutValues& Values() const { return FValues; }

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
    TTimeoutValues FValues;
};

// The port's flow control: which modem lines and XON/XOFF characters hold the data back.
class TILLMARK_SERIAL_API TComFlowControl : public TPersistent {
public:
    // A stand-alone object, as a value for the port's SetFlowControl; each port owns its own.
    TComFlowControl() = default;
    // For TPersistent: the class name, Assign (as CopySettingsFrom) and the published values.
    const char* ClassName() const override { return "TComFlowControl"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    // Copies every setting of Source (this class or one derived from it) without applying it.
    void CopySettingsFrom(const TPersistent* Source);

    // The port that owns this object; null for a stand-alone one.
    TCustomComPort* ComPort() const { return FComPort; }
    // The summary of ControlRTS, OutCTSFlow, XonXoffIn and XonXoffOut. Setting it rewrites those
    // four (fcCustom leaves them) and applies the line settings once, even when nothing changed.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

    // Each setter below applies the line settings to an open owning port when its value changes.
    // Output waits while CTS, or DSR, is off.
    bool OutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool Value);
    // How the port drives DTR and RTS: off, on, by the input queue's room, or RTS while sending.
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    // Output stops on XoffChar from the far side and goes on at XonChar.
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool Value);
    // The port sends XoffChar when its input queue fills up, and XonChar once there is room.
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool Value);
    // Received bytes are dropped while DSR is off.
    bool DSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool Value);
    // Output goes on after the port has sent XoffChar for its own full input queue.
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    // The characters that resume and stop the data (0x11 and 0x13 unless changed).
    char XonChar() const { return FXonChar; }
    void SetXonChar(char Value);
    char XoffChar() const { return FXoffChar; }
    void SetXoffChar(char Value);

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    char FXonChar = 0x11;
    char FXoffChar = 0x13;
};

// The port's parity: the parity bit it sends and what becomes of received parity errors.
class TILLMARK_SERIAL_API TComParity : public TPersistent {
public:
    // A stand-alone object, as a value for the port's SetParity; each port owns its own.
    TComParity() = default;
    // For TPersistent: the class name, Assign (as CopySettingsFrom) and the published values.
    const char* ClassName() const override { return "TComParity"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    // Copies every setting of Source (this class or one derived from it) without applying it.
    void CopySettingsFrom(const TPersistent* Source);

    // The port that owns this object; null for a stand-alone one.
    TCustomComPort* ComPort() const { return FComPort; }
    // Each setter below applies the line settings to an open owning port when its value changes.
    // The parity bit of each character: none, odd, even, mark or space.
    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits Value);
    // Received parity is checked, and a wrong one reported as ceRxParity.
    bool Check() const { return FCheck; }
    void SetCheck(bool Value);
    // With Check, a byte received with a parity error is replaced by ReplaceChar.
    bool Replace() const { return FReplace; }
    void SetReplace(bool Value);
    char ReplaceChar() const { return FReplaceChar; }
    void SetReplaceChar(char Value);

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    char FReplaceChar = 0;
};

// Device buffer sizes in bytes; a positive odd size is lowered to the even size below it.
class TILLMARK_SERIAL_API TComBuffer : public TPersistent {
public:
    // A stand-alone object, as a value for the port's SetBuffer; each port owns its own.
    TComBuffer() = default;
    // For TPersistent: the class name, Assign (as CopySettingsFrom) and the published values.
    const char* ClassName() const override { return "TComBuffer"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    // Copies every setting of Source (this class or one derived from it) without applying it.
    void CopySettingsFrom(const TPersistent* Source);

    // The port that owns this object; null for a stand-alone one.
    TCustomComPort* ComPort() const { return FComPort; }
    // The device's input and output queues (1024 each unless changed); a change is applied to
    // an open owning port.
    std::int32_t InputSize() const { return FInputSize; }
    void SetInputSize(std::int32_t Value);
    std::int32_t OutputSize() const { return FOutputSize; }
    void SetOutputSize(std::int32_t Value);

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
    std::int32_t FInputSize = 1024;
    std::int32_t FOutputSize = 1024;
};
