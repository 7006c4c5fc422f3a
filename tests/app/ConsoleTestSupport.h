// Scratch devices for the window tests: an alias folder of our own, pseudo-terminals standing in
// for the printer's serial and parallel ports with a reader draining each, an installed
// serial-port map, and a watcher that answers message boxes. Nothing touches a real port.
#pragma once

#include "app/MainWindow.h"
#include "app/QtRuntime.h"
#include "platform/linux/registry/Registry.h"
#include "tests/support/PtyPrinter.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace consoletest {

namespace fs = std::filesystem;

using testsupport::PtyPrinter;
using testsupport::TempDir;

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
