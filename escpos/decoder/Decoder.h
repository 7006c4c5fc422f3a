// The ESC/POS byte stream cut into commands. The decoder is resumable: it may be fed one byte at
// a time or in chunks split anywhere, and hands out the same commands either way.
#pragma once

#include "escpos/decoder/Command.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace escpos {

class Decoder {
public:
    using Sink = std::function<void(const Command&)>;

    explicit Decoder(Sink Out);

    void Feed(std::string_view Bytes);
    void Feed(std::uint8_t Byte);

    // The stream ended: a command still waiting for bytes is handed out as Incomplete.
    void Finish();

    // How many bytes were fed so far.
    std::size_t Offset() const { return FOffset; }

private:
    enum class Mode { Idle, Measuring, Counting, UntilNul };

    void Start(std::uint8_t Byte);
    void Emit(CommandId Id);
    void Measure();

    Sink FOut;
    std::size_t FOffset = 0;
    Mode FMode = Mode::Idle;
    Command FPending;
    std::size_t FTotal = 0;    // the command's length, once known (Counting)
    std::size_t FNulLimit = 0; // UntilNul: most bytes before the command is given up
    CommandId FPendingId = CommandId::Unknown;
};

} // namespace escpos
