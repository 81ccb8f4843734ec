#pragma once

#include <windows.h>

namespace cantivo {

// The pointer's screen position. Fails with "System Error.  Code: %d." and the system's text
// for the code, or with "A call to an OS function failed" when the system gives no code.
POINT PointerScreenPosition();

}  // namespace cantivo
