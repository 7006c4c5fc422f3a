// Internal to the Linux backend: terminal settings in a form that needs neither glibc's
// <termios.h> nor the kernel's <asm/termbits.h>, which cannot share a source file.
#pragma once

#include <cstdint>

namespace platform {

// The kernel's terminal settings with the line speed as a plain number of bits per second, so any
// speed (56000, 128000, 256000, custom rates) goes through the same path as the standard ones.
struct TermSettings {
    std::uint32_t Iflag = 0;
    std::uint32_t Oflag = 0;
    std::uint32_t Cflag = 0; // without the speed bits: those follow Speed
    std::uint32_t Lflag = 0;
    std::uint8_t Cc[19] = {};
    std::uint32_t Speed = 0; // both directions

    bool operator==(const TermSettings&) const = default;
};

// Read and write the settings of a terminal with the kernel's arbitrary-speed interface; 0 or an
// errno value. Writing reads the settings back and fails with EINVAL when the kernel changed the
// speed or (with CheckFraming) the data bits, parity or stop bits, so a setting the driver cannot
// honour is never reported as done. Pseudo-terminals always read back as 8 bits without parity,
// since no line exists to frame; their framing is not checked.
int ReadTermSettings(int Fd, TermSettings& Settings);
int WriteTermSettings(int Fd, const TermSettings& Settings, bool CheckFraming = true);

} // namespace platform
