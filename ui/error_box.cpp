#include "ui/error_box.h"

#include "base/error.h"
#include "os/unicode.h"

namespace cantivo {

std::wstring ErrorBoxText(const CantivoError& error, unsigned pageCodePage) {
    std::wstring text = WideFromUtf8(error.Before());
    text += WideFromCodePage(error.PageBytes(), pageCodePage);
    text += WideFromUtf8(error.After());
    if (WithFullStop(error.Message()).size() != error.Message().size()) text += L'.';
    return text;
}

}  // namespace cantivo
