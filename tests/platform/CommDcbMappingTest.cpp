// DCB to terminal settings: every speed the port offers, every framing, flow control, refusals.
#include "platform/linux/comm/DcbMapping.h"

#include <termios.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using platform::CommBehaviour;
using platform::LineControl;
using platform::MapDcb;
using platform::TermSettings;

// The device control block the port hands over with its settings at their defaults.
DCB PortDefaults() {
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = 9600;
    d.fBinary = 1;
    d.XonLim = 256;
    d.XoffLim = 256;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 17;
    d.XoffChar = 19;
    return d;
}

// A terminal as the kernel leaves it for a login: cooked, echoing, hanging up on close.
TermSettings Cooked() {
    TermSettings t;
    t.Iflag = ICRNL | IXON | IXOFF | ISTRIP | BRKINT | INPCK | IGNPAR;
    t.Oflag = OPOST | ONLCR;
    t.Cflag = CS7 | PARENB | HUPCL | CREAD | CSTOPB | CRTSCTS;
    t.Lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.Cc[VMIN] = 1;
    t.Cc[VTIME] = 5;
    t.Speed = 38400;
    return t;
}

struct Mapped {
    DWORD Error;
    TermSettings Settings;
    CommBehaviour Behaviour;
};

Mapped Map(const DCB& d, const TermSettings& current = Cooked()) {
    Mapped m{};
    m.Error = MapDcb(d, current, m.Settings, m.Behaviour);
    return m;
}

TEST(CommDcbMapping, PortDefaultsGiveRawEightNoneOne) {
    const auto m = Map(PortDefaults());
    ASSERT_EQ(m.Error, ERROR_SUCCESS);
    const auto& t = m.Settings;
    EXPECT_EQ(t.Speed, 9600u);
    EXPECT_EQ(t.Cflag & CSIZE, static_cast<std::uint32_t>(CS8));
    EXPECT_EQ(t.Cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(t.Cflag & (CLOCAL | CREAD), static_cast<std::uint32_t>(CLOCAL | CREAD));
    // No byte may be changed or swallowed: 0x11/0x13 in raster data, CR, NUL all pass.
    EXPECT_EQ(t.Iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK |
                         BRKINT | IGNBRK | IGNPAR),
              0u);
    EXPECT_EQ(t.Oflag & OPOST, 0u);
    EXPECT_EQ(t.Lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.Cc[VMIN], 0);
    EXPECT_EQ(t.Cc[VTIME], 0);
    EXPECT_EQ(m.Behaviour.Dtr, LineControl::Off);
    EXPECT_EQ(m.Behaviour.Rts, LineControl::Off);
    EXPECT_FALSE(m.Behaviour.DiscardNull);
    EXPECT_FALSE(m.Behaviour.OutDsrFlow);
    EXPECT_FALSE(m.Behaviour.OutCtsFlow);
}

TEST(CommDcbMapping, EverySpeedOfThePortAndACustomRatePassUnchanged) {
    const DWORD speeds[] = {110,    300,    600,   1200,  2400,   4800,   9600,   14400,
                            19200,  38400,  56000, 57600, 115200, 128000, 256000, 7200 /* custom */,
                            250000, 1000000};
    for (DWORD speed : speeds) {
        DCB d = PortDefaults();
        d.BaudRate = speed;
        const auto m = Map(d);
        ASSERT_EQ(m.Error, ERROR_SUCCESS) << speed;
        EXPECT_EQ(m.Settings.Speed, speed);
    }
}

TEST(CommDcbMapping, EveryParity) {
    struct Row {
        BYTE Parity;
        std::uint32_t Cflag;
    };
    const Row rows[] = {
        {NOPARITY, 0},
        {ODDPARITY, PARENB | PARODD},
        {EVENPARITY, PARENB},
        {MARKPARITY, PARENB | PARODD | CMSPAR},
        {SPACEPARITY, PARENB | CMSPAR},
    };
    for (const auto& row : rows) {
        for (DWORD check : {0u, 1u}) {
            DCB d = PortDefaults();
            d.Parity = row.Parity;
            d.fParity = check;
            const auto m = Map(d);
            ASSERT_EQ(m.Error, ERROR_SUCCESS);
            EXPECT_EQ(m.Settings.Cflag & (PARENB | PARODD | CMSPAR), row.Cflag) << int(row.Parity);
            // The scheme always reaches the line; checking received parity only with fParity.
            const bool inpck = check && row.Parity != NOPARITY;
            EXPECT_EQ((m.Settings.Iflag & INPCK) != 0, inpck) << int(row.Parity) << check;
        }
    }
}

