#include <gtest/gtest.h>

#include <vector>

#include "model/settings.h"
#include "tools/animmaster/animmaster.h"

namespace {

constexpr uint32_t kMagenta = 0x00FF00FFu;

// Frames of one row each, given as their pixel words.
void addFrame(FrameSequence& seq, int w, int h, const std::vector<uint32_t>& px) {
    Frame* f = seq.append();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->createBlank(w, h), FE_OK);
    ASSERT_EQ(px.size(), size_t(w) * size_t(h));
    std::copy(px.begin(), px.end(), f->pixels());
}

FrameSequence rows(const std::vector<std::vector<uint32_t>>& frames) {
    FrameSequence seq;
    for (const auto& f : frames) addFrame(seq, int(f.size()), 1, f);
    return seq;
}

void reset(FrameSequence& seq, FrameSequence&& fresh) { seq.swap(fresh); }

std::vector<uint32_t> px(const FrameSequence& seq, int j) {
    const Frame* f = seq.frameAt(j);
    return std::vector<uint32_t>(f->pixels(),
                                 f->pixels() + size_t(f->width()) * size_t(f->height()));
}

}  // namespace

TEST(AnimMaster, IdenticalFramesSingleBuffer) {
    const std::vector<uint32_t> image = {0x80123456u, 0xFF000000u, 0x00ABCDEFu};
    FrameSequence seq = rows({image, image});
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, kMagenta, AM_KEEP_ALPHA), AM_OK);
    EXPECT_EQ(px(seq, 0), image);
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{0x80FF00FFu, 0xFFFF00FFu, 0x00FF00FFu}));

    reset(seq, rows({image, image}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, 0x12FF00FFu, 0), AM_OK);
    EXPECT_EQ(px(seq, 1), std::vector<uint32_t>(3, 0x12FF00FFu));  // the key word itself
}

TEST(AnimMaster, ChangedPixelKeepsColourWithAlphaZero) {
    FrameSequence seq = rows({{0xFF010203u, 0xFF040506u}, {0xFF010203u, 0xC0998877u}});
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, kMagenta, 0), AM_OK);
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{kMagenta, 0x00998877u}));
    // With keep alpha the changed pixel stays as it was.
    reset(seq, rows({{0xFF010203u, 0xFF040506u}, {0x7F010203u, 0xC0998877u}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, 0x33FF00FFu, AM_KEEP_ALPHA), AM_OK);
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{0x7FFF00FFu, 0xC0998877u}));
}

