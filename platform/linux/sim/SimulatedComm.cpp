#include "platform/linux/sim/SimulatedComm.h"

#include "platform/linux/comm/CommDevice.h"
#include "platform/linux/files/DeviceNames.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <optional>
#include <termios.h>

namespace platform {

namespace {
struct Installed {
    std::mutex Lock;
    std::map<std::string, std::weak_ptr<SimulatedComm>> Devices;
};

Installed& Registry() {
    static Installed registry;
    return registry;
}

// The open path's view of the installed devices: a device installed under Name answers for it,
// refusals included.
std::optional<std::shared_ptr<KernelObject>> OpenInstalled(const std::string& Name,
                                                           bool Overlapped) {
    std::shared_ptr<SimulatedComm> device;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.Lock);
        auto it = registry.Devices.find(LowerName(Name));
        if (it != registry.Devices.end())
            device = it->second.lock();
    }
    if (!device)
        return std::nullopt;
    return device->Open(Overlapped);
}
} // namespace

// The engine's view of a simulated device: everything goes to the shared control object.
class SimulatedBackend final : public CommBackend {
public:
    explicit SimulatedBackend(std::shared_ptr<SimulatedComm> Device) : Sim(std::move(Device)) {}

    int PollFd() const override { return -1; }

    void Attach(std::function<void()> Waker) override {
        std::lock_guard lock(Sim->WakerLock);
        Sim->Waker = std::move(Waker);
    }
    void Detach() override {
        std::lock_guard lock(Sim->WakerLock);
        Sim->Waker = nullptr;
    }

    long Read(BYTE* Buffer, std::size_t Count) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return -EIO;
        const std::size_t n = std::min(Count, Sim->Input.size());
        std::copy_n(Sim->Input.begin(), n, Buffer);
        Sim->Input.erase(Sim->Input.begin(), Sim->Input.begin() + static_cast<long>(n));
        return static_cast<long>(n);
    }

    long Write(const BYTE* Buffer, std::size_t Count) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return -EIO;
        if (Sim->Held)
            return 0;
        Sim->Output.insert(Sim->Output.end(), Buffer, Buffer + Count);
        return static_cast<long>(Count);
    }

    int OutputQueued(DWORD& Count) override {
        Count = 0;
        return 0;
    }

    int GetSettings(TermSettings& Settings) override {
        std::lock_guard lock(Sim->Lock);
        Settings = Sim->Current;
        return Sim->Gone ? EIO : 0;
    }
    int SetSettings(const TermSettings& Settings) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return EIO;
        Sim->Current = Settings;
        return 0;
    }

    int GetLines(DWORD& Lines) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return EIO;
        Lines = Sim->Lines;
        return 0;
    }
    int SetLines(int Dtr, int Rts) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return EIO;
        if (Dtr >= 0)
            Sim->DtrOn = Dtr == 1;
        if (Rts >= 0)
            Sim->RtsOn = Rts == 1;
        return 0;
    }
    int GetCounters(LineCounters& Counters) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return EIO;
        Counters = Sim->Counters;
        return 0;
    }

    int Drain() override { return 0; } // output leaves the simulated line at once

    int Flush(bool Input, bool) override {
        std::lock_guard lock(Sim->Lock);
        if (Sim->Gone)
            return EIO;
        if (Input)
            Sim->Input.clear();
        return 0;
    }
    int SetBreak(bool) override { return 0; }
    int SuspendOutput(bool) override { return 0; }

    DWORD Intercept(const CommCall& Call) override {
        std::lock_guard lock(Sim->Lock);
        CommCall kept = Call;
        kept.Bytes.assign(Call.Data.begin(), Call.Data.end());
        kept.Data = {};
        Sim->Log.push_back(std::move(kept));
        DWORD error = ERROR_SUCCESS;
        for (auto it = Sim->Failures.begin(); it != Sim->Failures.end(); ++it) {
            if (it->Kind == Call.Kind && --it->Remaining == 0) {
                error = it->Error;
                Sim->Failures.erase(it);
                break;
            }
        }
        return error;
    }

    void Close() override {
        std::lock_guard lock(Sim->Lock);
        Sim->Opened = false;
    }

private:
    std::shared_ptr<SimulatedComm> Sim;
};

std::shared_ptr<SimulatedComm> SimulatedComm::Install(const std::string& Name) {
    auto device = std::make_shared<SimulatedComm>();
    // A fresh device reads like a terminal just opened: 9600 bits per second, 8 data bits.
    device->Current.Speed = 9600;
    device->Current.Cflag = CS8 | CREAD | CLOCAL;
    device->Current.Cc[VSTART] = 0x11;
    device->Current.Cc[VSTOP] = 0x13;
    // Plugged into the open path by the first device a test installs: a program that installs
    // none never asks.
    static std::once_flag plugged;
    std::call_once(plugged, [] { SetCommDeviceProvider(OpenInstalled); });
    auto& registry = Registry();
    std::lock_guard lock(registry.Lock);
    registry.Devices[LowerName(Name)] = device;
    return device;
}

