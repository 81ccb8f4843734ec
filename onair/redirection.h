#pragma once

#include <string_view>

namespace cantivo {

// Whether a redirection from the address from to the address to may be followed: not from
// https to anything else, which would send the request, and read the page, in the clear.
bool RedirectionAllowed(std::string_view from, std::string_view to);

}  // namespace cantivo
