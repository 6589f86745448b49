#include <gtest/gtest.h>

#include "model/frame_sequence.h"
#include "model/image_buffer.h"
#include "model/ports.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

struct CountingProgress : Progress {
    int total = -1, steps = 0, ends = 0;
    void begin(int t) override { total = t; }
    void step() override { ++steps; }
    void end() override { ++ends; }
};

void fillRamp(Frame& f) {
    uint32_t* p = f.pixels();
    for (int k = 0; k < f.width() * f.height(); ++k) p[k] = 0xFF000000u | uint32_t(k);
}

}  // namespace

TEST(Frame, BlankFrame) {
    Frame f;
    EXPECT_EQ(f.pixels(), nullptr);
    ASSERT_EQ(f.createBlank(2, 2), FE_OK);
    EXPECT_EQ(f.fileType, 512);
    EXPECT_EQ(f.fileName, "untitled");
    EXPECT_EQ(f.mip().size, 16);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(f.pixels()[k], 0u);
    EXPECT_EQ(f.createBlank(0, 3), FE_BLANK_NO_MEMORY);
    EXPECT_EQ(f.pixels(), nullptr);
}

TEST(Frame, LoadWriteAndOwnAlpha) {
    Frame f;
    ASSERT_EQ(f.createBlank(3, 2), FE_OK);
    fillRamp(f);
    const std::string path = std::string(::testing::TempDir()) + "frame.tga";
    ASSERT_EQ(f.writeTGA(path), 0);
    Frame g;
    ASSERT_EQ(g.load(path), FE_OK);
    EXPECT_EQ(g.fileType, TX_TYPE_TGA);
    EXPECT_EQ(g.fileName, path);
    EXPECT_EQ(g.pixels()[5], 0xFF000005u);
    EXPECT_TRUE(g.hasOwnAlpha());
    EXPECT_EQ(g.load(path + ".missing"), FE_LOAD_FAILED);
    EXPECT_EQ(g.pixels(), nullptr);
    EXPECT_EQ(g.fileType, 0);
    EXPECT_FALSE(g.loadError().empty());
    for (TxFileType t : {TX_TYPE_3DF, TX_TYPE_IFF, TX_TYPE_GIF, TX_TYPE_PNG, TX_TYPE_TGA}) {
        g.fileType = t;
        EXPECT_TRUE(g.hasOwnAlpha()) << t;
    }
    for (TxFileType t :
         {TX_TYPE_UNKNOWN, TX_TYPE_BMP, TX_TYPE_PCX, TX_TYPE_JPEG, TX_TYPE_SPR, TX_TYPE_PSD}) {
        g.fileType = t;
        EXPECT_FALSE(g.hasOwnAlpha()) << t;
    }
}

TEST(Frame, CopyRectClipsToBothFrames) {
    Frame src, dst;
    ASSERT_EQ(src.createBlank(4, 4), FE_OK);
    ASSERT_EQ(dst.createBlank(3, 3), FE_OK);
    fillRamp(src);
    // Inside both frames: a plain copy.
    EXPECT_EQ(dst.copyRect(src, {1, 1, 3, 3}, {0, 0, 2, 2}), FE_OK);
    EXPECT_EQ(dst.pixels()[0], 0xFF000005u);
    EXPECT_EQ(dst.pixels()[4], 0xFF00000Au);
    // Sticking out past the destination and starting left of the source: clipped, no overrun.
    EXPECT_EQ(dst.copyRect(src, {-1, 0, 4, 4}, {1, 1, 6, 5}), FE_OK);
    EXPECT_EQ(dst.pixels()[1 * 3 + 2], 0xFF000000u);  // src (0,0) lands at (2,1)
    EXPECT_EQ(dst.pixels()[2 * 3 + 2], 0xFF000004u);
    EXPECT_EQ(dst.pixels()[1 * 3 + 1], 0xFF00000Au);  // untouched column
    EXPECT_EQ(dst.copyRect(src, {0, 0, 4, 4}, {-10, -10, -6, -6}), FE_OK);
}

TEST(Frame, AlphaOperations) {
    Frame f;
    ASSERT_EQ(f.createBlank(2, 1), FE_OK);
    EXPECT_TRUE(f.alphaAllZero());
    f.pixels()[0] = 0x10FFFFFFu;
    f.pixels()[1] = 0x00123456u;
    EXPECT_FALSE(f.alphaAllZero());
    f.invertAlpha();
    EXPECT_EQ(f.pixels()[0], 0xEFFFFFFFu);
    EXPECT_EQ(f.pixels()[1], 0xFF123456u);
    uint32_t mask[2] = {0xAA000000u, 0x12345678u};
    EXPECT_EQ(f.maskFromAlpha(mask, 0xF0), FE_OK);
    EXPECT_EQ(mask[0], 0xAA000000u);  // 0xEF below the bias; the fourth byte is kept
    EXPECT_EQ(mask[1], 0x12FFFFFFu);
    ImageBuffer m;
    EXPECT_EQ(f.alphaFromMask(&m), FE_MASK_MISSING);
    ASSERT_EQ(m.create(2, 1), 1);
    m.pixels()[0] = 0x00FFFF80u;
    m.pixels()[1] = 0xFF000000u;
    EXPECT_EQ(f.alphaFromMask(&m), FE_OK);
    EXPECT_EQ(f.pixels()[0], 0x80FFFFFFu);
    EXPECT_EQ(f.pixels()[1], 0x00123456u);
    Frame empty;
    EXPECT_EQ(empty.alphaFromMask(&m), FE_MASK_NO_PIXELS);
    EXPECT_EQ(empty.maskFromAlpha(mask, 1), FE_MASK_FROM_ALPHA_NO_PIXELS);
}

