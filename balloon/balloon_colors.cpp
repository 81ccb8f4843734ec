#include "balloon/balloon_colors.h"

namespace cantivo {

Color OffTheColorKey(Color color) noexcept { return color == kColorKeyWhite ? MakeColor(254, 255, 255) : color; }

BalloonColors ChooseBalloonColors(bool highContrast, const SystemColors& system) noexcept {
    BalloonColors colors = highContrast ? BalloonColors{system.window, system.windowText, system.windowText, system.highlight}
                                        : BalloonColors{kBalloonFill, kOutlineColor, system.windowText, kButtonHotFill};
    return {OffTheColorKey(colors.fill), OffTheColorKey(colors.outline), OffTheColorKey(colors.text),
            OffTheColorKey(colors.buttonHot)};
}

}  // namespace cantivo
