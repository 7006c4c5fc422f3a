#include "escpos/Decoder.h"

#include "escpos/CommandTable.h"

#include <utility>

namespace escpos {

namespace {

// The longest command whose length can only be found by reading it (ESC & with 95 characters of
// 3 x 12 bytes each takes 3520); past this the command is given up.
constexpr std::size_t MeasureLimit = 4096;

} // namespace

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
    // A command's first byte: the table measures it, a single byte or the start of a longer one.
    const char first = static_cast<char>(B);
    if (IsIntroducer(B) || FindCommand(std::string_view(&first, 1))) {
        Mode_ = Mode::Measuring;
        return Measure();
    }
    Emit(B < 0x20 || B == 0x7F ? CommandId::Control : CommandId::Char);
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

} // namespace escpos
