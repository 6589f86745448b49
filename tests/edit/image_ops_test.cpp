// Auto crop's search (colour, alpha, corner colour, animations, failure), the isometric flip with
// its trim, and the scale with its position items.
#include <gtest/gtest.h>

#include "edit/image_ops.h"
#include "model/frame_sequence.h"
#include "model/position_list.h"

namespace {

Frame& addFrame(FrameSequence& s, int w, int h, uint32_t fill) {
    Frame* f = s.append();
    EXPECT_EQ(f->createBlank(w, h), FE_OK);
    for (int k = 0; k < w * h; ++k) f->pixels()[k] = fill;
    return *f;
}

void fillRect(Frame& f, const TxRect& r, uint32_t value) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) f.pixels()[y * f.width() + x] = value;
}

uint32_t at(const Frame& f, int x, int y) { return f.pixels()[y * f.width() + x]; }

}  // namespace

TEST(AutoCrop, CompareMaskFollowsTheAlphaOfFrameZero) {
    FrameSequence s;
    Frame& f = addFrame(s, 4, 4, 0xFF000000u);
    EXPECT_EQ(autoCropCompareMask(f), AUTOCROP_COLOUR_MASK);  // all opaque
    fillRect(f, {0, 0, 4, 4}, 0x00FFFFFFu);
    EXPECT_EQ(autoCropCompareMask(f), AUTOCROP_COLOUR_MASK);  // all clear
    f.pixels()[5] = 0x80FFFFFFu;
    EXPECT_EQ(autoCropCompareMask(f), AUTOCROP_ALPHA_MASK);
    fillRect(f, {0, 0, 4, 4}, 0xFF123456u);
    f.pixels()[15] = 0x00123456u;
    EXPECT_EQ(autoCropCompareMask(f), AUTOCROP_ALPHA_MASK);
}

TEST(AutoCrop, OpaqueImagesCropByColourThenByTheCornerColour) {
    // A black frame around a picture: pass 1.
    FrameSequence black;
    Frame& b = addFrame(black, 12, 10, 0xFF000000u);
    fillRect(b, {3, 2, 9, 7}, 0xFF20A040u);
    b.pixels()[2 * 12 + 3] = 0xFF000000u;  // a black pixel inside the picture changes nothing
    TxRect r;
    ASSERT_EQ(autoCropBounds(black, r), FE_OK);
    EXPECT_EQ(r, (TxRect{3, 2, 9, 7}));

    // A white frame: pass 1 finds the whole image, pass 2 crops the corner's colour.
    FrameSequence white;
    Frame& w = addFrame(white, 12, 10, 0xFFFFFFFFu);
    fillRect(w, {5, 1, 6, 9}, 0xFF000000u);  // black content is found by pass 2 as well
    fillRect(w, {2, 4, 10, 5}, 0xFF102030u);
    ASSERT_EQ(autoCropBounds(white, r), FE_OK);
    EXPECT_EQ(r, (TxRect{2, 1, 10, 9}));

    // Entirely border, and an opaque image with a foreign pixel on every edge: both fail.
    FrameSequence blank;
    addFrame(blank, 6, 6, 0xFF000000u);
    EXPECT_EQ(autoCropBounds(blank, r), FE_AUTOCROP_NONE);
    FrameSequence edges;
    Frame& e = addFrame(edges, 8, 8, 0xFF404040u);
    e.pixels()[0 * 8 + 3] = 0xFF00FF00u;
    e.pixels()[7 * 8 + 4] = 0xFF00FF00u;
    e.pixels()[3 * 8 + 0] = 0xFF00FF00u;
    e.pixels()[4 * 8 + 7] = 0xFF00FF00u;
    EXPECT_EQ(autoCropBounds(edges, r), FE_AUTOCROP_NONE);
    FrameSequence none;
    EXPECT_EQ(autoCropBounds(none, r), FE_AUTOCROP_EMPTY);
}

TEST(AutoCrop, TransparentSurroundCropsToTheSpriteWhateverItsColours) {
    FrameSequence s;
    Frame& f = addFrame(s, 16, 16, 0x00FF00FFu);
    // Transparent pixels of every colour around the sprite.
    for (int k = 0; k < 16; ++k) f.pixels()[k * 17 % 256] = 0x00123456u + uint32_t(k);
    fillRect(f, {4, 6, 11, 9}, 0xFF000000u);  // an opaque black sprite
    f.pixels()[7 * 16 + 12] = 0x01000000u;    // almost clear still counts
    TxRect r;
    ASSERT_EQ(autoCropBounds(s, r), FE_OK);
    EXPECT_EQ(r, (TxRect{4, 6, 13, 9}));
}

