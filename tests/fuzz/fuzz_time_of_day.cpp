// The time reading: a time it accepts is in range and formats as "hh:nn".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "onair/time_of_day.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    cantivo::LocaleTexts locale;
    locale.morningWord = "\x8c\xdf\x91\x4f";
    locale.afternoonWord = "\x8c\xdf\x8c\xe3";
    try {
        cantivo::TimeOfDay time = cantivo::ReadTimeOfDay(text, locale);
        if (time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
            time.second > 59 || time.millisecond < 0 || time.millisecond > 999) {
            std::abort();
        }
        std::string formatted = cantivo::FormatHourMinute(time, locale);
        if (formatted.size() != 5 || formatted[2] != ':') std::abort();
        if (cantivo::FormatHourMinute(cantivo::ReadTimeOfDay(formatted, locale), locale) != formatted) std::abort();
    } catch (const cantivo::CantivoError& e) {
        if (e.PageBytes() != text) std::abort();
    }
    return 0;
}
