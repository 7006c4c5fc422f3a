// The console's one window on Qt: controls built from the shared layout and bound to the shared
// window model, which does what each press does.
#pragma once

#include "console/ConsoleWindow.h"

#include <QWidget>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

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

    // The port, the date line and what the buttons do.
    console::TConsoleWindow& Model() { return FModel; }
    // The choices the controls show now.
    console::WindowChoices Choices() const;

private:
    void CreateControls();
    QWidget* CreateControl(const console::ControlLayout& Control, QWidget* Parent);
    void FillLists();
    void BindButtons();

    console::TConsoleWindow FModel;
};
