// The serial ports the console offers: the operating system's serial-port map, read once at
// start, and the order the port list shows.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace console {

// One value of the map: its name says where the port came from, its text is the port.
struct MappedPort {
    std::string Name;
    std::string Port;
    bool operator==(const MappedPort&) const = default;
};

// The serial-port map as the console reads it at start.
struct PortMap {
    bool Found = false;            // the map's key could be opened
    std::vector<MappedPort> Ports; // every value read, in the map's order
    std::exception_ptr Error;      // a value holding no text stopped the reading
};
PortMap ReadPortMap();

// By port, in ascending order ignoring letter case, equal ones in the order given.
std::vector<MappedPort> SortedPorts(std::vector<MappedPort> Ports);

} // namespace console
