#pragma once

namespace cantivo {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Left and top edges included, right and bottom excluded.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

// The balloon's layout from the text width W and line height H, in client pixels.
struct BalloonGeometry {
    int W = 0;
    int H = 0;

    // The wider of the main and sub text sets W and H (the sub text on equal widths); W is
    // at least 50.
    static BalloonGeometry Measure(int mainWidth, int mainHeight, int subWidth, int subHeight) noexcept;
    // The same balloon made no wider than the work area, so that a text wider than the screen
    // is cut off at the balloon's right edge instead of pushing the balloon, close button and
    // all, off the screen's left edge. W stays at least 50.
    BalloonGeometry FittedTo(const Rect& workArea) const noexcept;

    int ClientWidth() const noexcept { return W + 20; }
    int ClientHeight() const noexcept { return 3 * H + 37; }
    // 10 pixels left of the work area's right edge, 5 above its bottom edge.
    Point Position(const Rect& workArea) const noexcept;

    Rect Body() const noexcept { return {0, 0, W + 20, 3 * H + 25}; }
    static constexpr int kBodyCorner = 10;
    // The tail's triangle: it points down, its tip on the window's bottom edge.
    void Tail(Point (&corners)[3]) const noexcept;
    Rect CloseButton() const noexcept { return {W, 5, W + 10, 15}; }
    // The button's cross: two lines, each drawn without its end point.
    void Cross(Point (&first)[2], Point (&second)[2]) const noexcept;
    bool InCloseButton(int x, int y) const noexcept;

    Point TimeAt() const noexcept { return {10, 5}; }
    Point MainAt() const noexcept { return {10, H + 10}; }
    Point SubAt() const noexcept { return {10, 2 * H + 15}; }
};

}  // namespace cantivo
