// Texture export to 3DF, TEX and bare data, and reading 3DF and TEX files back.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.h"
#include "texlib/convert.h"
#include "texlib/quantize.h"
#include "texlib/tex3df.h"

namespace {

TxMip gradient(int w, int h, uint32_t seed = 1) {
    TxMip m;
    EXPECT_TRUE(txMipInit(m, w, h, 1, TX_FMT_ARGB8888));
    auto* p = reinterpret_cast<uint32_t*>(m.data[0]);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[y * w + x] = (uint32_t((x * 255) / std::max(1, w - 1)) << 24) |
                           (uint32_t((y * 255) / std::max(1, h - 1)) << 16) |
                           (uint32_t((x + y) * 3 & 0xFF) << 8) | (rng() & 0xFF);
    return m;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string err;
    txLoadFile(path, bytes, err);
    return bytes;
}

std::string text(const std::vector<uint8_t>& b, size_t n) {
    return std::string(b.begin(), b.begin() + std::min(n, b.size()));
}

TxExportOptions opts(int format, int output, bool mip = false) {
    TxExportOptions o;
    o.format = format;
    o.output = output;
    o.mipmap = mip ? 1 : 0;
    o.allLevels = 1;
    o.levelLimit = -1;
    return o;
}

bool readOwn(const std::vector<uint8_t>& bytes, TxMip& out, TxReadContext& ctx) {
    TxStream s(bytes.data(), bytes.size());
    return txMipRead(out, "memory", s, TX_PREFER_OWN, ctx);
}

const int kTargets[13] = {TX_FMT_I8,       TX_FMT_A8,       TX_FMT_P8,       TX_FMT_AI44,
                          TX_FMT_YIQ,      TX_FMT_RGB332,   TX_FMT_RGB565,   TX_FMT_ARGB8332,
                          TX_FMT_ARGB1555, TX_FMT_AYIQ8422, TX_FMT_ARGB4444, TX_FMT_AI88,
                          TX_FMT_ARGB8888};

}  // namespace

TEST(Tex3df, HeaderWithoutCommentAndBigEndianTexels) {
    const TxMip img = gradient(256, 64);
    const std::string path = tempPath("plain.3df");
    ASSERT_EQ(txMipWrite3df(img, opts(TX_FMT_ARGB8888, TX_OUTPUT_3DF), path), TX_EXPORT_OK);
    const auto b = readFile(path);
    const std::string head = "3df v1.1\nargb8888\nlod range: 256 256\naspect ratio: 4 1\n";
    ASSERT_EQ(b.size(), head.size() + 256 * 64 * 4);
    EXPECT_EQ(text(b, head.size()), head);
    const uint32_t t = reinterpret_cast<const uint32_t*>(img.data[0])[1];
    EXPECT_EQ(b[head.size() + 4], t >> 24);
    EXPECT_EQ(b[head.size() + 7], t & 0xFF);

    // All mipmap levels: nine levels down to 1x1 and the lod range from 1.
    ASSERT_EQ(txMipWrite3df(img, opts(TX_FMT_ARGB8888, TX_OUTPUT_3DF, true), path), TX_EXPORT_OK);
    const auto m = readFile(path);
    const std::string mhead = "3df v1.1\nargb8888\nlod range: 1 256\naspect ratio: 4 1\n";
    const size_t texels = 256 * 64 + 128 * 32 + 64 * 16 + 32 * 8 + 16 * 4 + 8 * 2 + 4 + 2 + 1;
    ASSERT_EQ(m.size(), mhead.size() + texels * 4);
    EXPECT_EQ(text(m, mhead.size()), mhead);
}

