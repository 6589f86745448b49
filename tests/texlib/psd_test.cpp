#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "texlib/psd.h"

namespace {

Bytes psdHeader(int channels, uint32_t w, uint32_t h, int bits, int mode, int version = 1) {
    Bytes b;
    b.str("8BPS").be16(version).fill(6, 0).be16(channels).be32(h).be32(w).be16(bits).be16(mode);
    return b;
}

// Colour mode data, image resources and a layer section that must be skipped by their lengths.
void sections(Bytes& b, const std::vector<uint8_t>& modeData) {
    b.be32(uint32_t(modeData.size()));
    b.v.insert(b.v.end(), modeData.begin(), modeData.end());
    b.be32(12).str("8BIM").be16(1005).be16(0).be32(0);
    b.be32(6).str("layers");
}

std::vector<uint8_t> planarTable() {
    std::vector<uint8_t> t(768);
    for (int i = 0; i < 256; ++i) {
        t[size_t(i)] = uint8_t(i);
        t[size_t(256 + i)] = uint8_t(255 - i);
        t[size_t(512 + i)] = uint8_t(i * 3);
    }
    return t;
}

struct Messages {
    static std::vector<std::string>& list() {
        static std::vector<std::string> l;
        return l;
    }
    static void record(const char* text, int) { list().push_back(text); }
    Messages() {
        list().clear();
        TxReadError = record;
    }
    ~Messages() {
        TxReadError = [](const char*, int) {};
    }
    bool saw(const std::string& text) const {
        for (const auto& m : list())
            if (m == text) return true;
        return false;
    }
};

}  // namespace

TEST(Psd, IndexedRawAndPackBitsUseThePlanarPalette) {
    Bytes b = psdHeader(1, 3, 2, 8, 2);
    sections(b, planarTable());
    b.be16(0).u8(0).u8(1).u8(2).u8(253).u8(254).u8(255);
    TxReadContext ctx;
    TxMip mip;
    TxStream s(b.v.data(), b.v.size());
    ASSERT_TRUE(txMipRead(mip, "x.psd", s, TX_PREFER_OWN, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_PSD);
    EXPECT_EQ(mip.format, TX_FMT_P8);
    EXPECT_EQ(mip.pal[1], 0xFF01FE03u);
    EXPECT_EQ(mip.pal[255], 0xFFFF00FDu);  // 255 * 3 keeps its low byte
    EXPECT_EQ(std::vector<uint8_t>(mip.data[0], mip.data[0] + 6),
              (std::vector<uint8_t>{0, 1, 2, 253, 254, 255}));

    // PackBits: a literal of 2, a no-op (128), then a run of 5 that is cut at the level end.
    Bytes c = psdHeader(1, 3, 2, 8, 2);
    sections(c, planarTable());
    c.be16(1).be16(3).be16(3);  // row byte counts
    c.u8(1).u8(7).u8(8).u8(128).u8(256 - 4).u8(9).u8(0).u8(42);
    TxReadContext ctx2;
    TxMip own;
    TxStream s2(c.v.data(), c.v.size());
    ASSERT_TRUE(txMipRead(own, "x.psd", s2, TX_PREFER_OWN, ctx2)) << ctx2.lastError;
    EXPECT_EQ(std::vector<uint8_t>(own.data[0], own.data[0] + 6),
              (std::vector<uint8_t>{7, 8, 9, 9, 9, 9}));

    // A short colour table leaves the rest of the palette 0.
    Bytes d = psdHeader(1, 1, 1, 8, 2);
    sections(d, {10, 20});
    d.be16(0).u8(1);
    TxReadContext ctx3;
    auto px = readPixels(d.v, ctx3);
    ASSERT_EQ(px.size(), 1u) << ctx3.lastError;
    EXPECT_EQ(px[0], 0xFF140000u);  // red of entry 1 is 20, green and blue tables absent
}

TEST(Psd, RgbPlanesWithAndWithoutAlpha) {
    // Three channels, raw: every texel opaque.
    Bytes b = psdHeader(3, 2, 1, 8, 3);
    sections(b, {});
    b.be16(0).u8(0x10).u8(0x11).u8(0x20).u8(0x21).u8(0x30).u8(0x31);
    TxReadContext ctx;
    auto px = readPixels(b.v, ctx);
    ASSERT_EQ(px.size(), 2u) << ctx.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF102030u, 0xFF112131u}));

    // Four channels, PackBits: the fourth plane is alpha.
    Bytes c = psdHeader(4, 2, 1, 8, 3);
    sections(c, {});
    c.be16(1).be16(2).be16(2).be16(2).be16(2);
    c.u8(255).u8(0x10).u8(1).u8(0x20).u8(0x21).u8(255).u8(0x30).u8(1).u8(0x80).u8(0x00);
    TxReadContext ctx2;
    px = readPixels(c.v, ctx2);
    ASSERT_EQ(px.size(), 2u) << ctx2.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0x80102030u, 0x00102130u}));

    // Three channels, PackBits: opaque as well.
    Bytes d = psdHeader(3, 2, 1, 8, 3);
    sections(d, {});
    d.be16(1).be16(2).be16(2).be16(2);
    d.u8(255).u8(1).u8(255).u8(2).u8(255).u8(3);
    TxReadContext ctx3;
    px = readPixels(d.v, ctx3);
    ASSERT_EQ(px.size(), 2u) << ctx3.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF010203u, 0xFF010203u}));

    // More than four channels: the extra planes are not read.
    Bytes e = psdHeader(5, 1, 1, 8, 3);
    sections(e, {});
    e.be16(0).u8(1).u8(2).u8(3).u8(4).u8(5);
    TxReadContext ctx4;
    px = readPixels(e.v, ctx4);
    ASSERT_EQ(px.size(), 1u) << ctx4.lastError;
    EXPECT_EQ(px[0], 0x04010203u);
}

