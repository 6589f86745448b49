#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "test_util.h"
#include "texlib/gif.h"

namespace {

// Packs codes LSB first, each with its width, into GIF sub-blocks.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int n = 0;
    void put(int code, int width) {
        acc |= uint32_t(code) << n;
        n += width;
        while (n >= 8) {
            bytes.push_back(uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    std::vector<uint8_t> finish() {
        if (n > 0) bytes.push_back(uint8_t(acc));
        acc = 0;
        n = 0;
        return bytes;
    }
};

// A real LZW encoder (dictionary growth to 12 bits). With `clearWhenFull` false it keeps
// emitting 12-bit codes once the table is full, as some encoders do.
std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& idx, int minCode, bool clearWhenFull) {
    const int clear = 1 << minCode, end = clear + 1;
    BitWriter w;
    std::map<std::pair<int, int>, int> dict;
    int next = clear + 2, width = minCode + 1;
    w.put(clear, width);
    int cur = -1;
    for (uint8_t k : idx) {
        if (cur < 0) {
            cur = k;
            continue;
        }
        auto it = dict.find({cur, k});
        if (it != dict.end()) {
            cur = it->second;
            continue;
        }
        w.put(cur, width);
        if (next < 4096) {
            dict[{cur, k}] = next++;
            // The decoder widens when its next free code reaches 2^width, one code later.
            if (next > (1 << width) && width < 12) ++width;
        } else if (clearWhenFull) {
            w.put(clear, width);
            dict.clear();
            next = clear + 2;
            width = minCode + 1;
        }
        cur = k;
    }
    if (cur >= 0) w.put(cur, width);
    w.put(end, width);
    return w.finish();
}

void subBlocks(Bytes& b, const std::vector<uint8_t>& data) {
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        b.u8(int(n));
        b.v.insert(b.v.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    b.u8(0);
}

Bytes screen(int w, int h, const std::vector<uint32_t>& global, int background = 0) {
    Bytes b;
    b.str("GIF89a").le16(w).le16(h);
    int bits = 0;
    while ((2 << bits) < int(global.size())) ++bits;
    b.u8(global.empty() ? 0 : 0x80 | bits).u8(background).u8(0);
    if (!global.empty())
        for (int i = 0; i < (2 << bits); ++i) {
            const uint32_t c = i < int(global.size()) ? global[size_t(i)] : 0;
            b.u8(int(c >> 16) & 0xFF).u8(int(c >> 8) & 0xFF).u8(int(c) & 0xFF);
        }
    return b;
}

void control(Bytes& b, int transparent, int disposal, int delayCs = 10) {
    b.u8(0x21).u8(0xF9).u8(4).u8((transparent >= 0 ? 1 : 0) | (disposal << 2)).le16(delayCs);
    b.u8(transparent >= 0 ? transparent : 0).u8(0);
}

void image(Bytes& b, int left, int top, int w, int h, const std::vector<uint8_t>& idx,
           const std::vector<uint32_t>& local = {}, bool interlaced = false, int minCode = 2) {
    b.u8(0x2C).le16(left).le16(top).le16(w).le16(h);
    int flags = interlaced ? 0x40 : 0;
    int bits = 0;
    if (!local.empty()) {
        while ((2 << bits) < int(local.size())) ++bits;
        flags |= 0x80 | bits;
    }
    b.u8(flags);
    if (!local.empty())
        for (int i = 0; i < (2 << bits); ++i) {
            const uint32_t c = i < int(local.size()) ? local[size_t(i)] : 0;
            b.u8(int(c >> 16) & 0xFF).u8(int(c >> 8) & 0xFF).u8(int(c) & 0xFF);
        }
    b.u8(minCode);
    subBlocks(b, lzwEncode(idx, minCode, true));
}

const std::vector<uint32_t> kGlobal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

std::vector<uint32_t> read(const Bytes& b, TxReadContext& ctx, int* w = nullptr, int* h = nullptr) {
    return readPixels(b.v, ctx, w, h);
}

}  // namespace

TEST(Gif, StillImageAndInterlacedRowOrder) {
    Bytes b = screen(3, 2, kGlobal);
    image(b, 0, 0, 3, 2, {1, 2, 3, 0, 1, 2});
    b.u8(';');
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = read(b, ctx, &w, &h);
    ASSERT_EQ(px.size(), 6u) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_GIF);
    EXPECT_EQ(ctx.frameCount, 1);
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFF0000,
                                         0xFF00FF00}));

    // One column of 10 rows, stored in the order of the four interlace passes:
    // rows 0, 8 | 4 | 2, 6 | 1, 3, 5, 7, 9. Row r gets colour index r % 4.
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    std::vector<uint8_t> idx;
    for (int r : order) idx.push_back(uint8_t(r % 4));
    Bytes c = screen(1, 10, kGlobal);
    image(c, 0, 0, 1, 10, idx, {}, true);
    c.u8(';');
    TxReadContext ctx2;
    px = read(c, ctx2);
    ASSERT_EQ(px.size(), 10u) << ctx2.lastError;
    for (int r = 0; r < 10; ++r)
        EXPECT_EQ(px[size_t(r)], 0xFF000000u | kGlobal[size_t(r % 4)]) << r;
}

