// How this Wine draws a text: the pixels the balloon's glyphs are held against. Included by
// probe.cpp only.
#pragma once

#include <windows.h>

#include <string>

#include "json.h"
#include "ui/gdi.h"

namespace probe {

// How this Wine draws a text in a font, to hold a screenshot of the program's text against.
inline void TextInk(Json& json, const std::wstring& face, int em, const std::wstring& text) {
    cantivo::WindowDc screen(nullptr);
    cantivo::MemoryDc dc(::CreateCompatibleDC(screen.Get()));
    cantivo::GdiObject<HFONT> font(::CreateFontW(-em, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                 DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    cantivo::SelectedObject selectedFont(dc.Get(), font.Get());
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    cantivo::GdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(screen.Get(), size.cx, size.cy));
    cantivo::SelectedObject selectedBitmap(dc.Get(), bitmap.Get());
    ::SetTextColor(dc.Get(), RGB(0, 0, 0));
    ::SetBkColor(dc.Get(), RGB(255, 255, 255));
    ::SetBkMode(dc.Get(), OPAQUE);
    ::TextOutW(dc.Get(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    json.Bool("ok", true).Num("width", size.cx).Num("height", size.cy).OpenArray("rows");
    for (int y = 0; y < size.cy; ++y) {
        std::string row;
        for (int x = 0; x < size.cx; ++x) {
            COLORREF c = ::GetPixel(dc.Get(), x, y);
            row += GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128 ? '#' : '.';
        }
        json.Str(nullptr, row);
    }
    json.Close();
}

}  // namespace probe
