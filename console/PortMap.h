// The serial ports the console offers: the operating system's serial-port map, read once at
// start, and the order the port list shows.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace console {

// The serial-port map as the console reads it at start.
struct PortMap {
    bool Found = false;             // the map's key could be opened
    std::vector<std::string> Names; // value names, in the map's order
    std::vector<std::string> Ports; // the text of each value read, in the same order
    std::exception_ptr Error;       // a value holding no text stopped the reading
};
PortMap ReadPortMap();

// Ports in ascending order ignoring letter case, equal ones in the order given.
std::vector<std::string> SortedPorts(std::vector<std::string> Ports);

} // namespace console
