#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "texlib/palette_file.h"

namespace {

std::vector<uint8_t> text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

struct Parsed {
    TxPaletteResult res;
    std::vector<uint32_t> entries;
};

// Parses with every entry preset to 0xABCDEF, so untouched entries are visible.
Parsed parse(const std::vector<uint8_t>& bytes, bool asBitmap = false) {
    Parsed p;
    p.entries.assign(256, 0xABCDEFu);
    p.res = txParsePalette(bytes.data(), bytes.size(), p.entries.data(), asBitmap);
    return p;
}

Bytes riff(uint32_t riffSize, int colours) {
    Bytes b;
    b.str("RIFF").le32(riffSize).str("PAL ").str("data").le32(uint32_t(4 + colours * 4));
    b.le16(0x300).le16(colours);
    for (int i = 0; i < colours; ++i) b.u8(i).u8(255 - i).u8(i / 2).u8(i == 1 ? 4 : 0);
    return b;
}

Bytes bitmap(int bits, uint32_t used, uint32_t infoSize = 40, int tableEntries = 256) {
    Bytes b;
    b.str("BM").le32(0).le32(0).le32(14 + infoSize + uint32_t(tableEntries) * 4);
    b.le32(infoSize).le32(4).le32(4).le16(1).le16(bits).le32(0).le32(0).le32(0).le32(0);
    b.le32(used).le32(0);
    b.fill(infoSize - 40, 0x55);
    for (int i = 0; i < tableEntries; ++i) b.u8(i).u8(i + 1).u8(i + 2).u8(0x99);  // B, G, R, -
    return b;
}

}  // namespace

TEST(PaletteFile, JascSetsTheColoursItHasAndStopsAtABadLine) {
    auto p = parse(text("JASC-PAL\r\n0100\r\n3\r\n255 0 0\r\n0 128 0\r\n1 2 3\r\n"));
    EXPECT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.res.kind, TX_PAL_KIND_JASC);
    EXPECT_EQ(p.res.entries, 3);
    EXPECT_EQ(p.entries[0], 0x0000FFu);
    EXPECT_EQ(p.entries[1], 0x008000u);
    EXPECT_EQ(p.entries[2], 0x030201u);
    EXPECT_EQ(p.entries[3], 0xABCDEFu);  // not in the file: unchanged

    // An empty last line is a colour line that does not parse.
    p = parse(text("JASC-PAL\n0100\n2\n1 1 1\n2 2 2\n\n"));
    EXPECT_EQ(p.res.status, TX_PAL_BAD_JASC);
    EXPECT_EQ(p.res.entries, 2);
    EXPECT_EQ(p.entries[1], 0x020202u);
    EXPECT_EQ(parse(text("JASC-PAX\n0100\n1\n1 1 1\n")).res.status, TX_PAL_BAD_JASC);
    EXPECT_EQ(parse(text("JASC-PAL\n0100\n1\n1 1\n")).res.status, TX_PAL_BAD_JASC);

    // More than 256 colour lines: the first 256 are taken.
    std::string many = "JASC-PAL\n0100\n300\n";
    for (int i = 0; i < 300; ++i) many += std::to_string(i % 256) + " 0 0\n";
    p = parse(text(many));
    EXPECT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.res.entries, 256);
    EXPECT_EQ(p.entries[255], 0x0000FFu);
}

TEST(PaletteFile, TextComponentsOutsideTheByteRangeAreClamped) {
    auto p = parse(text("JASC-PAL\n0100\n3\n300 -5 128\n99999999999999999999 0 -99999999999999\n"
                        "+7 0255 256\n"));
    ASSERT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.entries[0], 0x8000FFu);
    EXPECT_EQ(p.entries[1], 0x0000FFu);
    EXPECT_EQ(p.entries[2], 0xFFFF07u);
}

TEST(PaletteFile, GimpSkipsCommentsAndOptionalHeaderLines) {
    auto p = parse(text("GIMP Palette\nName: Test\nColumns: 4\n#\n255 0 0 Red\n# a comment\n"
                        "  0 255   0\tGreen\n0 0 255\n"));
    EXPECT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.res.kind, TX_PAL_KIND_GIMP);
    EXPECT_EQ(p.res.entries, 3);
    EXPECT_EQ(p.entries[0], 0x0000FFu);
    EXPECT_EQ(p.entries[1], 0x00FF00u);
    EXPECT_EQ(p.entries[2], 0xFF0000u);
    EXPECT_EQ(p.entries[3], 0xABCDEFu);
    // Without the "Columns:" line the first colour is still read.
    p = parse(text("GIMP Palette\nName: x\n10 20 30\n"));
    EXPECT_EQ(p.res.entries, 1);
    EXPECT_EQ(p.entries[0], 0x1E140Au);
    p = parse(text("GIMP Palette\nName: x\n#\n1 2 3\nred\n4 5 6\n"));
    EXPECT_EQ(p.res.status, TX_PAL_BAD_GIMP);
    EXPECT_EQ(p.res.entries, 1);
    EXPECT_EQ(parse(text("GIMP Palettx\n")).res.status, TX_PAL_BAD_GIMP);
}

TEST(PaletteFile, RiffTakesOnly256ColourPalettes) {
    auto p = parse(riff(1040, 256).v);
    ASSERT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.res.kind, TX_PAL_KIND_RIFF);
    EXPECT_EQ(p.entries[0], 0x0000FF00u);  // red 0, green 255, blue 0
    EXPECT_EQ(p.entries[1], 0x0400FE01u);  // flags byte kept on top
    EXPECT_EQ(p.entries[255], 0x007F00FFu);
    EXPECT_EQ(parse(riff(16 * 4 + 16, 16).v).res.status, TX_PAL_BAD_RIFF);
    Bytes cut = riff(1040, 256);
    cut.v.resize(cut.v.size() - 1);
    EXPECT_EQ(parse(cut.v).res.status, TX_PAL_BAD_RIFF);
    Bytes wave = riff(1040, 256);
    wave.v[8] = 'W';
    EXPECT_EQ(parse(wave.v).res.status, TX_PAL_BAD_RIFF);
}

