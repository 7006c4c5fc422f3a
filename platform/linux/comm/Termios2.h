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

// How WriteTermSettings makes sure the driver took the settings.
enum class TermCheck : std::uint8_t {
    None,           // a pseudo-terminal keeps whatever it is given
    Speed,          // read back: the speed must be within 2 %
    SpeedAndFraming // and the data bits, parity and stop bits as asked
};

// Read and write the settings of a terminal with the kernel's arbitrary-speed interface; 0 or an
// errno value. Unless Check is None, writing reads the settings back and fails with EINVAL when
// the driver changed what Check covers, after putting back Previous (read first when the caller
// does not know it), so a setting the driver cannot honour is never reported as done. Applied,
// when given, receives what the terminal holds afterwards. Pseudo-terminals always read back as
// 8 bits without parity, since no line exists to frame; their framing cannot be checked.
int ReadTermSettings(int Fd, TermSettings& Settings);
int WriteTermSettings(int Fd, const TermSettings& Settings,
                      TermCheck Check = TermCheck::SpeedAndFraming,
                      const TermSettings* Previous = nullptr, TermSettings* Applied = nullptr);

} // namespace platform
