#include "base/line_list.h"

#include <cstring>

#include "base/error.h"

namespace cantivo {

size_t TextEnd(std::string_view bytes, ZeroByte zero) noexcept {
    if (zero == ZeroByte::IsText || bytes.empty()) return bytes.size();
    const void* nul = std::memchr(bytes.data(), 0, bytes.size());
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes.data()) : bytes.size();
}

size_t LineEndFinder::Find(char c, size_t from) const noexcept {
    const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
}

size_t LineEndFinder::Next(size_t from) noexcept {
    if (!started_ || (nextCr_ < from && nextCr_ < text_.size())) nextCr_ = Find('\r', from);
    if (!started_ || (nextLf_ < from && nextLf_ < text_.size())) nextLf_ = Find('\n', from);
    started_ = true;
    return nextCr_ < nextLf_ ? nextCr_ : nextLf_;
}

// One CR, then one LF, at most: so CR LF is a single line end.
size_t SkipLineBreak(std::string_view text, size_t at) noexcept {
    if (at < text.size() && text[at] == '\r') ++at;
    if (at < text.size() && text[at] == '\n') ++at;
    return at;
}

void LineList::SetText(std::string_view bytes, ZeroByte zero) {
    lines_.clear();
    ForEachLine(bytes, zero, [this](std::string_view line) { lines_.emplace_back(line); });
}

std::string LineList::GetText() const {
    size_t size = 0;
    for (const std::string& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines_) text.append(line).append("\r\n");
    return text;
}

const std::string& LineList::Get(long long index) const {
    if (index < 0 || index >= static_cast<long long>(lines_.size())) throw ListIndexError(index);
    return lines_[static_cast<size_t>(index)];
}

}  // namespace cantivo
