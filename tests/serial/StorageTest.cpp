#include "PortTestSupport.h"

#include "../platform/DeviceTestSupport.h"
#include "platform/linux/registry/UserRegistry.h"
#include "runtime/IniFiles.h"
#include "runtime/Registry.h"

#include <gmock/gmock.h>

#include <map>

using platform::CommCallKind;
using ::testing::ElementsAre;

namespace {

// Stores in memory that remember the order of writes and reads.
struct Written {
    std::string Key;
    std::string Text;
    std::optional<std::int32_t> Integer;
};

class MemoryKey : public RegistryKeyStore {
public:
    void WriteString(const std::string& Name, const std::string& Value) override {
        Log.push_back({Name, Value, std::nullopt});
        Values[Name] = Value;
    }
    void WriteInteger(const std::string& Name, std::int32_t Value) override {
        Log.push_back({Name, "", Value});
        Integers[Name] = Value;
    }
    std::string ReadString(const std::string& Name) override {
        Reads.push_back(Name);
        auto it = Values.find(Name);
        return it == Values.end() ? "" : it->second;
    }
    std::int32_t ReadInteger(const std::string& Name) override {
        Reads.push_back(Name);
        auto it = Integers.find(Name);
        if (it == Integers.end())
            throw ERegistryException("Failed to get data for '" + Name + "'");
        return it->second;
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& w : Log)
            keys.push_back(w.Key);
        return keys;
    }
    std::vector<Written> Log;
    std::vector<std::string> Reads;
    std::map<std::string, std::string> Values;
    std::map<std::string, std::int32_t> Integers;
};

class MemoryIni : public IniStore {
public:
    std::string ReadString(const std::string& S, const std::string& K,
                           const std::string& D) override {
        auto it = Values.find(S + "/" + K);
        return it == Values.end() ? D : it->second;
    }
    void WriteString(const std::string& S, const std::string& K, const std::string& V) override {
        Values[S + "/" + K] = V;
    }
    std::int32_t ReadInteger(const std::string& S, const std::string& K, std::int32_t D) override {
        auto it = Values.find(S + "/" + K);
        return it == Values.end() ? D : std::stoi(it->second);
    }
    void WriteInteger(const std::string& S, const std::string& K, std::int32_t V) override {
        Values[S + "/" + K] = std::to_string(V);
    }
    std::map<std::string, std::string> Values;
};

TEST(SaveSettings, TheDefaultSelectionWritesSixLineKeysInOrder) {
    TComPort port(nullptr);
    MemoryKey key;
    port.SaveSettingsToKey(key);
    EXPECT_THAT(key.Keys(),
                ElementsAre("Port", "BaudRate", "StopBits", "DataBits", "Parity", "FlowControl"));
    EXPECT_EQ(key.Values["Port"], "COM1");
    EXPECT_EQ(key.Values["BaudRate"], "9600");
    EXPECT_EQ(key.Values["StopBits"], "1");
    EXPECT_EQ(key.Values["DataBits"], "8");
    EXPECT_EQ(key.Values["Parity"], "None");
    EXPECT_EQ(key.Values["FlowControl"], "None");

    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(7200);
    MemoryKey custom;
    port.SaveSettingsToKey(custom);
    ASSERT_EQ(custom.Log.size(), 7u);
    EXPECT_EQ(custom.Log[2].Key, "CustomBaudRate");
    EXPECT_EQ(custom.Log[2].Integer, 7200);
}

TEST(SaveSettings, EveryGroupWritesItsKeysInStoreOrder) {
    TComPort port(nullptr);
    port.SetSettingsGroups(TSettingsGroups::All());
    port.SetEventChar('A');
    port.Parity().SetReplaceChar('\x7F');
    port.FlowControl().SetXonChar('\x80');
    MemoryKey key;
    port.SaveSettingsToKey(key);
    EXPECT_THAT(key.Keys(),
                ElementsAre("Port", "BaudRate", "StopBits", "DataBits", "Parity", "FlowControl",
                            "EventChar", "DiscardNull", "Parity.Check", "Parity.Replace",
                            "Parity.ReplaceChar", "Buffer.OutputSize", "Buffer.InputSize",
                            "Timeouts.ReadInterval", "Timeouts.ReadTotalConstant",
                            "Timeouts.ReadTotalMultiplier", "Timeouts.WriteTotalConstant",
                            "Timeouts.WriteTotalMultiplier", "FlowControl.ControlRTS",
                            "FlowControl.ControlDTR", "FlowControl.DSRSensitivity",
                            "FlowControl.OutCTSFlow", "FlowControl.OutDSRFlow",
                            "FlowControl.TxContinueOnXoff", "FlowControl.XonXoffIn",
                            "FlowControl.XonXoffOut", "FlowControl.XoffChar",
                            "FlowControl.XonChar"));
    EXPECT_EQ(key.Values["EventChar"], "A");
    EXPECT_EQ(key.Values["Parity.ReplaceChar"], "\x7F");
    EXPECT_EQ(key.Values["FlowControl.XonChar"], "#128");
    EXPECT_EQ(key.Values["FlowControl.XoffChar"], "#19");
    EXPECT_EQ(key.Values["DiscardNull"], "No");
    EXPECT_EQ(key.Integers["Timeouts.ReadInterval"], -1);
    EXPECT_EQ(key.Values["FlowControl.ControlRTS"], "Disable");
}

