// The console's one window: the attachment choice, port, speed and receipt language, and the four
// test buttons. Controls are members built in one place; the test actions are in TestActions.cpp.
#pragma once

#include "receipt/Receipt.h"
#include "serial/CPort.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The window's caption, which is also the application's title.
inline constexpr char ApplicationTitle[] = "Tillmark for TM-T88 Series";

class TfrmMain : public QWidget {
public:
    explicit TfrmMain(QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // Controls, owned by the window through Qt's parent chain.
    QFrame* Panel1 = nullptr;
    QTabWidget* PCMain = nullptr;
    QWidget* TSPrinter = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BBtnDisplay = nullptr;
    QRadioButton* RbPrnParallel = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label24 = nullptr;
    QLabel* Label10 = nullptr;
    QComboBox* CbPRNCOM = nullptr;
    QComboBox* CbPRNBAU = nullptr;
    QRadioButton* RbPrnSerial = nullptr;
    QComboBox* CbPRNLang = nullptr;
    QPushButton* BtnBell = nullptr;
    QPushButton* BtnEpsonOpen = nullptr;
    QPushButton* BBtnCashDrawer = nullptr;

    // The printer's serial port; closed between actions.
    std::unique_ptr<TComPort> ComPort1;
    // Selector for opening the drawer through the station itself; nothing acts on it.
    std::int32_t PosDrawerKind = 0;
    // The receipt's date and time line, made by every Print.
    std::string DateStamp;

    // Test actions, run on the window's thread. Each swallows the errors of its own work.
    void BBtnDisplayClick();
    void BtnBellClick();
    void BtnEpsonOpenClick();
    void BBtnCashDrawerClick();
    void PrintSerial();
    void PrintParallel();

private:
    void CreateControls();
    void CreateComPort();
    void ConnectHandlers();
    void FormCreate();
    void FillPortList();

    receipt::Language ChosenLanguage() const;
    // The port name the port list shows: its selected item, or empty.
    std::string ChosenPort() const;
    // Bell and Epson: the command to the chosen path, then the port closed if still connected.
    void SendDrawerCommand(receipt::Drawer Kind);
};
