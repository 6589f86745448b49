// The mask surface: 1-bit with bias, alpha as grey, luminance, the 1-pixel border rule, clear,
// invert, the key colour, and writing the mask back into the alpha channel.
#include <gtest/gtest.h>

#include <vector>

#include "edit/mask_ops.h"
#include "model/frame_sequence.h"
#include "model/image_buffer.h"
#include "model/ports.h"

namespace {

Frame makeFrame(int w, int h, uint32_t fill) {
    Frame f;
    EXPECT_EQ(f.createBlank(w, h), FE_OK);
    for (int k = 0; k < w * h; ++k) f.pixels()[k] = fill;
    return f;
}

}  // namespace

TEST(MaskOps, LuminanceUsesSinglePrecisionFactors) {
    EXPECT_EQ(maskLuminance(0xFFFFFFFFu), 255);
    EXPECT_EQ(maskLuminance(0x00000000u), 0);
    EXPECT_EQ(maskLuminance(0x00FF0000u), 77);
    EXPECT_EQ(maskLuminance(0x0000FF00u), 150);
    EXPECT_EQ(maskLuminance(0x000000FFu), 28);
    // 0.11f is a little below 0.11: blue 50 gives 5.4999999.. + 0.5, so 5 (6 with an exact 0.11
    // and also with products rounded to single precision).
    EXPECT_EQ(maskLuminance(0x00000032u), 5);
    EXPECT_EQ(maskLuminance(0x00000096u), 16);
    EXPECT_EQ(maskLuminance(0x0000032Bu), 6);
    EXPECT_EQ(maskLuminance(0xAB000000u), 0);  // alpha plays no part
    // Every colour against the formula evaluated in floating point.
    const float kb = 0.11f, kr = 0.3f, kg = 0.59f;
    int mismatches = 0;
    for (uint32_t c = 0; c < 0x1000000u; ++c) {
        const double l = double(kb) * double(c & 0xFF) + 0.5 + double(kr) * double(c >> 16) +
                         double(kg) * double((c >> 8) & 0xFF);
        mismatches += maskLuminance(c) != int(l);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(MaskOps, SurfacesAndKinds) {
    Frame f = makeFrame(3, 1, 0);
    f.pixels()[0] = 0x7F00FF00u;
    f.pixels()[1] = 0x80FF0000u;
    f.pixels()[2] = 0xFFFFFFFFu;
    ImageBuffer mask;
    // A new surface starts zero, so the kept fourth bytes are 0.
    ASSERT_TRUE(maskOneBit(mask, f, 128));
    EXPECT_EQ(mask.width(), 3);
    EXPECT_EQ(mask.pixels()[0], 0x00000000u);
    EXPECT_EQ(mask.pixels()[1], 0x00FFFFFFu);
    EXPECT_EQ(mask.pixels()[2], 0x00FFFFFFu);
    // The fourth byte of an existing surface is left as it was.
    mask.pixels()[1] = 0x5A000000u;
    ASSERT_TRUE(maskOneBit(mask, f, 255));
    EXPECT_EQ(mask.pixels()[1], 0x5A000000u);
    EXPECT_EQ(mask.pixels()[2], 0x00FFFFFFu);
    ASSERT_TRUE(maskIntensity(mask, f));
    EXPECT_EQ(mask.pixels()[0], 0x00969696u);
    EXPECT_EQ(mask.pixels()[1], 0x5A4D4D4Du);
    ASSERT_TRUE(rebuildMask(mask, f, MASK_ALPHA, 0));
    EXPECT_EQ(mask.pixels()[0], 0x007F7F7Fu);
    EXPECT_EQ(mask.pixels()[1], 0x00808080u);
    // Another frame size re-creates the surface.
    Frame g = makeFrame(2, 2, 0xFF000000u);
    ASSERT_TRUE(rebuildMask(mask, g, MASK_ALPHA, 0));
    EXPECT_EQ(mask.width(), 2);
    EXPECT_EQ(mask.height(), 2);
    EXPECT_FALSE(rebuildMask(mask, g, 3, 0));
    Frame empty;
    EXPECT_FALSE(rebuildMask(mask, empty, MASK_INTENSITY, 0));
    EXPECT_EQ(mask.width(), 2);
}

TEST(MaskOps, OneBitBiasEdgesAndWriteBack) {
    Frame f = makeFrame(4, 1, 0);
    f.pixels()[0] = 0x7F102030u;
    f.pixels()[1] = 0x80102030u;
    f.pixels()[2] = 0xFE102030u;
    f.pixels()[3] = 0xFF102030u;
    ImageBuffer mask;
    ASSERT_TRUE(maskOneBit(mask, f, 128));
    ASSERT_EQ(f.alphaFromMask(&mask), FE_OK);
    EXPECT_EQ(f.pixels()[0], 0x00102030u);
    EXPECT_EQ(f.pixels()[1], 0xFF102030u);
    EXPECT_EQ(f.pixels()[2], 0xFF102030u);
    // The default bias keeps only fully opaque pixels.
    f.pixels()[2] = 0xFE102030u;
    ASSERT_TRUE(maskOneBit(mask, f, 255));
    ASSERT_EQ(f.alphaFromMask(&mask), FE_OK);
    EXPECT_EQ(f.pixels()[1], 0xFF102030u);
    EXPECT_EQ(f.pixels()[2], 0x00102030u);
    EXPECT_EQ(f.pixels()[3], 0xFF102030u);
}

TEST(MaskOps, BorderRuleKeepsTheOuterRingAndFillsTheInside) {
    // Black background with a 5 x 5 square of grey 128.
    Frame f = makeFrame(9, 9, 0xFF000000u);
    for (int y = 2; y < 7; ++y)
        for (int x = 2; x < 7; ++x) f.pixels()[y * 9 + x] = 0xFF808080u;
    ImageBuffer mask;
    ASSERT_TRUE(maskBorder(mask, f));
    ASSERT_EQ(f.alphaFromMask(&mask), FE_OK);
    auto alpha = [&](int x, int y) { return f.pixels()[y * 9 + x] >> 24; };
    EXPECT_EQ(alpha(0, 0), 0u);
    EXPECT_EQ(alpha(1, 1), 0u);
    EXPECT_EQ(alpha(2, 2), 128u);
    EXPECT_EQ(alpha(4, 2), 128u);
    EXPECT_EQ(alpha(6, 5), 128u);
    for (int y = 3; y < 6; ++y)
        for (int x = 3; x < 6; ++x) EXPECT_EQ(alpha(x, y), 255u) << x << "," << y;
    EXPECT_EQ(mask.pixels()[4 * 9 + 4], 0xFFFFFFFFu);

    // Image border pixels never change, even far from the reference colour.
    Frame g = makeFrame(5, 4, 0xFFFFFFFFu);
    g.pixels()[0] = 0xFF000000u;
    ASSERT_TRUE(maskBorder(mask, g));
    EXPECT_EQ(mask.pixels()[4], 0x00FFFFFFu);          // (4, 0): luminance, not full
    EXPECT_EQ(mask.pixels()[1 * 5 + 1], 0x00FFFFFFu);  // touches (0, 0)
    EXPECT_EQ(mask.pixels()[1 * 5 + 2], 0xFFFFFFFFu);
    EXPECT_EQ(mask.pixels()[2 * 5 + 3], 0xFFFFFFFFu);

    // A reference word of 0xFFFFFFFF is matched by every pixel the rule fills, so the row-by-row
    // order decides: (2, 1) fills and then keeps (3, 1) and the whole next row as they are.
    ImageBuffer white;
    ASSERT_EQ(white.create(5, 5), 1);
    for (int k = 0; k < 25; ++k) white.pixels()[k] = 0x00FFFFFFu;
    white.pixels()[0] = 0xFFFFFFFFu;
    applyBorderRule(white);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x) {
            const bool full = (x == 2 && y == 1) || (x == 1 && y == 3) || (x == 3 && y == 3);
            EXPECT_EQ(white.pixels()[y * 5 + x], full ? 0xFFFFFFFFu : 0x00FFFFFFu) << x << "," << y;
        }

    // Random masks of few values (so the reference value turns up often) against the rule
    // written out pixel by pixel.
    uint32_t seed = 7;
    for (int round = 0; round < 20; ++round) {
        const int w = 3 + round % 7, h = 3 + round % 5;
        ImageBuffer a;
        ASSERT_EQ(a.create(w, h), 1);
        for (int k = 0; k < w * h; ++k) {
            seed = seed * 1664525u + 1013904223u;
            a.pixels()[k] = (seed >> 28) < 3 ? 0x00101010u : 0x00808080u + (seed >> 30);
        }
        std::vector<uint32_t> expect(a.pixels(), a.pixels() + w * h);
        const uint32_t ref = expect[0];
        for (int y = 1; y < h - 1; ++y)
            for (int x = 1; x < w - 1; ++x) {
                bool near = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) near |= expect[(y + dy) * w + x + dx] == ref;
                if (!near) expect[y * w + x] = 0xFFFFFFFFu;
            }
        applyBorderRule(a);
        EXPECT_EQ(std::vector<uint32_t>(a.pixels(), a.pixels() + w * h), expect) << round;
    }

    // Below 3 x 3 the result is plain luminance.
    Frame small = makeFrame(2, 2, 0xFF00FF00u);
    ASSERT_TRUE(maskBorder(mask, small));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(mask.pixels()[k], 0x00969696u);
}

