#pragma once

#include <string>

namespace cantivo {

// What the station is playing, as cut from its on-air page: byte strings kept exactly as
// they stood in the page.
struct NowPlayingRecord {
    std::string TimeText;  // the on-air time as "hh:nn"
    std::string MainText;
    std::string SubText;

    bool operator==(const NowPlayingRecord&) const = default;
};

}  // namespace cantivo
