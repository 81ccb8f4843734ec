#include "balloon/balloon_geometry.h"

namespace cantivo {

namespace {

constexpr int kMinimumTextWidth = 50;

}  // namespace

BalloonGeometry BalloonGeometry::Measure(int mainWidth, int mainHeight, int subWidth, int subHeight) noexcept {
    BalloonGeometry geometry = mainWidth > subWidth ? BalloonGeometry{mainWidth, mainHeight} : BalloonGeometry{subWidth, subHeight};
    if (geometry.W < kMinimumTextWidth) geometry.W = kMinimumTextWidth;
    return geometry;
}

BalloonGeometry BalloonGeometry::FittedTo(const Rect& workArea) const noexcept {
    BalloonGeometry geometry = *this;
    int widest = workArea.right - workArea.left - 30;
    if (geometry.W > widest) geometry.W = widest > kMinimumTextWidth ? widest : kMinimumTextWidth;
    return geometry;
}

Point BalloonGeometry::Position(const Rect& workArea) const noexcept {
    return {workArea.right - (W + 20) - 10, workArea.bottom - 10 - (3 * H + 32)};
}

void BalloonGeometry::Tail(Point (&corners)[3]) const noexcept {
    corners[0] = {10, 3 * H + 27};
    corners[1] = {15, 3 * H + 37};
    corners[2] = {20, 3 * H + 27};
}

void BalloonGeometry::Cross(Point (&first)[2], Point (&second)[2]) const noexcept {
    first[0] = {W, 5};
    first[1] = {W + 10, 15};
    second[0] = {W + 9, 5};
    second[1] = {W - 1, 15};
}

bool BalloonGeometry::InCloseButton(int x, int y) const noexcept {
    Rect button = CloseButton();
    return x >= button.left && x < button.right && y >= button.top && y < button.bottom;
}

}  // namespace cantivo
