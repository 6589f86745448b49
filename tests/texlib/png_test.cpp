#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "raster_test_util.h"
#include "texlib/png.h"

using namespace raster;

namespace {

// Builds PNG files chunk by chunk, so that every colour type, depth and damage can be made.
struct PngBuilder {
    Bytes b;
    PngBuilder() { b.u8(0x89).u8('P').u8('N').u8('G').u8(13).u8(10).u8(26).u8(10); }
    PngBuilder& chunk(const char* type, const std::vector<uint8_t>& data) {
        b.be32(uint32_t(data.size()));
        const size_t start = b.v.size();
        for (int k = 0; k < 4; ++k) b.u8(type[k]);
        b.v.insert(b.v.end(), data.begin(), data.end());
        uint32_t crc = uint32_t(crc32(0, b.v.data() + start, uInt(b.v.size() - start)));
        b.be32(crc);
        return *this;
    }
    PngBuilder& ihdr(uint32_t w, uint32_t h, int depth, int colourType, int interlace = 0) {
        Bytes d;
        d.be32(w).be32(h).u8(depth).u8(colourType).u8(0).u8(0).u8(interlace);
        return chunk("IHDR", d.v);
    }
    // Rows of raw bytes, each given filter type 0.
    PngBuilder& idat(const std::vector<std::vector<uint8_t>>& rows) {
        std::vector<uint8_t> raw;
        for (const auto& r : rows) {
            raw.push_back(0);
            raw.insert(raw.end(), r.begin(), r.end());
        }
        uLongf n = compressBound(uLong(raw.size()));
        std::vector<uint8_t> z(n);
        compress(z.data(), &n, raw.data(), uLong(raw.size()));
        z.resize(n);
        return chunk("IDAT", z);
    }
    std::vector<uint8_t> end() {
        chunk("IEND", {});
        return b.v;
    }
};

std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& z) {
    std::vector<uint8_t> out(1 << 20);
    uLongf n = uLongf(out.size());
    EXPECT_EQ(uncompress(out.data(), &n, z.data(), uLong(z.size())), Z_OK);
    out.resize(n);
    return out;
}

}  // namespace

TEST(Png, SixteenBitRgbaStripsToEightBitsWithAlpha) {
    PngBuilder p;
    p.ihdr(2, 1, 16, 6)
        .idat({{0x12, 0x99, 0x34, 0x01, 0x56, 0xFF, 0x80, 0x00,  //
                0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0x10}});
    TxReadContext ctx;
    EXPECT_EQ(readPixels(p.end(), ctx), (std::vector<uint32_t>{0x80123456, 0x00FF0001}));
    EXPECT_EQ(ctx.fileType, TX_TYPE_PNG);
}

TEST(Png, GreyDepthsExpandToOpaqueGrey) {
    PngBuilder one;
    one.ihdr(10, 1, 1, 0).idat({{0xA5, 0xC0}});
    TxReadContext ctx;
    EXPECT_EQ(readPixels(one.end(), ctx),
              (std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000,
                                     0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    PngBuilder two;
    two.ihdr(4, 1, 2, 0).idat({{0x1B}});  // 0, 1, 2, 3 -> 0, 85, 170, 255
    EXPECT_EQ(readPixels(two.end(), ctx),
              (std::vector<uint32_t>{0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF}));
    PngBuilder greyAlpha;
    greyAlpha.ihdr(1, 1, 8, 4).idat({{0x40, 0x7F}});
    EXPECT_EQ(readPixels(greyAlpha.end(), ctx), (std::vector<uint32_t>{0x7F404040}));
}

TEST(Png, TransparencyChunkGivesAlphaToEveryTexelIncludingTheFirstColumn) {
    // Palette image: index 0 is fully transparent, index 1 half, index 2 opaque (no tRNS entry).
    PngBuilder pal;
    pal.ihdr(3, 2, 8, 3);
    pal.chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90});
    pal.chunk("tRNS", {0, 128});
    pal.idat({{0, 1, 2}, {2, 0, 1}});
    TxReadContext ctx;
    EXPECT_EQ(readPixels(pal.end(), ctx),
              (std::vector<uint32_t>{0x000A141E, 0x8028323C, 0xFF46505A, 0xFF46505A, 0x000A141E,
                                     0x8028323C}));
    // RGB image with a colour key: the keyed texel in column 0 is transparent too.
    PngBuilder rgb;
    rgb.ihdr(2, 1, 8, 2);
    rgb.chunk("tRNS", {0, 1, 0, 2, 0, 3});
    rgb.idat({{1, 2, 3, 4, 5, 6}});
    EXPECT_EQ(readPixels(rgb.end(), ctx), (std::vector<uint32_t>{0x00010203, 0xFF040506}));
}

