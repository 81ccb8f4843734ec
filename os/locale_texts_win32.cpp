#include "os/locale_texts_win32.h"

#include <windows.h>

namespace cantivo {

namespace {

constexpr int kLocaleTextSize = 128;

// Returns false when the locale gives nothing, so the default stands.
bool ReadLocaleText(LCTYPE type, std::string& text) {
    char buffer[kLocaleTextSize] = {};
    int got = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
    if (got <= 0) return false;
    text.assign(buffer);
    return true;
}

// Only the first byte counts; an empty text makes the separator the zero byte.
void ReadSeparator(LCTYPE type, char& separator) {
    std::string text;
    if (ReadLocaleText(type, text)) separator = text.empty() ? '\0' : text[0];
}

}  // namespace

LocaleTexts ReadUserLocaleTexts() {
    LocaleTexts texts;
    ReadSeparator(LOCALE_SDATE, texts.dateSeparator);
    ReadSeparator(LOCALE_STIME, texts.timeSeparator);
    ReadSeparator(LOCALE_SDECIMAL, texts.decimalSeparator);
    ReadLocaleText(LOCALE_S1159, texts.morningWord);
    ReadLocaleText(LOCALE_S2359, texts.afternoonWord);
    return texts;
}

}  // namespace cantivo
