#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace cantivo {

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage);

// UTF-8 and back, losing nothing of a Windows name: a surrogate without its pair, which a
// file or folder name may hold, is written as the three bytes UTF-8 would give its code point
// (as WTF-8 does) and read back as itself. Bytes that begin no well-formed sequence read as
// U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace cantivo
