#include "platform/unicode.h"

#include <climits>

namespace cantivo {

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    int length = static_cast<int>(bytes.size());
    int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    if (needed > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), needed);
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int length = static_cast<int>(text.size());
    int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(needed), '\0');
    if (needed > 0) ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), needed, nullptr, nullptr);
    return utf8;
}

}  // namespace cantivo
