#pragma once

#include <cstdint>

namespace cantivo {

// A colour as Windows holds it (COLORREF): red in the lowest byte, then green, then blue.
using Color = std::uint32_t;

constexpr Color MakeColor(int red, int green, int blue) noexcept {
    return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}

// White is the window's background and its see-through colour key; every outline and line is
// blue; the body is light cyan, and the close button orange under the pointer.
inline constexpr Color kColorKeyWhite = MakeColor(255, 255, 255);
inline constexpr Color kOutlineColor = MakeColor(49, 101, 255);
inline constexpr Color kBalloonFill = MakeColor(206, 255, 255);
inline constexpr Color kButtonHotFill = MakeColor(255, 207, 156);

// The colours of the system's theme that the balloon may take.
struct SystemColors {
    Color window = 0;      // a window's background
    Color windowText = 0;  // a window's text
    Color highlight = 0;   // a selected item's background
};

struct BalloonColors {
    Color fill = 0;
    Color outline = 0;
    Color text = 0;
    Color buttonHot = 0;
    bool operator==(const BalloonColors&) const = default;
};

// The colour itself, or, when it is the colour key, the colour one step of red below it: a
// pixel of that colour would show what lies behind the balloon. Moved on one channel, the same
// for every colour, a glyph's edge blended from text and fill keeps that channel below the
// key's too.
Color OffTheColorKey(Color color) noexcept;

// The balloon's own colours with the theme's window text, or, while a high-contrast theme is
// on, the theme's own: the fill in the window colour, text and outline in the window-text
// colour, the lit close button in the highlight colour. None of them is ever the colour key.
BalloonColors ChooseBalloonColors(bool highContrast, const SystemColors& system) noexcept;

}  // namespace cantivo
