// Shared by the port's lifecycle, event and transfer tests: a simulated device per test, a
// recorder for the port's published events, and a bounded way to serve the main thread's queue.
#pragma once

#include "platform/linux/sim/SimulatedComm.h"
#include "runtime/Threads.h"
#include "serial/CPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace porttest {

// A simulated device installed under a name of its own for the length of one test.
class SimulatedPort {
public:
    explicit SimulatedPort(std::string AName)
        : Name(std::move(AName)), Device(platform::SimulatedComm::Install(Name)) {}
    ~SimulatedPort() { platform::SimulatedComm::Uninstall(Name); }

    int Count(platform::CommCallKind Kind) const {
        int n = 0;
        for (auto k : Device->CallKinds())
            n += k == Kind;
        return n;
    }

    std::string Name;
    std::shared_ptr<platform::SimulatedComm> Device;
};

// Records each published event as one line, with the thread it ran on.
class EventLog {
public:
    void Attach(TCustomComPort& Port) {
        Port.OnBeforeOpen = [this](TObject*) { Add("BeforeOpen"); };
        Port.OnAfterOpen = [this](TObject*) { Add("AfterOpen"); };
        Port.OnBeforeClose = [this](TObject*) { Add("BeforeClose"); };
        Port.OnAfterClose = [this](TObject*) { Add("AfterClose"); };
        Port.OnRxChar = [this](TObject*, std::int32_t n) { Add("RxChar " + std::to_string(n)); };
        Port.OnTxEmpty = [this](TObject*) { Add("TxEmpty"); };
        Port.OnBreak = [this](TObject*) { Add("Break"); };
        Port.OnRing = [this](TObject*) { Add("Ring"); };
        Port.OnRxFlag = [this](TObject*) { Add("RxFlag"); };
        Port.OnRx80Full = [this](TObject*) { Add("Rx80Full"); };
        Port.OnCTSChange = [this](TObject*, bool on) {
            Add(std::string("CTS ") + (on ? "on" : "off"));
        };
        Port.OnDSRChange = [this](TObject*, bool on) {
            Add(std::string("DSR ") + (on ? "on" : "off"));
        };
        Port.OnRLSDChange = [this](TObject*, bool on) {
            Add(std::string("RLSD ") + (on ? "on" : "off"));
        };
        Port.OnError = [this](TObject*, TComErrors e) { Add("Error " + std::to_string(e.Bits())); };
    }
    void Add(const std::string& Line) {
        {
            std::lock_guard g(Lock);
            Lines.push_back(Line);
            Threads.push_back(std::this_thread::get_id());
        }
        Changed.notify_all();
    }
    // For events delivered on another thread: waits until Line is logged, failing the test
    // after a generous bound.
    bool WaitFor(const std::string& Line) {
        std::unique_lock g(Lock);
        if (Changed.wait_for(g, std::chrono::seconds(20), [&] {
                return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
            }))
            return true;
        ADD_FAILURE() << "\"" << Line << "\" was not logged";
        return false;
    }
    std::vector<std::string> Take() {
        std::lock_guard g(Lock);
        auto out = std::move(Lines);
        Lines.clear();
        Threads.clear();
        return out;
    }
    std::vector<std::string> Snapshot() const {
        std::lock_guard g(Lock);
        return Lines;
    }
    std::vector<std::thread::id> ThreadsSnapshot() const {
        std::lock_guard g(Lock);
        return Threads;
    }
    bool Contains(const std::string& Line) const {
        std::lock_guard g(Lock);
        return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
    }

private:
    mutable std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::string> Lines;
    std::vector<std::thread::id> Threads;
};

// Serves the main thread's queue until Done holds; fails the test after a generous bound rather
// than hanging the suite.
inline bool ServeUntil(const std::function<bool()>& Done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "condition not reached while serving the main thread";
            return false;
        }
        CheckSynchronize(50);
    }
    return true;
}

// Ends the test binary with a message when a scenario hangs (a deadlock on the main thread
// cannot be failed from within), instead of stalling the suite until its time-out.
class HangGuard {
public:
    explicit HangGuard(std::string AWhat)
        : What(std::move(AWhat)), Watch([this] {
              std::unique_lock g(Lock);
              if (!Ended.wait_for(g, std::chrono::seconds(30), [this] { return Done; })) {
                  std::fprintf(stderr, "hung: %s\n", What.c_str());
                  std::_Exit(1);
              }
          }) {}
    ~HangGuard() {
        {
            std::lock_guard g(Lock);
            Done = true;
        }
        Ended.notify_all();
        Watch.join();
    }

private:
    std::string What;
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    std::thread Watch;
};

} // namespace porttest