TEST(CommDcbMapping, DataAndStopSizesAsAWindowsUartAcceptsThem) {
    struct Row {
        BYTE ByteSize;
        BYTE StopBits;
        DWORD Error;
        std::uint32_t Size;
        bool Cstopb;
    };
    const Row rows[] = {
        {5, ONESTOPBIT, ERROR_SUCCESS, CS5, false},
        {5, ONE5STOPBITS, ERROR_SUCCESS, CS5, true},
        {5, TWOSTOPBITS, ERROR_INVALID_PARAMETER, 0, false},
        {6, ONESTOPBIT, ERROR_SUCCESS, CS6, false},
        {6, ONE5STOPBITS, ERROR_INVALID_PARAMETER, 0, false},
        {6, TWOSTOPBITS, ERROR_SUCCESS, CS6, true},
        {7, ONESTOPBIT, ERROR_SUCCESS, CS7, false},
        {7, ONE5STOPBITS, ERROR_INVALID_PARAMETER, 0, false},
        {7, TWOSTOPBITS, ERROR_SUCCESS, CS7, true},
        {8, ONESTOPBIT, ERROR_SUCCESS, CS8, false},
        {8, ONE5STOPBITS, ERROR_INVALID_PARAMETER, 0, false},
        {8, TWOSTOPBITS, ERROR_SUCCESS, CS8, true},
        {4, ONESTOPBIT, ERROR_INVALID_PARAMETER, 0, false},
        {9, ONESTOPBIT, ERROR_INVALID_PARAMETER, 0, false},
        {8, 3, ERROR_INVALID_PARAMETER, 0, false},
    };
    for (const auto& row : rows) {
        DCB d = PortDefaults();
        d.ByteSize = row.ByteSize;
        d.StopBits = row.StopBits;
        const auto m = Map(d);
        ASSERT_EQ(m.Error, row.Error) << int(row.ByteSize) << "/" << int(row.StopBits);
        if (row.Error != ERROR_SUCCESS)
            continue;
        EXPECT_EQ(m.Settings.Cflag & CSIZE, row.Size);
        EXPECT_EQ((m.Settings.Cflag & CSTOPB) != 0, row.Cstopb);
    }
}

TEST(CommDcbMapping, RefusalsLeaveTheOutputsUntouched) {
    struct Row {
        const char* What;
        void (*Change)(DCB&);
        DWORD Error;
    };
    const Row rows[] = {
        {"speed 0", [](DCB& d) { d.BaudRate = 0; }, ERROR_INVALID_PARAMETER},
        {"parity 5", [](DCB& d) { d.Parity = 5; }, ERROR_INVALID_PARAMETER},
        {"XON equals XOFF with fOutX",
         [](DCB& d) {
             d.fOutX = 1;
             d.XoffChar = d.XonChar;
         },
         ERROR_INVALID_PARAMETER},
        {"XON equals XOFF with fInX",
         [](DCB& d) {
             d.fInX = 1;
             d.XoffChar = d.XonChar;
         },
         ERROR_INVALID_PARAMETER},
        {"parity replacement",
         [](DCB& d) {
             d.Parity = EVENPARITY;
             d.fParity = 1;
             d.fErrorChar = 1;
             d.ErrorChar = '?';
         },
         ERROR_NOT_SUPPORTED},
        {"RTS toggle", [](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }, ERROR_NOT_SUPPORTED},
    };
    for (const auto& row : rows) {
        DCB d = PortDefaults();
        row.Change(d);
        TermSettings settings;
        settings.Iflag = settings.Oflag = settings.Cflag = settings.Lflag = 0xA5A5A5A5;
        settings.Speed = 0xA5A5A5A5;
        for (auto& c : settings.Cc)
            c = 0xA5;
        const TermSettings before = settings;
        CommBehaviour behaviour;
        behaviour.EvtChar = 'Z';
        behaviour.XonLim = 77;
        const CommBehaviour behaviourBefore = behaviour;
        EXPECT_EQ(MapDcb(d, Cooked(), settings, behaviour), row.Error) << row.What;
        EXPECT_EQ(settings, before) << row.What;
        EXPECT_EQ(behaviour, behaviourBefore) << row.What;
    }
}

TEST(CommDcbMapping, SameXonAndXoffAreFineWithoutSoftwareFlow) {
    DCB d = PortDefaults();
    d.XonChar = d.XoffChar = 0;
    EXPECT_EQ(Map(d).Error, ERROR_SUCCESS);
}

