#include <gtest/gtest.h>

#include "raster_test_util.h"
#include "texlib/ppm.h"

using namespace raster;

TEST(Ppm, ColourAndGreyWithCommentsBetweenTheNumbers) {
    Bytes b;
    b.str("P6\n# made by hand\n2\n# between width and height\n1\n255\n");
    b.u8(1).u8(2).u8(3).u8(250).u8(251).u8(252);
    TxReadContext ctx;
    int w = 0, h = 0;
    EXPECT_EQ(readPixels(b.v, ctx, &w, &h), (std::vector<uint32_t>{0xFF010203, 0xFFFAFBFC}));
    EXPECT_EQ(ctx.fileType, TX_TYPE_PPM);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);

    // Everything on the magic's line, and a binary byte that looks like a newline.
    Bytes g;
    g.str("P5 3 1 255\n").u8(10).u8(0).u8(255);
    TxMip mip;
    ASSERT_TRUE(readOwn(g.v, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(mip.format, TX_FMT_I8);
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 3),
              (std::vector<uint8_t>{10, 0, 255}));
    EXPECT_EQ(readPixels(g.v, ctx), (std::vector<uint32_t>{0xFF0A0A0A, 0xFF000000, 0xFFFFFFFF}));
}

TEST(Ppm, ShortDataReadsWithWhiteTexelsAndOneReport) {
    static int reports;
    reports = 0;
    const TxErrorCallback old = TxReadError;
    // Other probes report their refusals first; only the reader's own text is counted.
    TxReadError = [](const char* text, int) {
        reports += std::string(text) == "PPM file: Unexpected End of File.";
    };
    Bytes b;
    b.str("P6\n3 100\n255\n").u8(9).u8(8).u8(7).u8(6);  // one whole texel and a third of one
    TxReadContext ctx;
    auto px = readPixels(b.v, ctx);
    TxReadError = old;
    ASSERT_EQ(px.size(), 300u);
    EXPECT_EQ(px[0], 0xFF090807u);
    EXPECT_EQ(px[1], 0xFFFFFFFFu);
    EXPECT_EQ(px[299], 0xFFFFFFFFu);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(ctx.lastError, "PPM file: Unexpected End of File.");
}

TEST(Ppm, HeaderErrors) {
    TxReadContext ctx;
    TxMip mip;
    auto expectFailure = [&](const std::string& text, const char* error) {
        Bytes b;
        b.str(text);
        ctx = TxReadContext();
        EXPECT_FALSE(readOwn(b.v, mip, ctx)) << text;
        EXPECT_EQ(mip.data[0], nullptr);
        EXPECT_EQ(ctx.lastError, error) << text;
    };
    expectFailure("P6\n2 2\n65535\n", "Unsupported PPM format: max != 255");
    expectFailure("P6\n2 2\n255 7\n", "PPM file: parse error");
    expectFailure("P6\n2 x2\n255\n", "PPM file: parse error");
    expectFailure("P6\n2 2\n", "PPM file: Read error before end of header.");
    expectFailure("P5\n0 2\n255\n", "PPM Image: width or height is 0.");
    expectFailure("P5\n40000 2\n255\n", "PPM Image: image is too large.");
    // Sides whose 32-bit product wraps to a small number are refused too.
    expectFailure("P5\n65536 65537\n255\n", "PPM Image: image is too large.");
}
