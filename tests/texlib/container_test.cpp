// DDS and KTX2 export: the DDS layout byte by byte against the published DDS_HEADER, and the
// mipmap rules (filters, linear light, premultiplication, alpha bleeding) by exact values.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"
#include "texlib/dds.h"
#include "texlib/ktx2.h"
#include "texlib/mip_filter.h"
#include "texlib/resample.h"
#include "texlib/tex3df.h"

namespace {

TxMip argb(int w, int h, const std::vector<uint32_t>& px, int depth = 1) {
    TxMip m;
    EXPECT_TRUE(txMipInit(m, w, h, depth, TX_FMT_ARGB8888));
    std::memcpy(m.data[0], px.data(), px.size() * 4);
    return m;
}

uint32_t at(const TxMip& m, int level, int i) {
    return reinterpret_cast<const uint32_t*>(m.data[level])[i];
}

std::vector<uint8_t> encode(const TxMip& tex, int output, bool srgb = false) {
    TxExportOptions o;
    o.output = output;
    o.srgb = srgb;
    std::vector<uint8_t> b;
    EXPECT_EQ(txEncodeTexture(tex, o, b), TX_EXPORT_OK);
    return b;
}

}  // namespace

TEST(DdsExport, FileMatchesThePublishedLayoutByteForByte) {
    // argb4444, 4x2 with all three levels.
    TxMip tex;
    ASSERT_TRUE(txMipInit(tex, 4, 2, 3, TX_FMT_ARGB4444));
    auto* t = reinterpret_cast<uint16_t*>(tex.data[0]);
    for (int k = 0; k < 8 + 2 + 1; ++k) t[k] = uint16_t(0x1234 + 0x1111 * k);
    const std::vector<uint8_t> file = encode(tex, TX_OUTPUT_DDS);

    Bytes want;
    want.str("DDS ");
    // DDS_HEADER: size, flags (CAPS HEIGHT WIDTH PITCH PIXELFORMAT MIPMAPCOUNT), height, width,
    // pitch (4 texels x 2 bytes), depth, mipmap count, reserved1[11].
    want.le32(124).le32(0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000).le32(2).le32(4).le32(8).le32(0);
    want.le32(3).fill(44, 0);
    // DDS_PIXELFORMAT of D3DFMT_A4R4G4B4: size, DDPF_RGB | DDPF_ALPHAPIXELS, no FourCC, 16 bits,
    // masks R G B A.
    want.le32(32).le32(0x41).le32(0).le32(16).le32(0x0F00).le32(0x00F0).le32(0x000F).le32(0xF000);
    // caps: COMPLEX | TEXTURE | MIPMAP; caps2, caps3, caps4, reserved2.
    want.le32(0x8 | 0x1000 | 0x400000).fill(16, 0);
    ASSERT_EQ(want.v.size(), 128u);
    // The levels follow, largest first, texels little-endian.
    for (int k = 0; k < 11; ++k) want.le16(0x1234 + 0x1111 * k);
    EXPECT_EQ(file, want.v);

    // One level: no mipmap count flag, no COMPLEX or MIPMAP caps.
    tex.depth = 1;
    const std::vector<uint8_t> one = encode(tex, TX_OUTPUT_DDS);
    ASSERT_EQ(one.size(), 128u + 16);
    EXPECT_EQ(one[8] | one[9] << 8 | one[10] << 16, 0x100F);
    EXPECT_EQ(one[28], 1);
    EXPECT_EQ(one[108] | one[109] << 8 | one[110] << 16, 0x1000);
}

