#pragma once

#include <string_view>

#include "base/line_list.h"

namespace cantivo {

// Splits a log line into its fields, comma-delimited with the double quote as the quote
// character; a blank is any byte from 0x01 to 0x20. Examples: a,b gives a | b; a b gives
// a | b; a,,b gives a | (empty) | b; a, gives a | (empty); "a,""b" gives one field a,"b;
// "ab"cd,e gives ab | cd | e; an empty line gives no fields.
void SplitFields(std::string_view line, LineList& fields);

}  // namespace cantivo
