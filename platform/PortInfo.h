// What the system knows of a serial port, found by the name the port list shows ("COM1",
// "ttyUSB0", an alias such as "com9"). Beside the Win32 surface, as the registry's serial-port map
// carries none of this; implemented on Linux, where names are resolved and sysfs files read.
// Nothing is opened.
#pragma once

#include "platform/Export.h"

#include <string>

namespace platform {

struct PortDetails {
    std::string Device; // the node the name leads to ("/dev/ttyUSB0"); empty when none
    bool PseudoTerminal = false;
    std::string Driver;       // the kernel driver bound to the port ("ftdi_sio", "serial8250")
    std::string UsbVendor;    // USB ids in hex, as sysfs gives them ("0403")
    std::string UsbProduct;   // ("6001")
    std::string Manufacturer; // the USB device's own strings, when it has them
    std::string Product;
    std::string SerialNumber;
};

// Details of the port Name under the current device roots; fields sysfs does not give stay empty.
TILLMARK_PLATFORM_API PortDetails DescribePort(const std::string& Name);

} // namespace platform
