#pragma once

#include <cstddef>
#include <string>

#include "onair/memory_stream.h"

namespace cantivo {

inline constexpr char kUserAgent[] = "Cantivo/0.1";
inline constexpr unsigned long kReadBufferSize = 1025;
// The largest page a Get takes. On-air pages are tens of kilobytes; anything near this is not
// one, and whoever sends it (the station or anyone on the way) must not fill the memory.
inline constexpr size_t kMaxPageBytes = size_t{4} * 1024 * 1024;
// The longest one Get may take, from its start to the page's last byte, in milliseconds.
inline constexpr unsigned long kGetTimeLimitMs = 60000;

// True when the system reports a network connection, whatever its kind.
bool InternetConnected();

// Downloads the whole body of url into stream and leaves the stream's position at 0. True
// when the whole body arrived, whatever the HTTP status; false, the stream untouched, when
// WinInet, the internet or URL handle cannot be had, a read fails, the body ends before the
// length the server announced, the body outgrows kMaxPageBytes, or the whole takes longer than
// timeLimitMs. A server that stops sending is given up after 30 s. A redirection from https to
// plain http is not followed: the download fails.
bool GetHtmlSource(MemoryStream& stream, const std::string& url, unsigned long timeLimitMs = kGetTimeLimitMs);

}  // namespace cantivo
