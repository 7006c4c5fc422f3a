// What sets one printer model apart from another: paper width, what it does at power-up, how it
// takes CR, and what it answers about itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace escpos {

struct Profile {
    std::string Name;
    int Width = 512;                  // printable dots across the paper, at 180 dpi
    bool DoubleByteAtPowerUp = false; // FS & in force after power-up and ESC @
    unsigned CharacterSetAtPowerUp = 0;
    bool CrFeeds = false;       // CR prints and feeds like LF; otherwise it is ignored
    std::uint8_t TypeId = 0x02; // GS I 2: bit 0 double-byte characters, bit 1 autocutter
    // Bytes of NV graphics and NV bit images together: the TM-T88's 2 Mbit area.
    std::size_t NvCapacity = std::size_t{256} * 1024;
};

// "korean" (the default), "korean-576", "standard", "standard-576".
std::optional<Profile> FindProfile(std::string_view Name);
std::vector<std::string> ProfileNames();
inline constexpr std::string_view DefaultProfile = "korean";

} // namespace escpos
