// Scratch devices for the window tests: an alias folder of our own, pseudo-terminals standing in
// for the printer's serial and parallel ports with a reader draining each, an installed
// serial-port map, and a watcher that answers message boxes. Nothing touches a real port.
#pragma once

#include "app/MainWindow.h"
#include "app/QtRuntime.h"
#include "platform/linux/Registry.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace consoletest {

namespace fs = std::filesystem;

using testsupport::TempDir;

// A pseudo-terminal pair in raw mode whose master side is read into a buffer by a thread of its
// own, so nothing the console writes waits in the terminal when the port is closed.
class PtyPrinter {
public:
    PtyPrinter() {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo-terminal");
        FSlave = ::ptsname(FMaster);
        termios raw{};
        ::tcgetattr(FMaster, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(FMaster, TCSANOW, &raw);
        // Holding the slave open keeps the master readable between the console's opens.
        FKeepOpen = ::open(FSlave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (::pipe2(FStop, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        FReader = std::thread([this] { Read(); });
    }
    ~PtyPrinter() {
        const char stop = 1;
        [[maybe_unused]] auto n = ::write(FStop[1], &stop, 1);
        FReader.join();
        ::close(FStop[0]);
        ::close(FStop[1]);
        if (FKeepOpen >= 0)
            ::close(FKeepOpen);
        if (FMaster >= 0)
            ::close(FMaster);
    }
    const std::string& Slave() const { return FSlave; }

    // Waits (up to a generous bound) until at least Count bytes have arrived; all bytes so far.
    std::string WaitForBytes(std::size_t Count) {
        std::unique_lock lock(FLock);
        FArrived.wait_for(lock, std::chrono::seconds(10), [&] { return FBytes.size() >= Count; });
        return FBytes;
    }
    std::string Bytes() {
        std::lock_guard lock(FLock);
        return FBytes;
    }
    void Clear() {
        std::lock_guard lock(FLock);
        FBytes.clear();
    }

private:
    void Read() {
        for (;;) {
            pollfd fds[2] = {{FMaster, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                return;
            char buffer[4096];
            const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
            std::lock_guard lock(FLock);
            if (n > 0) {
                FBytes.append(buffer, static_cast<std::size_t>(n));
                FArrived.notify_all();
            }
        }
    }

    int FMaster = -1;
    int FKeepOpen = -1;
    int FStop[2] = {-1, -1};
    std::string FSlave;
    std::thread FReader;
    std::mutex FLock;
    std::condition_variable FArrived;
    std::string FBytes;
};

// Answers every message box the console shows and keeps its text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        FTimer.setInterval(0);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                FTexts.push_back(box->text().toStdString());
                FTitles.push_back(box->windowTitle().toStdString());
                box->done(QMessageBox::Ok);
            }
        });
        FTimer.start();
    }
    const std::vector<std::string>& Texts() const { return FTexts; }
    const std::vector<std::string>& Titles() const { return FTitles; }

private:
    QTimer FTimer;
    std::vector<std::string> FTexts;
    std::vector<std::string> FTitles;
};

// XDG_CONFIG_HOME pointed at a scratch folder, a serial-port map of the test's own, Qt's
// hand-over and error box installed, and message boxes answered; all put back afterwards.
class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() {
        if (const char* old = ::getenv("XDG_CONFIG_HOME"))
            FOldConfig = old;
        ::setenv("XDG_CONFIG_HOME", FConfig.Path().c_str(), 1);
        fs::create_directories(AliasFolder());
        InstallPortMap({});
    }
    ~ConsoleTest() override {
        platform::RestoreSerialCommMap();
        if (FOldConfig)
            ::setenv("XDG_CONFIG_HOME", FOldConfig->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

    fs::path AliasFolder() const { return FConfig.Path() / "tillmark" / "devices"; }
    void Alias(const std::string& Name, const std::string& Target) const {
        fs::create_symlink(Target, AliasFolder() / Name);
    }
    static void InstallPortMap(std::optional<std::vector<platform::RegistryValue>> Map) {
        platform::InstallSerialCommMapForTest(std::move(Map));
    }
    // Port texts listed under alias-style value names, in the order given.
    static void ListPorts(const std::vector<std::string>& Ports) {
        std::vector<platform::RegistryValue> map;
        for (const std::string& port : Ports)
            map.push_back(platform::TextValue("\\Device\\Alias\\" + port, port));
        InstallPortMap(map);
    }
    std::unique_ptr<TfrmMain> NewWindow() { return std::make_unique<TfrmMain>(); }

    TQtRuntime FRuntime;
    MessageBoxWatcher FBoxes;

private:
    TempDir FConfig;
    std::optional<std::string> FOldConfig;
};

} // namespace consoletest
