#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "texlib/iff.h"

namespace {

Bytes chunk(const std::string& id, const std::vector<uint8_t>& data) {
    Bytes b;
    b.str(id).be32(uint32_t(data.size()));
    b.v.insert(b.v.end(), data.begin(), data.end());
    if (data.size() & 1) b.u8(0);
    return b;
}

std::vector<uint8_t> bmhd(int w, int h, int planes, int compression, int masking = 0) {
    Bytes b;
    b.be16(w).be16(h).be16(0).be16(0).u8(planes).u8(masking).u8(compression).u8(0);
    b.be16(0).u8(10).u8(11).be16(w).be16(h);
    return b.v;
}

std::vector<uint8_t> cmap(int n) {
    std::vector<uint8_t> c;
    for (int i = 0; i < n; ++i) {
        c.push_back(uint8_t(i));
        c.push_back(uint8_t(i * 2));
        c.push_back(uint8_t(255 - i));
    }
    return c;
}

Bytes form(const std::string& type, const std::vector<Bytes>& chunks, int extraLength = 0) {
    Bytes inner;
    inner.str(type);
    for (const auto& c : chunks) inner.v.insert(inner.v.end(), c.v.begin(), c.v.end());
    Bytes b;
    b.str("FORM").be32(uint32_t(int(inner.v.size()) + extraLength));
    b.v.insert(b.v.end(), inner.v.begin(), inner.v.end());
    return b;
}

bool readOwn(const Bytes& b, TxMip& mip, TxReadContext& ctx) {
    TxStream s(b.v.data(), b.v.size());
    return txMipRead(mip, "x.iff", s, TX_PREFER_OWN, ctx);
}

std::vector<uint8_t> texels(const TxMip& mip) {
    return std::vector<uint8_t>(mip.data[0], mip.data[0] + size_t(mip.width) * size_t(mip.height));
}

// Planar rows from indices: for every row, one line per plane of `lineBytes` bytes.
std::vector<uint8_t> planar(const std::vector<uint8_t>& idx, int w, int h, int planes,
                            int lineBytes) {
    std::vector<uint8_t> out;
    for (int y = 0; y < h; ++y)
        for (int p = 0; p < planes; ++p) {
            std::vector<uint8_t> line(size_t(lineBytes), 0);
            for (int x = 0; x < w; ++x)
                if (idx[size_t(y * w + x)] & (1 << p))
                    line[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
            out.insert(out.end(), line.begin(), line.end());
        }
    return out;
}

}  // namespace

TEST(Iff, IlbmFivePlanesWidthTwentyReadsFourBytesPerLine) {
    const int w = 20, h = 3;
    std::vector<uint8_t> idx(size_t(w * h));
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t((i * 7) % 32);
    Bytes b = form("ILBM", {chunk("BMHD", bmhd(w, h, 5, 0)), chunk("CMAP", cmap(32)),
                            chunk("BODY", planar(idx, w, h, 5, 4))});
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_IFF);
    EXPECT_EQ(mip.format, TX_FMT_P8);
    EXPECT_EQ(texels(mip), idx);
    // Palette entries are opaque 0xFFRRGGBB; entries past the map stay 0.
    EXPECT_EQ(mip.pal[3], 0xFF0306FCu);
    EXPECT_EQ(mip.pal[32], 0u);
    TxReadContext ctx2;
    auto px = readPixels(b.v, ctx2);
    ASSERT_EQ(px.size(), idx.size());
    EXPECT_EQ(px[1], 0xFF070EF8u);
}

TEST(Iff, ByteRun1RowsNoOpAndOverrun) {
    // Width 10, 1 plane: lines of 2 bytes. Row 0: a no-op (-128), then a repeat of 0xFF three
    // times (one byte past the line, dropped). Row 1: a literal of 3 bytes (one dropped).
    const int w = 10;
    Bytes body;
    body.u8(0x80).u8(256 - 2).u8(0xFF);
    body.u8(2).u8(0xAA).u8(0x40).u8(0x77);
    Bytes b = form(
        "ILBM", {chunk("BMHD", bmhd(w, 2, 1, 1)), chunk("CMAP", cmap(2)), chunk("BODY", body.v)});
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(texels(mip), (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  //
                                                 1, 0, 1, 0, 1, 0, 1, 0, 0, 1}));
}

