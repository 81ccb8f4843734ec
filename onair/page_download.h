#pragma once

#include <string>

#include "onair/memory_stream.h"

namespace cantivo {

inline constexpr char kUserAgent[] = "Cantivo/0.1";
inline constexpr unsigned long kReadBufferSize = 1025;

// True when the system reports a network connection, whatever its kind.
bool InternetConnected();

// Downloads the whole body of url into stream and leaves the stream's position at 0. True
// when the whole body arrived, whatever the HTTP status; false when the internet or URL handle
// cannot be had (the stream untouched), or when a read fails or the body ends before the
// length the server announced (the stream then holds the part that came, to be thrown away).
// A server that stops sending is given up after 30 s.
bool GetHtmlSource(MemoryStream& stream, const std::string& url);

}  // namespace cantivo
