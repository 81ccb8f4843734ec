#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cantivo {

// What a zero byte means when a block of bytes is split into lines.
enum class ZeroByte {
    EndsText,  // the first zero byte and everything after it are ignored
    IsText,    // a zero byte is an ordinary byte of its line
};

// An ordered list of byte strings, set from and read back as CR LF-separated text.
class LineList {
public:
    // CR LF, a lone CR and a lone LF each end a line; LF CR and CR CR leave an empty line
    // between them; a line end at the very end adds no empty line.
    void SetText(std::string_view bytes, ZeroByte zero = ZeroByte::EndsText);
    // Every line followed by CR LF, the last one too.
    std::string GetText() const;

    int Count() const noexcept { return static_cast<int>(lines_.size()); }
    bool Empty() const noexcept { return lines_.empty(); }
    // Fails with the list-index error outside 0 .. Count() - 1.
    const std::string& Get(long long index) const;
    void Append(std::string_view line) { lines_.emplace_back(line); }
    void Clear() noexcept { lines_.clear(); }

    const std::vector<std::string>& Lines() const noexcept { return lines_; }

private:
    std::vector<std::string> lines_;
};

size_t TextEnd(std::string_view bytes, ZeroByte zero) noexcept;
size_t SkipLineBreak(std::string_view text, size_t at) noexcept;

// Finds line ends from left to right. The next CR and the next LF are each remembered
// until passed, so a text of lone CRs or lone LFs is still scanned once, not once per line.
class LineEndFinder {
public:
    explicit LineEndFinder(std::string_view text) noexcept : text_(text) {}
    // The position of the next CR or LF at or after from (from never decreasing), or the
    // text's size.
    size_t Next(size_t from) noexcept;

private:
    size_t Find(char c, size_t from) const noexcept;

    std::string_view text_;
    size_t nextCr_ = 0;
    size_t nextLf_ = 0;
    bool started_ = false;
};

// Calls onLine for each line of bytes by the LineList rules, without copying, and returns
// the size of the text the lines came from.
template <typename OnLine>
size_t ForEachLine(std::string_view bytes, ZeroByte zero, OnLine onLine) {
    std::string_view text = bytes.substr(0, TextEnd(bytes, zero));
    LineEndFinder ends(text);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = ends.Next(pos);
        onLine(text.substr(pos, end - pos));
        pos = SkipLineBreak(text, end);
    }
    return text.size();
}

}  // namespace cantivo
