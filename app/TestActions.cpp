// The test actions behind the four buttons. Each runs to its end on the window's thread and
// swallows the errors of its own work: the printer's response is the only result. The one step
// outside a guard, closing a serial port left connected, lets its error reach the application's
// handler.
#include "app/BaudRateTable.h"
#include "app/MainWindow.h"
#include "app/ParallelDevice.h"
#include "receipt/DateStamp.h"

#include <QComboBox>
#include <QRadioButton>

receipt::Language TfrmMain::ChosenLanguage() const {
    return CbPRNLang->currentIndex() == 0 ? receipt::Language::Korean : receipt::Language::English;
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
    try {
        ComPort1->ClosePort();
        ComPort1->SetPort(ChosenPort());
        ComPort1->SetBaudRate(BaudRateForItem(CbPRNBAU->currentIndex()));
        ComPort1->OpenPort();
        // The receipt, then the cut trailer, each as one write; a failed receipt leaves the
        // paper uncut.
        for (const std::string& write :
             receipt::PrintWrites(ChosenLanguage(), receipt::Path::Serial, DateStamp))
            ComPort1->SendText(write);
    } catch (...) {
        // Nothing is shown; the printer not printing is the result.
    }
    if (ComPort1->Connected())
        ComPort1->ClosePort();
}

void TfrmMain::PrintParallel() {
    try {
        TParallelDevice device;
        IOCheck(device.Open());
        for (const std::string& line :
             receipt::PrintWrites(ChosenLanguage(), receipt::Path::Parallel, DateStamp))
            IOCheck(device.WriteLine(line));
        IOCheck(device.Close());
    } catch (...) {
        // Nothing is shown; the printer not printing is the result.
    }
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
    try {
        if (RbPrnSerial->isChecked()) {
            ComPort1->ClosePort();
            ComPort1->SetPort(ChosenPort());
            ComPort1->SetBaudRate(BaudRateForItem(CbPRNBAU->currentIndex()));
            ComPort1->SetDataBits(dbEight);
            ComPort1->Parity().SetBits(prNone);
            if (!ComPort1->Connected())
                ComPort1->OpenPort();
            ComPort1->SendText(receipt::DrawerWrite(Kind, receipt::Path::Serial));
        } else {
            TParallelDevice device;
            IOCheck(device.Open());
            IOCheck(device.WriteLine(receipt::DrawerWrite(Kind, receipt::Path::Parallel)));
            IOCheck(device.Close());
        }
    } catch (...) {
        // Nothing is shown; the printer not responding is the result.
    }
    if (ComPort1->Connected())
        ComPort1->ClosePort();
}