TEST(Iff, PbmRowsArePaddedToEvenAndMaskPlanesSkipped) {
    // PBM, width 3: each row holds 4 bytes, the last one padding.
    Bytes b = form("PBM ", {chunk("BMHD", bmhd(3, 2, 8, 0)), chunk("CMAP", cmap(256)),
                            chunk("BODY", {1, 2, 3, 99, 4, 5, 6, 99})});
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(texels(mip), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));

    // PBM with ByteRun1: a run of 4 fills the row and its padding.
    Bytes c = form("PBM ", {chunk("BMHD", bmhd(3, 1, 8, 1)), chunk("CMAP", cmap(4)),
                            chunk("BODY", {uint8_t(256 - 3), 7})});
    TxMip m2;
    TxReadContext ctx2;
    ASSERT_TRUE(readOwn(c, m2, ctx2)) << ctx2.lastError;
    EXPECT_EQ(texels(m2), (std::vector<uint8_t>{7, 7, 7}));

    // ILBM with a mask plane (masking 1): after the two colour lines of each row comes a mask
    // line, which is not part of the index.
    Bytes body;
    body.u8(0x80).u8(0).u8(0x40).u8(0).u8(0xFF).u8(0xFF);  // row 0: x0 bit0, x1 bit1, mask
    body.u8(0x00).u8(0).u8(0xC0).u8(0).u8(0xFF).u8(0xFF);  // row 1: x0, x1 bit1
    Bytes d = form("ILBM", {chunk("BMHD", bmhd(2, 2, 2, 0, 1)), chunk("CMAP", cmap(4)),
                            chunk("BODY", body.v)});
    TxMip m3;
    TxReadContext ctx3;
    ASSERT_TRUE(readOwn(d, m3, ctx3)) << ctx3.lastError;
    EXPECT_EQ(texels(m3), (std::vector<uint8_t>{1, 2, 2, 2}));
}

TEST(Iff, AnimYieldsItsFirstPicture) {
    Bytes first = form("ILBM", {chunk("BMHD", bmhd(8, 1, 2, 0)), chunk("CMAP", cmap(4)),
                                chunk("BODY", {0xF0, 0, 0x0F, 0})});
    Bytes second = form("ILBM", {chunk("ANHD", std::vector<uint8_t>(40, 0)),
                                 chunk("DLTA", std::vector<uint8_t>(12, 0xFF))});
    Bytes anim;
    anim.str("FORM").be32(uint32_t(4 + first.v.size() + second.v.size())).str("ANIM");
    anim.v.insert(anim.v.end(), first.v.begin(), first.v.end());
    anim.v.insert(anim.v.end(), second.v.begin(), second.v.end());
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(anim, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_IFF);
    EXPECT_EQ(texels(mip), (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 2}));
}

TEST(Iff, LargeColourMapsPushTheBodyFarIntoTheFile) {
    // 256 colours (768 bytes) before the BODY: the header parse must look past them.
    Bytes b =
        form("ILBM", {chunk("BMHD", bmhd(16, 1, 8, 0)),
                      chunk("ANNO", std::vector<uint8_t>(400, 'a')), chunk("CMAP", cmap(256)),
                      chunk("BODY", planar(std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 250, 251,
                                                                252, 253, 254, 255, 128, 127},
                                           16, 1, 8, 2))});
    ASSERT_GT(b.v.size(), 1200u);
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(texels(mip)[9], 251);
    EXPECT_EQ(mip.pal[255], 0xFFFFFE00u);

    // A map of 300 colours stores 256; indices past a short map give colour 0.
    Bytes c = form("ILBM", {chunk("BMHD", bmhd(8, 1, 2, 0)), chunk("CMAP", cmap(300)),
                            chunk("BODY", {0xFF, 0, 0xFF, 0})});
    TxMip m2;
    TxReadContext ctx2;
    ASSERT_TRUE(readOwn(c, m2, ctx2)) << ctx2.lastError;
    EXPECT_EQ(m2.pal[255], 0xFFFFFE00u);
    Bytes d = form("ILBM", {chunk("BMHD", bmhd(2, 1, 2, 0)), chunk("CMAP", cmap(2)),
                            chunk("BODY", {0xC0, 0, 0x40, 0})});
    TxReadContext ctx3;
    auto px = readPixels(d.v, ctx3);
    ASSERT_EQ(px.size(), 2u) << ctx3.lastError;
    EXPECT_EQ(px[0], 0xFF0102FEu);  // index 1
    EXPECT_EQ(px[1], 0u);           // index 3, beyond the two colours
}

