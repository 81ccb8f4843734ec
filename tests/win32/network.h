#pragma once

#include <cstdlib>
#include <string>

// The runner tells the tests which network they are in: "online" (the loopback station is the
// proxy), "direct" (no proxy) or "offline" (no route at all). Which tests run in which network
// is chosen by their names, in CMakeLists.txt.
inline std::string TestNetwork() {
    const char* network = std::getenv("CANTIVO_NETWORK");
    return network ? network : "";
}

// Addresses on the loopback station; the host name is never looked up, the proxy answers.
inline std::string StationUrl(const std::string& path) { return "http://station.test" + path; }
