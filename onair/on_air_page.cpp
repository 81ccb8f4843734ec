#include "onair/on_air_page.h"

#include "base/error.h"
#include "base/find_cut.h"
#include "base/line_list.h"
#include "onair/time_of_day.h"

namespace cantivo {

// The page is read as the list that results from splitting it into lines, joining them with
// CR LF, doubling every CR into CR LF and splitting again: page line k becomes entry 2k, an
// empty entry follows it, and the page line after entry i is entry i + 2. The scan below walks
// the page's lines in place and keeps those entry numbers, which the list-index error shows.
// It finds the markers with one search over the whole page instead of one per line.

namespace {

struct Line {
    std::string_view text;
    size_t end = 0;  // where its line end begins
};

size_t LineStart(std::string_view text, size_t at) noexcept {
    while (at > 0 && text[at - 1] != '\r' && text[at - 1] != '\n') --at;
    return at;
}

// Byte by byte, so that finding one line costs only that line's length.
size_t LineEnd(std::string_view text, size_t at) noexcept {
    while (at < text.size() && text[at] != '\r' && text[at] != '\n') ++at;
    return at;
}

Line LineAround(std::string_view text, size_t at) noexcept {
    size_t start = LineStart(text, at);
    size_t end = LineEnd(text, at);
    return {text.substr(start, end - start), end};
}

long long LineLength(std::string_view line) noexcept { return static_cast<long long>(line.size()); }

std::string CutAfterMarker(std::string_view line, std::string_view marker, long long tail) {
    long long at = Find(marker, line);
    return std::string(Cut(line, at + kMarkerSkip, LineLength(line) - tail));
}

// The entry number of the page line that starts at lineStart.
long long EntryOfLine(std::string_view text, size_t lineStart) {
    long long lines = 0;
    ForEachLine(text.substr(0, lineStart), ZeroByte::IsText, [&lines](std::string_view) { ++lines; });
    return 2 * lines;
}

// Reads every time line that begins before limit, in page order; the last one wins.
void ReadTimeLines(std::string_view text, size_t limit, const LocaleTexts& locale, std::string& timeText) {
    size_t from = 0;
    for (;;) {
        size_t at = text.find(kTimeMarker, from);
        if (at == std::string_view::npos || LineStart(text, at) >= limit) return;
        Line line = LineAround(text, at);
        std::string_view cut = Cut(line.text, Find(kTimeMarker, line.text) + kMarkerSkip, LineLength(line.text) - kTimeTail);
        timeText = FormatHourMinute(ReadTimeOfDay(cut, locale), locale);
        from = line.end;
    }
}

}  // namespace

OnAirScan ScanOnAirPage(std::string_view page, const NowPlayingRecord& previous, const LocaleTexts& locale) {
    std::string_view text = page.substr(0, TextEnd(page, ZeroByte::EndsText));
    OnAirScan scan{false, previous};

    size_t mainAt = text.find(kMainMarker);
    size_t mainStart = mainAt == std::string_view::npos ? text.size() : LineStart(text, mainAt);
    // A line with both markers reads its time first, so the main line is included.
    ReadTimeLines(text, mainAt == std::string_view::npos ? text.size() : mainStart + 1, locale, scan.nowPlaying.TimeText);
    if (mainAt == std::string_view::npos) return scan;

    Line mainLine = LineAround(text, mainAt);
    scan.nowPlaying.MainText = CutAfterMarker(mainLine.text, kMainMarker, kMainTail);
    size_t nextStart = SkipLineBreak(text, mainLine.end);
    if (nextStart >= text.size()) throw ListIndexError(EntryOfLine(text, mainStart) + 2);
    std::string_view subLine = text.substr(nextStart, LineEnd(text, nextStart) - nextStart);
    scan.nowPlaying.SubText = std::string(Cut(subLine, 1, LineLength(subLine) - kSubTail));
    scan.found = true;
    return scan;
}

}  // namespace cantivo
