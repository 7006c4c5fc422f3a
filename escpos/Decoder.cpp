#include "escpos/Decoder.h"

#include <array>
#include <cstdio>

namespace escpos {

namespace {

constexpr std::uint8_t DLE = 0x10, ESC = 0x1B, FS = 0x1C, GS = 0x1D;

// The longest command whose length can only be found by reading it (ESC & with 95 characters of
// 3 x 12 bytes each takes 3520); past this the command is given up.
constexpr std::size_t MeasureLimit = 4096;

std::uint8_t Byte(std::string_view S, std::size_t I) {
    return static_cast<std::uint8_t>(S[I]);
}

Measurement More() {
    return {};
}
Measurement Fixed(std::size_t Length, CommandId Id) {
    return {Measurement::Total, Length, Id};
}
Measurement Nul(std::size_t Limit, CommandId Id) {
    return {Measurement::UntilNul, Limit, Id};
}

// "x pL pH ...": a two-byte length after Header bytes.
Measurement LengthPrefixed(std::string_view P, std::size_t Header) {
    if (P.size() < Header + 2)
        return More();
    return Fixed(Header + 2 + Byte(P, Header) + 256u * Byte(P, Header + 1), CommandId::Skipped);
}

// ESC & y c1 c2, then for each code from c1 to c2 a width x and y * x bytes.
Measurement UserCharacters(std::string_view P) {
    if (P.size() < 5)
        return More();
    const unsigned y = Byte(P, 2), c1 = Byte(P, 3), c2 = Byte(P, 4);
    if (c2 < c1)
        return Fixed(5, CommandId::Unknown);
    std::size_t at = 5;
    for (unsigned code = c1; code <= c2; ++code) {
        if (P.size() <= at)
            return More();
        at += 1 + std::size_t(y) * Byte(P, at);
    }
    return Fixed(at, CommandId::Skipped);
}

Measurement MeasureEsc(std::string_view P) {
    using enum CommandId;
    switch (Byte(P, 1)) {
    case '@':
        return Fixed(2, Initialise);
    case '!':
        return Fixed(3, PrintMode);
    case 'E':
        return Fixed(3, Emphasis);
    case 'G':
        return Fixed(3, DoubleStrike);
    case '-':
        return Fixed(3, Underline);
    case 'a':
        return Fixed(3, Justify);
    case '2':
        return Fixed(2, DefaultSpacing);
    case '3':
        return Fixed(3, LineSpacing);
    case 't':
        return Fixed(3, CodePage);
    case 'R':
        return Fixed(3, CharacterSet);
    case 'p':
        return Fixed(5, DrawerPulse);
    case 'd':
        return Fixed(3, FeedLines);
    case 'J':
        return Fixed(3, FeedDots);
    case 'M':
        return Fixed(3, Font);
    case ' ':
        return Fixed(3, RightSpacing);
    case '{':
        return Fixed(3, UpsideDown);
    case 'V':
        return Fixed(3, Rotate);
    case '$':
        return Fixed(4, AbsolutePosition);
    case 'i':
    case 'm':
        return Fixed(2, OldCut);
    case 'L':
    case 'S':
    case 'v':
        return Fixed(2, Skipped);
    case '%':
    case '=':
    case '?':
    case 'T':
    case 'U':
    case 'r':
    case 'u':
    case 'e':
    case 'K':
        return Fixed(3, Skipped);
    case '\\':
        return Fixed(4, RelativePosition);
    case 'c':
        return Fixed(4, Skipped);
    case 'W':
        return Fixed(10, Skipped);
    case 'D':
        return Nul(2 + 32 + 1, Skipped);
    case '&':
        return UserCharacters(P);
    case '(':
        return LengthPrefixed(P, 3);
    case '*': {
        if (P.size() < 3)
            return More();
        const std::uint8_t m = Byte(P, 2);
        if (m != 0 && m != 1 && m != 32 && m != 33)
            return Fixed(3, Unknown);
        if (P.size() < 5)
            return More();
        const std::size_t n = Byte(P, 3) + 256u * Byte(P, 4);
        return Fixed(5 + (m < 32 ? n : 3 * n), Skipped);
    }
    default:
        return Fixed(2, Unknown);
    }
}

Measurement MeasureGs(std::string_view P) {
    using enum CommandId;
    switch (Byte(P, 1)) {
    case '!':
        return Fixed(3, CharacterSize);
    case 'B':
        return Fixed(3, Reverse);
    case 'r':
        return Fixed(3, StatusRequest);
    case 'I':
        return Fixed(3, PrinterId);
    case 'L':
        return Fixed(4, LeftMargin);
    case 'W':
        return Fixed(4, PrintWidth);
    case 'V': {
        if (P.size() < 3)
            return More();
        switch (Byte(P, 2)) {
        case 0:
        case 1:
        case '0':
        case '1':
            return Fixed(3, Cut);
        case 65:
        case 66:
        case 97:
        case 98:
        case 103:
        case 104:
            return Fixed(4, Cut);
        default:
            return Fixed(3, Unknown);
        }
    }
    case ':':
        return Fixed(2, Skipped);
    case 'H':
    case 'h':
    case 'w':
    case 'f':
    case 'a':
    case 'b':
    case '/':
    case 'E':
        return Fixed(3, Skipped);
    case 'P':
    case '$':
    case '\\':
        return Fixed(4, Skipped);
    case '^':
        return Fixed(5, Skipped);
    case 'k': {
        if (P.size() < 3)
            return More();
        const std::uint8_t m = Byte(P, 2);
        if (m <= 6)
            return Nul(3 + 255 + 1, Skipped);
        if (m >= 65 && m <= 79) {
            if (P.size() < 4)
                return More();
            return Fixed(4 + Byte(P, 3), Skipped);
        }
        return Fixed(3, Unknown);
    }
    case '*': {
        if (P.size() < 4)
            return More();
        return Fixed(4 + std::size_t(Byte(P, 2)) * Byte(P, 3) * 8, Skipped);
    }
    case 'v': {
        if (P.size() < 3)
            return More();
        if (Byte(P, 2) != '0')
            return Fixed(3, Unknown);
        if (P.size() < 8)
            return More();
        const std::size_t x = Byte(P, 4) + 256u * Byte(P, 5);
        const std::size_t y = Byte(P, 6) + 256u * Byte(P, 7);
        return Fixed(8 + x * y, Skipped);
    }
    case '(':
        return LengthPrefixed(P, 3);
    case '8': {
        if (P.size() < 3)
            return More();
        if (Byte(P, 2) != 'L')
            return Fixed(3, Unknown);
        if (P.size() < 7)
            return More();
        const std::size_t n = Byte(P, 3) | std::size_t(Byte(P, 4)) << 8 |
                              std::size_t(Byte(P, 5)) << 16 | std::size_t(Byte(P, 6)) << 24;
        return Fixed(7 + n, Skipped);
    }
    default:
        return Fixed(2, Unknown);
    }
}

Measurement MeasureFs(std::string_view P) {
    using enum CommandId;
    switch (Byte(P, 1)) {
    case '&':
        return Fixed(2, DoubleByteOn);
    case '.':
        return Fixed(2, DoubleByteOff);
    case '!':
        return Fixed(3, DoubleByteMode);
    case '-':
    case 'W':
    case 'C':
        return Fixed(3, Skipped);
    case 'S':
    case '?':
    case 'p':
        return Fixed(4, Skipped);
    case '2':
        return Fixed(4 + 72, Skipped);
    case '(':
        return LengthPrefixed(P, 3);
    default:
        return Fixed(2, Unknown);
    }
}

Measurement MeasureDle(std::string_view P) {
    using enum CommandId;
    switch (Byte(P, 1)) {
    case 0x04: // EOT
        if (P.size() < 3)
            return More();
        switch (Byte(P, 2)) {
        case 1:
        case 2:
        case 3:
        case 4:
            return Fixed(3, RealTimeStatus);
        case 7:
        case 8:
            return Fixed(4, RealTimeStatus);
        default:
            return Fixed(3, Unknown);
        }
    case 0x05:
        return Fixed(3, RealTimeRequest); // ENQ
    case 0x14:                            // DC4
        if (P.size() < 3)
            return More();
        switch (Byte(P, 2)) {
        case 1:
        case 2:
        case 7:
            return Fixed(5, RealTimePulse);
        case 8:
            return Fixed(10, RealTimePulse);
        default:
            return Fixed(3, Unknown);
        }
    default:
        // A lone DLE is not a command: the byte after it is read afresh.
        return Fixed(1, Unknown);
    }
}

} // namespace

Measurement MeasureCommand(std::string_view Prefix) {
    if (Prefix.size() < 2)
        return More();
    switch (Byte(Prefix, 0)) {
    case ESC:
        return MeasureEsc(Prefix);
    case GS:
        return MeasureGs(Prefix);
    case FS:
        return MeasureFs(Prefix);
    case DLE:
        return MeasureDle(Prefix);
    default:
        return Fixed(1, CommandId::Unknown);
    }
}

Decoder::Decoder(Sink Out) : Out_(std::move(Out)) {}

void Decoder::Feed(std::string_view Bytes) {
    for (const char c : Bytes)
        Feed(static_cast<std::uint8_t>(c));
}

void Decoder::Feed(std::uint8_t B) {
    const std::size_t at = Offset_++;
    switch (Mode_) {
    case Mode::Idle:
        Pending_.Offset = at;
        Pending_.Bytes.assign(1, static_cast<char>(B));
        Pending_.Length = 1;
        Start(B);
        return;
    case Mode::Measuring:
        Pending_.Bytes.push_back(static_cast<char>(B));
        Pending_.Length++;
        Measure();
        return;
    case Mode::Counting:
        if (Pending_.Bytes.size() < Command::KeptBytes)
            Pending_.Bytes.push_back(static_cast<char>(B));
        if (++Pending_.Length == Total_)
            Emit(PendingId_);
        return;
    case Mode::UntilNul:
        Pending_.Bytes.push_back(static_cast<char>(B));
        Pending_.Length++;
        if (B == 0)
            Emit(PendingId_);
        else if (Pending_.Length >= NulLimit_)
            Emit(CommandId::Unknown); // no terminator where one must be: not a command we know
        return;
    }
}

void Decoder::Start(std::uint8_t B) {
    using enum CommandId;
    switch (B) {
    case 0x0A:
        return Emit(LineFeed);
    case 0x0D:
        return Emit(CarriageRet);
    case 0x09:
        return Emit(Tab);
    case 0x0C:
        return Emit(FormFeed);
    case 0x18:
        return Emit(Cancel);
    case DLE:
    case ESC:
    case FS:
    case GS:
        Mode_ = Mode::Measuring;
        return;
    default:
        return Emit(B < 0x20 || B == 0x7F ? Control : Char);
    }
}

void Decoder::Measure() {
    const Measurement m = MeasureCommand(Pending_.Bytes);
    switch (m.What) {
    case Measurement::More:
        if (Pending_.Length >= MeasureLimit)
            Emit(CommandId::Unknown);
        return;
    case Measurement::Total:
        PendingId_ = m.Id;
        if (Pending_.Length >= m.Length) {
            // A lone DLE (length 1) gives back the byte read past it.
            if (Pending_.Length > m.Length) {
                const std::uint8_t next = static_cast<std::uint8_t>(Pending_.Bytes.back());
                Pending_.Bytes.resize(m.Length);
                Pending_.Length = m.Length;
                Emit(m.Id);
                Pending_.Offset = Offset_ - 1;
                Pending_.Bytes.assign(1, static_cast<char>(next));
                Pending_.Length = 1;
                Start(next);
                return;
            }
            return Emit(m.Id);
        }
        Total_ = m.Length;
        Mode_ = Mode::Counting;
        return;
    case Measurement::UntilNul:
        PendingId_ = m.Id;
        NulLimit_ = m.Length;
        Mode_ = Mode::UntilNul;
        return;
    }
}

void Decoder::Emit(CommandId Id) {
    Pending_.Id = Id;
    Mode_ = Mode::Idle;
    Out_(Pending_);
}

void Decoder::Finish() {
    if (Mode_ == Mode::Idle)
        return;
    Emit(CommandId::Incomplete);
}

std::string CommandName(const Command& C) {
    static constexpr std::array<const char*, 32> controls = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
        "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (C.Id == CommandId::Char)
        return "text";
    const std::uint8_t first = C.At(0);
    if (first == 0x7F)
        return "DEL";
    if (first >= 0x20)
        return "text";
    std::string name = controls[first];
    if (C.Bytes.size() < 2 || (first != ESC && first != GS && first != FS && first != DLE))
        return name;
    const std::uint8_t second = C.At(1);
    name += ' ';
    if (second > 0x20 && second < 0x7F)
        name += static_cast<char>(second);
    else if (second < 0x20)
        name += controls[second];
    else if (second == 0x20)
        name += "SP";
    else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X", second);
        name += hex;
    }
    // Length-prefixed families are named by their function letter too: "GS ( k".
    if (second == '(' && C.Bytes.size() >= 3 && C.At(2) > 0x20 && C.At(2) < 0x7F)
        name += std::string(" ") + static_cast<char>(C.At(2));
    return name;
}

std::string HexBytes(const Command& C) {
    std::string out;
    char hex[4];
    for (std::size_t i = 0; i < C.Bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", C.At(i));
        out += hex;
    }
    if (C.Bytes.size() < C.Length)
        out += " ...";
    return out;
}

} // namespace escpos
