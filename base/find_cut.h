#pragma once

#include <string_view>

namespace cantivo {

// The 1-based byte position of the first occurrence of needle in s, or 0. Case-sensitive;
// an empty needle or s, or a needle longer than s, gives 0.
long long Find(std::string_view needle, std::string_view s) noexcept;

// At most count bytes of s from the 1-based position start. A start below 1 counts as 1
// without shortening the count; a start past the end or a count of 0 or less gives "".
std::string_view Cut(std::string_view s, long long start, long long count) noexcept;

}  // namespace cantivo
