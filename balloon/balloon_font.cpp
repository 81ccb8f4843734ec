#include "balloon/balloon_font.h"

#include <cwchar>
#include <string>

#include "ui/display_scale.h"

namespace cantivo {

namespace {

constexpr wchar_t kBalloonFace[] = L"ＭＳ Ｐゴシック";
constexpr int kFontPixels = 12;

struct FaceSearch {
    bool wantedFound = false;
    std::wstring proportional;
};

// Called by GDI: nothing may be thrown from here.
int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) noexcept {
    auto* search = reinterpret_cast<FaceSearch*>(data);
    const wchar_t* face = font->lfFaceName;
    if (std::wcscmp(face, kBalloonFace) == 0) search->wantedFound = true;
    // Faces starting with '@' are the vertical-writing variants.
    bool proportional = (font->lfPitchAndFamily & 0x3) == VARIABLE_PITCH;
    if (proportional && face[0] != L'\0' && face[0] != L'@' && search->proportional.empty()) {
        try {
            search->proportional = face;
        } catch (...) {
            return 0;
        }
    }
    return 1;
}

std::wstring ChooseFace(HDC screen) {
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    FaceSearch search;
    ::EnumFontFamiliesExW(screen, &wanted, &NoteFace, reinterpret_cast<LPARAM>(&search), 0);
    if (search.wantedFound || search.proportional.empty()) return kBalloonFace;
    return search.proportional;
}

}  // namespace

GdiObject<HFONT> CreateBalloonFont(int dpi) {
    WindowDc screen(nullptr);
    std::wstring face = screen.Get() ? ChooseFace(screen.Get()) : kBalloonFace;
    int height = -::MulDiv(kFontPixels, dpi, kDesignDpi);
    return GdiObject<HFONT>(::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                          DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

}  // namespace cantivo
