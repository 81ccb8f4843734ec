#include "balloon/balloon_geometry.h"

#include <gtest/gtest.h>

namespace cantivo {
namespace {

TEST(BalloonGeometryTest, TheWiderTextSetsTheSize) {
    struct Case {
        int mainWidth, mainHeight, subWidth, subHeight;
        int W, H;
    } cases[] = {
        {200, 12, 100, 13, 200, 12},
        {100, 12, 200, 13, 200, 13},
        {120, 12, 120, 13, 120, 13},  // equal widths measure the sub text
        {10, 12, 20, 14, 50, 14},     // never narrower than 50
        {0, 12, 0, 12, 50, 12},
        {50, 11, 49, 12, 50, 11},
    };
    for (const Case& c : cases) {
        BalloonGeometry g = BalloonGeometry::Measure(c.mainWidth, c.mainHeight, c.subWidth, c.subHeight);
        EXPECT_EQ(g.W, c.W);
        EXPECT_EQ(g.H, c.H);
    }
}

TEST(BalloonGeometryTest, SizeAndPlaceAboveTheWorkAreasCorner) {
    BalloonGeometry g{200, 12};
    EXPECT_EQ(g.ClientWidth(), 220);
    EXPECT_EQ(g.ClientHeight(), 73);
    EXPECT_EQ(g.Position({0, 0, 1024, 738}), (Point{794, 660}));
    // The window's right edge 10 pixels left of the work area's, its bottom 5 above.
    Point at = g.Position({100, 50, 1280, 1000});
    EXPECT_EQ(at.x + g.ClientWidth(), 1270);
    EXPECT_EQ(at.y + g.ClientHeight(), 995);
}

TEST(BalloonGeometryTest, ATextWiderThanTheWorkAreaIsCutSoTheBalloonStaysOnIt) {
    const Rect work{0, 0, 1024, 738};
    struct Case {
        int W, fitted;
    } cases[] = {{200, 200}, {994, 994}, {995, 994}, {30000, 994}};
    for (const Case& c : cases) {
        BalloonGeometry g = BalloonGeometry{c.W, 13}.FittedTo(work);
        EXPECT_EQ(g.W, c.fitted) << c.W;
        EXPECT_EQ(g.H, 13);
        EXPECT_GE(g.Position(work).x, work.left) << c.W;
    }
    // A work area too narrow for even the smallest balloon keeps the smallest balloon.
    EXPECT_EQ((BalloonGeometry{300, 13}.FittedTo({0, 0, 60, 738}).W), 50);
    // The work area need not start at the screen's left edge.
    const Rect right{1024, 0, 2048, 738};
    EXPECT_EQ((BalloonGeometry{5000, 13}.FittedTo(right).Position(right).x), 1024);
}

TEST(BalloonGeometryTest, BodyTailButtonAndText) {
    BalloonGeometry g{50, 12};
    EXPECT_EQ(g.ClientWidth(), 70);
    EXPECT_EQ(g.Body(), (Rect{0, 0, 70, 61}));
    Point tail[3];
    g.Tail(tail);
    EXPECT_EQ(tail[0], (Point{10, 63}));
    EXPECT_EQ(tail[1], (Point{15, 73}));  // the tip on the bottom edge
    EXPECT_EQ(tail[2], (Point{20, 63}));
    EXPECT_EQ(g.CloseButton(), (Rect{50, 5, 60, 15}));
    Point first[2], second[2];
    g.Cross(first, second);
    EXPECT_EQ(first[0], (Point{50, 5}));
    EXPECT_EQ(first[1], (Point{60, 15}));
    EXPECT_EQ(second[0], (Point{59, 5}));
    EXPECT_EQ(second[1], (Point{49, 15}));
    EXPECT_EQ(g.TimeAt(), (Point{10, 5}));
    EXPECT_EQ(g.MainAt(), (Point{10, 22}));
    EXPECT_EQ(g.SubAt(), (Point{10, 39}));
}

TEST(BalloonGeometryTest, CloseButtonHitTest) {
    BalloonGeometry g{120, 12};
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {120, 5, true}, {129, 14, true}, {125, 10, true}, {130, 10, false}, {125, 15, false},
        {119, 10, false}, {125, 4, false}, {130, 15, false},
    };
    for (const Case& c : cases) EXPECT_EQ(g.InCloseButton(c.x, c.y), c.inside) << c.x << "," << c.y;
}

}  // namespace
}  // namespace cantivo
