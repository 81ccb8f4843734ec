#pragma once

#include <windows.h>

#include <string>

#include "balloon/balloon_colors.h"
#include "balloon/balloon_geometry.h"
#include "base/now_playing.h"
#include "ui/canvas.h"
#include "ui/gdi.h"

namespace cantivo {

// The balloon as a view of the song on air: it measures the texts, lays the balloon out above
// the work area's bottom-right corner, paints it on a canvas and tells where its close button
// is. It owns the layout, the close button's lit state and the font; the window it shows in
// is the shell's.
class BalloonView {
public:
    BalloonView();
    BalloonView(const BalloonView&) = delete;
    BalloonView& operator=(const BalloonView&) = delete;

    HFONT Font() const noexcept { return font_.Get(); }
    // The font made for the resolution of the monitor the balloon shows on, the work area's;
    // true when it is a new one, which the window then takes.
    bool FollowMonitorScale();
    // The font made for dpi, as the balloon has moved to a monitor of that scale; true when
    // it is a new one.
    bool SetDpi(int dpi);
    // The theme's colours, read anew (at start, and when the theme changes).
    void ReadColors() noexcept;
    // The outline's pen, the body's brush and the text's colour, set on the canvas the view
    // paints on whenever the colours have been read.
    void PrepareCanvas(Canvas& canvas) const noexcept;

    // Lays the balloon out for the song's texts, measured in the canvas's font.
    void Measure(Canvas& canvas, const NowPlayingRecord& song);
    // The window's place and size: the client area, above the work area's corner.
    RECT WindowBounds() const noexcept;

    void PaintBackground(Canvas& canvas) const;
    // The close button, lit or plain; the body's brush is the canvas's again afterwards.
    void PaintButton(Canvas& canvas, bool lit) const;
    void PaintTexts(Canvas& canvas, const NowPlayingRecord& song) const;
    // What a screen reader reads of the balloon: its three texts, from the page's code page.
    static std::wstring SpokenText(const NowPlayingRecord& song, unsigned codePage);

    bool InCloseButton(POINT client) const noexcept { return geometry_.InCloseButton(client.x, client.y); }
    bool ButtonHot() const noexcept { return buttonHot_; }
    void SetButtonHot(bool hot) noexcept { buttonHot_ = hot; }

private:
    int dpi_ = 0;
    GdiObject<HFONT> font_;
    // The font replaced last, kept until the next change: the window may have it selected until
    // it has taken the new one.
    GdiObject<HFONT> replacedFont_;
    BalloonColors colors_;  // read as the view is made
    BalloonGeometry geometry_;
    bool buttonHot_ = false;
};

}  // namespace cantivo