TEST(AnimMaster, BufferTypesPickTheirReferenceFrames) {
    const uint32_t A = 0xFF0000A0u, B = 0xFF0000B0u, C = 0xFF0000C0u, D = 0xFF0000D0u;
    const uint32_t K = 0x11223344u;
    // Double buffer, three frames: frame 2 against frame 0, frame 1 against frame 0.
    FrameSequence seq = rows({{A, B}, {A, C}, {D, B}});
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_DOUBLE, K, 0), AM_OK);
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{A, B}));
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{K, C & 0xFFFFFFu}));
    EXPECT_EQ(px(seq, 2), (std::vector<uint32_t>{D & 0xFFFFFFu, K}));
    // Single buffer on the same frames compares frame 2 with frame 1.
    reset(seq, rows({{A, B}, {A, C}, {D, B}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, K, 0), AM_OK);
    EXPECT_EQ(px(seq, 2), (std::vector<uint32_t>{D & 0xFFFFFFu, B & 0xFFFFFFu}));

    // Double buffer, four frames: frame 3 meets frame 1 as it was before the pass changed it.
    reset(seq, rows({{A}, {A}, {B}, {A}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_DOUBLE, K, 0), AM_OK);
    EXPECT_EQ(px(seq, 3), std::vector<uint32_t>{K});
    EXPECT_EQ(px(seq, 2), std::vector<uint32_t>{B & 0xFFFFFFu});
    EXPECT_EQ(px(seq, 1), std::vector<uint32_t>{K});

    // Uni buffer, four frames: every frame against frame 0.
    reset(seq, rows({{A}, {B}, {A}, {A}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_UNI, K, 0), AM_OK);
    EXPECT_EQ(px(seq, 1), std::vector<uint32_t>{B & 0xFFFFFFu});
    EXPECT_EQ(px(seq, 2), std::vector<uint32_t>{K});
    EXPECT_EQ(px(seq, 3), std::vector<uint32_t>{K});
    EXPECT_EQ(px(seq, 0), std::vector<uint32_t>{A});
}

TEST(AnimMaster, DoNothingWithZeroAlphaAndUniquePasses) {
    // "-do nothing-" with only zero alpha: every frame, frame 0 too; the full key word even with
    // keep alpha.
    FrameSequence seq = rows({{0x00123456u, 0xFF123456u}, {0x01000000u, 0x00FFFFFFu}});
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_NONE, 0x5AFF00FFu, AM_CUTOUT_ALPHA | AM_KEEP_ALPHA),
              AM_NO_DIFFERENCE);
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{0x5AFF00FFu, 0xFF123456u}));
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{0x01000000u, 0x5AFF00FFu}));
    // Any other type number behaves like "-do nothing-".
    reset(seq, rows({{1u}, {1u}}));
    EXPECT_EQ(animMasterOptimize(seq, 7, kMagenta, 0), AM_NO_DIFFERENCE);
    EXPECT_EQ(px(seq, 1), std::vector<uint32_t>{1u});

    // Unique pixels: the same word in all frames becomes the key in all but the first; the same
    // colour with another alpha is not the same pixel.
    reset(
        seq,
        rows({{0x80102030u, 0xFF102030u}, {0x80102030u, 0xFE102030u}, {0x80102030u, 0xFF102030u}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_NONE, kMagenta, AM_CUTOUT_UNIQUE),
              AM_NO_DIFFERENCE);
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{0x80102030u, 0xFF102030u}));
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{kMagenta, 0xFE102030u}));
    EXPECT_EQ(px(seq, 2), (std::vector<uint32_t>{kMagenta, 0xFF102030u}));
    // With keep alpha the pixel's alpha is ORed into the key (the key's own alpha stays).
    reset(seq, rows({{0x80102030u}, {0x80102030u}}));
    EXPECT_EQ(
        animMasterOptimize(seq, AM_BUFFER_NONE, 0x41FF00FFu, AM_CUTOUT_UNIQUE | AM_KEEP_ALPHA),
        AM_NO_DIFFERENCE);
    EXPECT_EQ(px(seq, 1), std::vector<uint32_t>{0xC1FF00FFu});
    // A single frame has nothing to compare: the unique pass leaves it alone.
    reset(seq, rows({{0x80102030u}}));
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, kMagenta, AM_CUTOUT_UNIQUE), AM_OK);
    EXPECT_EQ(px(seq, 0), std::vector<uint32_t>{0x80102030u});

    FrameSequence empty;
    EXPECT_EQ(animMasterOptimize(empty, AM_BUFFER_SINGLE, 0, AM_CUTOUT_ALPHA), AM_NO_FRAMES);
}

TEST(AnimMaster, AllPassesCombined) {
    const uint32_t K = 0x40FF00FFu;
    auto input = [] {
        return rows({{0x80102030u, 0x00AABBCCu, 0xFF0000FFu},
                     {0x80102030u, 0xFF000001u, 0x110000FFu},
                     {0x80102030u, 0x00000001u, 0x22333333u}});
    };
    const int all = AM_CUTOUT_UNIQUE | AM_CUTOUT_ALPHA;
    FrameSequence seq = input();
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, K, all | AM_KEEP_ALPHA), AM_OK);
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{0x80102030u, K, 0xFF0000FFu}));
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{0xC0FF00FFu, 0xFF000001u, 0x11FF00FFu}));
    EXPECT_EQ(px(seq, 2), (std::vector<uint32_t>{0xC0FF00FFu, K, 0x22333333u}));

    reset(seq, input());
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, K, all), AM_OK);
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{0x80102030u, K, 0xFF0000FFu}));
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{0x00FF00FFu, 0x00000001u, K}));
    EXPECT_EQ(px(seq, 2), (std::vector<uint32_t>{K, 0x00FF00FFu, 0x00333333u}));
}