TEST(MaskOps, ClearInvertAndKeyColour) {
    Frame f = makeFrame(3, 1, 0x40ABCDEFu);
    f.pixels()[1] = 0x80123456u;
    ImageBuffer mask;
    ASSERT_TRUE(maskFromAlphaGrey(mask, f));
    maskClear(mask);
    maskInvert(mask);
    ASSERT_EQ(f.alphaFromMask(&mask), FE_OK);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(f.pixels()[k] >> 24, 0xFFu);
    // Invert keeps the fourth byte.
    mask.pixels()[0] = 0x12345678u;
    maskInvert(mask);
    EXPECT_EQ(mask.pixels()[0], 0x12CBA987u);

    ASSERT_TRUE(maskFromKeyColour(mask, f, 0xFF123456u));  // the key's alpha byte is ignored
    EXPECT_EQ(mask.pixels()[0], 0x00FFFFFFu);
    EXPECT_EQ(mask.pixels()[1], 0u);

    keyColourToAlpha(f, 0x123456u);
    EXPECT_EQ(f.pixels()[0], 0xFFABCDEFu);
    EXPECT_EQ(f.pixels()[1], 0x00123456u);

    ImageBuffer colour;
    ASSERT_EQ(colour.create(2, 1), 1);
    const uint32_t src[2] = {0x80A1B2C3u, 0xFF00FF00u};
    colour.loadPixels(src, 0x00FF0000u);  // only red shown
    EXPECT_EQ(pickKeyColour(colour, 0, 0), 0x00A10000u);
    EXPECT_EQ(pickKeyColour(colour, 2, 0), 0u);
    EXPECT_EQ(pickKeyColour(colour, -1, 0), 0u);
    colour.loadPixels(src, 0x00FFFFFFu);
    EXPECT_EQ(pickKeyColour(colour, 0, 0), 0x00A1B2C3u);
}

TEST(MaskOps, KeyColourForAllFramesOfMixedSizes) {
    struct Steps : Progress {
        int total = 0, steps = 0;
        void begin(int t) override { total = t; }
        void step() override { ++steps; }
    } progress;
    FrameSequence s;
    for (int k = 0; k < 3; ++k) {
        Frame* f = s.append();
        ASSERT_EQ(f->createBlank(2 + k, 1 + k), FE_OK);
        for (int i = 0; i < f->width() * f->height(); ++i) f->pixels()[i] = 0x00FF00FFu;
        f->pixels()[0] = 0x10203040u;
    }
    ASSERT_EQ(keyColourAllFrames(s, 0xFF00FFu, &progress), FE_OK);
    EXPECT_EQ(progress.total, 3);
    EXPECT_EQ(progress.steps, 3);
    for (int k = 0; k < 3; ++k) {
        const Frame& f = *s.frameAt(k);
        EXPECT_EQ(f.pixels()[0], 0xFF203040u);
        const int last = f.width() * f.height() - 1;
        EXPECT_EQ(f.pixels()[last], 0x00FF00FFu);
    }
}
