// The probe's answers: one JSON object per line. Included by probe.cpp only.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "os/unicode.h"

namespace probe {

// Just enough JSON for flat answers: objects and arrays written in order, commas kept track of.
class Json {
public:
    Json& Open(const char* key = nullptr) { return Start(key, '{'); }
    Json& OpenArray(const char* key = nullptr) { return Start(key, '['); }
    Json& Close() {
        out_ += closers_.back();
        closers_.pop_back();
        first_ = false;
        return *this;
    }
    Json& Str(const char* key, const std::wstring& value) { return Str(key, cantivo::Utf8FromWide(value)); }
    Json& Str(const char* key, const std::string& value) {
        Key(key);
        Quote(value);
        return *this;
    }
    Json& Num(const char* key, long long value) {
        Key(key);
        out_ += std::to_string(value);
        return *this;
    }
    Json& Bool(const char* key, bool value) {
        Key(key);
        out_ += value ? "true" : "false";
        return *this;
    }
    Json& Null(const char* key) {
        Key(key);
        out_ += "null";
        return *this;
    }
    Json& Rect(const char* key, const RECT& rect) {
        OpenArray(key);
        for (LONG v : {rect.left, rect.top, rect.right, rect.bottom}) Num(nullptr, v);
        return Close();
    }
    const std::string& Text() const { return out_; }

private:
    Json& Start(const char* key, char opener) {
        Key(key);
        out_ += opener;
        closers_.push_back(opener == '{' ? '}' : ']');
        first_ = true;
        return *this;
    }
    void Key(const char* key) {
        if (!first_) out_ += ',';
        first_ = false;
        if (key) {
            Quote(key);
            out_ += ':';
        }
    }
    void Quote(const std::string& value) {
        out_ += '"';
        for (unsigned char c : value) {
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '\n': out_ += "\\n"; break;
                case '\r': out_ += "\\r"; break;
                case '\t': out_ += "\\t"; break;
                default:
                    if (c < 0x20) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                        out_ += escaped;
                    } else {
                        out_ += static_cast<char>(c);
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::string closers_;
    bool first_ = true;
};

}  // namespace probe
