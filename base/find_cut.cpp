#include "base/find_cut.h"

namespace cantivo {

long long Find(std::string_view needle, std::string_view s) noexcept {
    if (needle.empty() || s.empty() || needle.size() > s.size()) return 0;
    size_t at = s.find(needle);
    return at == std::string_view::npos ? 0 : static_cast<long long>(at) + 1;
}

std::string_view Cut(std::string_view s, long long start, long long count) noexcept {
    if (start < 1) start = 1;
    if (count <= 0 || start > static_cast<long long>(s.size())) return {};
    return s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

}  // namespace cantivo
