#include "platform/Win32.h"

#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace {

// The fields glibc locales use that stand for several fields with fixed text between them.
std::string_view Composite(char Conversion) {
    switch (Conversion) {
    case 'D':
        return "%m/%d/%y";
    case 'F':
        return "%Y-%m-%d";
    case 'T':
        return "%H:%M:%S";
    case 'R':
        return "%H:%M";
    case 'r':
        return "%I:%M:%S %p";
    default:
        return {};
    }
}

// Walks Format counting fields, collecting the literal text after the first field into Between;
// true once the second field is reached.
bool Scan(std::string_view Format, int& Fields, std::string& Between) {
    constexpr std::string_view flags = "_-0^#";
    for (std::size_t i = 0; i < Format.size(); ++i) {
        if (Format[i] != '%') {
            if (Fields == 1)
                Between += Format[i];
            continue;
        }
        ++i;
        while (i < Format.size() && flags.find(Format[i]) != std::string_view::npos)
            ++i;
        while (i < Format.size() && Format[i] >= '0' && Format[i] <= '9')
            ++i;
        if (i < Format.size() && (Format[i] == 'E' || Format[i] == 'O'))
            ++i;
        if (i >= Format.size())
            break; // a lone '%' at the end is no field
        const char conversion = Format[i];
        const std::string_view literal = conversion == '%'   ? "%"
                                         : conversion == 'n' ? "\n"
                                         : conversion == 't' ? "\t"
                                                             : "";
        if (!literal.empty()) {
            if (Fields == 1)
                Between += literal;
        } else if (const auto inner = Composite(conversion); !inner.empty()) {
            if (Scan(inner, Fields, Between))
                return true;
        } else if (++Fields == 2) {
            return true;
        }
    }
    return false;
}

// The separator of the environment's LC_TIME locale, or Default when it names none.
std::string UserSeparator(nl_item Format, std::string_view Default) {
    const locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0))
        return std::string(Default); // an unknown locale configures nothing
    std::string separator = platform::FieldSeparator(nl_langinfo_l(Format, locale));
    freelocale(locale);
    return separator.empty() ? std::string(Default) : separator;
}

} // namespace

namespace platform {

std::string FieldSeparator(std::string_view Format) {
    int fields = 0;
    std::string between;
    return Scan(Format, fields, between) ? between : std::string{};
}

} // namespace platform

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tzset(); // localtime_r need not notice a changed TZ on its own
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr)
        gmtime_r(&now.tv_sec, &local);
    lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData) {
    if (Locale != LOCALE_USER_DEFAULT || cchData < 0 || (cchData > 0 && lpLCData == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (LCType != LOCALE_SDATE && LCType != LOCALE_STIME) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const std::string value =
        LCType == LOCALE_SDATE ? UserSeparator(D_FMT, "/") : UserSeparator(T_FMT, ":");
    const int needed = static_cast<int>(value.size()) + 1;
    if (cchData == 0)
        return needed;
    if (cchData < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpLCData, value.c_str(), value.size() + 1);
    return needed;
}
