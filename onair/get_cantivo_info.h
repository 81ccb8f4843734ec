#pragma once

#include <windows.h>

#include <string>

#include "base/locale_texts.h"
#include "base/now_playing.h"

namespace cantivo {

// The on-air page's fixed address on the station's host.
std::string DefaultOnAirUrl();

// Fetches the on-air page and takes the song from it. Offline, it shows the "not connected."
// box owned by owner and returns false. nowPlaying changes only when the page held the song:
// on false, or when an error unwinds, it is exactly as it was.
bool GetCantivoInfo(HWND owner, const std::string& url, const LocaleTexts& locale, NowPlayingRecord& nowPlaying);

}  // namespace cantivo