TEST(FrameSequence, EmptyAndNavigation) {
    FrameSequence s;
    EXPECT_EQ(s.currentFrame(), nullptr);
    EXPECT_EQ(s.firstFrame(), nullptr);
    int w = -1, h = -1;
    s.currentSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(s.fileType(), 0);
    EXPECT_EQ(s.step(), 1);

    ASSERT_EQ(s.addBlankFrames(4, 3, 0), FE_OK);  // n = 0 still makes one frame
    EXPECT_EQ(s.count(), 1);
    ASSERT_EQ(s.addBlankFrames(4, 3, 3), FE_OK);
    EXPECT_EQ(s.count(), 4);
    EXPECT_EQ(s.fileType(), 512);
    s.goPrevious();
    EXPECT_EQ(s.currentIndex(), 0);
    s.goLast();
    EXPECT_EQ(s.currentIndex(), 3);
    s.goNext();
    EXPECT_EQ(s.currentIndex(), 3);
    s.goNextWrapping();
    EXPECT_EQ(s.currentIndex(), 0);
    s.setCurrent(-1);
    s.setCurrent(4);
    EXPECT_EQ(s.currentIndex(), 0);
    s.setCurrent(2);
    EXPECT_EQ(s.currentIndex(), 2);
    EXPECT_EQ(s.frameAt(4), nullptr);
    EXPECT_EQ(s.frameAt(-1), nullptr);
    EXPECT_EQ(s.addBlankFrames(0, 0, 1), FE_ADD_BLANK_FAILED);
    EXPECT_EQ(s.count(), 4);
}

TEST(FrameSequence, DeepCopyKeepsCurrentAndStep) {
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(2, 2, 2), FE_OK);
    s.setCurrent(1);
    s.setStep(3);
    FrameSequence c(s);
    EXPECT_EQ(c.count(), 2);
    EXPECT_EQ(c.currentIndex(), 1);
    EXPECT_EQ(c.step(), 3);
    c.frameAt(0)->pixels()[0] = 0xFFFFFFFFu;
    EXPECT_EQ(s.frameAt(0)->pixels()[0], 0u);
    EXPECT_NE(c.frameAt(0)->pixels(), s.frameAt(0)->pixels());
}

TEST(FrameSequence, EveryFrameStopsAtFirstErrorWithProgress) {
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(2, 1, 3), FE_OK);
    for (int k = 0; k < 3; ++k) s.frameAt(k)->pixels()[0] = uint32_t(k + 1);
    CountingProgress p;
    EXPECT_EQ(s.mirror(nullptr, &p), FE_OK);
    EXPECT_EQ(p.total, 3);
    EXPECT_EQ(p.steps, 3);
    EXPECT_EQ(s.frameAt(2)->pixels()[1], 3u);
    int calls = 0;
    CountingProgress q;
    EXPECT_EQ(s.forEveryFrame([&](Frame&) { return ++calls == 2 ? 177 : 0; }, &q), 177);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(q.steps, 1);
    // One frame: no progress shown.
    FrameSequence one;
    ASSERT_EQ(one.addBlankFrames(1, 1, 1), FE_OK);
    CountingProgress r;
    EXPECT_EQ(one.flip(nullptr, &r), FE_OK);
    EXPECT_EQ(r.total, -1);
    Frame empty;
    EXPECT_EQ(empty.mirror(), FE_MIRROR_EMPTY);
    EXPECT_EQ(empty.flip(), FE_FLIP_EMPTY);
}

TEST(FrameSequence, TitleAndPlayTick) {
    const std::string t = frameTitle("walk.tga", 2, 12);
    EXPECT_EQ(t, "walk.tga                 Frame 3:12");
    EXPECT_EQ(t.size(), 35u);  // 24 for the name, a blank, then "Frame 3:12"
    // Rebuilding from a built title keeps the name part.
    EXPECT_EQ(frameTitle(t, 0, 12), "walk.tga                 Frame 1:12");
    EXPECT_EQ(frameTitle("a_very_long_document_name_indeed.tga", 0, 1),
              "a_very_long_document_nam Frame 1:1");

    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(1, 1, 3), FE_OK);
    PlayMode play;
    s.setCurrent(1);
    play.syncIdle(s);
    EXPECT_EQ(play.counter, 1);
    EXPECT_FALSE(play.tick(s));
    play.playing = true;
    EXPECT_TRUE(play.tick(s));
    EXPECT_EQ(s.currentIndex(), 1);
    EXPECT_TRUE(play.tick(s));
    EXPECT_TRUE(play.tick(s));
    EXPECT_EQ(s.currentIndex(), 0);  // counter 3 >= count restarts at 0
    play.counter = 99;
    play.tick(s);
    EXPECT_EQ(s.currentIndex(), 0);
    FrameSequence one;
    ASSERT_EQ(one.addBlankFrames(1, 1, 1), FE_OK);
    EXPECT_FALSE(play.tick(one));
}
