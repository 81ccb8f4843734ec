// The field-splitting rule over any line, and the record round trip: a record written for
// texts without line breaks reads back as the same three fields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "songlog/field_split.h"
#include "songlog/song_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    cantivo::LineList fields;
    cantivo::SplitFields(bytes, fields);
    if (bytes.find_first_not_of(std::string_view("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                                                 "\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20",
                                                 32)) == std::string_view::npos &&
        fields.Count() != 0) {
        std::abort();
    }
    size_t half = size / 2;
    std::string main(bytes.substr(0, half));
    std::string sub(bytes.substr(half));
    if (main.find_first_of("\r\n") != std::string::npos || sub.find_first_of("\r\n") != std::string::npos) return 0;
    std::string record = cantivo::MakeLogRecord({"21:38", main, sub}, {}, {2026, 12, 9, 0, 0, 0, 0});
    cantivo::SplitFields(record, fields);
    if (fields.Count() != 3 || fields.Get(0) != "12/09 21:38" || fields.Get(1) != main || fields.Get(2) != sub) std::abort();
    return 0;
}