TEST(Iff, LengthsBeyondTheFileAreBounded) {
    // The form and the BODY claim far more bytes than there are: rows without data stay 0.
    Bytes body;
    body.u8(0xFF).u8(0);
    Bytes b = form("ILBM", {chunk("BMHD", bmhd(8, 3, 1, 0)), chunk("CMAP", cmap(2))}, 100000);
    b.str("BODY").be32(0x7FFFFFF0u).u8(0xFF).u8(0);
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, mip, ctx)) << ctx.lastError;
    EXPECT_EQ(texels(mip), (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // A CMAP whose length runs past the file gives only the colours present.
    Bytes c = form("ILBM", {chunk("BMHD", bmhd(8, 1, 1, 0)), chunk("BODY", {0, 0})}, 3008);
    c.str("CMAP").be32(3000).u8(1).u8(2).u8(3).u8(4);
    TxMip m2;
    TxReadContext ctx2;
    ASSERT_TRUE(readOwn(c, m2, ctx2)) << ctx2.lastError;
    EXPECT_EQ(m2.pal[0], 0xFF010203u);
    EXPECT_EQ(m2.pal[1], 0u);
}

TEST(Iff, ParseFailuresInOrder) {
    TxIffInfo info;
    const auto code = [&](const Bytes& b) { return txIffParse(b.v.data(), b.v.size(), info); };
    Bytes notForm;
    notForm.str("FORX").be32(4).str("ILBM");
    EXPECT_EQ(code(notForm), TX_IFF_NOT_FORM);
    EXPECT_EQ(code(form("8SVX", {chunk("BMHD", bmhd(1, 1, 1, 0))})), TX_IFF_BAD_FORM_TYPE);
    EXPECT_EQ(code(form("ILBM", {chunk("CMAP", cmap(2))})), TX_IFF_NO_BMHD);
    EXPECT_EQ(code(form("ILBM", {chunk("BMHD", std::vector<uint8_t>(19, 0))})), TX_IFF_BAD_BMHD);
    EXPECT_EQ(code(form("ILBM", {chunk("BMHD", bmhd(1, 1, 1, 0))})), TX_IFF_NO_CMAP);
    EXPECT_EQ(code(form("ILBM", {chunk("BMHD", bmhd(1, 1, 1, 0)), chunk("CMAP", cmap(2))})),
              TX_IFF_NO_BODY);
    // A BMHD cut off by the end of the file.
    Bytes cut = form("ILBM", {chunk("BMHD", bmhd(1, 1, 1, 0))});
    cut.v.resize(cut.v.size() - 5);
    EXPECT_EQ(code(cut), TX_IFF_BAD_BMHD);

    auto refused = [](const Bytes& b) {
        TxMip mip;
        TxReadContext ctx;
        TxStream s(b.v.data(), b.v.size());
        return !iffProbe(s, ctx, mip, 0x464F) ? ctx.lastError : std::string("accepted");
    };
    EXPECT_EQ(refused(form("ILBM", {chunk("BMHD", bmhd(0, 4, 1, 0)), chunk("CMAP", cmap(2)),
                                    chunk("BODY", {})})),
              "IFF Image: width or height is 0.");
    EXPECT_EQ(refused(form("ILBM", {chunk("BMHD", bmhd(40000, 4, 1, 0)), chunk("CMAP", cmap(2)),
                                    chunk("BODY", {})})),
              "IFF Image: image is too large.");
    EXPECT_EQ(refused(form("ILBM", {chunk("BMHD", bmhd(4, 4, 24, 0)), chunk("CMAP", cmap(2)),
                                    chunk("BODY", {})})),
              "IFF Image: unsupported number of planes.");
}
