#include "platform/linux/comm/DcbMapping.h"

#include <termios.h>

namespace platform {

DWORD MapDcb(const DCB& Dcb, const TermSettings& Current, TermSettings& Settings,
             CommBehaviour& Behaviour) {
    if (Dcb.BaudRate == 0)
        return ERROR_INVALID_PARAMETER;
    if (Dcb.ByteSize < 5 || Dcb.ByteSize > 8)
        return ERROR_INVALID_PARAMETER;
    if (Dcb.Parity > SPACEPARITY || Dcb.StopBits > TWOSTOPBITS)
        return ERROR_INVALID_PARAMETER;
    // As a Windows UART driver: 1.5 stop bits only with 5 data bits, 2 stop bits never with 5.
    if (Dcb.StopBits == ONE5STOPBITS && Dcb.ByteSize != 5)
        return ERROR_INVALID_PARAMETER;
    if (Dcb.StopBits == TWOSTOPBITS && Dcb.ByteSize == 5)
        return ERROR_INVALID_PARAMETER;
    if ((Dcb.fOutX || Dcb.fInX) && Dcb.XonChar == Dcb.XoffChar)
        return ERROR_INVALID_PARAMETER;
    // The kernel reads a byte with a parity error as 0x00; which NUL was an error is lost, so a
    // replacement character cannot be put in its place.
    if (Dcb.fErrorChar && Dcb.fParity)
        return ERROR_NOT_SUPPORTED;
    // Needs a transceiver that switches RTS around each frame; termios has no such mode.
    if (Dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        return ERROR_NOT_SUPPORTED;

    TermSettings t = RawSettings(Current);
    t.Speed = Dcb.BaudRate;
    t.Cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.Cflag |= sizes[Dcb.ByteSize - 5];
    if (Dcb.StopBits != ONESTOPBIT)
        t.Cflag |= CSTOPB; // with CS5 the UART sends 1.5 stop bits
    switch (Dcb.Parity) {
    case ODDPARITY:
        t.Cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        t.Cflag |= PARENB;
        break;
    case MARKPARITY:
        t.Cflag |= PARENB | PARODD | CMSPAR;
        break;
    case SPACEPARITY:
        t.Cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (Dcb.fParity && Dcb.Parity != NOPARITY)
        t.Iflag |= INPCK;

    CommBehaviour b;
    const bool rtsHandshake = Dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (rtsHandshake && Dcb.fOutxCtsFlow) {
        // CRTSCTS covers both directions at once; only the pair maps onto it.
        t.Cflag |= CRTSCTS;
        b.Rts = LineControl::KernelHandshake;
    } else {
        b.OutCtsFlow = Dcb.fOutxCtsFlow;
        b.Rts = rtsHandshake                            ? LineControl::Handshake
                : Dcb.fRtsControl == RTS_CONTROL_ENABLE ? LineControl::On
                                                        : LineControl::Off;
    }
    b.Dtr = Dcb.fDtrControl == DTR_CONTROL_HANDSHAKE ? LineControl::Handshake
            : Dcb.fDtrControl == DTR_CONTROL_ENABLE  ? LineControl::On
                                                     : LineControl::Off;

    // fOutX: obey XOFF from the far side; fInX: send XOFF when our side fills up.
    if (Dcb.fOutX)
        t.Iflag |= IXON;
    if (Dcb.fInX)
        t.Iflag |= IXOFF;
    t.Cc[VSTART] = static_cast<std::uint8_t>(Dcb.XonChar);
    t.Cc[VSTOP] = static_cast<std::uint8_t>(Dcb.XoffChar);

    b.DiscardNull = Dcb.fNull;
    b.DsrSensitivity = Dcb.fDsrSensitivity;
    b.OutDsrFlow = Dcb.fOutxDsrFlow;
    b.AbortOnError = Dcb.fAbortOnError;
    b.EvtChar = Dcb.EvtChar;
    b.XonLim = Dcb.XonLim;
    b.XoffLim = Dcb.XoffLim;

    Settings = t;
    Behaviour = b;
    return ERROR_SUCCESS;
}

DCB DcbFromSettings(const TermSettings& S, const CommBehaviour& B) {
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = S.Speed;
    d.fBinary = 1;
    d.fParity = (S.Iflag & INPCK) ? 1 : 0;
    d.fOutxCtsFlow = ((S.Cflag & CRTSCTS) || B.OutCtsFlow) ? 1 : 0;
    d.fOutxDsrFlow = B.OutDsrFlow;
    d.fDtrControl = B.Dtr == LineControl::Handshake ? DTR_CONTROL_HANDSHAKE
                    : B.Dtr == LineControl::On      ? DTR_CONTROL_ENABLE
                                                    : DTR_CONTROL_DISABLE;
    d.fRtsControl = (B.Rts == LineControl::Handshake || B.Rts == LineControl::KernelHandshake)
                        ? RTS_CONTROL_HANDSHAKE
                    : B.Rts == LineControl::On ? RTS_CONTROL_ENABLE
                                               : RTS_CONTROL_DISABLE;
    d.fDsrSensitivity = B.DsrSensitivity;
    d.fOutX = (S.Iflag & IXON) ? 1 : 0;
    d.fInX = (S.Iflag & IXOFF) ? 1 : 0;
    d.fNull = B.DiscardNull;
    d.fAbortOnError = B.AbortOnError;
    d.XonLim = B.XonLim;
    d.XoffLim = B.XoffLim;
    switch (S.Cflag & CSIZE) {
    case CS5:
        d.ByteSize = 5;
        break;
    case CS6:
        d.ByteSize = 6;
        break;
    case CS7:
        d.ByteSize = 7;
        break;
    default:
        d.ByteSize = 8;
        break;
    }
    if (!(S.Cflag & PARENB))
        d.Parity = NOPARITY;
    else if (S.Cflag & CMSPAR)
        d.Parity = (S.Cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        d.Parity = (S.Cflag & PARODD) ? ODDPARITY : EVENPARITY;
    d.StopBits = !(S.Cflag & CSTOPB) ? ONESTOPBIT : d.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    d.XonChar = static_cast<char>(S.Cc[VSTART]);
    d.XoffChar = static_cast<char>(S.Cc[VSTOP]);
    d.EvtChar = B.EvtChar;
    return d;
}

TermSettings RawSettings(const TermSettings& Current) {
    TermSettings t = Current;
    t.Iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                 IXOFF | IXANY | IMAXBEL | IUCLC);
    t.Oflag &= ~OPOST;
    t.Lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // HUPCL off: closing must not drop DTR under a printer that is still working.
    t.Cflag &= ~HUPCL;
    t.Cflag |= CLOCAL | CREAD;
    t.Cc[VMIN] = 0;
    t.Cc[VTIME] = 0;
    return t;
}

} // namespace platform
