// Receives by events: OnRxChar hands over what arrives, and the modem lines (CTS, DSR, carrier)
// report their changes. Runs until "bye" and a line end arrive, or 30 seconds pass.
//
//   events PORT [thread|none]
//
// thread (smThreadSync, the default): the handlers run on the main thread, inside
// CheckSynchronize, so they may use whatever the main thread owns without a lock.
// none (smNone): the handlers run on the port's event thread as soon as the event comes; what
// they share with the main thread needs a lock.
#include "runtime/Threads.h"
#include "serial/CPort.h"

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <string>

int main(int argc, char* argv[]) {
    const std::string mode = argc > 2 ? argv[2] : "thread";
    if (argc < 2 || argc > 3 || (mode != "thread" && mode != "none")) {
        std::cerr << "usage: events PORT [thread|none]\n";
        return 2;
    }
    // The output and what the handlers tell the main thread. Only smNone needs the lock, but the
    // same handlers serve both modes here.
    std::mutex lock;
    std::condition_variable byeCame;
    std::string received;
    bool bye = false;

    TComPort port(nullptr);
    port.SetPort(argv[1]);
    port.SetSyncMethod(mode == "none" ? smNone : smThreadSync);
    port.SetEvents({evRxChar, evCTS, evDSR, evRLSD});
    port.OnRxChar = [&](TObject*, std::int32_t Count) {
        std::string bytes(static_cast<std::size_t>(Count), '\0');
        bytes.resize(static_cast<std::size_t>(port.ReceiveBytes(bytes.data(), Count)));
        std::lock_guard hold(lock);
        std::cout << "received: " << bytes << std::flush;
        received += bytes;
        if (received.find("bye\n") != std::string::npos) {
            bye = true;
            byeCame.notify_one();
        }
    };
    auto modemLine = [&](const char* Name) {
        return [&lock, Name](TObject*, bool On) {
            std::lock_guard hold(lock);
            std::cout << Name << (On ? " on" : " off") << std::endl;
        };
    };
    port.OnCTSChange = modemLine("CTS");
    port.OnDSRChange = modemLine("DSR");
    port.OnRLSDChange = modemLine("carrier");

    try {
        port.OpenPort();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        std::unique_lock hold(lock);
        std::cout << "listening on " << port.Port() << " (" << mode << ")" << std::endl;
        if (mode == "none") {
            byeCame.wait_until(hold, end, [&] { return bye; });
        } else {
            hold.unlock(); // the handlers run on this thread, in CheckSynchronize, and lock it
            while (!bye && std::chrono::steady_clock::now() < end)
                CheckSynchronize(100); // runs the handlers due, or waits 100 ms for one
            hold.lock();
        }
        std::cout << (bye ? "ended: bye came" : "ended: 30 s passed") << std::endl;
        hold.unlock(); // a handler running now must be able to finish before the port closes
        port.ClosePort();
        return 0;
    } catch (const EComPort& e) {
        std::cerr << "events: " << port.Port() << ": " << e.what() << '\n';
        return 1;
    }
}