TEST(AnimMaster, FramesOfMixedSizesAreComparedWhereBothHavePixels) {
    const uint32_t A = 0xFF0000AAu, B = 0xFF0000BBu, C = 0xFF0000CCu, D = 0xFF0000DDu;
    const uint32_t X = 0xFF000099u, K = 0x00FF00FFu;
    // A wider, flatter frame after a 2 x 2 frame: its third column has no counterpart.
    FrameSequence seq;
    addFrame(seq, 2, 2, {A, B, C, D});
    addFrame(seq, 3, 1, {A, X, B});
    EXPECT_EQ(animMasterOptimize(seq, AM_BUFFER_SINGLE, K, 0), AM_OK);
    EXPECT_EQ(px(seq, 1), (std::vector<uint32_t>{K, X & 0xFFFFFFu, B & 0xFFFFFFu}));
    EXPECT_EQ(px(seq, 0), (std::vector<uint32_t>{A, B, C, D}));

    // The other way round: the second row has nothing to compare with.
    FrameSequence back;
    addFrame(back, 3, 1, {A, X, B});
    addFrame(back, 2, 2, {A, B, C, D});
    EXPECT_EQ(animMasterOptimize(back, AM_BUFFER_SINGLE, K, AM_KEEP_ALPHA), AM_OK);
    EXPECT_EQ(px(back, 1), (std::vector<uint32_t>{K | 0xFF000000u, B, C, D}));

    // Unique pixels only where every frame has one; zero alpha over each frame's own size.
    FrameSequence mixed;
    addFrame(mixed, 2, 2, {A, A, A, 0});
    addFrame(mixed, 3, 1, {A, A, 0});
    addFrame(mixed, 1, 3, {A, A, 0});
    EXPECT_EQ(animMasterOptimize(mixed, AM_BUFFER_NONE, K, AM_CUTOUT_UNIQUE | AM_CUTOUT_ALPHA),
              AM_NO_DIFFERENCE);
    EXPECT_EQ(px(mixed, 0), (std::vector<uint32_t>{A, A, A, K}));
    EXPECT_EQ(px(mixed, 1), (std::vector<uint32_t>{K, A, K}));
    EXPECT_EQ(px(mixed, 2), (std::vector<uint32_t>{K, A, K}));

    // A frame without pixels is skipped as a frame and counts as "all changed" as a reference.
    FrameSequence holes;
    addFrame(holes, 2, 1, {A, B});
    ASSERT_NE(holes.append(), nullptr);
    addFrame(holes, 2, 1, {A, B});
    EXPECT_EQ(animMasterOptimize(holes, AM_BUFFER_SINGLE, K, AM_CUTOUT_UNIQUE | AM_CUTOUT_ALPHA),
              AM_OK);
    EXPECT_EQ(px(holes, 2), (std::vector<uint32_t>{A & 0xFFFFFFu, B & 0xFFFFFFu}));
    EXPECT_EQ(px(holes, 0), (std::vector<uint32_t>{A, B}));
}

TEST(AnimMaster, ProgressCountsRowsAndFrames) {
    struct Count : Progress {
        int total = -1, steps = 0, ends = 0;
        void begin(int t) override { total = t; }
        void step() override { ++steps; }
        void end() override { ++ends; }
    } progress;
    FrameSequence seq;
    for (int j = 0; j < 3; ++j) addFrame(seq, 2, 4, std::vector<uint32_t>(8, 0xFF000000u));
    animMasterOptimize(seq, AM_BUFFER_UNI, 0, AM_CUTOUT_UNIQUE | AM_CUTOUT_ALPHA, &progress);
    EXPECT_EQ(progress.total, 4 + 3 + 2);
    EXPECT_EQ(progress.steps, progress.total);
    EXPECT_EQ(progress.ends, 1);
}

