// Crop, canvas resize, scale, isometric projection and the bounding box of single frames and of
// whole sequences, including series whose frames differ in size.
#include <gtest/gtest.h>

#include "model/frame_sequence.h"
#include "model/ports.h"

namespace {

// Pixel (x, y) of a ramp frame: opaque, the position coded in the colour.
uint32_t ramp(int x, int y) { return 0xFF000000u | uint32_t(y) << 8 | uint32_t(x); }

void fillRamp(Frame& f) {
    for (int y = 0; y < f.height(); ++y)
        for (int x = 0; x < f.width(); ++x) f.pixels()[y * f.width() + x] = ramp(x, y);
}

uint32_t at(const Frame& f, int x, int y) { return f.pixels()[y * f.width() + x]; }

struct CountingProgress : Progress {
    int begins = 0, total = 0, steps = 0;
    void begin(int t) override {
        ++begins;
        total = t;
    }
    void step() override { ++steps; }
};

}  // namespace

TEST(FrameEdit, CropCopiesTheRectangleAndChecksItsEdges) {
    Frame f;
    ASSERT_EQ(f.createBlank(6, 5), FE_OK);
    fillRamp(f);
    // Reversed edges are normalised first.
    ASSERT_EQ(f.crop({4, 3, 1, 1}), FE_OK);
    ASSERT_EQ(f.width(), 3);
    ASSERT_EQ(f.height(), 2);
    EXPECT_EQ(f.mip().size, 3 * 2 * 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(at(f, x, y), ramp(x + 1, y + 1)) << x << "," << y;

    EXPECT_EQ(f.crop({0, 0, 4, 2}), FE_CROP_RIGHT);
    EXPECT_EQ(f.crop({0, 0, 3, 3}), FE_CROP_BOTTOM);
    EXPECT_EQ(f.crop({-1, 0, 2, 2}), FE_CROP_NEGATIVE);
    EXPECT_EQ(f.crop({0, -1, 2, 2}), FE_CROP_NEGATIVE);
    EXPECT_EQ(f.crop({1, 1, 1, 2}), FE_CROP_EMPTY);
    EXPECT_EQ(f.width(), 3);  // failures leave the frame alone
    Frame empty;
    EXPECT_EQ(empty.crop({0, 0, 1, 1}), FE_CROP_NO_PIXELS);
}

TEST(FrameEdit, ResizeCanvasCentredAndNot) {
    Frame f;
    ASSERT_EQ(f.createBlank(100, 100), FE_OK);
    fillRamp(f);
    // 100 x 100 to 60 x 140 centred: source columns 20..79 at x = 0, 20 clear rows above and below.
    ASSERT_EQ(f.resizeCanvas(60, 140, true), FE_OK);
    ASSERT_EQ(f.width(), 60);
    ASSERT_EQ(f.height(), 140);
    for (int y : {0, 19, 120, 139})
        for (int x : {0, 30, 59}) EXPECT_EQ(at(f, x, y), 0u) << x << "," << y;
    EXPECT_EQ(at(f, 0, 20), ramp(20, 0));
    EXPECT_EQ(at(f, 59, 20), ramp(79, 0));
    EXPECT_EQ(at(f, 0, 119), ramp(20, 99));
    EXPECT_EQ(at(f, 59, 119), ramp(79, 99));

    // Smaller on both sides: a crop, moved to the middle when centring.
    Frame g;
    ASSERT_EQ(g.createBlank(100, 100), FE_OK);
    fillRamp(g);
    ASSERT_EQ(g.resizeCanvas(50, 50, true), FE_OK);
    EXPECT_EQ(at(g, 0, 0), ramp(25, 25));
    EXPECT_EQ(at(g, 49, 49), ramp(74, 74));
    Frame h;
    ASSERT_EQ(h.createBlank(100, 100), FE_OK);
    fillRamp(h);
    ASSERT_EQ(h.resizeCanvas(50, 50, false), FE_OK);
    EXPECT_EQ(at(h, 0, 0), ramp(0, 0));
    EXPECT_EQ(at(h, 49, 49), ramp(49, 49));

    // Larger without centring: the picture stays at the top left.
    Frame k;
    ASSERT_EQ(k.createBlank(3, 2), FE_OK);
    fillRamp(k);
    ASSERT_EQ(k.resizeCanvas(5, 3, false), FE_OK);
    EXPECT_EQ(at(k, 2, 1), ramp(2, 1));
    EXPECT_EQ(at(k, 3, 1), 0u);
    EXPECT_EQ(at(k, 0, 2), 0u);
    // Growth on both sides keeps no stale pixel anywhere outside the picture.
    Frame c;
    ASSERT_EQ(c.createBlank(3, 2), FE_OK);
    fillRamp(c);
    ASSERT_EQ(c.resizeCanvas(5, 4, true), FE_OK);
    ASSERT_EQ(c.mip().size, 5 * 4 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(at(c, x, y), inside ? ramp(x - 1, y - 1) : 0u) << x << "," << y;
        }
    // Odd growth centres with integer division: 3 -> 6 puts the picture at x = 1.
    Frame m;
    ASSERT_EQ(m.createBlank(3, 1), FE_OK);
    fillRamp(m);
    ASSERT_EQ(m.resizeCanvas(6, 1, true), FE_OK);
    EXPECT_EQ(at(m, 0, 0), 0u);
    EXPECT_EQ(at(m, 1, 0), ramp(0, 0));
    EXPECT_EQ(at(m, 3, 0), ramp(2, 0));
    EXPECT_EQ(at(m, 4, 0), 0u);

    EXPECT_EQ(m.resizeCanvas(6, 1, true), FE_OK);  // same size: nothing
    EXPECT_EQ(m.resizeCanvas(0, 5, false), FE_CANVAS_NO_MEMORY);
    EXPECT_EQ(m.resizeCanvas(40000, 5, false), FE_CANVAS_NO_MEMORY);
    EXPECT_EQ(m.width(), 6);
    Frame empty;
    EXPECT_EQ(empty.resizeCanvas(4, 4, false), FE_CANVAS_NO_PIXELS);
}

TEST(FrameEdit, IsometricProjection) {
    Frame f;
    ASSERT_EQ(f.createBlank(4, 4), FE_OK);
    fillRamp(f);
    ASSERT_EQ(f.isoTransform(), FE_OK);
    ASSERT_EQ(f.width(), 8);
    ASSERT_EQ(f.height(), 4);
    EXPECT_EQ(at(f, 4, 0), ramp(0, 0));
    EXPECT_EQ(at(f, 7, 1), ramp(3, 0));
    EXPECT_EQ(at(f, 1, 1), ramp(0, 3));
    EXPECT_EQ(at(f, 4, 3), ramp(3, 3));
    // Every source pixel lands on its own place: 16 coloured positions, the rest transparent.
    int filled = 0;
    for (int k = 0; k < 32; ++k) filled += f.pixels()[k] != 0;
    EXPECT_EQ(filled, 16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(at(f, 4 + x - y, (x + y) / 2), ramp(x, y));

    // A wide frame uses its larger side: 3 x 1 gives a 6 x 3 canvas.
    Frame w;
    ASSERT_EQ(w.createBlank(3, 1), FE_OK);
    fillRamp(w);
    ASSERT_EQ(w.isoTransform(), FE_OK);
    EXPECT_EQ(w.width(), 6);
    EXPECT_EQ(w.height(), 3);
    EXPECT_EQ(at(w, 3, 0), ramp(0, 0));
    EXPECT_EQ(at(w, 4, 0), ramp(1, 0));
    EXPECT_EQ(at(w, 5, 1), ramp(2, 0));
    Frame empty;
    EXPECT_EQ(empty.isoTransform(), FE_ISO_EMPTY);
    // A canvas beyond the allocation limits is refused, not attempted.
    Frame tall;
    ASSERT_EQ(tall.createBlank(1, 20000), FE_OK);
    EXPECT_EQ(tall.isoTransform(), FE_ISO_NO_MEMORY);
    EXPECT_EQ(tall.height(), 20000);
}

TEST(FrameEdit, ScaleAveragesAreas) {
    Frame f;
    ASSERT_EQ(f.createBlank(3, 1), FE_OK);
    f.pixels()[0] = 0xFF000000u | 30;
    f.pixels()[1] = 0xFF000000u | 60;
    f.pixels()[2] = 0x00000000u | 91;
    ASSERT_EQ(f.scale(2, 1), FE_OK);
    ASSERT_EQ(f.width(), 2);
    // (2 x t0 + t1) / 3 and (t1 + 2 x t2) / 3 per channel, truncated.
    EXPECT_EQ(f.pixels()[0], 0xFF000000u | 40);
    EXPECT_EQ(f.pixels()[1], 0x55000000u | 80);
    ASSERT_EQ(f.scale(2, 3), FE_OK);
    EXPECT_EQ(f.height(), 3);
    EXPECT_EQ(at(f, 1, 2), 0x55000000u | 80);
    EXPECT_EQ(f.scale(0, 3), FE_SCALE_NO_MEMORY);
    Frame empty;
    EXPECT_EQ(empty.scale(2, 2), FE_SCALE_NO_PIXELS);
}

TEST(FrameEdit, BoundingBoxMergesAndIgnoresBlankFrames) {
    Frame f;
    ASSERT_EQ(f.createBlank(20, 9), FE_OK);
    // Content at (3, 2) and (17, 6) under the colour mask; the alpha byte must not count.
    f.pixels()[2 * 20 + 3] = 0x00000001u;
    f.pixels()[6 * 20 + 17] = 0x00010000u;
    f.pixels()[8 * 20 + 19] = 0xFF000000u;
    TxRect box;
    f.boundingBox(box, 0, 0x00FFFFFFu);
    EXPECT_EQ(box, (TxRect{3, 2, 18, 7}));
    // Merged into a given rectangle.
    TxRect merged{0, 4, 5, 8};
    f.boundingBox(merged, 0, 0x00FFFFFFu);
    EXPECT_EQ(merged, (TxRect{0, 2, 18, 8}));
    // Under the alpha mask only the opaque corner pixel is content.
    TxRect alpha;
    f.boundingBox(alpha, 0, 0xFF000000u);
    EXPECT_EQ(alpha, (TxRect{19, 8, 20, 9}));
    // A background colour other than 0: everything but the two coloured pixels is border.
    Frame g;
    ASSERT_EQ(g.createBlank(10, 3), FE_OK);
    for (int k = 0; k < 30; ++k) g.pixels()[k] = 0xFF808080u;
    g.pixels()[1 * 10 + 4] = 0xFF808081u;
    TxRect grey;
    g.boundingBox(grey, 0x00808080u, 0x00FFFFFFu);
    EXPECT_EQ(grey, (TxRect{4, 1, 5, 2}));
    // The background is compared under the mask: under the alpha mask no pixel equals 0x808080,
    // so the whole frame is content.
    TxRect all{1, 1, 2, 2};
    g.boundingBox(all, 0x00808080u, 0xFF000000u);
    EXPECT_EQ(all, (TxRect{0, 0, 10, 3}));
    // A frame of nothing but border leaves the rectangle as it was.
    TxRect none{1, 1, 2, 2};
    g.pixels()[14] = 0xFF808080u;
    g.boundingBox(none, 0x00808080u, 0x00FFFFFFu);
    EXPECT_EQ(none, (TxRect{1, 1, 2, 2}));
}

TEST(FrameEdit, SequenceOperationsGoOverEveryFrameWithProgress) {
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(8, 6, 3), FE_OK);
    for (int k = 0; k < 3; ++k) fillRamp(*s.frameAt(k));
    CountingProgress p;
    ASSERT_EQ(s.crop({2, 1, 6, 4}, &p), FE_OK);
    EXPECT_EQ(p.total, 3);
    EXPECT_EQ(p.steps, 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(s.frameAt(k)->width(), 4);
        EXPECT_EQ(at(*s.frameAt(k), 0, 0), ramp(2, 1));
    }
    ASSERT_EQ(s.resizeCanvas(6, 5, true, &p), FE_OK);
    EXPECT_EQ(at(*s.frameAt(2), 1, 1), ramp(2, 1));
    ASSERT_EQ(s.isoTransform(&p), FE_OK);
    EXPECT_EQ(s.frameAt(1)->width(), 12);
    ASSERT_EQ(s.scale(3, 3, &p), FE_OK);
    EXPECT_EQ(s.frameAt(2)->height(), 3);
    EXPECT_EQ(p.begins, 4);
    EXPECT_EQ(p.steps, 12);
    EXPECT_EQ(s.crop({2, 2, 2, 0}), FE_CROP_EMPTY);
}

// Frames of a numbered series may differ in size; no whole-sequence operation may assume the
// first frame's size for the others.
TEST(FrameEdit, MixedSizeSeriesAreClippedOrSkippedNeverOverrun) {
    FrameSequence s;
    Frame* big = s.append();
    ASSERT_EQ(big->createBlank(10, 8), FE_OK);
    fillRamp(*big);
    Frame* small = s.append();
    ASSERT_EQ(small->createBlank(4, 3), FE_OK);
    fillRamp(*small);
    Frame* tiny = s.append();
    ASSERT_EQ(tiny->createBlank(2, 2), FE_OK);
    fillRamp(*tiny);

    // A rectangle that reaches past the smaller frames is clipped to each of them, and one that
    // misses a frame entirely leaves that frame alone.
    ASSERT_EQ(s.crop({3, 1, 9, 6}), FE_OK);
    EXPECT_EQ(big->width(), 6);
    EXPECT_EQ(big->height(), 5);
    EXPECT_EQ(at(*big, 0, 0), ramp(3, 1));
    EXPECT_EQ(small->width(), 1);
    EXPECT_EQ(small->height(), 2);
    EXPECT_EQ(at(*small, 0, 1), ramp(3, 2));
    EXPECT_EQ(tiny->width(), 2);
    EXPECT_EQ(tiny->height(), 2);
    EXPECT_EQ(at(*tiny, 1, 1), ramp(1, 1));

    // Canvas, projection and scale work from each frame's own size.
    ASSERT_EQ(s.resizeCanvas(5, 5, true), FE_OK);
    EXPECT_EQ(at(*small, 2, 1), ramp(3, 1));
    EXPECT_EQ(at(*tiny, 1, 1), ramp(0, 0));
    EXPECT_EQ(at(*tiny, 2, 2), ramp(1, 1));
    FrameSequence t;
    t.append()->createBlank(6, 2);
    t.append()->createBlank(2, 5);
    ASSERT_EQ(t.isoTransform(), FE_OK);
    EXPECT_EQ(t.frameAt(0)->width(), 12);
    EXPECT_EQ(t.frameAt(1)->width(), 10);
    ASSERT_EQ(t.scale(3, 2), FE_OK);
    EXPECT_EQ(t.frameAt(1)->width(), 3);
}