TEST(Gif, AnimationStacksComposedFrames) {
    // Three 2x2 images on a 2x2 screen: the second covers only texel (1,1); the third is
    // transparent (index 0) except texel (0,0), so it keeps what earlier frames drew.
    Bytes b = screen(2, 2, kGlobal);
    control(b, -1, 1);
    image(b, 0, 0, 2, 2, {1, 1, 1, 1});
    control(b, -1, 1, 25);
    image(b, 1, 1, 1, 1, {2});
    control(b, 0, 1, 0);
    image(b, 0, 0, 2, 2, {3, 0, 0, 0});
    b.u8(';');
    TxReadContext ctx;
    int w = 0, h = 0;
    auto px = read(b, ctx, &w, &h);
    ASSERT_EQ(px.size(), 12u) << ctx.lastError;
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(ctx.frameCount, 3);
    EXPECT_EQ(ctx.frameDelaysMs, (std::vector<int>{100, 250, 0}));  // hundredths to ms
    const uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
    EXPECT_EQ(px, (std::vector<uint32_t>{R, R, R, R, /**/ R, R, R, G, /**/ B, R, R, G}));
}

TEST(Gif, DisposalActsOnThePreviousImageOnly) {
    // Image 0 fills the screen and asks to be restored to background afterwards; image 1 draws
    // one texel and asks to be restored to what was there before it; image 2 draws nothing.
    Bytes b = screen(2, 1, kGlobal, 3);
    control(b, 0, 2);
    image(b, 0, 0, 2, 1, {1, 2});
    control(b, 0, 3);
    image(b, 1, 0, 1, 1, {3});
    control(b, 0, 1);
    image(b, 0, 0, 1, 1, {0});
    b.u8(';');
    TxReadContext ctx;
    auto px = read(b, ctx);
    ASSERT_EQ(px.size(), 6u) << ctx.lastError;
    // Background: transparent, coloured by the first image's transparent index (0: black).
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[1], 0xFF00FF00u);
    EXPECT_EQ(px[2], 0x00000000u);  // image 0's area went back to background
    EXPECT_EQ(px[3], 0xFF0000FFu);
    EXPECT_EQ(px[4], 0x00000000u);
    EXPECT_EQ(px[5], 0x00000000u);  // image 1 restored what was under it
}

TEST(Gif, LocalTableServesItsOwnImageOnly) {
    Bytes b = screen(2, 1, kGlobal);
    image(b, 0, 0, 1, 1, {1}, {0x000000, 0x123456});
    image(b, 1, 0, 1, 1, {1});
    b.u8(';');
    TxReadContext ctx;
    auto px = read(b, ctx);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(px[2], 0xFF123456u);
    EXPECT_EQ(px[3], 0xFFFF0000u);  // the second image uses the global table again
}