TEST(Psd, HeaderChecks) {
    Messages m;
    TxReadContext ctx;
    Bytes cmyk = psdHeader(4, 1, 1, 8, 4);
    sections(cmyk, {});
    cmyk.be16(0).fill(4, 0);
    EXPECT_TRUE(readPixels(cmyk.v, ctx).empty());
    EXPECT_TRUE(m.saw("Unsupported Colormode"));
    Bytes grey = psdHeader(1, 1, 1, 8, 1);
    EXPECT_TRUE(readPixels(grey.v, ctx).empty());
    Bytes deep = psdHeader(3, 1, 1, 16, 3);
    EXPECT_TRUE(readPixels(deep.v, ctx).empty());
    EXPECT_TRUE(m.saw("Incorrect BitDepth"));
    Bytes large = psdHeader(3, 1, 1, 8, 3, 2);
    EXPECT_TRUE(readPixels(large.v, ctx).empty());
    EXPECT_TRUE(m.saw("Incorrect PSD Header."));
    Bytes shortHeader = psdHeader(3, 1, 1, 8, 3);
    shortHeader.v.resize(20);
    EXPECT_TRUE(readPixels(shortHeader.v, ctx).empty());
    EXPECT_TRUE(m.saw("Unexpected end of file."));
}

TEST(Psd, SizesThatOverflowAreRefusedBeforeAllocating) {
    // 4 x width x height wraps in 32 bits for all of these.
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{0x7FFFFFFF, 0x7FFFFFFF},
                        {0x80000000u, 1},
                        {0xFFFFFFFFu, 0xFFFFFFFFu},
                        {32768, 32768},
                        {20000, 20000},
                        {0, 5}}) {
        Bytes b = psdHeader(3, w, h, 8, 3);
        sections(b, {});
        b.be16(0).fill(16, 1);
        TxStream s(b.v.data(), b.v.size());
        TxReadContext ctx;
        TxMip mip;
        EXPECT_FALSE(psdProbe(s, ctx, mip, 0)) << w << "x" << h;
    }
    // The largest allowed: 16384 x 16384 texels of four bytes (1 GiB), probed only (PackBits, so
    // only the row byte counts need be there).
    Bytes ok = psdHeader(3, 16384, 16384, 8, 3);
    sections(ok, {});
    ok.be16(1).fill(size_t(16384) * 3 * 2, 0);
    TxStream s(ok.v.data(), ok.v.size());
    TxReadContext ctx;
    TxMip mip;
    ASSERT_TRUE(psdProbe(s, ctx, mip, 0));
    EXPECT_EQ(mip.size, int64_t(1) << 30);
}

TEST(Psd, BodyErrors) {
    auto fails = [](const Bytes& b, const char* text) {
        TxReadContext ctx;
        EXPECT_TRUE(readPixels(b.v, ctx).empty()) << text;
        EXPECT_EQ(ctx.lastError, text);
    };
    Bytes big = psdHeader(1, 1, 1, 8, 2);
    big.be32(769).fill(769, 0).be32(0).be32(0).be16(0).u8(0);
    fails(big, "Invalid colormodedatablock.");
    Bytes rgbTable = psdHeader(3, 1, 1, 8, 3);
    rgbTable.be32(3).fill(3, 0).be32(0).be32(0).be16(0).fill(3, 0);
    fails(rgbTable, "Invalid colormodedatablock.");
    // A layer section longer than the file.
    Bytes layers = psdHeader(3, 1, 1, 8, 3);
    layers.be32(0).be32(0).be32(1000).fill(10, 0);
    fails(layers, "Unexpected end of file.");
    // No compression word.
    Bytes noWord = psdHeader(3, 1, 1, 8, 3);
    noWord.be32(0).be32(0).be32(0);
    fails(noWord, "Unexpected end of file.");
    // Raw colour planes cut short.
    Bytes cut = psdHeader(3, 2, 2, 8, 3);
    sections(cut, {});
    cut.be16(0).fill(10, 7);
    fails(cut, "Unexpected end of file.");
    Bytes cutIndexed = psdHeader(1, 2, 2, 8, 2);
    sections(cutIndexed, planarTable());
    cutIndexed.be16(0).fill(3, 7);
    fails(cutIndexed, "Unexpected end of file.");
    // PackBits data that end early leave the rest of the image 0 (and opaque for three channels).
    Bytes packed = psdHeader(3, 2, 1, 8, 3);
    sections(packed, {});
    packed.be16(1).fill(6, 0).u8(255).u8(9);
    TxReadContext ctx;
    auto px = readPixels(packed.v, ctx);
    ASSERT_EQ(px.size(), 2u) << ctx.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF090000u, 0xFF090000u}));
}
