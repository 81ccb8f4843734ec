#pragma once

#include <string>

namespace cantivo {

// The user's date and time texts. A separator the locale gives as empty text is the zero
// byte, and formatting then writes nothing in its place.
struct LocaleTexts {
    char dateSeparator = '/';
    char timeSeparator = ':';
    char decimalSeparator = '.';
    std::string morningWord = "am";
    std::string afternoonWord = "pm";
};

// Appends a separator unless it is the zero byte.
inline void AppendSeparator(std::string& text, char separator) {
    if (separator != '\0') text.push_back(separator);
}

}  // namespace cantivo
