#include "balloon/balloon_colors.h"

#include <gtest/gtest.h>

namespace cantivo {
namespace {

constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kNearWhite = MakeColor(254, 255, 255);
constexpr Color kYellow = MakeColor(255, 255, 0);
constexpr Color kCyan = MakeColor(0, 255, 255);

TEST(BalloonColorsTest, NeverTheColorKeyAndTheThemesOwnInHighContrast) {
    struct Case {
        const char* theme;
        bool highContrast;
        SystemColors system;
        BalloonColors expected;
    };
    const Case cases[] = {
        {"the default theme", false, {kColorKeyWhite, kBlack, MakeColor(0, 120, 215)},
         {kBalloonFill, kOutlineColor, kBlack, kButtonHotFill}},
        {"a dark theme's white text, high contrast off", false, {kBlack, kColorKeyWhite, kCyan},
         {kBalloonFill, kOutlineColor, kNearWhite, kButtonHotFill}},
        {"a dark high-contrast theme", true, {kBlack, kColorKeyWhite, kCyan}, {kBlack, kNearWhite, kNearWhite, kCyan}},
        {"a dark one with yellow text", true, {kBlack, kYellow, kCyan}, {kBlack, kYellow, kYellow, kCyan}},
        {"a light high-contrast theme", true, {kColorKeyWhite, kBlack, MakeColor(55, 0, 110)},
         {kNearWhite, kBlack, kBlack, MakeColor(55, 0, 110)}},
        {"a white highlight", true, {kBlack, kYellow, kColorKeyWhite}, {kBlack, kYellow, kYellow, kNearWhite}},
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseBalloonColors(c.highContrast, c.system), c.expected) << c.theme;
}

TEST(BalloonColorsTest, OnlyTheColorKeyItselfIsMoved) {
    EXPECT_EQ(OffTheColorKey(kColorKeyWhite), kNearWhite);
    for (Color color : {kBlack, kNearWhite, MakeColor(255, 254, 255), MakeColor(255, 255, 254), kBalloonFill}) {
        EXPECT_EQ(OffTheColorKey(color), color);
    }
    static_assert(kColorKeyWhite == 0xFFFFFF && kOutlineColor == 0xFF6531);
}

}  // namespace
}  // namespace cantivo
