#include "onair/get_cantivo_info.h"

#include "base/application_title.h"
#include "onair/memory_stream.h"
#include "onair/on_air_page.h"
#include "onair/page_download.h"
#include "wire_facts.h"

namespace cantivo {

std::string DefaultOnAirUrl() { return "http://" CANTIVO_STATION_HOST CANTIVO_ON_AIR_PATH; }

bool GetCantivoInfo(HWND owner, const std::string& url, const LocaleTexts& locale, NowPlayingRecord& nowPlaying) {
    if (!InternetConnected()) {
        // The text and the title are this way round on purpose: the box says the program's
        // name under the title "not connected.", as users have always seen it.
        ::MessageBoxA(owner, kApplicationTitle, "not connected.", MB_OK);
        return false;
    }
    MemoryStream stream;
    if (!GetHtmlSource(stream, url)) return false;
    OnAirScan scan = ScanOnAirPage(stream.Bytes(), nowPlaying, locale);
    if (scan.found) nowPlaying = std::move(scan.nowPlaying);
    return scan.found;
}

}  // namespace cantivo