TEST(LoadSettings, AMissingCustomRateIsAnErrorInTheRegistryAnd9600InAnIniFile) {
    TComPort port(nullptr);
    MemoryKey key;
    key.Values = {{"Port", "COM4"}, {"BaudRate", "Custom"}, {"StopBits", "2"}};
    try {
        port.LoadSettingsFromKey(key);
        FAIL() << "loaded without CustomBaudRate";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to get data for 'CustomBaudRate'");
    }
    EXPECT_EQ(port.Port(), "COM4");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.StopBits(), sbOneStopBit); // never read
    EXPECT_THAT(key.Reads, ElementsAre("Port", "BaudRate", "CustomBaudRate"));

    TComPort other(nullptr);
    other.SetName("ComPort1");
    other.SetCustomBaudRate(1234);
    MemoryIni ini;
    ini.Values = {{"ComPort1/BaudRate", "Custom"}};
    other.LoadSettingsFromIni(ini);
    EXPECT_EQ(other.BaudRate(), brCustom);
    EXPECT_EQ(other.CustomBaudRate(), 9600);
    EXPECT_EQ(other.Port(), "COM1"); // a missing key keeps the current value
}

TEST(LoadSettings, EmptyRegistryTextGivesEachSettingsFallback) {
    TComPort port(nullptr);
    port.SetSettingsGroups(TSettingsGroups::All() - TSettingsGroups{sgBufferSizes, sgTimeouts});
    port.SetDataBits(dbSeven);
    port.FlowControl().SetFlowControl(fcHardware);
    port.FlowControl().SetXonChar('x');
    MemoryKey empty;
    port.LoadSettingsFromKey(empty);
    EXPECT_EQ(port.Port(), "");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_FALSE(port.FlowControl().OutCTSFlow());
    EXPECT_EQ(port.FlowControl().XonChar(), 0);
}

// Every setting a store can hold, moved away from its initial value.
void ChangeEverything(TComPort& Port) {
    Port.SetPort("ttyUSB3");
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    Port.SetStopBits(sbTwoStopBits);
    Port.SetDataBits(dbSeven);
    Port.Parity().SetBits(prMark);
    Port.SetEventChar('\r');
    Port.SetDiscardNull(true);
    Port.Parity().SetCheck(true);
    Port.Parity().SetReplace(true);
    Port.Parity().SetReplaceChar('?');
    Port.Buffer().SetOutputSize(2048);
    Port.Buffer().SetInputSize(8192);
    Port.Timeouts().SetReadInterval(20);
    Port.Timeouts().SetReadTotalConstant(300);
    Port.Timeouts().SetReadTotalMultiplier(2);
    Port.Timeouts().SetWriteTotalConstant(500);
    Port.Timeouts().SetWriteTotalMultiplier(3);
    Port.FlowControl().SetControlRTS(rtsToggle);
    Port.FlowControl().SetControlDTR(dtrHandshake);
    Port.FlowControl().SetDSRSensitivity(true);
    Port.FlowControl().SetOutCTSFlow(true);
    Port.FlowControl().SetOutDSRFlow(true);
    Port.FlowControl().SetTxContinueOnXoff(true);
    Port.FlowControl().SetXonXoffIn(true);
    Port.FlowControl().SetXonXoffOut(true);
    Port.FlowControl().SetXoffChar('\xF0');
    Port.FlowControl().SetXonChar('\x01');
}

// Saving, then loading into a port changed in between, gives back what was saved.
template <typename Save, typename Load>
void ExpectRoundTrip(const std::vector<std::uint32_t>& Selections, Save&& SaveTo, Load&& LoadFrom) {
    for (std::uint32_t bits : Selections) {
        const auto groups = TSettingsGroups::FromBits(bits);
        TComPort saved(nullptr);
        saved.SetName("ComPort1");
        ChangeEverything(saved);
        saved.SetSettingsGroups(groups);
        SaveTo(saved, bits);
        TComPort loaded(nullptr);
        loaded.SetName("ComPort1");
        loaded.SetSettingsGroups(groups);
        LoadFrom(loaded, bits);
        // Only the selected groups travel; the rest stay as a new port has them.
        TComPort expected(nullptr);
        if (groups.Contains(sgLine)) {
            expected.SetPort(saved.Port());
            expected.SetBaudRate(saved.BaudRate());
            expected.SetCustomBaudRate(saved.CustomBaudRate());
            expected.SetStopBits(saved.StopBits());
            expected.SetDataBits(saved.DataBits());
            expected.Parity().SetBits(saved.Parity().Bits());
            expected.FlowControl().SetFlowControl(saved.FlowControl().FlowControl());
        }
        if (groups.Contains(sgReceiveOptions)) {
            expected.SetEventChar(saved.EventChar());
            expected.SetDiscardNull(saved.DiscardNull());
        }
        if (groups.Contains(sgParityDetails)) {
            expected.Parity().SetCheck(true);
            expected.Parity().SetReplace(true);
            expected.Parity().SetReplaceChar('?');
        }
        if (groups.Contains(sgBufferSizes))
            expected.SetBuffer(saved.Buffer());
        if (groups.Contains(sgTimeouts))
            expected.SetTimeouts(saved.Timeouts());
        if (groups.Contains(sgFlowDetails))
            expected.SetFlowControl(saved.FlowControl());
        EXPECT_EQ(loaded.StoredDescription(), expected.StoredDescription()) << "groups " << bits;
        EXPECT_EQ(loaded.CustomBaudRate(), expected.CustomBaudRate()) << "groups " << bits;
    }
}