// Only a 10 x 10 area moves in this animation; frame 0's pixels at the places the sprite moves to
// later are background, yet the crop must hold the sprite in every frame.
TEST(AutoCrop, AnimationCropsToTheUnionOfTheChangingPixels) {
    FrameSequence s;
    const uint32_t ground = 0xFF000000u, sprite = 0xFFE0C020u;
    for (int k = 0; k < 3; ++k) {
        Frame& f = addFrame(s, 64, 48, ground);
        fillRect(f, {0, 40, 64, 48}, 0xFF336633u);  // the same grass in every frame
        fillRect(f, {10 + 12 * k, 5 + 4 * k, 20 + 12 * k, 15 + 4 * k}, sprite);
    }
    TxRect r;
    ASSERT_EQ(autoCropBounds(s, r), FE_OK);
    EXPECT_EQ(r, (TxRect{10, 5, 44, 23}));
    // Identical frames have no changing area at all.
    FrameSequence same;
    addFrame(same, 8, 8, 0xFF000000u).pixels()[9] = 0xFFFFFFFFu;
    addFrame(same, 8, 8, 0xFF000000u).pixels()[9] = 0xFFFFFFFFu;
    EXPECT_EQ(autoCropBounds(same, r), FE_AUTOCROP_NONE);
    // The reference picture: zero where all frames agree, the mark where they differ.
    Frame ref;
    ASSERT_TRUE(autoCropReference(s, 0xFF000000u, ref));
    EXPECT_EQ(at(ref, 0, 0), 0u);
    EXPECT_EQ(at(ref, 10, 5), 0xFF000000u);
    EXPECT_EQ(at(ref, 43, 22), 0xFF000000u);
    EXPECT_EQ(at(ref, 30, 45), 0u);
}

TEST(AutoCrop, MixedSizeAnimationComparesOnlyWhereFramesOverlap) {
    FrameSequence s;
    addFrame(s, 20, 20, 0xFF000000u);
    Frame& small = addFrame(s, 6, 30, 0xFF000000u);  // narrower and taller than frame 0
    small.pixels()[3 * 6 + 4] = 0xFFFFFFFFu;
    small.pixels()[25 * 6 + 1] = 0xFFFFFFFFu;  // outside frame 0: cannot count
    TxRect r;
    ASSERT_EQ(autoCropBounds(s, r), FE_OK);
    EXPECT_EQ(r, (TxRect{4, 3, 5, 4}));
    // Cropping the whole series to it clips per frame.
    ASSERT_EQ(s.crop(r), FE_OK);
    EXPECT_EQ(s.frameAt(1)->width(), 1);
    EXPECT_EQ(at(*s.frameAt(1), 0, 0), 0xFFFFFFFFu);
}

TEST(IsoFlip, ProjectsThenTrimsToTheDiamond) {
    FrameSequence s;
    Frame& f = addFrame(s, 4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) f.pixels()[y * 4 + x] = 0xFF000000u | uint32_t(y * 4 + x + 1);
    ASSERT_EQ(isoFlip(s), FE_OK);
    // The 8 x 4 projection is opaque on the diamond and clear elsewhere, so the alpha mask trims
    // column 0 (x - y reaches -3 only, so the diamond spans columns 1 to 7).
    const Frame& g = *s.frameAt(0);
    ASSERT_EQ(g.width(), 7);
    ASSERT_EQ(g.height(), 4);
    EXPECT_EQ(at(g, 3, 0), 0xFF000001u);  // source (0, 0)
    EXPECT_EQ(at(g, 6, 1), 0xFF000004u);  // source (3, 0)
    EXPECT_EQ(at(g, 0, 1), 0xFF00000Du);  // source (0, 3)
    EXPECT_EQ(at(g, 3, 3), 0xFF000010u);  // source (3, 3)
    EXPECT_EQ(at(g, 0, 0), 0u);

    // Nothing to trim (a projection whose every pixel is clear): projected, not cropped.
    FrameSequence clear;
    addFrame(clear, 3, 3, 0);
    ASSERT_EQ(isoFlip(clear), FE_OK);
    EXPECT_EQ(clear.frameAt(0)->width(), 6);
    EXPECT_EQ(clear.frameAt(0)->height(), 3);
}

TEST(ScaleFrames, RescalesPositionItemsByTheDocumentedRounding) {
    FrameSequence s;
    addFrame(s, 200, 100, 0xFF808080u);
    addFrame(s, 200, 100, 0xFF404040u);
    PositionList list;
    list.append({10, 10, 21, 31}, "hero");
    list.append({0, 0, 200, 100}, "all");
    ASSERT_EQ(scaleFrames(s, list, 100, 50), FE_OK);
    EXPECT_EQ(s.frameAt(1)->width(), 100);
    EXPECT_EQ(s.frameAt(1)->height(), 50);
    EXPECT_EQ(at(*s.frameAt(1), 99, 49), 0xFF404040u);
    EXPECT_EQ(list.at(0).rect, (TxRect{4, 4, 11, 16}));
    EXPECT_EQ(list.at(1).rect, (TxRect{0, 0, 100, 50}));
    EXPECT_EQ(list.at(0).name, "hero");
    // Scaling to the size the frames already have moves no edge.
    ASSERT_EQ(scaleFrames(s, list, 100, 50), FE_OK);
    EXPECT_EQ(list.at(0).rect, (TxRect{4, 4, 11, 16}));
    FrameSequence empty;
    EXPECT_EQ(scaleFrames(empty, list, 10, 10), FE_SCALE_NO_PIXELS);
}
