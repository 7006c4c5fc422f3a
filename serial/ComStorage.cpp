// The port's settings in a registry key or an INI section: one key table for both stores.
#include "runtime/IniFiles.h"
#include "runtime/Registry.h"
#include "serial/CPort.h"

namespace {

// Each stored setting: its key, its current value in stored form, and how to assign it.
class TSettingsVisitor {
public:
    virtual ~TSettingsVisitor() = default;
    virtual void Text(const char* Key, const std::string& Current,
                      const std::function<void(const std::string&)>& Set) = 0;
    // IniDefault is what a missing INI key reads as.
    virtual void Integer(const char* Key, std::int32_t Current, std::int32_t IniDefault,
                         const std::function<void(std::int32_t)>& Set) = 0;
};

// The selected groups in store order (not bit order), each with its keys in table order.
// Reading assigns before the next key, so "CustomBaudRate" follows the BaudRate just loaded.
void VisitStoredSettings(TCustomComPort& Port, TSettingsVisitor& V) {
    const TSettingsGroups groups = Port.SettingsGroups();
    TComFlowControl& flow = Port.FlowControl();
    TComParity& parity = Port.Parity();
    TComTimeouts& timeouts = Port.Timeouts();
    TComBuffer& buffer = Port.Buffer();
    auto integer = [&](const char* Key, std::int32_t Current,
                       std::function<void(std::int32_t)> Set) {
        V.Integer(Key, Current, Current, Set);
    };
    auto boolean = [&](const char* Key, bool Current, std::function<void(bool)> Set) {
        V.Text(Key, BoolToText(Current), [&](const std::string& t) { Set(TextToBool(t)); });
    };
    auto character = [&](const char* Key, char Current, std::function<void(char)> Set) {
        V.Text(Key, CharToText(Current), [&](const std::string& t) { Set(TextToChar(t)); });
    };

    if (groups.Contains(sgLine)) {
        V.Text("Port", Port.Port(), [&](const std::string& t) { Port.SetPort(t); });
        V.Text("BaudRate", BaudRateToText(Port.BaudRate()),
               [&](const std::string& t) { Port.SetBaudRate(TextToBaudRate(t)); });
        if (Port.BaudRate() == brCustom)
            V.Integer("CustomBaudRate", Port.CustomBaudRate(), 9600,
                      [&](std::int32_t v) { Port.SetCustomBaudRate(v); });
        V.Text("StopBits", StopBitsToText(Port.StopBits()),
               [&](const std::string& t) { Port.SetStopBits(TextToStopBits(t)); });
        V.Text("DataBits", DataBitsToText(Port.DataBits()),
               [&](const std::string& t) { Port.SetDataBits(TextToDataBits(t)); });
        V.Text("Parity", ParityToText(parity.Bits()),
               [&](const std::string& t) { parity.SetBits(TextToParity(t)); });
        V.Text("FlowControl", FlowControlToText(flow.FlowControl()),
               [&](const std::string& t) { flow.SetFlowControl(TextToFlowControl(t)); });
    }
    if (groups.Contains(sgReceiveOptions)) {
        character("EventChar", Port.EventChar(), [&](char c) { Port.SetEventChar(c); });
        boolean("DiscardNull", Port.DiscardNull(), [&](bool b) { Port.SetDiscardNull(b); });
    }
    if (groups.Contains(sgParityDetails)) {
        boolean("Parity.Check", parity.Check(), [&](bool b) { parity.SetCheck(b); });
        boolean("Parity.Replace", parity.Replace(), [&](bool b) { parity.SetReplace(b); });
        character("Parity.ReplaceChar", parity.ReplaceChar(),
                  [&](char c) { parity.SetReplaceChar(c); });
    }
    if (groups.Contains(sgBufferSizes)) {
        integer("Buffer.OutputSize", buffer.OutputSize(),
                [&](std::int32_t v) { buffer.SetOutputSize(v); });
        integer("Buffer.InputSize", buffer.InputSize(),
                [&](std::int32_t v) { buffer.SetInputSize(v); });
    }
    if (groups.Contains(sgTimeouts)) {
        integer("Timeouts.ReadInterval", timeouts.ReadInterval(),
                [&](std::int32_t v) { timeouts.SetReadInterval(v); });
        integer("Timeouts.ReadTotalConstant", timeouts.ReadTotalConstant(),
                [&](std::int32_t v) { timeouts.SetReadTotalConstant(v); });
        integer("Timeouts.ReadTotalMultiplier", timeouts.ReadTotalMultiplier(),
                [&](std::int32_t v) { timeouts.SetReadTotalMultiplier(v); });
        integer("Timeouts.WriteTotalConstant", timeouts.WriteTotalConstant(),
                [&](std::int32_t v) { timeouts.SetWriteTotalConstant(v); });
        integer("Timeouts.WriteTotalMultiplier", timeouts.WriteTotalMultiplier(),
                [&](std::int32_t v) { timeouts.SetWriteTotalMultiplier(v); });
    }
    if (groups.Contains(sgFlowDetails)) {
        V.Text("FlowControl.ControlRTS", RtsControlToText(flow.ControlRTS()),
               [&](const std::string& t) { flow.SetControlRTS(TextToRtsControl(t)); });
        V.Text("FlowControl.ControlDTR", DtrControlToText(flow.ControlDTR()),
               [&](const std::string& t) { flow.SetControlDTR(TextToDtrControl(t)); });
        boolean("FlowControl.DSRSensitivity", flow.DSRSensitivity(),
                [&](bool b) { flow.SetDSRSensitivity(b); });
        boolean("FlowControl.OutCTSFlow", flow.OutCTSFlow(),
                [&](bool b) { flow.SetOutCTSFlow(b); });
        boolean("FlowControl.OutDSRFlow", flow.OutDSRFlow(),
                [&](bool b) { flow.SetOutDSRFlow(b); });
        boolean("FlowControl.TxContinueOnXoff", flow.TxContinueOnXoff(),
                [&](bool b) { flow.SetTxContinueOnXoff(b); });
        boolean("FlowControl.XonXoffIn", flow.XonXoffIn(), [&](bool b) { flow.SetXonXoffIn(b); });
        boolean("FlowControl.XonXoffOut", flow.XonXoffOut(),
                [&](bool b) { flow.SetXonXoffOut(b); });
        character("FlowControl.XoffChar", flow.XoffChar(), [&](char c) { flow.SetXoffChar(c); });
        character("FlowControl.XonChar", flow.XonChar(), [&](char c) { flow.SetXonChar(c); });
    }
}

class TKeyWriter : public TSettingsVisitor {
public:
    explicit TKeyWriter(RegistryKeyStore& AKey) : Key(AKey) {}
    void Text(const char* Name, const std::string& Current,
              const std::function<void(const std::string&)>&) override {
        Key.WriteString(Name, Current);
    }
    void Integer(const char* Name, std::int32_t Current, std::int32_t,
                 const std::function<void(std::int32_t)>&) override {
        Key.WriteInteger(Name, Current);
    }
    RegistryKeyStore& Key;
};

class TKeyReader : public TSettingsVisitor {
public:
    explicit TKeyReader(RegistryKeyStore& AKey) : Key(AKey) {}
    void Text(const char* Name, const std::string&,
              const std::function<void(const std::string&)>& Set) override {
        Set(Key.ReadString(Name));
    }
    void Integer(const char* Name, std::int32_t, std::int32_t,
                 const std::function<void(std::int32_t)>& Set) override {
        Set(Key.ReadInteger(Name));
    }
    RegistryKeyStore& Key;
};

class TIniWriter : public TSettingsVisitor {
public:
    TIniWriter(IniStore& AStore, std::string ASection)
        : Store(AStore), Section(std::move(ASection)) {}
    void Text(const char* Name, const std::string& Current,
              const std::function<void(const std::string&)>&) override {
        Store.WriteString(Section, Name, Current);
    }
    void Integer(const char* Name, std::int32_t Current, std::int32_t,
                 const std::function<void(std::int32_t)>&) override {
        Store.WriteInteger(Section, Name, Current);
    }
    IniStore& Store;
    std::string Section;
};

class TIniReader : public TSettingsVisitor {
public:
    TIniReader(IniStore& AStore, std::string ASection)
        : Store(AStore), Section(std::move(ASection)) {}
    void Text(const char* Name, const std::string& Current,
              const std::function<void(const std::string&)>& Set) override {
        Set(Store.ReadString(Section, Name, Current));
    }
    void Integer(const char* Name, std::int32_t, std::int32_t IniDefault,
                 const std::function<void(std::int32_t)>& Set) override {
        Set(Store.ReadInteger(Section, Name, IniDefault));
    }
    IniStore& Store;
    std::string Section;
};

} // namespace

void TCustomComPort::SaveSettingsToKey(RegistryKeyStore& Key) {
    TKeyWriter writer(Key);
    VisitStoredSettings(*this, writer);
}

void TCustomComPort::SaveSettingsToIni(IniStore& Store) {
    TIniWriter writer(Store, Name());
    VisitStoredSettings(*this, writer);
}

void TCustomComPort::LoadSettingsFromKey(RegistryKeyStore& Key) {
    TKeyReader reader(Key);
    VisitStoredSettings(*this, reader);
}

void TCustomComPort::LoadSettingsFromIni(IniStore& Store) {
    TIniReader reader(Store, Name());
    VisitStoredSettings(*this, reader);
}