TEST(Tex3df, CommentLines) {
    const TxMip img = gradient(8, 8);
    TxExportOptions o = opts(TX_FMT_ARGB8888, TX_OUTPUT_3DF);
    o.comment = 1;
    o.commentText = "a\r\nb";
    const std::string path = tempPath("comment.3df");
    ASSERT_EQ(txMipWrite3df(img, o, path), TX_EXPORT_OK);
    const auto b = readFile(path);
    const std::string head = "3df v1.1####a\n#b\n#\nargb8888\nlod range: 8 8\naspect ratio: 1 1\n";
    EXPECT_EQ(text(b, head.size()), head);
    // The comment lines are skipped on reading and the texels come back.
    TxMip back;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, back, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_3DF);
    EXPECT_EQ(0, std::memcmp(back.data[0], img.data[0], 8 * 8 * 4));

    // At most 20 lines; a lone LF also ends a line, a stray CR is dropped, so the header stays
    // readable.
    std::string many;
    for (int k = 0; k < 25; ++k) many += "l" + std::to_string(k) + "\r\n";
    const auto lines = tx3dfCommentLines(many);
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[19], "l19");
    EXPECT_EQ(tx3dfCommentLines("x\ny\rz"), (std::vector<std::string>{"x", "yz"}));
    o.commentText = "first\nsecond\n";
    ASSERT_EQ(txMipWrite3df(img, o, path), TX_EXPORT_OK);
    const auto c = readFile(path);
    EXPECT_EQ(text(c, 34), "3df v1.1####first\n#second\n#\n#\nargb");
    TxReadContext ctx2;
    EXPECT_TRUE(readOwn(c, back, ctx2)) << ctx2.lastError;
}

TEST(Tex3df, SwapAndTexByteOrder) {
    TxMip img;
    ASSERT_TRUE(txMipInit(img, 2, 1, 1, TX_FMT_ARGB8888));
    reinterpret_cast<uint32_t*>(img.data[0])[0] = 0xFFFF0000u;  // rgb565 0xF800
    reinterpret_cast<uint32_t*>(img.data[0])[1] = 0xFF0000FFu;  // rgb565 0x001F
    const std::string head = "3df v1.1\nrgb565\nlod range: 2 2\naspect ratio: 2 1\n";
    std::vector<uint8_t> bytes;
    TxMip tex;
    ASSERT_EQ(txExportTexture(img, opts(TX_FMT_RGB565, TX_OUTPUT_3DF), tex), TX_EXPORT_OK);
    txEncodeTexture(tex, opts(TX_FMT_RGB565, TX_OUTPUT_3DF), bytes);
    EXPECT_EQ(text(bytes, head.size()), head);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0xF8, 0, 0, 0x1F}));
    TxExportOptions sw = opts(TX_FMT_RGB565, TX_OUTPUT_3DF);
    sw.swap = 1;
    txEncodeTexture(tex, sw, bytes);
    EXPECT_EQ(text(bytes, head.size()), head);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0, 0xF8, 0x1F, 0}));
    // TEX: little-endian 16-bit texels even without swap; header words small lod, large lod,
    // aspect, format, table size.
    txEncodeTexture(tex, opts(TX_FMT_RGB565, TX_OUTPUT_TEX), bytes);
    Bytes want;
    want.le32(7).le32(7).le32(2).le32(10).le32(0).u8(0).u8(0xF8).u8(0x1F).u8(0);
    EXPECT_EQ(bytes, want.v);
    // Bare data: the 3DF layout without its text header.
    txEncodeTexture(tex, opts(TX_FMT_RGB565, TX_OUTPUT_RAW), bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xF8, 0, 0, 0x1F}));
}

