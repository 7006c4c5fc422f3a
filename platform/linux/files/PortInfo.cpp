#include "platform/PortInfo.h"

#include "platform/linux/files/DeviceNames.h"

#include <filesystem>
#include <fstream>

namespace platform {

namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& File) {
    std::ifstream in(File);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// Where a sysfs link points, by its last part ("ftdi_sio"); empty when there is no link.
std::string LinkName(const fs::path& Link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(Link, error);
    return error ? std::string() : target.filename().string();
}

bool Under(const fs::path& Path, const fs::path& Root) {
    const auto rel = Path.lexically_relative(Root);
    return !rel.empty() && *rel.begin() != "..";
}

} // namespace

PortDetails DescribePort(const std::string& Name) {
    PortDetails details;
    const auto path = ResolveCommName(Name);
    if (!path)
        return details;
    std::error_code error;
    const fs::path node = fs::canonical(path->Path, error);
    if (error)
        return details;
    details.Device = node.string();
    const DeviceRoots roots = CurrentDeviceRoots();
    const fs::path dev = fs::weakly_canonical(roots.Dev, error);
    const fs::path sys = fs::weakly_canonical(roots.Sys, error);
    if (error || !Under(node, dev))
        return details;
    const fs::path relative = node.lexically_relative(dev);
    if (*relative.begin() == "pts") {
        details.PseudoTerminal = true;
        return details;
    }
    // sysfs names a tty below a /dev folder with '!' in place of '/'.
    std::string ttyName = relative.generic_string();
    for (char& c : ttyName)
        if (c == '/')
            c = '!';
    const fs::path classDir = sys / "class" / "tty" / ttyName;
    const fs::path device = fs::canonical(classDir / "device", error);
    if (error)
        return details;
    details.Driver = LinkName(device / "driver");
    // The USB device is the nearest folder above the port that carries the ids.
    for (fs::path at = device; Under(at, sys); at = at.parent_path()) {
        if (fs::exists(at / "idVendor")) {
            details.UsbVendor = FirstLine(at / "idVendor");
            details.UsbProduct = FirstLine(at / "idProduct");
            details.Manufacturer = FirstLine(at / "manufacturer");
            details.Product = FirstLine(at / "product");
            details.SerialNumber = FirstLine(at / "serial");
            break;
        }
    }
    return details;
}

} // namespace platform