TEST(Png, DamagedFilesFailCleanly) {
    TxReadContext ctx;
    TxMip mip;
    auto expectFailure = [&](const std::vector<uint8_t>& bytes, const std::string& prefix) {
        ctx = TxReadContext();
        EXPECT_FALSE(readOwn(bytes, mip, ctx));
        EXPECT_EQ(mip.data[0], nullptr);
        EXPECT_EQ(ctx.fileType, 0);
        EXPECT_EQ(ctx.lastError.rfind(prefix, 0), 0u) << ctx.lastError;
    };
    PngBuilder good;
    std::vector<std::vector<uint8_t>> rows(64, std::vector<uint8_t>(64 * 3, 7));
    good.ihdr(64, 64, 8, 2).idat(rows);
    const auto file = good.end();
    // Cut inside the image data.
    expectFailure(std::vector<uint8_t>(file.begin(), file.begin() + 60), "PNG Image: ");
    // Header checksum wrong.
    auto badCrc = file;
    badCrc[29] ^= 0xFF;
    expectFailure(badCrc, "PNG Image: ");
    // Zero and gigantic sides, and a colour type that does not exist.
    PngBuilder zero;
    zero.ihdr(0, 5, 8, 2).idat({{}});
    expectFailure(zero.end(), "PNG Image: ");
    PngBuilder huge;
    huge.ihdr(100000, 100000, 8, 2).idat({{}});
    expectFailure(huge.end(), "PNG Image: ");
    PngBuilder wide;  // within libpng's limits but more than 1 GiB of texels
    wide.ihdr(32768, 32768, 8, 2).idat({{}});
    expectFailure(wide.end(), "PNG Image: image is too large.");
    PngBuilder badType;
    badType.ihdr(1, 1, 8, 5).idat({{1}});
    expectFailure(badType.end(), "PNG Image: ");

    // Damage after the image data does not spoil the complete image.
    auto lateDamage = file;
    lateDamage.resize(lateDamage.size() - 6);
    ctx = TxReadContext();
    EXPECT_TRUE(readOwn(lateDamage, mip, ctx)) << ctx.lastError;
}

TEST(Png, WriterStoresSubFilteredRgbaAndLeavesTheTexelsAlone) {
    const auto px = pattern(37, 5);
    const auto before = px;
    const std::string path = tempPath("w.png");
    ASSERT_EQ(txWritePNG(path, 37, 5, px.data()), TX_PNG_OK);
    EXPECT_EQ(px, before);
    const auto f = slurp(path);
    ASSERT_GT(f.size(), 33u);
    // IHDR: 37 x 5, depth 8, colour type 6.
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 12, f.begin() + 16),
              (std::vector<uint8_t>{'I', 'H', 'D', 'R'}));
    EXPECT_EQ(f[19], 37);
    EXPECT_EQ(f[23], 5);
    EXPECT_EQ(f[24], 8);
    EXPECT_EQ(f[25], 6);
    // sBIT of 8 for all four channels, and every row stored with filter type 1 (Sub).
    std::vector<uint8_t> z;
    bool sbit = false;
    for (size_t at = 8; at + 12 <= f.size();) {
        const uint32_t len = uint32_t(f[at] << 24 | f[at + 1] << 16 | f[at + 2] << 8 | f[at + 3]);
        const std::string type(f.begin() + long(at) + 4, f.begin() + long(at) + 8);
        if (type == "sBIT")
            sbit = std::vector<uint8_t>(f.begin() + long(at) + 8, f.begin() + long(at) + 12) ==
                   std::vector<uint8_t>{8, 8, 8, 8};
        if (type == "IDAT")
            z.insert(z.end(), f.begin() + long(at) + 8, f.begin() + long(at + 8 + len));
        at += 12 + len;
    }
    EXPECT_TRUE(sbit);
    const auto raw = inflateAll(z);
    ASSERT_EQ(raw.size(), 5u * (1 + 37 * 4));
    for (size_t row = 0; row < 5; ++row) EXPECT_EQ(raw[row * (1 + 37 * 4)], 1) << row;
    // The first texel is stored R, G, B, A; the second as its difference from the first.
    const uint32_t t = px[0], u = px[1];
    EXPECT_EQ(
        std::vector<uint8_t>(raw.begin() + 1, raw.begin() + 5),
        (std::vector<uint8_t>{uint8_t(t >> 16), uint8_t(t >> 8), uint8_t(t), uint8_t(t >> 24)}));
    EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 5, raw.begin() + 9),
              (std::vector<uint8_t>{uint8_t((u >> 16) - (t >> 16)), uint8_t((u >> 8) - (t >> 8)),
                                    uint8_t(u - t), uint8_t((u >> 24) - (t >> 24))}));
    TxReadContext ctx;
    EXPECT_EQ(readPixels(f, ctx), px);
}