TEST(Gif, IndicesBeyondTheTableGiveColourZero) {
    // A two-entry global table; indices 2 and 3 name no colour and come out black.
    Bytes b = screen(4, 1, {0x102030, 0x405060});
    image(b, 0, 0, 4, 1, {0, 1, 2, 3});
    b.u8(';');
    TxReadContext ctx;
    auto px = read(b, ctx);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF102030, 0xFF405060, 0xFF000000, 0xFF000000}));
    // No table at all: every colour is 0.
    Bytes c = screen(2, 1, {});
    image(c, 0, 0, 2, 1, {1, 3});
    TxReadContext ctx2;
    px = read(c, ctx2);
    ASSERT_EQ(px.size(), 2u) << ctx2.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF000000, 0xFF000000}));
}

TEST(Gif, FramesAreClippedToTheScreen) {
    // A 3x3 image at (1,1) on a 2x2 screen: only its top-left texel lies on the screen.
    Bytes b = screen(2, 2, kGlobal);
    control(b, 0, 0);
    image(b, 1, 1, 3, 3, {2, 3, 3, 3, 3, 3, 3, 3, 3});
    b.u8(';');
    TxReadContext ctx;
    auto px = read(b, ctx);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(px, (std::vector<uint32_t>{0, 0, 0, 0xFF00FF00}));
    // Far off the screen: nothing drawn, still one frame.
    Bytes c = screen(2, 2, kGlobal);
    image(c, 60000, 60000, 2, 2, {1, 1, 1, 1});
    c.u8(';');
    TxReadContext ctx2;
    px = read(c, ctx2);
    ASSERT_EQ(px.size(), 4u);
    for (uint32_t p : px) EXPECT_EQ(p >> 24, 0u);
}

TEST(Gif, FullTwelveBitTableWithAndWithoutClear) {
    // Enough varied data to fill the 4096-entry table several times over.
    std::vector<uint8_t> idx(64 * 200);
    uint32_t seed = 12345;
    for (auto& v : idx) {
        seed = seed * 1103515245u + 12345u;
        v = uint8_t((seed >> 16) % 7 == 0 ? (seed >> 8) & 0xFF : (seed >> 20) & 3);
    }
    std::vector<uint32_t> pal(256);
    for (int i = 0; i < 256; ++i) pal[size_t(i)] = uint32_t(i * 0x010203) & 0xFFFFFF;
    for (bool clearWhenFull : {true, false}) {
        Bytes b = screen(64, 200, pal);
        b.u8(0x2C).le16(0).le16(0).le16(64).le16(200).u8(0).u8(8);
        subBlocks(b, lzwEncode(idx, 8, clearWhenFull));
        b.u8(';');
        TxReadContext ctx;
        auto px = read(b, ctx);
        ASSERT_EQ(px.size(), idx.size()) << ctx.lastError;
        size_t bad = 0;
        for (size_t i = 0; i < idx.size(); ++i)
            if (px[i] != (0xFF000000u | pal[idx[i]])) ++bad;
        EXPECT_EQ(bad, 0u) << "clearWhenFull " << clearWhenFull;
    }
}

