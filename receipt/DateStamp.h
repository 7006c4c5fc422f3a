// The date and time line printed on every receipt: "yyyy/mm/dd  hh:nn AM/PM".
#pragma once

#include "platform/Win32.h"

#include <string>

namespace receipt {

// The user's regional separators; '\0' means the setting is empty and nothing is written.
struct DateSeparators {
    char Date = '/';
    char Time = ':';
};

// The line for a valid local time (as GetLocalTime gives it): zero-padded fields, the hour on
// the 12-hour clock with AM below 12:00 and PM from then on.
std::string FormatDateStamp(const SYSTEMTIME& Time, DateSeparators Separators = {});

// The separators of the user's regional settings; each one the setting does not give as a single
// byte stays at its default.
DateSeparators RegionalSeparators();

// The line for now, in local time with the regional separators.
std::string LocalDateStamp();

} // namespace receipt
