#include "os/unicode.h"

#include <climits>

namespace cantivo {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendWide(std::wstring& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<wchar_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    }
}

// How many bytes the sequence a byte begins has; 0 for a byte that begins none.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;  // a continuation byte, or the lead of an overlong form
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
}

// The code point that the sequence at text[at] encodes, and its length in bytes; a byte that
// begins no well-formed sequence is the replacement character, one byte long.
char32_t DecodeAt(std::string_view text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = SequenceLength(lead);
    if (length == 0 || at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF) {  // an overlong form, or past Unicode
        ++at;
        return kReplacement;
    }
    at += length;
    return c;
}

}  // namespace

std::wstring WideFromCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    int length = static_cast<int>(bytes.size());
    int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    if (needed > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), needed);
    return wide;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (size_t at = 0; at < text.size();) AppendWide(wide, DecodeAt(text, at));
    return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string utf8;
    utf8.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
        }
        AppendUtf8(utf8, c);
    }
    return utf8;
}

}  // namespace cantivo
