#include "songlog/field_split.h"

#include <string>

namespace cantivo {

namespace {

constexpr char kQuote = '"';
constexpr char kDelimiter = ',';

bool IsBlank(char c) noexcept {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

class FieldReader {
public:
    explicit FieldReader(std::string_view line) : line_(line) {}

    void ReadInto(LineList& fields) {
        SkipBlanks();
        while (pos_ < line_.size()) {
            fields.Append(line_[pos_] == kQuote ? QuotedField() : PlainField());
            SkipBlanks();
            if (pos_ < line_.size() && line_[pos_] == kDelimiter) {
                if (pos_ == line_.size() - 1) fields.Append("");
                ++pos_;
                SkipBlanks();
            }
        }
    }

private:
    void SkipBlanks() noexcept {
        while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
    }

    // Up to the next quote that is not doubled, or to the end of the line when none comes.
    std::string QuotedField() {
        std::string value;
        ++pos_;
        while (pos_ < line_.size()) {
            char c = line_[pos_++];
            if (c != kQuote) {
                value.push_back(c);
            } else if (pos_ < line_.size() && line_[pos_] == kQuote) {
                value.push_back(kQuote);
                ++pos_;
            } else {
                break;
            }
        }
        return value;
    }

    std::string_view PlainField() noexcept {
        size_t start = pos_;
        while (pos_ < line_.size() && line_[pos_] != kDelimiter && !IsBlank(line_[pos_])) ++pos_;
        return line_.substr(start, pos_ - start);
    }

    std::string_view line_;
    size_t pos_ = 0;
};

}  // namespace

void SplitFields(std::string_view line, LineList& fields) {
    fields.Clear();
    FieldReader(line).ReadInto(fields);
}

}  // namespace cantivo
