// The test actions behind the four buttons. Each runs to its end on the window's thread and
// swallows the errors of its own work: the printer's response is the only result. The one step
// outside a guard, closing a serial port left connected, lets its error reach the application's
// handler. The sequences themselves are shared with the command line.
#include "app/MainWindow.h"
#include "console/ConsoleActions.h"
#include "receipt/DateStamp.h"

#include <QComboBox>
#include <QRadioButton>

receipt::Language TfrmMain::ChosenLanguage() const {
    return receipt::LanguageOfItem(CbPRNLang->currentIndex());
}

std::string TfrmMain::ChosenPort() const {
    return CbPRNCOM->currentText().toLatin1().toStdString();
}

void TfrmMain::BBtnDisplayClick() {
    DateStamp = receipt::LocalDateStamp();
    if (RbPrnSerial->isChecked())
        PrintSerial();
    else
        PrintParallel();
}

void TfrmMain::PrintSerial() {
    // Nothing is shown; the printer not printing is the result.
    (void)console::PrintSerial(*ComPort1, {ChosenPort(), CbPRNBAU->currentIndex()},
                               ChosenLanguage(), DateStamp);
}

void TfrmMain::PrintParallel() {
    (void)console::PrintParallel(ChosenLanguage(), DateStamp);
}

void TfrmMain::BtnBellClick() {
    SendDrawerCommand(receipt::Drawer::Bell);
}

void TfrmMain::BtnEpsonOpenClick() {
    SendDrawerCommand(receipt::Drawer::Epson);
}

void TfrmMain::BBtnCashDrawerClick() {
    // Opening the drawer through the station itself has no device behind it here, whatever
    // PosDrawerKind holds; the button stays disabled.
}

void TfrmMain::SendDrawerCommand(receipt::Drawer Kind) {
    // Nothing is shown; the printer not responding is the result.
    if (RbPrnSerial->isChecked()) {
        (void)console::DrawerSerial(*ComPort1, {ChosenPort(), CbPRNBAU->currentIndex()}, Kind);
        return;
    }
    (void)console::DrawerParallel(Kind);
    if (ComPort1->Connected())
        ComPort1->ClosePort();
}
