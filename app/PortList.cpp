// The port list, filled once at start from the operating system's serial-port map.
#include "app/MainWindow.h"
#include "console/PortMap.h"

#include <QComboBox>

void TfrmMain::FillPortList() {
    try {
        const console::PortMap map = console::ReadPortMap();
        if (!map.Found)
            return;
        CbPRNCOM->clear();
        for (const std::string& port : console::SortedPorts(map.Ports))
            CbPRNCOM->addItem(
                QString::fromLatin1(port.data(), static_cast<qsizetype>(port.size())));
        // A map value that holds no text leaves what was listed so far, and nothing selected.
        CbPRNCOM->setCurrentIndex(!map.Error && CbPRNCOM->count() > 0 ? 0 : -1);
    } catch (...) {
        // Start-up goes on with what was listed.
    }
}