void SimulatedComm::Uninstall(const std::string& Name) {
    auto& registry = Registry();
    std::lock_guard lock(registry.Lock);
    registry.Devices.erase(LowerName(Name));
}

std::shared_ptr<KernelObject> SimulatedComm::Open(bool Overlapped) {
    {
        std::lock_guard lock(Lock);
        CommCall call;
        call.Kind = CommCallKind::CreateFile;
        Log.push_back(call);
        ++Opens;
        DWORD error = OpenError;
        for (auto it = Failures.begin(); it != Failures.end(); ++it) {
            if (it->Kind == CommCallKind::CreateFile && --it->Remaining == 0) {
                error = it->Error;
                Failures.erase(it);
                break;
            }
        }
        if (error == ERROR_SUCCESS && Opened)
            error = ERROR_ACCESS_DENIED; // share mode 0, as every comm device
        if (error == ERROR_SUCCESS && Gone)
            error = ERROR_FILE_NOT_FOUND;
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return nullptr;
        }
        Opened = true;
    }
    return StartCommEngine(std::make_unique<SimulatedBackend>(shared_from_this()), Overlapped);
}

std::vector<CommCall> SimulatedComm::Calls() const {
    std::lock_guard lock(Lock);
    return Log;
}

std::vector<CommCallKind> SimulatedComm::CallKinds() const {
    std::lock_guard lock(Lock);
    std::vector<CommCallKind> kinds;
    for (const auto& call : Log)
        kinds.push_back(call.Kind);
    return kinds;
}

std::vector<BYTE> SimulatedComm::Written() const {
    std::lock_guard lock(Lock);
    return Output;
}

bool SimulatedComm::IsOpen() const {
    std::lock_guard lock(Lock);
    return Opened;
}

int SimulatedComm::OpenCount() const {
    std::lock_guard lock(Lock);
    return Opens;
}

TermSettings SimulatedComm::Settings() const {
    std::lock_guard lock(Lock);
    return Current;
}

bool SimulatedComm::Dtr() const {
    std::lock_guard lock(Lock);
    return DtrOn;
}

bool SimulatedComm::Rts() const {
    std::lock_guard lock(Lock);
    return RtsOn;
}

void SimulatedComm::WakeEngine(std::unique_lock<std::mutex>& HeldLock) {
    HeldLock.unlock();
    std::lock_guard lock(WakerLock);
    if (Waker)
        Waker();
}

void SimulatedComm::Feed(const std::vector<BYTE>& Bytes) {
    std::unique_lock lock(Lock);
    Input.insert(Input.end(), Bytes.begin(), Bytes.end());
    WakeEngine(lock);
}

void SimulatedComm::SetLines(DWORD NewLines) {
    std::unique_lock lock(Lock);
    const DWORD changed = NewLines ^ Lines;
    Counters.Cts += (changed & MS_CTS_ON) ? 1 : 0;
    Counters.Dsr += (changed & MS_DSR_ON) ? 1 : 0;
    Counters.Rlsd += (changed & MS_RLSD_ON) ? 1 : 0;
    // The kernel counts a ring when the ring indicator goes off again.
    Counters.Ring += ((Lines & MS_RING_ON) && !(NewLines & MS_RING_ON)) ? 1 : 0;
    Lines = NewLines;
    WakeEngine(lock);
}

void SimulatedComm::RaiseLines(DWORD Raise) {
    DWORD lines;
    {
        std::lock_guard lock(Lock);
        lines = Lines | Raise;
    }
    SetLines(lines);
}

void SimulatedComm::DropLines(DWORD Drop) {
    DWORD lines;
    {
        std::lock_guard lock(Lock);
        lines = Lines & ~Drop;
    }
    SetLines(lines);
}

void SimulatedComm::Ring() {
    std::unique_lock lock(Lock);
    ++Counters.Ring;
    WakeEngine(lock);
}

void SimulatedComm::Break() {
    std::unique_lock lock(Lock);
    ++Counters.Break;
    WakeEngine(lock);
}

void SimulatedComm::LineError(DWORD Errors) {
    std::unique_lock lock(Lock);
    Counters.Frame += (Errors & CE_FRAME) ? 1 : 0;
    Counters.Parity += (Errors & CE_RXPARITY) ? 1 : 0;
    Counters.Overrun += (Errors & CE_OVERRUN) ? 1 : 0;
    Counters.BufferOverrun += (Errors & CE_RXOVER) ? 1 : 0;
    WakeEngine(lock);
}

void SimulatedComm::HoldOutput(bool Hold) {
    std::unique_lock lock(Lock);
    Held = Hold;
    WakeEngine(lock);
}

void SimulatedComm::Vanish() {
    std::unique_lock lock(Lock);
    Gone = true;
    WakeEngine(lock);
}

void SimulatedComm::FailCall(CommCallKind Kind, int Nth, DWORD Error) {
    std::lock_guard lock(Lock);
    Failures.push_back({Kind, Nth, Error});
}

void SimulatedComm::FailOpen(DWORD Error) {
    std::lock_guard lock(Lock);
    OpenError = Error;
}

} // namespace platform
