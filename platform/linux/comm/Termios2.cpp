// Only this file sees <asm/termbits.h>: it defines struct termios2 and BOTHER, and clashes with
// glibc's <termios.h>.
#include "platform/linux/comm/Termios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>

namespace platform {

namespace {
static_assert(sizeof(TermSettings{}.Cc) == sizeof(termios2{}.c_cc));

// 0 or the errno of the terminal request, which a signal does not break off.
int TermRequest(int Fd, unsigned long Request, termios2& T) {
    for (;;) {
        if (ioctl(Fd, Request, &T) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

int Get(int Fd, termios2& T) {
    return TermRequest(Fd, TCGETS2, T);
}

int Set(int Fd, termios2 T) {
    return TermRequest(Fd, TCSETS2, T);
}
} // namespace

int ReadTermSettings(int Fd, TermSettings& Settings) {
    termios2 t{};
    if (const int error = Get(Fd, t))
        return error;
    Settings.Iflag = t.c_iflag;
    Settings.Oflag = t.c_oflag;
    Settings.Cflag = t.c_cflag & ~(CBAUD | (CBAUD << IBSHIFT));
    Settings.Lflag = t.c_lflag;
    std::memcpy(Settings.Cc, t.c_cc, sizeof Settings.Cc);
    Settings.Speed = t.c_ospeed;
    return 0;
}

namespace {
termios2 ToKernel(const TermSettings& Settings) {
    termios2 t{};
    t.c_iflag = Settings.Iflag;
    t.c_oflag = Settings.Oflag;
    // Input speed bits left zero: the input runs at the output speed.
    t.c_cflag = (Settings.Cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | BOTHER;
    t.c_lflag = Settings.Lflag;
    std::memcpy(t.c_cc, Settings.Cc, sizeof t.c_cc);
    t.c_ispeed = Settings.Speed;
    t.c_ospeed = Settings.Speed;
    return t;
}
} // namespace

int WriteTermSettings(int Fd, const TermSettings& Settings, TermCheck Check,
                      const TermSettings* Previous, TermSettings* Applied) {
    if (Check == TermCheck::None) {
        if (const int error = Set(Fd, ToKernel(Settings)))
            return error;
        if (Applied)
            *Applied = Settings;
        return 0;
    }
    TermSettings before;
    if (Previous)
        before = *Previous;
    else if (const int error = ReadTermSettings(Fd, before))
        return error;
    if (const int error = Set(Fd, ToKernel(Settings)))
        return error;
    TermSettings back;
    if (const int error = ReadTermSettings(Fd, back))
        return error;
    // Drivers round speeds to what their clock can make; within 2 % still talks to the far side.
    const auto wanted = static_cast<std::int64_t>(Settings.Speed);
    const auto actual = static_cast<std::int64_t>(back.Speed);
    const std::uint32_t framing = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
    if ((actual - wanted) * 50 > wanted || (wanted - actual) * 50 > wanted ||
        (Check == TermCheck::SpeedAndFraming && ((back.Cflag ^ Settings.Cflag) & framing))) {
        // The driver took something else: put the old settings back before refusing.
        Set(Fd, ToKernel(before));
        return EINVAL;
    }
    if (Applied)
        *Applied = back;
    return 0;
}

} // namespace platform