TEST(Png, WriterFailuresAreReportedAndLoseNothing) {
    const auto px = pattern(200, 200);
    std::string err;
    EXPECT_EQ(txWritePNG(tempPath("missing-dir/a.png"), 200, 200, px.data(), &err),
              TX_PNG_CANNOT_CREATE);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(txWritePNG(tempPath("n.png"), 0, 1, px.data()), TX_PNG_NO_IMAGE);
    EXPECT_EQ(txWritePNG(tempPath("n.png"), 1, 1, nullptr), TX_PNG_NO_IMAGE);
    const std::string path = tempPath("short.png");
    { std::ofstream(path) << "old"; }
    EXPECT_EQ(resultUnderSizeLimit(1024, [&] { return txWritePNG(path, 200, 200, px.data()); }),
              TX_PNG_WRITE_ERROR);
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// The direct reader and libpng must give the same pixels, or refuse the same files.
TEST(Png, DirectReaderAgreesWithLibpngOnEveryFilterAndLayout) {
    auto compare = [](const std::vector<uint8_t>& file, bool expectOk, const char* what) {
        TxReadContext a, b;
        TxMip ma, mb;
        const bool okDirect = readOwn(file, ma, a);
        txPngUseLibpngOnly(true);
        const bool okLibpng = readOwn(file, mb, b);
        txPngUseLibpngOnly(false);
        EXPECT_EQ(okDirect, expectOk) << what << ": " << a.lastError;
        EXPECT_EQ(okLibpng, expectOk) << what << ": " << b.lastError;
        if (!okDirect || !okLibpng) return;
        ASSERT_EQ(ma.width * ma.height, mb.width * mb.height) << what;
        EXPECT_EQ(std::memcmp(ma.data[0], mb.data[0], size_t(ma.size)), 0) << what;
    };
    // Filtered rows of pseudo-random bytes, row y with filter type y % 5: any bytes are valid
    // filtered data, so every filter meets every kind of neighbour.
    auto rows = [](size_t rowBytes, int h, uint32_t seed, bool filters) {
        std::vector<uint8_t> raw;
        for (int y = 0; y < h; ++y) {
            raw.push_back(uint8_t(filters ? y % 5 : 0));
            for (size_t i = 0; i < rowBytes; ++i) {
                seed = seed * 1664525u + 1013904223u;
                raw.push_back(uint8_t(seed >> 24));
            }
        }
        uLongf n = compressBound(uLong(raw.size()));
        std::vector<uint8_t> z(n);
        compress(z.data(), &n, raw.data(), uLong(raw.size()));
        z.resize(n);
        return z;
    };
    struct Layout {
        int colourType, depth, channels;
    };
    for (Layout l : {Layout{6, 8, 4}, Layout{2, 8, 3}, Layout{0, 8, 1}, Layout{4, 8, 2}}) {
        PngBuilder p;
        p.ihdr(37, 11, l.depth, l.colourType).chunk("IDAT", rows(37u * l.channels, 11, 5, true));
        compare(p.end(), true, "filtered");
    }
    // Colour keys (grey and RGB), a 2-bit palette of three colours with alpha for two (index 3
    // lies beyond it), and image data split over three chunks.
    PngBuilder grey;
    grey.ihdr(16, 4, 8, 0).chunk("tRNS", {0, 0x35}).chunk("IDAT", rows(16, 4, 9, false));
    compare(grey.end(), true, "grey key");
    PngBuilder rgb;
    rgb.ihdr(1, 2, 8, 2).chunk("tRNS", {0, 1, 0, 2, 0, 3}).idat({{1, 2, 3}, {1, 2, 4}});
    compare(rgb.end(), true, "rgb key");
    PngBuilder pal;
    pal.ihdr(13, 3, 2, 3)
        .chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255})
        .chunk("tRNS", {0, 128})
        .idat({{0x1B, 0xE4, 0x6C, 0xFF}, {0, 0x55, 0xAA, 0xFF}, {0x1B, 0x1B, 0x1B, 0x1B}});
    compare(pal.end(), true, "palette");
    const auto z = rows(64, 9, 3, true);
    PngBuilder split;
    split.ihdr(16, 9, 8, 6);
    const size_t third = z.size() / 3;
    split.chunk("IDAT", std::vector<uint8_t>(z.begin(), z.begin() + long(third)));
    split.chunk("IDAT", std::vector<uint8_t>(z.begin() + long(third), z.begin() + long(2 * third)));
    split.chunk("IDAT", std::vector<uint8_t>(z.begin() + long(2 * third), z.end()));
    const auto good = split.end();
    compare(good, true, "split");
    // Damage the direct reader hands to libpng: a wrong checksum in the image data, a stream cut
    // short, a filter type that does not exist.
    auto badCrc = good;
    badCrc[good.size() - 12 - 1] ^= 1;
    compare(badCrc, false, "image data checksum");
    PngBuilder shortRows;
    shortRows.ihdr(16, 10, 8, 6).chunk("IDAT", z);
    compare(shortRows.end(), false, "stream cut short");
    PngBuilder badFilter;
    badFilter.ihdr(2, 1, 8, 0).chunk("IDAT", [] {
        const std::vector<uint8_t> raw = {7, 1, 2};
        uLongf n = 64;
        std::vector<uint8_t> out(n);
        compress(out.data(), &n, raw.data(), uLong(raw.size()));
        out.resize(n);
        return out;
    }());
    compare(badFilter.end(), false, "filter type 7");
}

