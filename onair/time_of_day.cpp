#include "onair/time_of_day.h"

#include <optional>

#include "base/error.h"

namespace cantivo {

namespace {

constexpr int kNumberLimit = 1000;  // digits are taken while the value is below this

enum class DayHalf { None, Morning, Afternoon };

char FoldCase(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

// A cursor over the text being read; any step that does not fit the grammar reports failure
// through an empty optional or false.
class TimeReader {
public:
    TimeReader(std::string_view text, const LocaleTexts& locale) : text_(text), locale_(locale) {}

    std::optional<TimeOfDay> Read() {
        DayHalf half = ReadDayHalf();
        auto hour = ReadNumber();
        if (!hour || !ReadSeparator(locale_.timeSeparator)) return std::nullopt;
        auto minute = ReadNumber();
        if (!minute) return std::nullopt;
        TimeOfDay time{*hour, *minute, 0, 0};
        if (ReadSeparator(locale_.timeSeparator)) {
            auto second = ReadNumber();
            if (!second) return std::nullopt;
            time.second = *second;
            if (ReadSeparator(locale_.decimalSeparator)) {
                auto millisecond = ReadNumber();
                if (!millisecond) return std::nullopt;
                time.millisecond = *millisecond;
            }
        }
        if (half == DayHalf::None) half = ReadDayHalf();
        SkipSpaces();
        if (pos_ != text_.size()) return std::nullopt;
        if (!ApplyDayHalf(half, time.hour)) return std::nullopt;
        if (time.hour > 23 || time.minute > 59 || time.second > 59 || time.millisecond > 999) return std::nullopt;
        return time;
    }

private:
    void SkipSpaces() noexcept {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }

    bool TryWord(std::string_view word) noexcept {
        if (word.empty() || text_.size() - pos_ < word.size()) return false;
        if (!EqualIgnoringCase(text_.substr(pos_, word.size()), word)) return false;
        pos_ += word.size();
        return true;
    }

    DayHalf ReadDayHalf() noexcept {
        SkipSpaces();
        if (TryWord(locale_.morningWord) || TryWord("AM")) return DayHalf::Morning;
        if (TryWord(locale_.afternoonWord) || TryWord("PM")) return DayHalf::Afternoon;
        return DayHalf::None;
    }

    bool ReadSeparator(char separator) noexcept {
        SkipSpaces();
        if (pos_ < text_.size() && text_[pos_] == separator) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::optional<int> ReadNumber() noexcept {
        SkipSpaces();
        size_t start = pos_;
        int value = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && value < kNumberLimit) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        if (pos_ == start || (pos_ < text_.size() && IsDigit(text_[pos_]))) return std::nullopt;
        return value;
    }

    static bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

    // With a morning or afternoon word the hours run 1 to 12, and 12 is the first hour.
    static bool ApplyDayHalf(DayHalf half, int& hour) noexcept {
        if (half == DayHalf::None) return true;
        if (hour < 1 || hour > 12) return false;
        if (hour == 12) hour = 0;
        if (half == DayHalf::Afternoon) hour += 12;
        return true;
    }

    std::string_view text_;
    const LocaleTexts& locale_;
    size_t pos_ = 0;
};

}  // namespace

TimeOfDay ReadTimeOfDay(std::string_view text, const LocaleTexts& locale) {
    auto time = TimeReader(text, locale).Read();
    if (!time) throw InvalidTimeError(text);
    return *time;
}

std::string FormatHourMinute(const TimeOfDay& time, const LocaleTexts& locale) {
    std::string text;
    AppendTwoDigits(text, time.hour);
    AppendSeparator(text, locale.timeSeparator);
    AppendTwoDigits(text, time.minute);
    return text;
}

}  // namespace cantivo