TEST(CommDcbMapping, SoftwareFlowEachDirectionOnItsOwnFlag) {
    DCB d = PortDefaults();
    d.fOutX = 1;
    d.XonChar = 0x21;
    d.XoffChar = 0x23;
    auto m = Map(d);
    EXPECT_EQ(m.Settings.Iflag & (IXON | IXOFF), static_cast<std::uint32_t>(IXON));
    EXPECT_EQ(m.Settings.Cc[VSTART], 0x21);
    EXPECT_EQ(m.Settings.Cc[VSTOP], 0x23);
    d.fOutX = 0;
    d.fInX = 1;
    m = Map(d);
    EXPECT_EQ(m.Settings.Iflag & (IXON | IXOFF), static_cast<std::uint32_t>(IXOFF));
}

TEST(CommDcbMapping, HardwareFlow) {
    DCB d = PortDefaults();
    d.fOutxCtsFlow = 1;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    auto m = Map(d);
    EXPECT_NE(m.Settings.Cflag & CRTSCTS, 0u) << "the pair maps onto the kernel's handshake";
    EXPECT_EQ(m.Behaviour.Rts, LineControl::KernelHandshake);
    EXPECT_FALSE(m.Behaviour.OutCtsFlow);

    d.fRtsControl = RTS_CONTROL_ENABLE;
    m = Map(d);
    EXPECT_EQ(m.Settings.Cflag & CRTSCTS, 0u) << "CTS alone: the engine pauses output itself";
    EXPECT_TRUE(m.Behaviour.OutCtsFlow);
    EXPECT_EQ(m.Behaviour.Rts, LineControl::On);

    d.fOutxCtsFlow = 0;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    m = Map(d);
    EXPECT_EQ(m.Settings.Cflag & CRTSCTS, 0u);
    EXPECT_EQ(m.Behaviour.Rts, LineControl::Handshake);
}

TEST(CommDcbMapping, DtrAndRtsModesAreEachTheirOwn) {
    struct Row {
        DWORD Dtr, Rts;
        LineControl WantDtr, WantRts;
    };
    const Row rows[] = {
        {DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE, LineControl::Off, LineControl::On},
        {DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE, LineControl::On, LineControl::Off},
        {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_ENABLE, LineControl::Handshake, LineControl::On},
        {DTR_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE, LineControl::On, LineControl::Handshake},
    };
    for (const auto& row : rows) {
        DCB d = PortDefaults();
        d.fDtrControl = row.Dtr;
        d.fRtsControl = row.Rts;
        const auto m = Map(d);
        ASSERT_EQ(m.Error, ERROR_SUCCESS);
        EXPECT_EQ(m.Behaviour.Dtr, row.WantDtr) << row.Dtr << "/" << row.Rts;
        EXPECT_EQ(m.Behaviour.Rts, row.WantRts) << row.Dtr << "/" << row.Rts;
    }
}

TEST(CommDcbMapping, EngineMembersCarryOver) {
    DCB d = PortDefaults();
    d.fNull = 1;
    d.fOutxDsrFlow = 1;
    d.fDsrSensitivity = 1;
    d.fAbortOnError = 1;
    d.EvtChar = '\n';
    d.XonLim = 10;
    d.XoffLim = 20;
    const auto m = Map(d);
    ASSERT_EQ(m.Error, ERROR_SUCCESS);
    EXPECT_TRUE(m.Behaviour.DiscardNull);
    EXPECT_TRUE(m.Behaviour.OutDsrFlow);
    EXPECT_TRUE(m.Behaviour.DsrSensitivity);
    EXPECT_TRUE(m.Behaviour.AbortOnError);
    EXPECT_EQ(m.Behaviour.EvtChar, '\n');
    EXPECT_EQ(m.Behaviour.XonLim, 10);
    EXPECT_EQ(m.Behaviour.XoffLim, 20);
}

TEST(CommDcbMapping, SettingsReadBackAsTheSameDcb) {
    DCB d = PortDefaults();
    d.BaudRate = 128000;
    d.ByteSize = 5;
    d.StopBits = ONE5STOPBITS;
    d.Parity = MARKPARITY;
    d.fParity = 1;
    d.fOutX = 1;
    d.fInX = 1;
    d.fOutxCtsFlow = 1;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    d.fDtrControl = DTR_CONTROL_HANDSHAKE;
    d.fNull = 1;
    d.EvtChar = 'x';
    const auto m = Map(d);
    ASSERT_EQ(m.Error, ERROR_SUCCESS);
    const DCB back = platform::DcbFromSettings(m.Settings, m.Behaviour);
    EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0);
}

} // namespace
