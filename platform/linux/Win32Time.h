// Local date and time, and the user's regional date and time separators.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Base.h"

#include <string>
#include <string_view>

// A date and time as GetLocalTime gives it.
struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 is Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using SYSTEMTIME = _SYSTEMTIME;
using LPSYSTEMTIME = _SYSTEMTIME*;

// The locale queries that are answered here: the user's date and time separators.
using LCID = DWORD;
using LCTYPE = DWORD;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCTYPE LOCALE_SDATE = 0x001D;
inline constexpr LCTYPE LOCALE_STIME = 0x001E;

// Error numbers of GetLocaleInfoA.
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_FLAGS = 1004;

// The local date and time now, to the millisecond.
TILLMARK_PLATFORM_API void GetLocalTime(LPSYSTEMTIME lpSystemTime);

// Only LOCALE_USER_DEFAULT with LOCALE_SDATE or LOCALE_STIME is answered, from the LC_TIME
// locale of the environment; a locale that names no separator gives "/" and ":".
TILLMARK_PLATFORM_API int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);

namespace platform {

// The literal text between the first two fields of a strftime format ("%d.%m.%Y" gives "."),
// with the composite fields (%D, %F, %T, %R, %r) spelled out first; empty when the format holds
// fewer than two fields or nothing between them.
TILLMARK_PLATFORM_API std::string FieldSeparator(std::string_view Format);

} // namespace platform