// Flat sprite art is stored unfiltered or with Up, and reads back exactly.
TEST(Png, WriterStoresFlatArtUnfilteredOrWithUp) {
    std::vector<uint32_t> px(256 * 64, 0);
    for (int y = 8; y < 56; ++y)
        for (int x = 0; x < 256; ++x)
            if ((x & 63) >= 8 && (x & 63) < 56)
                px[size_t(y) * 256 + size_t(x)] = (x & 64) ? 0xFF2040C0u : 0x80E0E020u;
    const int filter = txPngChooseFilter(256, 64, px.data());
    EXPECT_TRUE(filter == TX_PNG_FILTER_NONE || filter == TX_PNG_FILTER_UP) << filter;
    const std::string path = tempPath("flat.png");
    ASSERT_EQ(txWritePNG(path, 256, 64, px.data()), TX_PNG_OK);
    TxReadContext ctx;
    EXPECT_EQ(readPixels(slurp(path), ctx), px);
    EXPECT_EQ(txPngChooseFilter(37, 5, pattern(37, 5).data()), TX_PNG_FILTER_SUB);
}

// A sheet of shaded sprites packs smaller than zlib's best effort on the same rows unfiltered
// (what libpng writes with filtering off), and reads back exactly.
TEST(Png, FlatSheetPacksBelowZlibLevelNine) {
    const int w = 512, h = 256;
    std::vector<uint32_t> px(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sx = x % 64, sy = y % 64, kind = (x / 64 * 5 + y / 64 * 3) % 4;
            if (sx < 8 || sx >= 56 || sy < 8 || sy >= 56) continue;
            const uint32_t shade = uint32_t(200 - 3 * (sy - 8));
            px[size_t(y) * w + size_t(x)] = 0xFF000000u | (shade << (8 * (kind % 3))) | kind;
        }
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = px[size_t(y) * w + size_t(x)];
            raw.insert(raw.end(),
                       {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)});
        }
    }
    uLongf zlibSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> z(zlibSize);
    ASSERT_EQ(compress2(z.data(), &zlibSize, raw.data(), uLong(raw.size()), 9), Z_OK);
    const std::string path = tempPath("sheet.png");
    ASSERT_EQ(txWritePNG(path, w, h, px.data()), TX_PNG_OK);
    const auto f = slurp(path);
    // Signature, IHDR, sBIT, the IDAT's length, type and CRC, IEND.
    EXPECT_LE(f.size() - (8 + 25 + 16 + 12 + 12), size_t(zlibSize));
    TxReadContext ctx;
    EXPECT_EQ(readPixels(f, ctx), px);
}

