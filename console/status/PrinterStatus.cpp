#include "console/status/PrinterStatus.h"

#include <chrono>
#include <cstdio>

namespace console {

namespace {

// Longest GS I text taken, header and NUL included; a longer one is garbage.
constexpr std::size_t MaxTextAnswer = 82;

struct TIdentityQuestion {
    int Number;
    const char* Name;
};
constexpr TIdentityQuestion IdentityTexts[] = {
    {65, "firmware"}, {66, "maker"}, {67, "model"}, {68, "serial_number"}, {69, "fonts"}};

std::string Hex(std::string_view Bytes) {
    std::string out;
    for (const char c : Bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%s%02X", out.empty() ? "" : " ",
                      static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

std::string Question(char A, char B, int N) {
    return {A, B, static_cast<char>(N)};
}

std::string Name(const std::string& Q) {
    return (Q[0] == 0x10 ? "DLE EOT " : "GS I ") + std::to_string(static_cast<unsigned char>(Q[2]));
}

// Sends Q and collects its answer: one byte, or with Text "_", the text and NUL. Whatever else
// comes with it is reported.
class TAsker {
public:
    TAsker(TPrinterLine& Line, int TimeoutMs, std::vector<std::string>& Problems)
        : FLine(Line), FTimeoutMs(TimeoutMs), FProblems(Problems) {}

    std::optional<std::uint8_t> Byte(const std::string& Q) {
        const std::string got = Collect(Q, [](const std::string& B) { return !B.empty(); });
        if (got.empty()) {
            FProblems.push_back("no answer to " + Name(Q));
            return std::nullopt;
        }
        Extra(Q, got.substr(1));
        return static_cast<std::uint8_t>(got[0]);
    }

    // nullopt when nothing came; the problem is then the caller's to name.
    std::optional<std::string> Text(const std::string& Q, bool& Silent) {
        const std::string got = Collect(Q, [](const std::string& B) {
            return B.find('\0') != std::string::npos || B.size() >= MaxTextAnswer;
        });
        Silent = got.empty();
        if (Silent)
            return std::nullopt;
        const auto nul = got.find('\0');
        if (got[0] != '_' || (nul == std::string::npos && got.size() >= MaxTextAnswer)) {
            FProblems.push_back("garbage in answer to " + Name(Q) + ": " + Hex(got));
            return std::nullopt;
        }
        if (nul == std::string::npos) {
            FProblems.push_back("partial answer to " + Name(Q) + ": " + Hex(got));
            return std::nullopt;
        }
        const std::string text = got.substr(1, nul - 1);
        // C0, DEL and C1 controls alike: a terminal would act on them.
        for (const char c : text)
            if (const auto b = static_cast<unsigned char>(c);
                b < 0x20 || (b >= 0x7F && b <= 0x9F)) {
                FProblems.push_back("garbage in answer to " + Name(Q) + ": " + Hex(got));
                return std::nullopt;
            }
        Extra(Q, got.substr(nul + 1));
        return text;
    }

private:
    template <typename Done>
    std::string Collect(const std::string& Q, Done Complete) {
        using Clock = std::chrono::steady_clock;
        if (FLine.Lost().empty())
            FLine.Send(Q);
        const auto deadline = Clock::now() + std::chrono::milliseconds(FTimeoutMs);
        std::string got;
        while (!Complete(got) && FLine.Lost().empty()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            const std::string more = FLine.Receive(static_cast<int>(left.count()));
            if (more.empty())
                break;
            got += more;
        }
        if (const std::string lost = FLine.Lost(); !lost.empty() && !FLossReported) {
            FLossReported = true;
            FProblems.push_back(lost + " before the " + (got.empty() ? "" : "whole ") +
                                "answer to " + Name(Q));
        }
        return got;
    }

    void Extra(const std::string& Q, std::string_view Rest) {
        if (!Rest.empty())
            FProblems.push_back("unexpected bytes after the answer to " + Name(Q) + ": " +
                                Hex(Rest));
    }

    TPrinterLine& FLine;
    int FTimeoutMs;
    std::vector<std::string>& FProblems;
    bool FLossReported = false;
};

} // namespace

bool IsStatusByte(std::uint8_t Byte) {
    return (Byte & receipt::StatusMarkMask) == receipt::RealTimeStatusMark;
}

std::optional<bool> TStatusFacts::*FactField(receipt::StatusFact Fact) {
    // In the order of receipt::StatusFact.
    static constexpr std::optional<bool> TStatusFacts::*Fields[receipt::StatusFactCount] = {
        &TStatusFacts::Online,
        &TStatusFacts::CoverOpen,
        &TStatusFacts::FeedButtonPressed,
        &TStatusFacts::FeedingByButton,
        &TStatusFacts::DrawerPin3High,
        &TStatusFacts::StoppedByPaperEnd,
        &TStatusFacts::ErrorOccurred,
        &TStatusFacts::RecoverableError,
        &TStatusFacts::CutterError,
        &TStatusFacts::UnrecoverableError,
        &TStatusFacts::AutoRecoverableError,
        &TStatusFacts::PaperNearEnd,
        &TStatusFacts::PaperEnd};
    return Fields[static_cast<std::size_t>(Fact)];
}

void ReadStatusByte(receipt::StatusBit receipt::StatusFactBits::*Answer, int N, std::uint8_t Byte,
                    TStatusFacts& Facts) {
    for (const receipt::StatusFactBits& row : receipt::StatusBitTable)
        if (const receipt::StatusBit& bit = row.*Answer; bit.Byte == N)
            Facts.*FactField(row.Fact) = ((Byte & bit.Mask) != 0) != row.SetWhenNot;
}

TStatusFacts TPrinterStatus::Facts() const {
    TStatusFacts f;
    for (int n = 1; n <= 4; ++n) {
        const auto& b = Bytes[static_cast<std::size_t>(n - 1)];
        if (!b || !IsStatusByte(*b))
            continue;
        // The paper sensors report both bits of a pair or neither.
        bool whole = true;
        for (const receipt::StatusFactBits& row : receipt::StatusBitTable)
            if (const auto mask = row.RealTime.Mask; row.RealTime.Byte == n)
                whole = whole && ((*b & mask) == 0 || (*b & mask) == mask);
        if (whole)
            ReadStatusByte(&receipt::StatusFactBits::RealTime, n, *b, f);
    }
    return f;
}

std::optional<TPrinterType> TPrinterStatus::Type() const {
    if (!TypeId)
        return std::nullopt;
    return TPrinterType{(*TypeId & receipt::TypeTwoByteCharacters) != 0,
                        (*TypeId & receipt::TypeAutocutter) != 0};
}

TPrinterStatus AskStatus(TPrinterLine& Line, int TimeoutMs) {
    TPrinterStatus status;
    TAsker ask(Line, TimeoutMs, status.Problems);
    for (int n = 1; n <= 4; ++n) {
        const auto b = ask.Byte(Question(0x10, 0x04, n));
        if (b && !IsStatusByte(*b))
            status.Problems.push_back(
                "DLE EOT " + std::to_string(n) +
                " answered a byte no printer sends: " + Hex(std::string(1, static_cast<char>(*b))));
        status.Bytes[static_cast<std::size_t>(n - 1)] = b;
        if (n == 1 && !b)
            return status;
    }
    // An offline printer holds GS I in its buffer with everything else that is not real-time.
    if (status.Facts().Online != true)
        return status;
    status.ModelId = ask.Byte(Question(0x1D, 0x49, 1));
    status.TypeId = ask.Byte(Question(0x1D, 0x49, 2));
    status.RomVersion = ask.Byte(Question(0x1D, 0x49, 3));
    for (const TIdentityQuestion& q : IdentityTexts) {
        bool silent = false;
        if (const auto text = ask.Text(Question(0x1D, 0x49, q.Number), silent))
            status.Texts.push_back({q.Number, q.Name, *text});
        if (silent)
            break; // an older model knows none of the texts: one time-out, not five
    }
    return status;
}

} // namespace console
