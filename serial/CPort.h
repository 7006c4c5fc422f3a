// The serial port component: a port object with its settings, owned settings objects and
// errors. Include this header to use the component.
#pragma once

#include "platform/Win32.h"
#include "runtime/Classes.h"
#include "runtime/Threads.h"
#include "serial/ComError.h"
#include "serial/ComSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TCustomComPort;
class TComThread;
class TPortLink;

// Total read and write time-outs, in milliseconds; -1 means the device's "no waiting" value.
class TComTimeouts : public TPersistent {
public:
    TComTimeouts() = default;
    const char* ClassName() const override { return "TComTimeouts"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    // Copies every setting of Source (this class or one derived from it) without applying it.
    void CopySettingsFrom(const TPersistent* Source);

    TCustomComPort* ComPort() const { return FComPort; }
    std::int32_t ReadInterval() const { return FReadInterval; }
    void SetReadInterval(std::int32_t Value);
    std::int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    void SetReadTotalMultiplier(std::int32_t Value);
    std::int32_t ReadTotalConstant() const { return FReadTotalConstant; }
    void SetReadTotalConstant(std::int32_t Value);
    std::int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    void SetWriteTotalMultiplier(std::int32_t Value);
    std::int32_t WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetWriteTotalConstant(std::int32_t Value);

private:
    friend class TCustomComPort;
    TCustomComPort* FComPort = nullptr;
    std::int32_t FReadInterval = -1;
    std::int32_t FReadTotalMultiplier = 0;
    std::int32_t FReadTotalConstant = 0;
    std::int32_t FWriteTotalMultiplier = 100;
    std::int32_t FWriteTotalConstant = 1000;
};

class TComFlowControl : public TPersistent {
public:
    TComFlowControl() = default;
    const char* ClassName() const override { return "TComFlowControl"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    void CopySettingsFrom(const TPersistent* Source);

    TCustomComPort* ComPort() const { return FComPort; }
    // The summary of ControlRTS, OutCTSFlow, XonXoffIn and XonXoffOut. Setting it rewrites those
    // four (fcCustom leaves them) and applies the line settings once, even when nothing changed.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

    bool OutCTSFlow() const { return FOutCTSFlow; }
    void SetOutCTSFlow(bool Value);
    bool OutDSRFlow() const { return FOutDSRFlow; }
    void SetOutDSRFlow(bool Value);
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    void SetControlDTR(TDTRFlowControl Value);
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    void SetControlRTS(TRTSFlowControl Value);
    bool XonXoffOut() const { return FXonXoffOut; }
    void SetXonXoffOut(bool Value);
    bool XonXoffIn() const { return FXonXoffIn; }
    void SetXonXoffIn(bool Value);
    bool DSRSensitivity() const { return FDSRSensitivity; }
    void SetDSRSensitivity(bool Value);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
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

class TComParity : public TPersistent {
public:
    TComParity() = default;
    const char* ClassName() const override { return "TComParity"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    void CopySettingsFrom(const TPersistent* Source);

    TCustomComPort* ComPort() const { return FComPort; }
    TParityBits Bits() const { return FBits; }
    void SetBits(TParityBits Value);
    bool Check() const { return FCheck; }
    void SetCheck(bool Value);
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
class TComBuffer : public TPersistent {
public:
    TComBuffer() = default;
    const char* ClassName() const override { return "TComBuffer"; }
    using TPersistent::Assign;
    void Assign(const TPersistent* Source) override { CopySettingsFrom(Source); }
    void DefineProperties(TFiler& Filer) override;
    void CopySettingsFrom(const TPersistent* Source);

    TCustomComPort* ComPort() const { return FComPort; }
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

class TCustomComPort : public TComponent {
public:
    explicit TCustomComPort(TComponent* AOwner);
    ~TCustomComPort() override;
    const char* ClassName() const override { return "TCustomComPort"; }

    // --- Settings ---------------------------------------------------------------------------
    bool Connected() const { return FConnected; }
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    std::int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(std::int32_t Value);
    // The device name without prefix, such as "COM1".
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    char EventChar() const { return FEventChar; }
    void SetEventChar(char Value);
    // Stored only: the device event mask follows on the next open.
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    // Refused with pePropertyWhileOpen while the port is open and not loading.
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TSettingsGroups SettingsGroups() const { return FSettingsGroups; }
    void SetSettingsGroups(TSettingsGroups Value) { FSettingsGroups = Value; }

    // The port's own settings objects; the setters copy values in and apply the group once.
    TComParity& Parity() { return *FParity; }
    const TComParity& Parity() const { return *FParity; }
    void SetParity(const TComParity& Value);
    TComFlowControl& FlowControl() { return *FFlowControl; }
    const TComFlowControl& FlowControl() const { return *FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts& Timeouts() { return *FTimeouts; }
    const TComTimeouts& Timeouts() const { return *FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TComBuffer& Buffer() { return *FBuffer; }
    const TComBuffer& Buffer() const { return *FBuffer; }
    void SetBuffer(const TComBuffer& Value);

    // --- Runtime state ----------------------------------------------------------------------
    HANDLE DeviceHandle() const { return FDeviceHandle; }
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    bool Loading() const { return ComponentState().Contains(csLoading); }

    // Hand one group of settings to the open device; nothing happens while the port is
    // closed or loading.
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutValues();
    virtual void ApplyBufferSizes();

protected:
    // True when the apply operations may reach the device.
    bool CanApply() const { return FConnected && !Loading(); }

    TComThread* FEventThread = nullptr;
    bool FThreadCreated = false;
    HANDLE FDeviceHandle = INVALID_HANDLE_VALUE;
    HWND FEventWindow = nullptr;
    std::vector<TPortLink*> FLinks;
    TThreadPriority FEventThreadPriority = tpNormal;
    bool FConnected = false;

private:
    TBaudRate FBaudRate = br9600;
    std::int32_t FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TComEvents FEvents = TComEvents::All();
    TSyncMethod FSyncMethod = smThreadSync;
    TSettingsGroups FSettingsGroups = {sgLine};
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComFlowControl> FFlowControl;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComBuffer> FBuffer;
};

// The port with its settings published for a stored description.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
    const char* ClassName() const override { return "TComPort"; }
    void DefineProperties(TFiler& Filer) override;
};