TEST(Gif, BadCodesStopTheImageCleanly) {
    // 3-bit codes with minimum size 2: clear 4, end 5, first free code 6. The stream clear, 1, 7
    // uses 7 while 6 is the next free code: decoding stops after the first texel.
    BitWriter w;
    for (int c : {4, 1, 7, 2, 5}) w.put(c, 3);
    Bytes b = screen(4, 1, kGlobal);
    control(b, 0, 0);
    b.u8(0x2C).le16(0).le16(0).le16(4).le16(1).u8(0).u8(2);
    subBlocks(b, w.finish());
    b.u8(';');
    TxReadContext ctx;
    auto px = read(b, ctx);
    ASSERT_EQ(px.size(), 4u) << ctx.lastError;
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[1] >> 24, 0u);  // nothing decoded from the bad code on
    EXPECT_EQ(px[2] >> 24, 0u);
    EXPECT_EQ(px[3] >> 24, 0u);

    // The code being defined (KwKwK) is valid: clear, 1, 6 (= "1 1"), end gives 1 1 1.
    BitWriter k;
    for (int c : {4, 1, 6, 5}) k.put(c, 3);
    Bytes c = screen(3, 1, kGlobal);
    c.u8(0x2C).le16(0).le16(0).le16(3).le16(1).u8(0).u8(2);
    subBlocks(c, k.finish());
    c.u8(';');
    TxReadContext ctx2;
    px = read(c, ctx2);
    ASSERT_EQ(px.size(), 3u);
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFFFF0000, 0xFFFF0000, 0xFFFF0000}));

    // A first code after clear that is not a literal stops at once.
    BitWriter f;
    for (int c2 : {4, 6, 1}) f.put(c2, 3);
    Bytes d = screen(1, 1, kGlobal);
    d.u8(0x2C).le16(0).le16(0).le16(1).le16(1).u8(0).u8(2);
    subBlocks(d, f.finish());
    TxReadContext ctx3;
    px = read(d, ctx3);
    ASSERT_EQ(px.size(), 1u);
    EXPECT_EQ(px[0] >> 24, 0u);
}

TEST(Gif, TruncatedAndBrokenFiles) {
    Bytes full = screen(4, 1, kGlobal);
    image(full, 0, 0, 4, 1, {1, 2, 3, 1});
    image(full, 0, 0, 4, 1, {2, 2, 2, 2});
    full.u8(';');
    TxReadContext ok;
    ASSERT_EQ(read(full, ok).size(), 8u);
    // Every cut of the file either fails or yields whole frames; none crashes.
    for (size_t n = 0; n < full.v.size(); ++n) {
        Bytes cut;
        cut.v.assign(full.v.begin(), full.v.begin() + long(n));
        TxReadContext ctx;
        int w = 0, h = 0;
        auto px = read(cut, ctx, &w, &h);
        if (!px.empty()) {
            EXPECT_EQ(w, 4);
            EXPECT_EQ(h, ctx.frameCount);
        }
    }
    // Zero-sized screen, no image at all, and an unusable minimum code size.
    TxReadContext a, c, d;
    Bytes zero = screen(0, 5, kGlobal);
    image(zero, 0, 0, 1, 1, {1});
    EXPECT_TRUE(read(zero, a).empty());
    Bytes none = screen(2, 2, kGlobal);
    none.u8(';');
    EXPECT_TRUE(read(none, c).empty());
    for (int m : {0, 9, 12}) {
        Bytes bad = screen(2, 2, kGlobal);
        bad.u8(0x2C).le16(0).le16(0).le16(2).le16(2).u8(0).u8(m).u8(1).u8(0).u8(0);
        EXPECT_TRUE(read(bad, d).empty()) << m;
    }
}

TEST(Gif, FrameCountTimesHeightIsBounded) {
    // A 16384 x 8192 screen: two stacked frames make 1 GiB of pixels, three are too many.
    auto probe = [](int frames, TxMip& mip) {
        Bytes b;
        b.str("GIF89a").le16(16384).le16(8192).u8(0).u8(0).u8(0);
        for (int i = 0; i < frames; ++i)
            b.u8(0x2C).le16(0).le16(0).le16(1).le16(1).u8(0).u8(2).u8(0);
        b.u8(';');
        TxStream s(b.v.data(), b.v.size());
        TxReadContext ctx;
        return gifProbe(s, ctx, mip, 0x4749);
    };
    TxMip two, three;
    ASSERT_TRUE(probe(2, two));
    EXPECT_EQ(two.height, 16384);
    EXPECT_EQ(two.size, int64_t(1) << 30);
    EXPECT_FALSE(probe(3, three));
}