TEST(Tex3df, TexHeaderWordsAndTables) {
    const TxMip img = gradient(64, 32);
    TxMip tex;
    std::vector<uint8_t> b;
    ASSERT_EQ(txExportTexture(img, opts(TX_FMT_P8, TX_OUTPUT_TEX, true), tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.depth, 7);
    txEncodeTexture(tex, opts(TX_FMT_P8, TX_OUTPUT_TEX, true), b);
    Bytes want;
    want.le32(8).le32(2).le32(2).le32(5).le32(1024);
    ASSERT_EQ(b.size(), 20 + 1024 + size_t(tex.size));
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 20), want.v);
    uint32_t first = 0;
    std::memcpy(&first, &b[20], 4);
    EXPECT_EQ(first, tex.pal[0]);
    // The YIQ table: the usual 112 bytes (Y and I rows), texels right after them; the whole
    // 160 only when asked for, with 160 in the header.
    ASSERT_EQ(txExportTexture(img, opts(TX_FMT_YIQ, TX_OUTPUT_TEX), tex), TX_EXPORT_OK);
    txEncodeTexture(tex, opts(TX_FMT_YIQ, TX_OUTPUT_TEX), b);
    uint32_t words[5];
    std::memcpy(words, b.data(), 20);
    EXPECT_EQ(words[4], 112u);
    ASSERT_EQ(b.size(), 20 + 112 + 64u * 32u);
    EXPECT_EQ(0, std::memcmp(&b[20], tex.pal, 112));
    EXPECT_EQ(0, std::memcmp(&b[20 + 112], tex.data[0], size_t(tex.size)));
    TxExportOptions full = opts(TX_FMT_YIQ, TX_OUTPUT_TEX);
    full.fullYiqTable = 1;
    txEncodeTexture(tex, full, b);
    std::memcpy(words, b.data(), 20);
    EXPECT_EQ(words[4], 160u);
    ASSERT_EQ(b.size(), 20 + 160 + 64u * 32u);
    EXPECT_EQ(0, std::memcmp(&b[20], tex.pal, 160));
    TxMip back;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(b, back, ctx)) << ctx.lastError;
    EXPECT_EQ(0, std::memcmp(back.pal, tex.pal, 160));
    EXPECT_EQ(0, std::memcmp(back.data[0], tex.data[0], size_t(tex.size)));
    // 3DF: Y as (0, Y) pairs, then I and Q as 16-bit big-endian values.
    txEncodeTexture(tex, opts(TX_FMT_YIQ, TX_OUTPUT_3DF), b);
    const std::string head = "3df v1.1\nyiq\nlod range: 64 64\naspect ratio: 2 1\n";
    const TxNccTable t = txNccFromPal(tex.pal);
    EXPECT_EQ(b[head.size()], 0);
    EXPECT_EQ(b[head.size() + 1], t.y[0]);
    EXPECT_EQ(b[head.size() + 32], uint8_t((t.i[0][0] >> 8) & 0xFF));
    EXPECT_EQ(b[head.size() + 33], uint8_t(t.i[0][0] & 0xFF));
    EXPECT_EQ(b[head.size() + 56 + 1], uint8_t(t.q[0][0] & 0xFF));
}

TEST(Tex3df, EveryFormatAndOutputReadsBack) {
    const TxMip img = gradient(32, 16, 5);
    for (int format : kTargets) {
        for (int output : {TX_OUTPUT_3DF, TX_OUTPUT_TEX, TX_OUTPUT_RAW}) {
            SCOPED_TRACE(std::string(txFormatName(format)) + " output " + std::to_string(output));
            const TxExportOptions o = opts(format, output, true);
            TxMip tex;
            ASSERT_EQ(txExportTexture(img, o, tex), TX_EXPORT_OK);
            ASSERT_EQ(tex.depth, 6);
            const std::string path = tempPath("rt.bin");
            std::remove(path.c_str());
            ASSERT_EQ(txMipWrite3df(img, o, path), TX_EXPORT_OK);
            const auto bytes = readFile(path);
            const int bpt = txBytesPerTexel(format);
            const bool yiq = format == TX_FMT_YIQ || format == TX_FMT_AYIQ8422;
            const bool pal = format == TX_FMT_P8;
            if (output == TX_OUTPUT_RAW) {
                // Table, then big-endian texels of every level.
                const size_t table = yiq ? 80 : pal ? 1024 : 0;
                ASSERT_EQ(bytes.size(), table + size_t(tex.size));
                for (size_t k = 0; k + size_t(bpt) <= size_t(tex.size); k += size_t(bpt))
                    for (int j = 0; j < bpt; ++j)
                        ASSERT_EQ(bytes[table + k + size_t(j)],
                                  tex.data[0][k + size_t(bpt - 1 - j)]);
                continue;
            }
            TxMip back;
            TxReadContext ctx;
            ASSERT_TRUE(readOwn(bytes, back, ctx)) << ctx.lastError;
            EXPECT_EQ(ctx.fileType, output == TX_OUTPUT_3DF ? TX_TYPE_3DF : TX_TYPE_TEX);
            EXPECT_EQ(back.format, format);
            EXPECT_EQ(back.width, 32);
            EXPECT_EQ(back.height, 16);
            EXPECT_EQ(back.depth, 6);
            ASSERT_EQ(back.size, tex.size);
            EXPECT_EQ(0, std::memcmp(back.data[0], tex.data[0], size_t(tex.size)));
            if (yiq) {
                // A TEX file carries the Y and I rows only.
                EXPECT_EQ(0, std::memcmp(back.pal, tex.pal, output == TX_OUTPUT_TEX ? 112 : 160));
            }
            if (pal) {
                // The exporter's palette has no alpha; it reads back opaque.
                for (int k = 0; k < 256; ++k) ASSERT_EQ(back.pal[k], tex.pal[k] | 0xFF000000u) << k;
            }
            // And as argb8888, the same colours as the quantised texture converted.
            TxMip argb;
            TxReadContext ctx2;
            TxStream s(bytes.data(), bytes.size());
            ASSERT_TRUE(txMipRead(argb, "memory", s, TX_PREFER_ARGB8888, ctx2));
            std::vector<uint32_t> want(32 * 16);
            // (A TEX file's YIQ colours come from the table it holds, without the Q rows.)
            const TxMip& source = yiq && output == TX_OUTPUT_TEX ? back : tex;
            ASSERT_TRUE(txConvertLevelToArgb8888(source, 0, want.data()));
            if (pal)
                for (auto& w : want) w |= 0xFF000000u;
            EXPECT_EQ(0, std::memcmp(argb.data[0], want.data(), want.size() * 4));
        }
    }
}

