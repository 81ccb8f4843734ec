#pragma once

#include <string>

#include "onair/memory_stream.h"

namespace cantivo {

inline constexpr char kUserAgent[] = "Cantivo/0.1";
inline constexpr unsigned long kReadBufferSize = 1025;

// True when the system reports a network connection, whatever its kind.
bool InternetConnected();

// Downloads the whole body of url into stream and leaves the stream's position at 0. True
// when the URL could be opened, whatever the HTTP status; false, with the stream untouched,
// when the internet or URL handle cannot be had.
bool GetHtmlSource(MemoryStream& stream, const std::string& url);

}  // namespace cantivo
