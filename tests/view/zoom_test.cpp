// Zoom below 100%, Fit, wheel zoom at the mouse and wheel scrolling, and the colour under the
// cursor: the rules the widget only forwards to.
#include <gtest/gtest.h>

#include <memory>

#include "document/document.h"
#include "view/view_render.h"
#include "view/view_state.h"

namespace {

// A w x h picture whose pixel (x, y) is 0xFF00YYXX.
std::unique_ptr<CBitmapDoc> codedDoc(int w, int h) {
    auto doc = std::make_unique<CBitmapDoc>();
    auto seq = std::make_unique<FrameSequence>();
    seq->addBlankFrames(w, h, 1);
    uint32_t* px = seq->frameAt(0)->pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * w + x] = 0xFF000000u | uint32_t(y << 8 | x);
    doc->setFrames(std::move(seq));
    return doc;
}

}  // namespace

TEST(ViewZoom, QuarterAndHalfShowEveryFourthAndSecondPixelExactly) {
    auto doc = codedDoc(10, 6);
    ViewState v(doc.get(), ViewPreferences{});
    ImageBuffer out;
    v.setZoomPercent(50);
    EXPECT_EQ(v.statusZoom(), "50%");
    EXPECT_EQ(v.totalWidth(), 5);
    EXPECT_EQ(v.totalHeight(), 3);
    v.setViewport(0, 0, 5, 3);
    renderView(v, out);
    EXPECT_EQ(out.at(0, 0), 0xFF000000u);
    EXPECT_EQ(out.at(4, 2), 0xFF000408u);
    // Device (3, 1) is image (6, 2); clicks round to the nearest image pixel corner.
    EXPECT_EQ(v.toImage(3, 1), (ViewPoint{6, 2}));

    v.setZoomPercent(25);
    EXPECT_EQ(v.totalWidth(), 3);  // 10 / 4 rounded up: the last column still shows
    v.setViewport(0, 0, 3, 2);
    renderView(v, out);
    EXPECT_EQ(out.at(2, 1), 0xFF000408u);
    // The selection ring at 25% covers the device pixels of its image pixels.
    v.setSelection(TxRect{4, 0, 8, 4});
    renderView(v, out);
    EXPECT_EQ(out.at(1, 0), 0xFF000004u ^ 0x00FFFFFFu);
    EXPECT_EQ(out.at(2, 0), 0xFF000008u);

    // Zoom in climbs back through 50% to 100%; zoom out stays at 1x as before.
    v.zoomIn();
    EXPECT_EQ(v.zoomPercent(), 50);
    v.zoomIn();
    EXPECT_EQ(v.zoomPercent(), 100);
    EXPECT_FALSE(v.canZoomOut());
    v.setZoomPercent(33);  // not a step
    EXPECT_EQ(v.zoomPercent(), 100);
}

TEST(ViewZoom, FitTakesTheLargestStepThatShowsTheWholePicture) {
    EXPECT_EQ(ViewState::fitPercent(2048, 2048, 1200, 800), 25);
    EXPECT_EQ(ViewState::fitPercent(2048, 1024, 1100, 600), 50);
    EXPECT_EQ(ViewState::fitPercent(600, 500, 1200, 800), 100);
    EXPECT_EQ(ViewState::fitPercent(64, 48, 1200, 800), 800);
    EXPECT_EQ(ViewState::fitPercent(300, 100, 1000, 1000), 300);
    EXPECT_EQ(ViewState::fitPercent(8192, 8192, 100, 100), 25);  // the smallest step at least
}

TEST(ViewZoom, WheelZoomKeepsThePointUnderTheMouseAndWheelScrolls) {
    auto doc = codedDoc(400, 300);
    ViewState v(doc.get(), ViewPreferences{});
    v.setViewport(0, 0, 200, 150);
    // Image point (50, 40) under the mouse at device (50, 40) stays there at 200% and 400%.
    EXPECT_TRUE(v.wheelZoom(120, 50, 40));
    EXPECT_EQ(v.zoomPercent(), 200);
    EXPECT_EQ(v.scrollX(), 50);
    EXPECT_EQ(v.scrollY(), 40);
    EXPECT_TRUE(v.wheelZoom(240, 50, 40));
    EXPECT_EQ(v.zoomPercent(), 400);
    EXPECT_EQ(v.scrollX() + 50, 50 * 4);
    EXPECT_EQ(v.scrollY() + 40, 40 * 4);
    // Down to the bottom step and no further.
    EXPECT_TRUE(v.wheelZoom(-120 * 9, 0, 0));
    EXPECT_EQ(v.zoomPercent(), 25);
    EXPECT_FALSE(v.wheelZoom(-120, 0, 0));

    v.setZoomPercent(400);
    v.setViewport(0, 0, 200, 150);
    v.wheelScroll(0, -120, false);  // wheel towards the user: down
    EXPECT_EQ(v.scrollY(), ViewState::kWheelStep);
    EXPECT_EQ(v.scrollX(), 0);
    v.wheelScroll(0, -240, true);  // Shift: sideways
    EXPECT_EQ(v.scrollX(), 2 * ViewState::kWheelStep);
    v.wheelScroll(0, 120 * 100, false);  // clamped at the top
    EXPECT_EQ(v.scrollY(), 0);
}

TEST(ViewZoom, StatusShowsTheColourAndAlphaUnderTheCursor) {
    auto doc = codedDoc(4, 4);
    doc->frames()->frameAt(0)->pixels()[1 * 4 + 2] = 0x80FF8001u;
    ViewState v(doc.get(), ViewPreferences{});
    v.setViewport(0, 0, 4, 4);
    v.mouseMove(2, 1, false, false);
    EXPECT_EQ(v.statusCursor(), "2:1");
    EXPECT_EQ(v.statusColour(), "#FF8001 A=128");
    v.mouseMove(3, 3, false, false);
    EXPECT_EQ(v.statusColour(), "#000303 A=255");
    v.mouseMove(40, 3, false, false);
    EXPECT_EQ(v.statusColour(), "");
}
