// Automatic status back (GS a): the printer sends four status bytes unasked whenever an item the
// host enabled changes, and once when it is enabled. The bytes as the TM-T88 sends them: the first
// carries bits 0, 1, 4 and 7 as 0, 0, 1, 0, which no other answer does, so a host can tell them.
#include "escpos/Printer.h"

#include "escpos/Format.h"

namespace escpos {

namespace {

// GS a n: which item each bit enables.
constexpr std::uint8_t AsbDrawer = 0x01, AsbOnline = 0x02, AsbErrors = 0x04, AsbPaper = 0x08;

std::string Hex(std::string_view Bytes) {
    std::string out;
    for (const char c : Bytes)
        out += Format(out.empty() ? "%02X" : " %02X", static_cast<unsigned char>(c));
    return out;
}

// The items of GS a n whose bytes differ between two readings.
std::uint8_t ChangedItems(const Sensors& A, const Sensors& B) {
    std::uint8_t items = 0;
    if (A.DrawerOpen != B.DrawerOpen)
        items |= AsbDrawer;
    if (A.Offline() != B.Offline() || A.CoverOpen != B.CoverOpen || A.Feeding() != B.Feeding())
        items |= AsbOnline;
    if (A.Roll != B.Roll)
        items |= AsbPaper;
    return items;
}

std::string ItemNames(std::uint8_t N) {
    const std::pair<std::uint8_t, const char*> names[] = {{AsbDrawer, "drawer pin 3"},
                                                          {AsbOnline, "online/offline"},
                                                          {AsbErrors, "errors"},
                                                          {AsbPaper, "paper sensors"}};
    std::string out;
    for (const auto& [bit, name] : names)
        if (N & bit)
            out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

} // namespace

std::string OfflineCauses(const Sensors& S) {
    std::string out;
    for (const receipt::StatusFactBits& row : receipt::StatusBitTable)
        if (row.OfflineCause && SensorsSay(S, row.Fact))
            out += (out.empty() ? "" : ", ") + std::string(row.OfflineCause);
    return out;
}

bool SensorsSay(const Sensors& S, receipt::StatusFact Fact) {
    using enum receipt::StatusFact;
    switch (Fact) {
    case Online:
        return !S.Offline();
    case CoverOpen:
        return S.CoverOpen;
    case FeedButtonPressed:
        return S.FeedHeld;
    case FeedingByButton:
        return S.Feeding();
    case DrawerPin3High:
        return !S.DrawerOpen; // pin 3 is high while the drawer is shut
    case StoppedByPaperEnd:
    case PaperEnd:
        return S.Roll == Sensors::Paper::End;
    case PaperNearEnd:
        return S.Roll != Sensors::Paper::Ok; // the near-end sensor sees an end too
    default:
        return false;
    }
}

std::string Printer::AutoStatus() const {
    std::string bytes;
    for (int n = 1; n <= 4; ++n)
        bytes += static_cast<char>(receipt::StatusByte(
            &receipt::StatusFactBits::Automatic, n, n == 1 ? receipt::AutomaticStatusMark : 0,
            [this](receipt::StatusFact F) { return SensorsSay(FSensors, F); }));
    return bytes;
}

void Printer::SetSensors(Sensors S) {
    const Sensors before = std::exchange(FSensors, S);
    if (ChangedItems(before, S) & FAsbItems)
        Reply(AutoStatus());
    if (before.Offline() && !S.Offline() && FHeldAsb >= 0) {
        // Back online, the printer carries out the GS a it held, after telling of the change.
        const std::string bytes{'\x1d', 'a', static_cast<char>(FHeldAsb)};
        FHeldAsb = -1;
        SetAutoStatusBack(Command{CommandId::AutoStatusBack, 0, bytes.size(), bytes});
    }
}

std::string Printer::SetAutoStatusBack(const Command& C) {
    FAsbItems = C.At(2) & (AsbDrawer | AsbOnline | AsbErrors | AsbPaper);
    if (!FAsbItems)
        return "automatic status back off";
    const std::string status = AutoStatus();
    Reply(status);
    return "automatic status back on for " + ItemNames(FAsbItems) + ": sent " + Hex(status);
}

} // namespace escpos