TEST(AnimMaster, SettingsAndKeyText) {
    MemorySettingsStore store;
    AnimMasterOptions o;
    o.load(store);
    EXPECT_EQ(o.colorKey, 0u);
    EXPECT_EQ(o.bufferType, AM_BUFFER_SINGLE);
    EXPECT_FALSE(o.cutoutUnique);
    EXPECT_FALSE(o.cutoutAlpha);
    EXPECT_TRUE(o.keepAlpha);
    EXPECT_EQ(o.flags(), AM_KEEP_ALPHA);

    o.colorKey = 0xFF00FF00u;
    o.bufferType = AM_BUFFER_UNI;
    o.cutoutUnique = true;
    o.cutoutAlpha = true;
    o.keepAlpha = false;
    EXPECT_EQ(o.flags(), AM_CUTOUT_UNIQUE | AM_CUTOUT_ALPHA);
    o.save(store);
    EXPECT_EQ(store.getInt("AnimMaster", "colorkey", 0), int(0xFF00FF00u - 0x100000000ll));
    EXPECT_EQ(store.getInt("AnimMaster", "type", -1), 2);
    EXPECT_EQ(store.getInt("AnimMaster", "cutout_u", -1), 1);
    EXPECT_EQ(store.getInt("AnimMaster", "cutout_a", -1), 1);
    EXPECT_EQ(store.getInt("AnimMaster", "keep_a", -1), 0);
    AnimMasterOptions back;
    back.load(store);
    EXPECT_EQ(back.colorKey, 0xFF00FF00u);
    EXPECT_EQ(back.flags(), o.flags());
    EXPECT_EQ(back.bufferType, AM_BUFFER_UNI);

    EXPECT_EQ(animMasterKeyText(0x00FF00FFu), "0x00ff00ff");
    EXPECT_EQ(animMasterKeyText(0), "0x00000000");
    EXPECT_EQ(animMasterKeyText(0xDEADBEEFu), "0xdeadbeef");

    // "%x" reading: optional blanks, sign and 0x; stops at the first other character.
    EXPECT_EQ(animMasterParseKey("0x00ff00ff"), 0x00FF00FFu);
    EXPECT_EQ(animMasterParseKey("FF"), 0xFFu);
    EXPECT_EQ(animMasterParseKey("  0X1a"), 0x1Au);
    EXPECT_EQ(animMasterParseKey("12g4"), 0x12u);
    EXPECT_EQ(animMasterParseKey("xyz"), 0u);
    EXPECT_EQ(animMasterParseKey(""), 0u);
    EXPECT_EQ(animMasterParseKey("0x"), 0u);
    EXPECT_EQ(animMasterParseKey("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(animMasterParseKey("123456789"), 0xFFFFFFFFu);

    uint32_t key = 7;
    EXPECT_TRUE(animMasterParseKeyStrict("0xFF00ff00", key));
    EXPECT_EQ(key, 0xFF00FF00u);
    EXPECT_TRUE(animMasterParseKeyStrict("ff", key));
    EXPECT_EQ(key, 0xFFu);
    key = 7;
    for (const char* bad : {"", "0x", "0xAARRGGBB", "0x123456789", " 0x1", "1 ", "-1"}) {
        EXPECT_FALSE(animMasterParseKeyStrict(bad, key)) << bad;
        EXPECT_EQ(key, 7u);
    }

    // The colour dialog's colour has red in its low byte; the key has red in bits 16-23.
    EXPECT_EQ(animMasterKeyFromColour(0x00112233u), 0x00332211u);
    EXPECT_EQ(animMasterKeyFromColour(0x000000FFu), 0x00FF0000u);
}
