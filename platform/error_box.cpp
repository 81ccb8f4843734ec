#include "platform/error_box.h"

#include "platform/unicode.h"
#include "text/error.h"

namespace cantivo {

std::wstring ErrorBoxText(const CantivoError& error, unsigned pageCodePage) {
    std::wstring text = WideFromUtf8(error.Before());
    text += WideFromCodePage(error.PageBytes(), pageCodePage);
    text += WideFromUtf8(error.After());
    if (WithFullStop(error.Message()).size() != error.Message().size()) text += L'.';
    return text;
}

}  // namespace cantivo
