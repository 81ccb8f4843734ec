#pragma once

#include "base/locale_texts.h"

namespace cantivo {

// The user's default locale's separators and morning and afternoon words, in the ANSI code
// page; what the locale does not give keeps its default.
LocaleTexts ReadUserLocaleTexts();

}  // namespace cantivo
