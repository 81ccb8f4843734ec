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

// Appends a value from 0 to 99 as two digits.
inline void AppendTwoDigits(std::string& text, int value) {
    text.push_back(static_cast<char>('0' + value / 10 % 10));
    text.push_back(static_cast<char>('0' + value % 10));
}

// Appends a separator unless it is the zero byte.
inline void AppendSeparator(std::string& text, char separator) {
    if (separator != '\0') text.push_back(separator);
}

}  // namespace cantivo