TEST(DdsExport, PixelFormatOfEveryLegacyLayout) {
    // flags, bit count, R, G, B, A masks as D3D expects them for each D3DFMT.
    struct Want {
        int format;
        uint32_t flags, bits, r, g, b, a;
    } wants[] = {
        {TX_FMT_RGB565, 0x40, 16, 0xF800, 0x07E0, 0x001F, 0},
        {TX_FMT_ARGB1555, 0x41, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
        {TX_FMT_ARGB4444, 0x41, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
        {TX_FMT_RGB332, 0x40, 8, 0xE0, 0x1C, 0x03, 0},
        {TX_FMT_ARGB8332, 0x41, 16, 0xE0, 0x1C, 0x03, 0xFF00},
        {TX_FMT_A8, 0x2, 8, 0, 0, 0, 0xFF},
        {TX_FMT_I8, 0x20000, 8, 0xFF, 0, 0, 0},
        {TX_FMT_AI88, 0x20001, 16, 0xFF, 0, 0, 0xFF00},
        {TX_FMT_AI44, 0x20001, 8, 0x0F, 0, 0, 0xF0},
        {TX_FMT_P8, 0x20, 8, 0, 0, 0, 0},
        {TX_FMT_ARGB8888, 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    };
    auto word = [](const std::vector<uint8_t>& b, size_t at) {
        return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
               uint32_t(b[at + 3]) << 24;
    };
    for (const Want& w : wants) {
        TxMip tex;
        ASSERT_TRUE(txMipInit(tex, 3, 5, 1, w.format));
        txMipFill(tex, 0x5A);
        tex.pal[7] = 0x00102030;
        const std::vector<uint8_t> b = encode(tex, TX_OUTPUT_DDS);
        SCOPED_TRACE(txFormatName(w.format));
        const size_t palette = w.format == TX_FMT_P8 ? 1024 : 0;
        ASSERT_EQ(b.size(), 128 + palette + size_t(tex.size));
        EXPECT_EQ(word(b, 20), (3 * w.bits + 7) / 8);  // pitch
        EXPECT_EQ(word(b, 80), w.flags);
        EXPECT_EQ(word(b, 88), w.bits);
        EXPECT_EQ(word(b, 92), w.r);
        EXPECT_EQ(word(b, 96), w.g);
        EXPECT_EQ(word(b, 100), w.b);
        EXPECT_EQ(word(b, 104), w.a);
        // P8: PALETTEENTRY red, green, blue, then opaque, before the indices.
        if (palette) {
            EXPECT_EQ(word(b, 128 + 7 * 4), 0xFF302010u);
        }
    }
    // YIQ has no DDS layout; KTX2 has no palette and no 3-3-2 formats.
    EXPECT_FALSE(txDdsCanHold(TX_FMT_YIQ));
    EXPECT_FALSE(txDdsCanHold(TX_FMT_AYIQ8422));
    for (int f : {TX_FMT_P8, TX_FMT_YIQ, TX_FMT_AYIQ8422, TX_FMT_RGB332, TX_FMT_ARGB8332})
        EXPECT_FALSE(txKtx2CanHold(f)) << txFormatName(f);
}

TEST(DdsExport, SrgbAndPremultipliedArgb8888UseTheDx10Header) {
    TxMip tex = argb(2, 1, {0x80102030u, 0xFF405060u});
    TxExportOptions o;
    o.output = TX_OUTPUT_DDS;
    o.srgb = 1;
    o.premultiply = 1;
    std::vector<uint8_t> b;
    ASSERT_EQ(txEncodeTexture(tex, o, b), TX_EXPORT_OK);
    ASSERT_EQ(b.size(), 128u + 20 + 8);
    EXPECT_EQ(std::string(b.begin() + 84, b.begin() + 88), "DX10");
    EXPECT_EQ(b[80], 0x4);  // DDPF_FOURCC
    // DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, TEXTURE2D, no misc flag, one element, premultiplied.
    const uint32_t dx10[5] = {29, 3, 0, 1, 2};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(b[128 + 4 * k], dx10[k]) << k;
    // Texels red first.
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 148, b.end()),
              (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60, 0xFF}));
}

TEST(MipChain, BoxIsTheDescribedPathAndTheOtherFiltersAreExact) {
    std::vector<uint32_t> px(16 * 8);
    for (size_t k = 0; k < px.size(); ++k) px[k] = uint32_t(k * 2654435761u);
    TxMip a = argb(16, 8, px, 5), b = argb(16, 8, px, 5);
    txMipGenerateMipmaps(a);
    txMipBuildChain(b, TxMipChainOptions{});
    EXPECT_EQ(0, std::memcmp(a.data[0], b.data[0], size_t(a.size)));

    // A 4x1 row 0 0 255 255: the tent weighs 1 3 3 1 (edges repeat), so 255/8 and 1785/8.
    TxMip t = argb(4, 1, {0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu}, 2);
    txMipBuildChain(t, TxMipChainOptions{TX_MIP_FILTER_TRIANGLE, false, false});
    EXPECT_EQ(at(t, 1, 0), 0xFF202020u);
    EXPECT_EQ(at(t, 1, 1), 0xFFDFDFDFu);

    // Kaiser keeps a flat image flat (normalised weights) and rings at an edge.
    TxMip k = argb(8, 8, std::vector<uint32_t>(64, 0x80604020u), 4);
    txMipBuildChain(k, TxMipChainOptions{TX_MIP_FILTER_KAISER, false, false});
    for (int level = 1; level < 4; ++level) EXPECT_EQ(at(k, level, 0), 0x80604020u);
    std::vector<uint32_t> edge(8 * 1);
    for (int x = 0; x < 8; ++x) edge[size_t(x)] = x < 4 ? 0xFF000000u : 0xFFFFFFFFu;
    TxMip e = argb(8, 1, edge, 2);
    txMipBuildChain(e, TxMipChainOptions{TX_MIP_FILTER_KAISER, false, false});
    EXPECT_EQ(at(e, 1, 0), 0xFF000000u);  // the negative lobe clamps at black
    EXPECT_GT(at(e, 1, 1) & 0xFF, 0u);
    EXPECT_LT(at(e, 1, 1) & 0xFF, 0x80u);
    EXPECT_EQ(at(e, 1, 3), 0xFFFFFFFFu);
}

