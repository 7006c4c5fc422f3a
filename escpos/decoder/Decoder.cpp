#include "escpos/decoder/Decoder.h"

#include "escpos/decoder/CommandTable.h"

#include <string>
#include <utility>

namespace escpos {

namespace {

// The longest command whose length can only be found by reading it (ESC & with 95 characters of
// 3 x 12 bytes each takes 3520); past this the command is given up.
constexpr std::size_t MeasureLimit = 4096;

} // namespace

Decoder::Decoder(Sink Out) : FOut(std::move(Out)) {}

void Decoder::Feed(std::string_view Bytes) {
    for (const char c : Bytes)
        Feed(static_cast<std::uint8_t>(c));
}

void Decoder::Feed(std::uint8_t B) {
    const std::size_t at = FOffset++;
    switch (FMode) {
    case Mode::Idle:
        FPending.Offset = at;
        FPending.Bytes.assign(1, static_cast<char>(B));
        FPending.Length = 1;
        Start(B);
        return;
    case Mode::Measuring:
        FPending.Bytes.push_back(static_cast<char>(B));
        FPending.Length++;
        Measure();
        return;
    case Mode::Counting:
        FPending.Bytes.push_back(static_cast<char>(B));
        if (++FPending.Length == FTotal)
            Emit(FPendingId);
        return;
    case Mode::UntilNul:
        FPending.Bytes.push_back(static_cast<char>(B));
        FPending.Length++;
        if (B == 0)
            Emit(FPendingId);
        else if (FPending.Length >= FNulLimit)
            Emit(CommandId::Unknown); // no terminator where one must be: not a command we know
        return;
    }
}

void Decoder::Start(std::uint8_t B) {
    // A control byte starts a command, which the table measures, undefined ones too.
    if (B < 0x20 || B == 0x7F) {
        FMode = Mode::Measuring;
        return Measure();
    }
    Emit(CommandId::Char);
}

void Decoder::Measure() {
    const Measurement m = MeasureCommand(FPending.Bytes);
    switch (m.What) {
    case Measurement::More:
        if (FPending.Length >= MeasureLimit)
            Emit(CommandId::Unknown);
        return;
    case Measurement::Total:
        FPendingId = m.Id;
        if (FPending.Length >= m.Length) {
            // A command that ends before the bytes read (a lone DLE, bar code data cut short by
            // a byte it cannot take) gives them back, to be read afresh.
            if (FPending.Length > m.Length) {
                const std::string rest = FPending.Bytes.substr(m.Length);
                FPending.Bytes.resize(m.Length);
                FPending.Length = m.Length;
                Emit(m.Id);
                FOffset -= rest.size();
                Feed(rest);
                return;
            }
            return Emit(m.Id);
        }
        FTotal = m.Length;
        FMode = Mode::Counting;
        return;
    case Measurement::UntilNul:
        FPendingId = m.Id;
        FNulLimit = m.Length;
        FMode = Mode::UntilNul;
        return;
    }
}

void Decoder::Emit(CommandId Id) {
    FPending.Id = Id;
    FMode = Mode::Idle;
    FOut(FPending);
}

void Decoder::Finish() {
    if (FMode == Mode::Idle)
        return;
    Emit(CommandId::Incomplete);
}

} // namespace escpos
