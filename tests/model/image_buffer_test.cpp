#include <gtest/gtest.h>

#include "model/image_buffer.h"

TEST(ImageBuffer, CreateHeaderAndLayout) {
    ImageBuffer b;
    EXPECT_TRUE(b.empty());
    ASSERT_EQ(b.create(3, 2), 1);
    EXPECT_EQ(b.header().size, 40u);
    EXPECT_EQ(b.header().width, 3);
    EXPECT_EQ(b.header().height, -2);
    EXPECT_EQ(b.header().planes, 1);
    EXPECT_EQ(b.header().bitCount, 32);
    EXPECT_EQ(b.header().sizeImage, 24u);
    EXPECT_EQ(b.pitch(), 12);
    EXPECT_EQ(&b.at(2, 1) - b.pixels(), 5);
    // A refused size leaves everything empty.
    EXPECT_EQ(b.create(0, 5), 0);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.header().size, 0u);
    EXPECT_EQ(b.create(100000, 100000), 0);
    EXPECT_EQ(b.release(), 0);
}

TEST(ImageBuffer, LoadPixelsChannelMasks) {
    ImageBuffer b;
    ASSERT_EQ(b.create(2, 1), 1);
    const uint32_t src[2] = {0x80123456u, 0x01ABCDEFu};
    b.loadPixels(src, 0x00FFFFFFu);
    EXPECT_EQ(b.pixels()[0], 0x80123456u);  // full colour keeps alpha
    b.loadPixels(src, 0xFF000000u);
    EXPECT_EQ(b.pixels()[0], 0x00808080u);
    EXPECT_EQ(b.pixels()[1], 0x00010101u);
    b.loadPixels(src, 0x00FF0000u);
    EXPECT_EQ(b.pixels()[1], 0x00AB0000u);
    b.loadPixels(src, 0x000000FFu);
    EXPECT_EQ(b.pixels()[0], 0x00000056u);
}

TEST(ImageBuffer, AverageAndXorAndAnd) {
    ImageBuffer a, o;
    ASSERT_EQ(a.create(2, 1), 1);
    ASSERT_EQ(o.create(2, 1), 1);
    a.pixels()[0] = 0x00FF00FFu;
    o.pixels()[0] = 0x000000FFu;
    a.pixels()[1] = 0xFF000000u;
    o.pixels()[1] = 0xFF000000u;
    a.averageWith(o);
    EXPECT_EQ(a.pixels()[0], 0x007F00FEu);
    EXPECT_EQ(a.pixels()[1], 0u);
    a.pixels()[0] = 0x12345678u;
    a.xorAll(0xFF000000u);
    EXPECT_EQ(a.pixels()[0], 0x12CBA987u);
    a.xorAll(0xFFFFFFFFu);
    EXPECT_EQ(a.pixels()[0], 0x12CBA987u);
    a.andAll(0x0000FFFFu);
    EXPECT_EQ(a.pixels()[0], 0x0000A987u);
    o.copyFrom(a);
    EXPECT_EQ(o.pixels()[0], 0x0000A987u);
}

TEST(ImageBuffer, BlendLine) {
    ImageBuffer b;
    ASSERT_EQ(b.create(8, 8), 1);
    for (int k = 0; k < 64; ++k) b.pixels()[k] = 0x40000000u;
    b.blendLine(0, 0, 3, 0, 255, 0, 0, 128);
    // (0*256 + 255*128) >> 8 = 127 for red; alpha untouched; the end point is not plotted.
    EXPECT_EQ(b.at(0, 0), 0x407F0000u);
    EXPECT_EQ(b.at(2, 0), 0x407F0000u);
    EXPECT_EQ(b.at(3, 0), 0x40000000u);
    b.blendLine(5, 5, 5, 5, 255, 255, 255, 255);
    EXPECT_EQ(b.at(5, 5), 0x40000000u);
    b.blendLine(0, 4, 7, 4, 255, 255, 255, 0);
    EXPECT_EQ(b.at(3, 4), 0x40000000u);
    // A vertical line plots every row but the last.
    b.blendLine(0, 1, 0, 4, 0, 0, 255, 255);
    EXPECT_EQ(b.at(0, 1) & 0xFF, 0xFEu);  // (0 + 255*255) >> 8 = 254
    EXPECT_EQ(b.at(0, 3) & 0xFF, 0xFEu);
    EXPECT_EQ(b.at(0, 4) & 0xFF, 0u);
    // Blending towards a darker colour: (255*256 - 255*128) >> 8 = 127 in each channel.
    b.at(7, 7) = 0x00FFFFFFu;
    b.blendLine(7, 7, 6, 7, 0, 0, 0, 128);
    EXPECT_EQ(b.at(7, 7), 0x007F7F7Fu);
}

TEST(ImageBuffer, StretchSourceYIsBottomUp) {
    ImageBuffer b;
    ASSERT_EQ(b.create(4, 100), 1);
    EXPECT_EQ(b.stretchSourceY(0, 100), 0);
    EXPECT_EQ(b.stretchSourceY(10, 20), 70);
}
