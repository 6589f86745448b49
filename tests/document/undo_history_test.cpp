// The undo history with a memory budget: many steps, redo after several undos, flips as steps,
// the oldest steps dropped first, the labels the Edit menu shows and the saved state.
#include <gtest/gtest.h>

#include "document/document.h"
#include "tests/scripted_prompts.h"

namespace {

// An unmodified one-frame document of w x h whose pixel (x, y) codes x and y.
std::unique_ptr<CBitmapDoc> newDoc(int w, int h) {
    auto doc = std::make_unique<CBitmapDoc>();
    ScriptedPrompts prompts;
    doc->context().pending = {doc->serial(), w, h};
    EXPECT_TRUE(doc->onNewDocument(prompts));
    Frame& f = *doc->frames()->frameAt(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f.pixels()[y * w + x] = 0xFF000000u | uint32_t(y << 8 | x);
    return doc;
}

int width(const CBitmapDoc& d) { return d.frames()->frameAt(0)->width(); }
uint32_t px(const CBitmapDoc& d, int x, int y) {
    const Frame& f = *d.frames()->frameAt(0);
    return f.pixels()[y * f.width() + x];
}

}  // namespace

TEST(UndoHistory, StepsBackAndForthThroughEveryEditWithLabels) {
    auto doc = newDoc(8, 4);
    doc->setUndoBudget(64u << 20);
    EXPECT_EQ(doc->undoLabel(), "");
    ASSERT_EQ(doc->crop({0, 0, 6, 4}), FE_OK);
    ASSERT_EQ(doc->flipHorizontal(), FE_OK);
    ASSERT_EQ(doc->scale(3, 2), FE_OK);
    EXPECT_EQ(doc->undoSteps(), 3);
    EXPECT_EQ(doc->undoLabel(), "Scale");

    doc->undo();  // the mirrored 6 x 4
    EXPECT_EQ(width(*doc), 6);
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000005u);
    EXPECT_EQ(doc->undoLabel(), "Flip Horizontal");
    EXPECT_EQ(doc->redoLabel(), "Scale");
    doc->undo();  // cropped, not mirrored
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000000u);
    doc->undo();  // the original, which is the saved state again
    EXPECT_EQ(width(*doc), 8);
    EXPECT_FALSE(doc->isModified());
    EXPECT_FALSE(doc->isEnabled(CMD_UNDO));
    EXPECT_EQ(doc->redoSteps(), 3);

    doc->redo();
    doc->redo();
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000005u);
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(doc->redoLabel(), "Scale");
    // A new edit drops what could be redone, the history before it stays.
    ASSERT_EQ(doc->flipVertical(), FE_OK);
    EXPECT_EQ(doc->redoSteps(), 0);
    EXPECT_EQ(doc->undoSteps(), 3);
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000305u);
    doc->undo();
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000005u);
}

TEST(UndoHistory, TheBudgetDropsTheOldestStepsButKeepsTheNewest) {
    auto doc = newDoc(16, 16);  // 1 KiB of pixels a state
    doc->setUndoBudget(3 * 1024);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(doc->flipHorizontal(), FE_OK);
    EXPECT_EQ(doc->undoSteps(), 3);
    EXPECT_LE(doc->undoBytes(), 3u * 1024u);
    for (int i = 0; i < 3; ++i) doc->undo();
    EXPECT_FALSE(doc->isEnabled(CMD_UNDO));
    // Two flips remain applied of the five: the original picture, but the saved state was dropped.
    EXPECT_EQ(px(*doc, 0, 0), 0xFF000000u);
    EXPECT_TRUE(doc->isModified());

    // A budget smaller than one state still keeps the newest step.
    auto big = newDoc(64, 64);
    big->setUndoBudget(1);
    ASSERT_EQ(big->crop({0, 0, 32, 32}), FE_OK);
    ASSERT_EQ(big->crop({0, 0, 16, 16}), FE_OK);
    EXPECT_EQ(big->undoSteps(), 1);
    big->undo();
    EXPECT_EQ(width(*big), 32);

    // Back to the single level: one step each way, flips again without a step.
    doc->setUndoBudget(0);
    EXPECT_LE(doc->redoSteps(), 1);
    const int before = doc->undoSteps();
    ASSERT_EQ(doc->flipVertical(), FE_OK);
    EXPECT_EQ(doc->undoSteps(), before);
}

TEST(FrameTiming, PlayShowsEachFrameForItsDurationAndPropertiesSetIt) {
    auto doc = newDoc(2, 2);
    ASSERT_EQ(doc->frames()->addBlankFrames(2, 2, 2), FE_OK);
    doc->frames()->frameAt(0)->durationMs = 50;
    doc->frames()->frameAt(1)->durationMs = 200;  // frame 2 unknown: 100 ms
    EXPECT_EQ(doc->frames()->frameAt(2)->shownDurationMs(), 100);
    doc->togglePlay();
    doc->animationElapsed(49);
    EXPECT_EQ(doc->frames()->currentIndex(), 0);
    EXPECT_EQ(doc->playRemainingMs(), 1);  // what the play timer waits for
    doc->animationElapsed(1);
    EXPECT_EQ(doc->playRemainingMs(), 200);
    EXPECT_EQ(doc->frames()->currentIndex(), 1);
    doc->animationElapsed(199);
    EXPECT_EQ(doc->frames()->currentIndex(), 1);
    doc->animationElapsed(101);  // 200 for frame 1 done, then 100 of frame 2 done
    EXPECT_EQ(doc->frames()->currentIndex(), 0);
    doc->togglePlay();

    // Frame Properties: the current frame or all, undoable, range checked.
    doc->setUndoBudget(1u << 20);
    doc->frames()->setCurrent(1);
    EXPECT_FALSE(doc->setFrameDuration(0, false));
    EXPECT_FALSE(doc->setFrameDuration(65536, true));
    ASSERT_TRUE(doc->setFrameDuration(40, false));
    EXPECT_EQ(doc->frames()->frameAt(1)->durationMs, 40);
    EXPECT_EQ(doc->frames()->frameAt(0)->durationMs, 50);
    ASSERT_TRUE(doc->setFrameDuration(70, true));
    EXPECT_EQ(doc->frames()->frameAt(2)->durationMs, 70);
    EXPECT_EQ(doc->undoLabel(), "Frame Properties");
    doc->undo();
    doc->undo();
    EXPECT_EQ(doc->frames()->frameAt(1)->durationMs, 200);  // durations travel with snapshots
}
