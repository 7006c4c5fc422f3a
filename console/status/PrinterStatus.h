// Asking a printer how it is: the real-time status (DLE EOT 1 to 4) and, while it is online, who
// it is (GS I). The questions run over any two-way line; the answers are checked, never guessed
// at: a byte no printer sends is kept raw and reported.
#pragma once

#include "receipt/StatusBits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace console {

// A two-way line to a printer.
class TPrinterLine {
public:
    virtual ~TPrinterLine() = default;
    virtual void Send(std::string_view Bytes) = 0;
    // Waits up to TimeoutMs for bytes and gives what came; empty when nothing did.
    virtual std::string Receive(int TimeoutMs) = 0;
    // Why the line is gone ("the connection was reset"); empty while it stands. Once gone, a
    // send goes nowhere and a receive gives nothing at once.
    virtual std::string Lost() const { return {}; }
};

// Whether a byte can be a real-time status answer: bits 1 and 4 set, bits 0 and 7 clear.
bool IsStatusByte(std::uint8_t Byte);

// What the four status bytes say; a fact is unknown when its byte is missing or no status byte.
struct TStatusFacts {
    std::optional<bool> Online;
    std::optional<bool> DrawerPin3High;
    std::optional<bool> FeedButtonPressed; // the button is held (status 1)
    std::optional<bool> CoverOpen;
    std::optional<bool> FeedingByButton; // paper is being fed by the button (status 2)
    std::optional<bool> StoppedByPaperEnd;
    std::optional<bool> ErrorOccurred;
    std::optional<bool> RecoverableError;
    std::optional<bool> CutterError;
    std::optional<bool> UnrecoverableError;
    std::optional<bool> AutoRecoverableError;
    std::optional<bool> PaperNearEnd;
    std::optional<bool> PaperEnd;
};

// The field that holds Fact.
std::optional<bool> TStatusFacts::*FactField(receipt::StatusFact Fact);
// Takes the facts byte N (1 to 4) of an answer tells, its bits where Answer says.
void ReadStatusByte(receipt::StatusBit receipt::StatusFactBits::*Answer, int N, std::uint8_t Byte,
                    TStatusFacts& Facts);

// What the type ID (GS I 2) says of the printer.
struct TPrinterType {
    bool TwoByteCharacters = false;
    bool Autocutter = false;
};

// One GS I text (65 to 69) the printer gave.
struct TIdentityText {
    int Number = 0;
    std::string Name; // "firmware", "maker", "model", "serial_number", "fonts"
    std::string Text;
};

struct TPrinterStatus {
    // DLE EOT 1 to 4 as answered, valid or not; nullopt when no answer came.
    std::array<std::optional<std::uint8_t>, 4> Bytes;
    std::optional<std::uint8_t> ModelId, TypeId, RomVersion; // GS I 1, 2, 3
    std::vector<TIdentityText> Texts;
    // Answers that were garbage, partial or missing, in words.
    std::vector<std::string> Problems;

    bool Answered() const { return Bytes[0].has_value(); }
    TStatusFacts Facts() const;
    std::optional<TPrinterType> Type() const; // nullopt without a type ID
};

// Asks the status and, when the printer says it is online, its identity. A question waits up to
// TimeoutMs for its whole answer. A printer that does not answer DLE EOT 1 is asked nothing more;
// one that has no answer to the first GS I text is not asked the others (older models have none).
// A line lost on the way keeps the answers that came; the loss and the rest are problems.
TPrinterStatus AskStatus(TPrinterLine& Line, int TimeoutMs);

} // namespace console
