#pragma once

#include <string>
#include <string_view>

#include "base/locale_texts.h"

namespace cantivo {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Reads a time of day such as "21:38", " 9 : 05 ", "9:05 PM", "PM 9:05" or "21:38:45.120",
// with the locale's separators and morning and afternoon words. Anything else fails with
// "'%s' is not a valid time".
TimeOfDay ReadTimeOfDay(std::string_view text, const LocaleTexts& locale);

// Two-digit hours, the time separator, two-digit minutes; seconds are dropped, not rounded.
std::string FormatHourMinute(const TimeOfDay& time, const LocaleTexts& locale);

}  // namespace cantivo
