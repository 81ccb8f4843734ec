#include <windows.h>

#include <gtest/gtest.h>

#include "balloon/balloon_font.h"
#include "balloon/balloon_view.h"
#include "ui/display_scale.h"
#include "ui/gdi.h"

namespace cantivo {
namespace {

TEST(BalloonScaleTest, TheFontIsTwelvePixelsAtOneHundredPercentAndScaledWithTheMonitor) {
    struct Case {
        int dpi;
        LONG height;
    };
    // 100 %, 125 %, 150 %, 175 %, 200 %, 225 %, 300 %: MulDiv rounds half away from zero.
    const Case cases[] = {{96, -12}, {120, -15}, {144, -18}, {168, -21}, {192, -24}, {216, -27}, {288, -36}};
    for (const Case& c : cases) {
        GdiObject<HFONT> font = CreateBalloonFont(c.dpi);
        ASSERT_TRUE(font) << c.dpi;
        LOGFONTW made{};
        ASSERT_NE(::GetObjectW(font.Get(), sizeof made, &made), 0) << c.dpi;
        EXPECT_EQ(made.lfHeight, c.height) << c.dpi;
        EXPECT_EQ(made.lfCharSet, SHIFTJIS_CHARSET) << c.dpi;
    }
}

TEST(BalloonScaleTest, TheViewMakesItsFontForTheWorkAreasMonitorOnceForEachScale) {
    // One monitor here: its scale is the screen's.
    WindowDc screen(nullptr);
    const int screenDpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(MonitorDpiAt(POINT{work.right - 1, work.bottom - 1}), screenDpi);

    BalloonView view;
    const HFONT first = view.Font();
    EXPECT_FALSE(view.FollowMonitorScale());
    EXPECT_FALSE(view.SetDpi(screenDpi));
    EXPECT_EQ(view.Font(), first);
    // Dragged onto a monitor of another scale, and back.
    EXPECT_TRUE(view.SetDpi(screenDpi * 2));
    EXPECT_NE(view.Font(), first);
    EXPECT_TRUE(view.FollowMonitorScale());
    LOGFONTW made{};
    ASSERT_NE(::GetObjectW(view.Font(), sizeof made, &made), 0);
    EXPECT_EQ(made.lfHeight, -::MulDiv(12, screenDpi, 96));
}

}  // namespace
}  // namespace cantivo
