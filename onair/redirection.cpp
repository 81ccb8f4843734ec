#include "onair/redirection.h"

namespace cantivo {

namespace {

// The scheme's letters compare without regard to case: "HTTPS://" is https too.
bool IsHttps(std::string_view url) {
    constexpr std::string_view kScheme = "https:";
    if (url.size() < kScheme.size()) return false;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        char c = url[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kScheme[i]) return false;
    }
    return true;
}

}  // namespace

bool RedirectionAllowed(std::string_view from, std::string_view to) { return !IsHttps(from) || IsHttps(to); }

}  // namespace cantivo