std::vector<std::uint32_t> EverySelection() {
    std::vector<std::uint32_t> all(64);
    for (std::uint32_t i = 0; i < 64; ++i)
        all[i] = i;
    return all;
}

TEST(RoundTrip, EverySelectionComesBackThroughAKey) {
    std::map<std::uint32_t, MemoryKey> keys;
    ExpectRoundTrip(
        EverySelection(), [&](TComPort& p, std::uint32_t bits) { p.SaveSettingsToKey(keys[bits]); },
        [&](TComPort& p, std::uint32_t bits) { p.LoadSettingsFromKey(keys[bits]); });
}

TEST(RoundTrip, TheRegistryFileKeepsWhatWasSaved) {
    testsupport::DeviceEnvironment env; // its own configuration folder for the key file
    ExpectRoundTrip(
        {0x3F, 0x01},
        [](TComPort& p, std::uint32_t bits) {
            TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Set" + std::to_string(bits),
                             true);
            p.SaveSettingsToKey(key);
        },
        [](TComPort& p, std::uint32_t bits) {
            TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Set" + std::to_string(bits),
                             false);
            p.LoadSettingsFromKey(key);
        });
}

TEST(LoadSettings, ARegistryFileThatBreaksUnderTheKeyChangesNoSetting) {
    testsupport::DeviceEnvironment env;
    for (std::uint32_t bits : {0x01u, 0x3Fu}) {
        TComPort port(nullptr);
        port.SetSettingsGroups(TSettingsGroups::FromBits(bits));
        port.SetPort("COM7");
        port.SetBaudRate(br19200);
        TRegistryKey key(HKEY_CURRENT_USER, "Software\\Tillmark\\Broken", true);
        port.SaveSettingsToKey(key);
        const auto before = port.StoredDescription();
        const std::string file = platform::UserStorePath();
        std::ofstream(file, std::ios::app) << "not a value\n";
        try {
            port.LoadSettingsFromKey(key);
            ADD_FAILURE() << "loaded from a store that does not parse, groups " << bits;
        } catch (const ERegistryException& e) {
            // The first read fails, naming the file and its line.
            EXPECT_THAT(e.what(), ::testing::StartsWith("Failed to get data for 'Port': " + file));
        }
        EXPECT_EQ(port.StoredDescription(), before) << "groups " << bits;
        std::filesystem::remove(file);
    }
}

TEST(RoundTrip, EverySelectionComesBackThroughAnIniFile) {
    testsupport::TempDir folder;
    ExpectRoundTrip(
        EverySelection(),
        [&](TComPort& p, std::uint32_t bits) {
            TIniFile ini(folder / ("set" + std::to_string(bits) + ".ini"));
            p.SaveSettingsToIni(ini);
        },
        [&](TComPort& p, std::uint32_t bits) {
            TIniFile ini(folder / ("set" + std::to_string(bits) + ".ini"));
            p.LoadSettingsFromIni(ini);
        });
}

TEST(LoadSettings, IntoAnOpenPortGoesThroughTheSetters) {
    porttest::SimulatedPort first("simstorefirst");
    porttest::SimulatedPort second("simstoresecond");
    TComPort port(nullptr);
    port.SetName("ComPort1");
    port.SetPort(first.Name);
    port.SetEvents({});
    port.OpenPort();
    const int states = first.Count(CommCallKind::SetCommState);

    MemoryIni ini;
    ini.Values = {{"ComPort1/BaudRate", "19200"}};
    port.LoadSettingsFromIni(ini);
    // The new speed once, and the flow-control summary, which always applies, once.
    EXPECT_EQ(first.Count(CommCallKind::SetCommState), states + 2);
    EXPECT_EQ(first.Device->OpenCount(), 1);

    ini.Values["ComPort1/Port"] = second.Name;
    port.LoadSettingsFromIni(ini);
    EXPECT_FALSE(first.Device->IsOpen());
    EXPECT_TRUE(second.Device->IsOpen());
    EXPECT_TRUE(port.Connected());
}

} // namespace