// Pictures of at most 256 colours are stored as palettes of the fewest bits an index, alpha in the
// transparency chunk, and read back exactly (directly and through libpng); one more colour, or too
// few pixels for the palette to pay, keeps RGBA.
TEST(Png, FewColoursWriteAPaletteThatReadsBackExactly) {
    struct Case {
        int colours, w, h, colourType, depth;
    };
    for (Case c : {Case{2, 64, 16, 3, 1}, Case{4, 33, 7, 3, 2}, Case{16, 40, 40, 3, 4},
                   Case{200, 64, 64, 3, 8}, Case{257, 64, 64, 6, 8}, Case{100, 20, 20, 6, 8}}) {
        std::vector<uint32_t> px(size_t(c.w) * size_t(c.h));
        for (size_t k = 0; k < px.size(); ++k) {
            const uint32_t i = uint32_t((k * 7 + k / 5) % size_t(c.colours));
            // Colour 0 clear, as a sheet's background; the others with alphas from 0 to 255.
            px[k] = i == 0 ? 0 : ((i * 89u & 0xFFu) << 24) | (i << 4);
        }
        const std::string path = tempPath("pal.png");
        ASSERT_EQ(txWritePNG(path, c.w, c.h, px.data()), TX_PNG_OK) << c.colours;
        const auto f = slurp(path);
        EXPECT_EQ(f[24], c.depth) << c.colours;
        EXPECT_EQ(f[25], c.colourType) << c.colours;
        TxReadContext ctx;
        EXPECT_EQ(readPixels(f, ctx), px) << c.colours;
        txPngUseLibpngOnly(true);
        ctx = TxReadContext();
        EXPECT_EQ(readPixels(f, ctx), px) << c.colours << " through libpng";
        txPngUseLibpngOnly(false);
    }
}

// Paeth rows over flat stretches (the row above equal to its left neighbours) and over detail,
// side by side, read back to the pixels that were filtered, directly and through libpng.
TEST(Png, PaethOverFlatAndDetailedStretchesReadsBack) {
    const int w = 45, h = 6;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    uint32_t seed = 11;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) {
                seed = seed * 1664525u + 1013904223u;
                // Flat rows of a colour that changes from row to row, with noise in some columns.
                const bool noisy = (x / 7) % 3 == 2 || y == 3;
                rgba[(size_t(y) * w + size_t(x)) * 4 + size_t(k)] =
                    uint8_t(noisy ? seed >> 24 : 40 * y + 17 * k);
            }
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(4);
        for (int i = 0; i < w * 4; ++i) {
            auto at = [&](int yy, int ii) {
                return yy < 0 || ii < 0 ? 0 : int(rgba[size_t(yy) * size_t(w) * 4 + size_t(ii)]);
            };
            const int a = at(y, i - 4), b = at(y - 1, i), c = at(y - 1, i - 4), p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            raw.push_back(uint8_t(at(y, i) - pred));
        }
    }
    uLongf n = compressBound(uLong(raw.size()));
    std::vector<uint8_t> z(n);
    ASSERT_EQ(compress(z.data(), &n, raw.data(), uLong(raw.size())), Z_OK);
    z.resize(n);
    PngBuilder p;
    const auto file = p.ihdr(w, h, 8, 6).chunk("IDAT", z).end();
    std::vector<uint32_t> want;
    for (size_t k = 0; k < rgba.size(); k += 4)
        want.push_back(uint32_t(rgba[k + 3]) << 24 | uint32_t(rgba[k]) << 16 |
                       uint32_t(rgba[k + 1]) << 8 | rgba[k + 2]);
    TxReadContext ctx;
    EXPECT_EQ(readPixels(file, ctx), want);
    txPngUseLibpngOnly(true);
    ctx = TxReadContext();
    EXPECT_EQ(readPixels(file, ctx), want);
    txPngUseLibpngOnly(false);
}
