// Setting a line list's text and reading it back: get-text of set-text is stable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/line_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (cantivo::ZeroByte zero : {cantivo::ZeroByte::EndsText, cantivo::ZeroByte::IsText}) {
        cantivo::LineList list;
        list.SetText(bytes, zero);
        std::string text = list.GetText();
        cantivo::LineList again;
        again.SetText(text, zero);
        if (again.Lines() != list.Lines() || again.GetText() != text) std::abort();
        for (const std::string& line : list.Lines()) {
            if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        }
    }
    return 0;
}
