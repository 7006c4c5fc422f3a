#include "receipt/DateStamp.h"

namespace receipt {

namespace {

void AppendNumber(std::string& Out, unsigned Value, std::size_t Width) {
    std::string digits = std::to_string(Value);
    if (digits.size() < Width)
        Out.append(Width - digits.size(), '0');
    Out += digits;
}

void AppendSeparator(std::string& Out, char Separator) {
    if (Separator != '\0')
        Out += Separator;
}

// A two-byte buffer holds one byte and its terminator, so a longer setting fails the call and
// the default stays.
char ReadSeparator(LCTYPE Type, char Default) {
    char buffer[2] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, buffer, sizeof buffer) == 0)
        return Default;
    return buffer[0];
}

} // namespace

std::string FormatDateStamp(const SYSTEMTIME& Time, DateSeparators Separators) {
    const unsigned hour12 = Time.wHour % 12 == 0 ? 12 : Time.wHour % 12;
    std::string line;
    line.reserve(20);
    AppendNumber(line, Time.wYear, 4);
    AppendSeparator(line, Separators.Date);
    AppendNumber(line, Time.wMonth, 2);
    AppendSeparator(line, Separators.Date);
    AppendNumber(line, Time.wDay, 2);
    line += "  ";
    AppendNumber(line, hour12, 2);
    AppendSeparator(line, Separators.Time);
    AppendNumber(line, Time.wMinute, 2);
    line += Time.wHour < 12 ? " AM" : " PM";
    return line;
}

DateSeparators RegionalSeparators() {
    const DateSeparators defaults;
    return {ReadSeparator(LOCALE_SDATE, defaults.Date), ReadSeparator(LOCALE_STIME, defaults.Time)};
}

std::string LocalDateStamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return FormatDateStamp(now, RegionalSeparators());
}

} // namespace receipt