TEST(PaletteFile, BitmapColourTables) {
    auto p = parse(bitmap(8, 2).v, true);
    ASSERT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.res.kind, TX_PAL_KIND_BMP);
    EXPECT_EQ(p.entries[0], 0x000102u);  // red 2, green 1, blue 0 -> red in the low byte
    EXPECT_EQ(p.entries[1], 0x010203u);
    EXPECT_EQ(p.entries[2], 0u);  // past the used colours: 0
    EXPECT_EQ(parse(bitmap(8, 0).v, true).entries[200], 0xC8C9CAu);
    // A colours-used count above 256 still stores 256 entries.
    EXPECT_EQ(parse(bitmap(8, 5000).v, true).entries[255], 0xFF0001u);
    // The table follows a larger (version 5) information header.
    p = parse(bitmap(8, 0, 124).v, true);
    EXPECT_EQ(p.res.status, TX_PAL_OK);
    EXPECT_EQ(p.entries[0], 0x000102u);
    EXPECT_EQ(parse(bitmap(24, 0).v, true).res.status, TX_PAL_BAD_BMP_BITS);
    Bytes notBm = bitmap(8, 0);
    notBm.v[1] = 'X';
    EXPECT_EQ(parse(notBm.v, true).res.status, TX_PAL_BAD_BMP);
    EXPECT_EQ(parse(bitmap(8, 16, 40, 8).v, true).res.status, TX_PAL_BAD_BMP);  // table cut short
    // Without the bitmap choice the same bytes are judged by their size.
    EXPECT_EQ(parse(bitmap(8, 2).v, false).res.status, TX_PAL_BAD_SIZE);
}

TEST(PaletteFile, RawTablesOf768And772Bytes) {
    std::vector<uint8_t> raw(768);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 5);
    auto a = parse(raw);
    raw.insert(raw.end(), {0, 1, 0, 7});
    auto b = parse(raw);
    ASSERT_EQ(a.res.status, TX_PAL_OK);
    EXPECT_EQ(a.res.kind, TX_PAL_KIND_RAW);
    EXPECT_EQ(a.entries, b.entries);
    EXPECT_EQ(a.entries[1], 0x19140Fu);  // bytes 3, 4, 5 -> 15, 20, 25
    raw.push_back(0);
    EXPECT_EQ(parse(raw).res.status, TX_PAL_BAD_SIZE);
    EXPECT_EQ(parse({}).res.status, TX_PAL_BAD_SIZE);
    EXPECT_EQ(parse(text("JAS")).res.status, TX_PAL_BAD_SIZE);
}

TEST(PaletteFile, SwatchImageOfType519) {
    // 772 bytes: no probe before the palette probe takes it; texel i shows entry i.
    std::vector<uint8_t> act(772, 0);
    for (int i = 0; i < 256; ++i) {
        act[size_t(3 * i)] = uint8_t(i);
        act[size_t(3 * i + 1)] = 0x40;
        act[size_t(3 * i + 2)] = uint8_t(255 - i);
    }
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = readPixels(act, ctx, &w, &h);
    ASSERT_EQ(px.size(), 256u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_PALETTE);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(px[0], 0xFF0040FFu);   // red 0, green 0x40, blue 255
    EXPECT_EQ(px[17], 0xFF1140EEu);  // row 1, column 1
    TxMip own;
    TxReadContext ctx2;
    TxStream s(act.data(), act.size());
    ASSERT_TRUE(txMipRead(own, "x.act", s, TX_PREFER_OWN, ctx2));
    EXPECT_EQ(own.format, TX_FMT_P8);
    EXPECT_EQ(own.size, 256);
    EXPECT_EQ(own.data[0][17], 17);

    // Text and RIFF palettes show their own colours (red stays red), opaque.
    TxReadContext ctx3;
    px = readPixels(text("JASC-PAL\n0100\n2\n255 0 0\n0 0 255\n"), ctx3);
    ASSERT_EQ(px.size(), 256u);
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[1], 0xFF0000FFu);
    EXPECT_EQ(px[2], 0xFF000000u);  // swatches are opaque
    TxReadContext ctx4;
    px = readPixels(riff(1040, 256).v, ctx4);
    ASSERT_EQ(px.size(), 256u);
    EXPECT_EQ(px[1], 0xFF01FE00u);

    // A text palette with a bad line is no swatch at all; a bitmap is never read as one.
    TxReadContext ctx5, ctx6, ctx7;
    EXPECT_TRUE(readPixels(text("GIMP Palette\nName: x\n1 2 3\nbad\n"), ctx5).empty());
    Bytes bmp = bitmap(8, 0);
    bmp.v[10] = 0xFF;  // a data offset past the end makes the bitmap probe refuse it
    bmp.v[11] = 0xFF;
    readPixels(bmp.v, ctx6);
    EXPECT_NE(ctx6.fileType, TX_TYPE_PALETTE);
    // 768 bytes are an LMP palette lump, found before the palette probe.
    std::vector<uint8_t> lump(act.begin(), act.begin() + 768);
    readPixels(lump, ctx7);
    EXPECT_EQ(ctx7.fileType, TX_TYPE_LMP);
}
