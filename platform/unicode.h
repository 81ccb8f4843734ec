#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace cantivo {

// The code page the on-air page is written in: Shift-JIS.
inline constexpr UINT kPageCodePage = 932;

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage);
inline std::wstring WideFromUtf8(std::string_view text) { return WideFromCodePage(text, CP_UTF8); }
std::string Utf8FromWide(std::wstring_view text);

}  // namespace cantivo