TEST(MipChain, LinearLightPremultiplicationAndBleeding) {
    // Black and white average to 0.5 in linear light: sRGB 188, where the byte average is 128.
    TxMip s = argb(2, 1, {0xFF000000u, 0xFFFFFFFFu}, 2);
    txMipBuildChain(s, TxMipChainOptions{TX_MIP_FILTER_BOX, true, false});
    EXPECT_EQ(at(s, 1, 0), 0xFFBCBCBCu);
    EXPECT_EQ(txLinearToSrgb(0.5f), 188);
    for (int v = 0; v < 256; ++v) EXPECT_EQ(txLinearToSrgb(txSrgbToLinear(uint8_t(v))), v);

    // Premultiplied: (c x a + 127) / 255 per channel, level 0 included; opaque texels unchanged.
    TxMip p = argb(2, 1, {0x80FF8040u, 0xFF123456u});
    txMipBuildChain(p, TxMipChainOptions{TX_MIP_FILTER_BOX, false, true});
    EXPECT_EQ(at(p, 0, 0), 0x80804020u);
    EXPECT_EQ(at(p, 0, 1), 0xFF123456u);
    // In linear light: red 255 at alpha 128 is half the light, sRGB 188.
    TxMip ps = argb(1, 1, {0x80FF0000u});
    txMipBuildChain(ps, TxMipChainOptions{TX_MIP_FILTER_BOX, true, true});
    EXPECT_EQ(at(ps, 0, 0), 0x80BC0000u);

    // Bleeding: transparent texels take the average of their visible (then filled) neighbours
    // ring by ring; alpha stays 0, visible texels are untouched.
    TxMip b = argb(4, 1, {0xFFFF0000u, 0x00000000u, 0x00000000u, 0x400000FFu});
    txAlphaBleed(b);
    EXPECT_EQ(at(b, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(b, 0, 1), 0x00FF0000u);
    EXPECT_EQ(at(b, 0, 2), 0x000000FFu);
    EXPECT_EQ(at(b, 0, 3), 0x400000FFu);
    TxMip g = argb(3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 0xFF00FF00u});
    txAlphaBleed(g);
    EXPECT_EQ(at(g, 0, 4), 0x0000FF00u);  // first ring
    EXPECT_EQ(at(g, 0, 0), 0x0000FF00u);  // second ring, from the first
    TxMip none = argb(2, 1, {0x00123456u, 0x00000000u});
    txAlphaBleed(none);
    EXPECT_EQ(at(none, 0, 0), 0x00123456u);
}

TEST(ContainerExport, SizesRatiosAndRefusals) {
    TxExportOptions o;
    o.output = TX_OUTPUT_DDS;
    o.format = TX_FMT_ARGB8888;
    TxMip out;
    TxExportReport r;
    // Any side without mipmaps; with mipmaps a side that is not a power of two warns and writes
    // the one level.
    TxMip npot = argb(40, 20, std::vector<uint32_t>(800, 0xFF336699u));
    o.mipmap = 1;
    ASSERT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_OK);
    EXPECT_EQ(out.width, 40);
    EXPECT_EQ(out.depth, 1);
    ASSERT_EQ(r.warnings.size(), 1u);
    // Automatic resampling rounds each side down to a power of two, beyond 256 and 8:1.
    TxMip strip = argb(1030, 20, std::vector<uint32_t>(1030 * 20, 0xFF336699u));
    o.resample = 1;
    ASSERT_EQ(txExportTexture(strip, o, out), TX_EXPORT_OK);
    EXPECT_EQ(out.width, 1024);
    EXPECT_EQ(out.height, 16);
    EXPECT_EQ(out.depth, 11);
    int w = 0, h = 0;
    txExportResampleSize(1030, 20, true, -1, -1, w, h);
    EXPECT_EQ(w, 128);  // 3DF keeps its 256 and 8:1
    EXPECT_EQ(h, 16);

    o.resample = 1;
    o.automatic = 0;
    o.width = 16385;
    o.height = 4;
    EXPECT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_TOO_LARGE);
    o.resample = 0;
    o.format = TX_FMT_YIQ;
    EXPECT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_BAD_FORMAT);
    EXPECT_NE(r.error.find("argb1555"), std::string::npos) << r.error;
    o.format = TX_FMT_RGB565;
    o.srgb = 1;
    EXPECT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_BAD_FORMAT);
    o.output = TX_OUTPUT_KTX2;
    EXPECT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_OK);
    o.output = TX_OUTPUT_3DF;
    EXPECT_EQ(txExportTexture(npot, o, out, &r), TX_EXPORT_BAD_FORMAT);
}