TEST(Tex3df, ResamplingMipmapsAndSizes) {
    // Automatic resampling: 100x300 becomes 64x256.
    TxMip tex;
    TxExportOptions o = opts(TX_FMT_RGB565, TX_OUTPUT_3DF);
    o.resample = 1;
    ASSERT_EQ(txExportTexture(gradient(100, 300), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.width, 64);
    EXPECT_EQ(tex.height, 256);
    // Forced aspect 2:1 on a 300x100 image: W = 256, H = 64, so 2x1 doubles to 128x64.
    o.width = 2;
    o.height = 1;
    ASSERT_EQ(txExportTexture(gradient(300, 100), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.width, 128);
    EXPECT_EQ(tex.height, 64);
    // Explicit size, then mipmaps in size mode down to 16.
    o.automatic = 0;
    o.width = 64;
    o.height = 64;
    o.mipmap = 1;
    o.allLevels = 0;
    o.levelLimit = 16;
    ASSERT_EQ(txExportTexture(gradient(50, 70), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.depth, 3);
    // Level limit in all-levels mode.
    o.allLevels = 1;
    o.levelLimit = 2;
    ASSERT_EQ(txExportTexture(gradient(50, 70), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.depth, 2);
    // Size mode with size 0 ends after the 1x1 level.
    o.allLevels = 0;
    o.levelLimit = 0;
    o.width = o.height = 4;
    ASSERT_EQ(txExportTexture(gradient(4, 4), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(tex.depth, 3);
}

TEST(Tex3df, RefusalsWriteNothing) {
    const std::string path = tempPath("keep.3df");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs("old", f);
        std::fclose(f);
    }
    TxExportReport rep;
    TxExportOptions o = opts(TX_FMT_RGB565, TX_OUTPUT_3DF, true);
    EXPECT_EQ(txMipWrite3df(gradient(100, 100), o, path, &rep), TX_EXPORT_NOT_POW2);
    EXPECT_EQ(rep.error, "Abort: Not power of 2 on a side");
    ASSERT_EQ(rep.warnings.size(), 1u);
    EXPECT_EQ(rep.warnings[0], "Warning: Mipmapping disabled, not power of 2");
    EXPECT_EQ(text(readFile(path), 10), "old");
    // Not argb8888, reserved target formats.
    TxMip p8;
    ASSERT_TRUE(txMipInit(p8, 4, 4, 1, TX_FMT_P8));
    EXPECT_EQ(txMipWrite3df(p8, o, path), TX_EXPORT_BAD_INPUT);
    for (int f : {int(TX_FMT_RSVD1), int(TX_FMT_RSVD4), int(TX_FMT_RGB888), 42}) {
        o.format = f;
        EXPECT_EQ(txMipWrite3df(gradient(4, 4), o, path), TX_EXPORT_BAD_INPUT) << f;
    }
    // TEX headers cannot name sides above 256; 3DF headers cannot describe beyond 8:1.
    o.format = TX_FMT_RGB565;
    o.output = TX_OUTPUT_TEX;
    EXPECT_EQ(txMipWrite3df(gradient(512, 512), o, path, &rep), TX_EXPORT_TOO_LARGE);
    o.output = TX_OUTPUT_3DF;
    o.mipmap = 0;
    EXPECT_EQ(txMipWrite3df(gradient(256, 8), o, path), TX_EXPORT_BAD_ASPECT);
    EXPECT_EQ(text(readFile(path), 10), "old");
    // Bare data has no header and takes any power-of-two size.
    o.output = TX_OUTPUT_RAW;
    EXPECT_EQ(txMipWrite3df(gradient(256, 8), o, tempPath("wide.raw")), TX_EXPORT_OK);
    // Failures to create or write the file are failures, and leave no temporary behind.
    o.output = TX_OUTPUT_3DF;
    EXPECT_EQ(txMipWrite3df(gradient(4, 4), o, tempPath("no/such/dir/x.3df"), &rep),
              TX_EXPORT_CANNOT_CREATE);
    EXPECT_EQ(rep.error.rfind("Unable to open output file.", 0), 0u);
    const std::string dir = tempPath("a_directory");
    std::filesystem::create_directories(dir);
    EXPECT_EQ(txMipWrite3df(gradient(4, 4), o, dir, &rep), TX_EXPORT_CANNOT_CREATE);
    EXPECT_NE(rep.error.find("is a directory"), std::string::npos) << rep.error;
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(dir).parent_path()))
        EXPECT_EQ(e.path().filename().string().find("a_directory.tmp"), std::string::npos);
}

TEST(Tex3df, LargeSides3dfReadBack) {
    // 3DF headers carry sides as numbers, so a 512x512 texture reads back.
    const TxMip img = gradient(512, 512);
    const std::string path = tempPath("big.3df");
    ASSERT_EQ(txMipWrite3df(img, opts(TX_FMT_ARGB8888, TX_OUTPUT_3DF, true), path), TX_EXPORT_OK);
    TxMip back;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(back, path, TX_PREFER_OWN, ctx)) << ctx.lastError;
    EXPECT_EQ(back.width, 512);
    EXPECT_EQ(back.depth, 10);
    EXPECT_EQ(0, std::memcmp(back.data[0], img.data[0], 512 * 512 * 4));
}

TEST(Tex3df, HeuristicExportsAreIdentical) {
    const TxMip img = gradient(64, 64, 9);
    TxExportOptions o = opts(TX_FMT_YIQ, TX_OUTPUT_3DF, true);
    o.ncc = TX_NCC_HEURISTIC;
    o.dither = TX_DITHER_ERR_DIFFUSION;
    ASSERT_EQ(txMipWrite3df(img, o, tempPath("h1.3df")), TX_EXPORT_OK);
    ASSERT_EQ(txMipWrite3df(img, o, tempPath("h2.3df")), TX_EXPORT_OK);
    const auto a = readFile(tempPath("h1.3df"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, readFile(tempPath("h2.3df")));
}

TEST(Tex3df, ReadersRefuseBrokenFiles) {
    auto tdf = [](const std::string& head, size_t data) {
        Bytes b;
        b.str(head).fill(data, 7);
        return b.v;
    };
    auto opens = [](const std::vector<uint8_t>& bytes, int* type = nullptr) {
        TxMip m;
        TxReadContext ctx;
        const bool ok = readOwn(bytes, m, ctx);
        if (type) *type = ctx.fileType;
        return ok;
    };
    const std::string good = "3df v1.1\ni8\nlod range: 2 4\naspect ratio: 2 1\n";
    int type = 0;
    EXPECT_TRUE(opens(tdf(good, 4 * 2 + 2 * 1), &type));
    EXPECT_EQ(type, TX_TYPE_3DF);
    EXPECT_FALSE(opens(tdf(good, 9)));  // truncated
    // Bytes after the last level (padding of other tools) are ignored.
    EXPECT_TRUE(opens(tdf(good, 11)));
    EXPECT_TRUE(opens(tdf(good, 4096)));
    EXPECT_FALSE(opens(tdf("3df v1.1\nI8\nlod range: 2 4\naspect ratio: 2 1\n", 10)));
    EXPECT_FALSE(opens(tdf("3df v1.1\nrsvd1\nlod range: 2 4\naspect ratio: 2 1\n", 10)));
    EXPECT_FALSE(opens(tdf("3df v1.1\nrsvd4\nlod range: 2 4\naspect ratio: 2 1\n", 20)));
    EXPECT_FALSE(opens(tdf("3df v1.1\ni8\nlod range: 4 2\naspect ratio: 2 1\n", 10)));
    EXPECT_FALSE(opens(tdf("3df v1.1\ni8\nlod range: 3 4\naspect ratio: 2 1\n", 10)));
    EXPECT_FALSE(opens(tdf("3df v1.1\ni8\nlod range: 4 4\naspect ratio: 1 8\n", 8)));  // 0 x 4
    EXPECT_FALSE(opens(tdf("3df v1.1\ni8\nlod range: 4 4\naspect ratio: 3 1\n", 16)));
    EXPECT_FALSE(opens(tdf("3df v1.1\ni8\nlod range: 4 65536\naspect ratio: 1 1\n", 16)));
    EXPECT_FALSE(opens(tdf("3df v1.1\n# only a comment", 0)));
    // %i numbers: 0x10 is sixteen.
    EXPECT_TRUE(opens(tdf("3df v1.1\ni8\nlod range: 0x10 0x10\naspect ratio: 1 1\n", 256)));
    // A short NCC table or palette.
    EXPECT_FALSE(opens(tdf("3df v1.1\nyiq\nlod range: 1 1\naspect ratio: 1 1\n", 40)));
    EXPECT_FALSE(opens(tdf("3df v1.1\np8\nlod range: 1 1\naspect ratio: 1 1\n", 1000)));

    // TEX: 4x2 i8, all levels (4x2, 2x1, 1x1).
    auto tex = [](uint32_t small, uint32_t large, uint32_t aspect, uint32_t format, uint32_t table,
                  size_t data) {
        Bytes b;
        b.le32(small).le32(large).le32(aspect).le32(format).le32(table).fill(data, 3);
        return b.v;
    };
    EXPECT_TRUE(opens(tex(8, 6, 2, TX_FMT_I8, 0, 11), &type));
    EXPECT_EQ(type, TX_TYPE_TEX);
    EXPECT_FALSE(opens(tex(8, 6, 2, TX_FMT_I8, 0, 10)));     // truncated
    EXPECT_FALSE(opens(tex(8, 6, 2, TX_FMT_RSVD1, 0, 11)));  // reserved format
    EXPECT_FALSE(opens(tex(8, 6, 2, TX_FMT_RSVD4, 0, 22)));
    EXPECT_FALSE(opens(tex(6, 8, 2, TX_FMT_I8, 0, 11)));  // small side above large
    EXPECT_FALSE(opens(tex(8, 8, 0, TX_FMT_I8, 0, 1)));   // 1 x 1/8
    EXPECT_FALSE(opens(tex(8, 6, 7, TX_FMT_I8, 0, 11)));  // aspect code
    EXPECT_FALSE(opens(tex(8, 6, 2, TX_FMT_P8, 0, 11)));  // palette without table
    // Older files with a 112-byte YIQ table (no Q rows) still open.
    Bytes old;
    old.le32(8).le32(8).le32(3).le32(TX_FMT_YIQ).le32(112);
    for (int k = 0; k < 28; ++k) old.le32(uint32_t(k));
    old.u8(0x12);
    TxMip m;
    TxReadContext ctx;
    ASSERT_TRUE(readOwn(old.v, m, ctx)) << ctx.lastError;
    const TxNccTable t = txNccFromPal(m.pal);
    EXPECT_EQ(t.y[15], 15);
    EXPECT_EQ(t.i[3][2], 27);
    EXPECT_EQ(t.q[0][0], 0);
    // Table entries beyond any NCC table's range are refused.
    Bytes huge;
    huge.le32(8).le32(8).le32(3).le32(TX_FMT_YIQ).le32(112);
    for (int k = 0; k < 28; ++k) huge.le32(k == 20 ? 0x7FFFFFF0u : uint32_t(k));
    huge.u8(0x12);
    EXPECT_FALSE(opens(huge.v));
}

TEST(Tex3df, PalettesWithoutAlphaReadOpaque) {
    auto texFile = [](uint32_t entry0) {
        std::vector<uint8_t> b;
        auto le32 = [&](uint32_t v) {
            for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
        };
        le32(8), le32(8), le32(3), le32(TX_FMT_P8), le32(1024);
        le32(entry0);
        for (int k = 1; k < 256; ++k) le32(0x00102030u);
        b.push_back(0);
        return b;
    };
    TxReadContext ctx;
    for (auto [entry, expect] :
         {std::pair{0x00FF0000u, 0xFFFF0000u}, std::pair{0x80FF0000u, 0x80FF0000u}}) {
        const auto bytes = texFile(entry);
        TxStream s(bytes.data(), bytes.size());
        TxMip mip;
        ASSERT_TRUE(txMipRead(mip, "m", s, TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
        EXPECT_EQ(*reinterpret_cast<uint32_t*>(mip.data[0]), expect);
    }
}
