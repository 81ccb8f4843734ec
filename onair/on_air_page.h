#pragma once

#include <string_view>

#include "base/locale_texts.h"
#include "base/now_playing.h"

namespace cantivo {

// The code page the on-air page is written in: Shift-JIS. The program keeps the page's bytes
// as they are; only the error box, which quotes them, decodes them with it.
inline constexpr unsigned kPageCodePage = 932;

// Where the on-air page keeps its information.
inline constexpr std::string_view kTimeMarker = "xxs2";
inline constexpr std::string_view kMainMarker = "xxs3";
inline constexpr long long kMarkerSkip = 6;  // the 4 marker bytes and 2 more
inline constexpr long long kTimeTail = 36;
inline constexpr long long kMainTail = 27;
inline constexpr long long kSubTail = 20;

struct OnAirScan {
    bool found = false;      // the page held the main marker
    NowPlayingRecord nowPlaying;   // what the page says; the previous record where it says nothing
};

// Cuts the on-air time, main text and sub text out of the page's lines. The time comes from
// the last line with the time marker up to the first line with the main marker; the main text
// from that line and the sub text from the page line after it. Fails with
// "'%s' is not a valid time" for a time that does not read, and with the list-index error when
// the main marker is on the last line.
OnAirScan ScanOnAirPage(std::string_view page, const NowPlayingRecord& previous, const LocaleTexts& locale);

}  // namespace cantivo
