// The whole page scan over arbitrary bytes: it returns, or raises one of its two errors, and
// the caller's record is never touched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/error.h"
#include "onair/on_air_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view page(reinterpret_cast<const char*>(data), size);
    const cantivo::NowPlayingRecord previous{"07:00", "main", "sub"};
    const cantivo::NowPlayingRecord kept = previous;
    try {
        cantivo::OnAirScan scan = cantivo::ScanOnAirPage(page, previous, {});
        if (!scan.found && !(scan.nowPlaying.MainText == previous.MainText && scan.nowPlaying.SubText == previous.SubText)) {
            std::abort();
        }
    } catch (const cantivo::CantivoError& e) {
        std::string_view message = e.Message();
        bool time = message.starts_with("'") && message.ends_with("' is not a valid time");
        bool index = message.starts_with("リストのインデックスが範囲を超えています (");
        if (!time && !index) std::abort();
    }
    if (!(previous == kept)) std::abort();
    return 0;
}
