#include "onair/time_of_day.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace cantivo {
namespace {

std::string ReadAndFormat(std::string_view text, const LocaleTexts& locale = {}) {
    return FormatHourMinute(ReadTimeOfDay(text, locale), locale);
}

struct ValidCase {
    const char* text;
    const char* formatted;
};

TEST(TimeOfDayTest, ValidTimes) {
    const ValidCase cases[] = {
        {"21:38", "21:38"},
        {"9:5", "09:05"},
        {" 9 : 05 ", "09:05"},
        {"21:38:45", "21:38"},
        {"21:38:45.120", "21:38"},
        {"21:38:59.999", "21:38"},
        {"9:05 PM", "21:05"},
        {"PM 9:05", "21:05"},
        {"9:05PM", "21:05"},
        {"pm9:05", "21:05"},
        {"12:30 AM", "00:30"},
        {"12:30 PM", "12:30"},
        {"11:59 am", "11:59"},
        {"Am 1:00", "01:00"},
        {"0:00", "00:00"},
        {"23:59", "23:59"},
        {"0009:0005", "09:05"},
        {"000000021:38", "21:38"},
        {" 21 : 38 : 45 . 120 ", "21:38"},
    };
    for (const ValidCase& c : cases) EXPECT_EQ(ReadAndFormat(c.text), c.formatted) << "'" << c.text << "'";
}

TEST(TimeOfDayTest, InvalidTimesNameTheText) {
    const char* cases[] = {
        "", " ", "21", "21:", "21:38:", "24:00", "13:00 PM", "0:10 AM", "21:38x", "21.38", "21:\t38", "\t21:38",
        "21:60", "21:38:60", "21:38:45.1000", "21:38:45.", "AM 9:05 PM", "9:05 PM AM", ":38", "21::38",
        // Digits are taken while the value is below 1000; a digit left over spoils the text.
        "12345:00", "21:38:45.12345", "1000:00",
        "２１:３８",
    };
    for (const char* text : cases) {
        try {
            ReadTimeOfDay(text, {});
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid time");
            EXPECT_EQ(e.PageBytes(), text);
        }
    }
}

TEST(TimeOfDayTest, LocaleSeparatorsAndWords) {
    LocaleTexts locale;
    locale.timeSeparator = '.';
    locale.decimalSeparator = ',';
    locale.morningWord = "\x8c\xdf\x91\x4f";    // 午前 in Shift-JIS
    locale.afternoonWord = "\x8c\xdf\x8c\xe3";  // 午後
    EXPECT_EQ(ReadAndFormat("21.38", locale), "21.38");
    EXPECT_EQ(ReadAndFormat("21.38.45,5", locale), "21.38");
    EXPECT_EQ(ReadAndFormat("\x8c\xdf\x8c\xe3 9.05", locale), "21.05");
    EXPECT_EQ(ReadAndFormat("9.05\x8c\xdf\x91\x4f", locale), "09.05");
    EXPECT_EQ(ReadAndFormat("9.05 PM", locale), "21.05");  // the English markers always count
    EXPECT_THROW(ReadTimeOfDay("21:38", locale), CantivoError);
}

TEST(TimeOfDayTest, EmptyLocaleWordNeverMatchesAndEmptySeparatorIsWrittenAsNothing) {
    LocaleTexts locale;
    locale.morningWord = "";
    EXPECT_EQ(ReadAndFormat("9:05 am", locale), "09:05");  // "AM" itself still matches
    locale.timeSeparator = '\0';
    EXPECT_THROW(ReadTimeOfDay("21:38", locale), CantivoError);
    EXPECT_EQ(FormatHourMinute({21, 38, 0, 0}, locale), "2138");
}

}  // namespace
}  // namespace cantivo
