// The document's image operations and mask commands: undo snapshots restoring every frame, the
// position items, the modified flag, the hints the views receive and the progress steps.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/document.h"
#include "edit/mask_ops.h"
#include "model/image_buffer.h"
#include "tests/scripted_prompts.h"

namespace {

struct CountingProgress : Progress {
    int begins = 0, total = 0, steps = 0;
    void begin(int t) override {
        ++begins;
        total = t;
    }
    void step() override { ++steps; }
};

// A document of `frames` frames of w x h; pixel (x, y) of frame k is opaque and codes x, y, k.
// Starts unmodified, as after opening.
struct Doc {
    CBitmapDoc doc;
    std::vector<int> hints;
    Doc(int w, int h, int frames) {
        ScriptedPrompts prompts;
        doc.context().pending = {doc.serial(), w, h};
        EXPECT_TRUE(doc.onNewDocument(prompts));
        for (int k = 1; k < frames; ++k) EXPECT_EQ(doc.frames()->addBlankFrames(w, h, 1), FE_OK);
        for (int k = 0; k < frames; ++k) {
            Frame& f = *doc.frames()->frameAt(k);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) f.pixels()[y * w + x] = code(x, y, k);
        }
        doc.onUpdate = [this](int hint, const TxRect*) { hints.push_back(hint); };
    }
    static uint32_t code(int x, int y, int k) {
        return 0xFF000000u | uint32_t(k) << 16 | uint32_t(y) << 8 | uint32_t(x);
    }
    Frame& frame(int k) { return *doc.frames()->frameAt(k); }
    uint32_t px(int k, int x, int y) { return frame(k).pixels()[y * frame(k).width() + x]; }
};

// Copies of every frame's pixels, to compare after undo.
std::vector<std::vector<uint32_t>> pixelsOf(const FrameSequence& s) {
    std::vector<std::vector<uint32_t>> out;
    for (int k = 0; k < s.count(); ++k) {
        const Frame& f = *s.frameAt(k);
        out.emplace_back(f.pixels(), f.pixels() + f.width() * f.height());
    }
    return out;
}

}  // namespace

TEST(DocumentEdit, CropUndoRedoAndTheCropItem) {
    Doc d(8, 6, 1);
    EXPECT_FALSE(d.doc.isModified());
    ASSERT_EQ(d.doc.crop({5, 4, 1, 2}), FE_OK);  // reversed: normalised
    EXPECT_EQ(d.frame(0).width(), 4);
    EXPECT_EQ(d.frame(0).height(), 2);
    EXPECT_EQ(d.px(0, 0, 0), Doc::code(1, 2, 0));
    ASSERT_EQ(d.doc.positions().count(), 1);
    EXPECT_EQ(d.doc.positions().at(0).name, "crop");
    EXPECT_EQ(d.doc.positions().at(0).rect, (TxRect{1, 2, 5, 4}));
    EXPECT_EQ(d.hints, std::vector<int>{HINT_FULL});
    EXPECT_TRUE(d.doc.isModified());
    EXPECT_TRUE(d.doc.isEnabled(CMD_UNDO));

    // Crop then undo: old size, redo enabled, undo disabled, unmodified.
    d.doc.undo();
    EXPECT_EQ(d.frame(0).width(), 8);
    EXPECT_EQ(d.px(0, 7, 5), Doc::code(7, 5, 0));
    EXPECT_TRUE(d.doc.isEnabled(CMD_REDO));
    EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
    EXPECT_FALSE(d.doc.isModified());
    // Then scale: redo is gone and undo returns to the uncropped image of before the scale.
    d.doc.redo();
    EXPECT_EQ(d.frame(0).width(), 4);
    d.doc.undo();
    ASSERT_EQ(d.doc.scale(4, 3), FE_OK);
    EXPECT_FALSE(d.doc.isEnabled(CMD_REDO));
    d.doc.undo();
    EXPECT_EQ(d.frame(0).width(), 8);

    // Two crops, then undo: the state after the first crop.
    ASSERT_EQ(d.doc.crop({0, 0, 6, 6}), FE_OK);
    ASSERT_EQ(d.doc.crop({1, 1, 3, 3}), FE_OK);
    EXPECT_EQ(d.frame(0).width(), 2);
    d.doc.undo();
    EXPECT_EQ(d.frame(0).width(), 6);
    EXPECT_EQ(d.frame(0).height(), 6);

    // A rectangle that misses the frame changes nothing, not even the undo state.
    const int items = d.doc.positions().count();
    d.hints.clear();
    EXPECT_EQ(d.doc.crop({20, 20, 30, 30}), FE_CROP_EMPTY);
    EXPECT_EQ(d.doc.positions().count(), items);
    EXPECT_TRUE(d.hints.empty());
    EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
}

// Every snapshot-taking operation is undone for all frames at once, and the frame that was
// current when the snapshot was taken comes back.
TEST(DocumentEdit, UndoRestoresEveryFrameAfterEachOperation) {
    using Op = std::function<void(CBitmapDoc&)>;
    ScriptedPrompts prompts;
    ImageBuffer mask;
    const std::vector<std::pair<const char*, Op>> ops = {
        {"crop",
         [](CBitmapDoc& doc) {
             EXPECT_EQ(doc.crop({1, 1, 4, 3}), FE_OK);
         }},
        {"autocrop", [&](CBitmapDoc& doc) { EXPECT_EQ(doc.autoCrop(prompts), FE_OK); }},
        {"scale", [](CBitmapDoc& doc) { EXPECT_EQ(doc.scale(3, 9), FE_OK); }},
        {"resize", [](CBitmapDoc& doc) { EXPECT_EQ(doc.resizeCanvas(9, 2, true), FE_OK); }},
        {"iso", [](CBitmapDoc& doc) { EXPECT_EQ(doc.isoFlip(), FE_OK); }},
        {"key", [&](CBitmapDoc& doc) { EXPECT_TRUE(doc.keyColour(mask, 0x000001u)); }},
        {"intensity", [&](CBitmapDoc& doc) { EXPECT_TRUE(doc.maskIntensity(mask)); }},
        {"one-bit", [&](CBitmapDoc& doc) { EXPECT_TRUE(doc.maskOneBit(mask, 9)); }},
    };
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        // Frames alike but for one pixel each (auto crop then finds their changing area), and a
        // nearly clear pixel in the current frame for the 1-bit mask to drop.
        Doc d(6, 5, 3);
        for (int k = 0; k < 3; ++k) {
            for (int i = 0; i < 30; ++i) d.frame(k).pixels()[i] = d.frame(0).pixels()[i];
            d.frame(k).pixels()[7 + k] = 0xFFFFFF00u | uint32_t(k);
        }
        d.frame(2).pixels()[0] = 0x05000000u;
        d.doc.frames()->setCurrent(2);
        const auto before = pixelsOf(*d.doc.frames());
        op(d.doc);
        EXPECT_TRUE(d.doc.isModified());
        EXPECT_NE(pixelsOf(*d.doc.frames()), before);
        d.doc.frames()->setCurrent(0);
        d.doc.undo();
        EXPECT_EQ(pixelsOf(*d.doc.frames()), before);
        EXPECT_EQ(d.doc.frames()->currentIndex(), 2);
        EXPECT_FALSE(d.doc.isModified());
        EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
    }
}

TEST(DocumentEdit, FlipsTakeNoSnapshotAndSendHintZero) {
    Doc d(3, 2, 2);
    d.doc.flipHorizontal();
    EXPECT_EQ(d.px(1, 0, 0), Doc::code(2, 0, 1));
    EXPECT_TRUE(d.doc.isModified());
    EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
    TxRect rows{0, 1, 3, 0};  // reversed rectangle of the first row: normalised
    d.doc.flipVertical(&rows);
    EXPECT_EQ(d.px(0, 0, 0), Doc::code(2, 0, 0));  // one row: nothing moves
    d.doc.flipVertical();
    EXPECT_EQ(d.px(0, 0, 0), Doc::code(2, 1, 0));
    const TxRect part{1, 0, 3, 2};
    d.doc.flipHorizontal(&part);
    EXPECT_EQ(d.px(0, 0, 0), Doc::code(2, 1, 0));
    EXPECT_EQ(d.px(0, 1, 0), Doc::code(0, 1, 0));
    EXPECT_EQ(d.hints, (std::vector<int>{HINT_FRAME, HINT_FRAME, HINT_FRAME, HINT_FRAME}));
    EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
}

TEST(DocumentEdit, AutoCropItemAndFailure) {
    Doc d(10, 10, 1);
    for (int k = 0; k < 100; ++k) d.frame(0).pixels()[k] = 0x00000000u;
    d.frame(0).pixels()[3 * 10 + 4] = 0xFF00FF00u;
    d.frame(0).pixels()[5 * 10 + 6] = 0x80FFFFFFu;
    ScriptedPrompts prompts;
    CountingProgress progress;
    ASSERT_EQ(d.doc.autoCrop(prompts, &progress), FE_OK);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(d.frame(0).width(), 3);
    EXPECT_EQ(d.frame(0).height(), 3);
    ASSERT_EQ(d.doc.positions().count(), 1);
    EXPECT_EQ(d.doc.positions().at(0).name, "autocrop");
    EXPECT_EQ(d.doc.positions().at(0).rect, (TxRect{4, 3, 7, 6}));
    EXPECT_EQ(progress.begins, 0);  // one frame: no progress
    EXPECT_EQ(d.hints, std::vector<int>{HINT_FULL});

    // Nothing left to crop: the message, and no snapshot, item, hint or modification.
    Doc e(4, 4, 1);
    for (int k = 0; k < 16; ++k) e.frame(0).pixels()[k] = 0xFF000000u;
    EXPECT_EQ(e.doc.autoCrop(prompts), FE_AUTOCROP_NONE);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Autocrop failed"});
    EXPECT_FALSE(e.doc.isModified());
    EXPECT_FALSE(e.doc.isEnabled(CMD_UNDO));
    EXPECT_EQ(e.doc.positions().count(), 0);
    EXPECT_TRUE(e.hints.empty());
    EXPECT_EQ(e.frame(0).width(), 4);
}

TEST(DocumentEdit, ProgressStepsOncePerFrame) {
    Doc d(6, 4, 3);
    CountingProgress p;
    ASSERT_EQ(d.doc.crop({0, 0, 5, 4}, &p), FE_OK);
    EXPECT_EQ(p.begins, 1);
    EXPECT_EQ(p.total, 3);
    EXPECT_EQ(p.steps, 3);
    ASSERT_EQ(d.doc.resizeCanvas(7, 7, false, &p), FE_OK);
    ASSERT_EQ(d.doc.scale(14, 14, &p), FE_OK);
    d.doc.flipVertical(nullptr, &p);
    EXPECT_EQ(p.begins, 4);
    EXPECT_EQ(p.steps, 12);
    ImageBuffer mask;
    ASSERT_TRUE(d.doc.keyColour(mask, 0, &p));
    EXPECT_EQ(p.begins, 5);
    EXPECT_EQ(p.steps, 15);
}

TEST(DocumentEdit, ScaleRescalesItemsAndRefusesBadSizes) {
    Doc d(200, 100, 1);
    d.doc.positions().append({10, 10, 21, 31}, "item");
    ASSERT_EQ(d.doc.scale(100, 50), FE_OK);
    EXPECT_EQ(d.doc.positions().at(0).rect, (TxRect{4, 4, 11, 16}));
    EXPECT_EQ(d.frame(0).width(), 100);
    d.doc.undo();
    // Frames come back; the position list is not part of the snapshot.
    EXPECT_EQ(d.frame(0).width(), 200);
    EXPECT_EQ(d.doc.positions().at(0).rect, (TxRect{4, 4, 11, 16}));
    d.hints.clear();
    EXPECT_EQ(d.doc.scale(0, 50), FE_SCALE_NO_MEMORY);
    EXPECT_EQ(d.doc.resizeCanvas(70000, 5, false), FE_CANVAS_NO_MEMORY);
    EXPECT_TRUE(d.hints.empty());
    EXPECT_FALSE(d.doc.isEnabled(CMD_UNDO));
}

TEST(DocumentEdit, ResizeAndIsoSendFullRefresh) {
    Doc d(4, 4, 1);
    ASSERT_EQ(d.doc.resizeCanvas(6, 3, true), FE_OK);
    EXPECT_EQ(d.px(0, 1, 0), Doc::code(0, 0, 0));
    EXPECT_EQ(d.px(0, 0, 0), 0u);  // the new column is transparent black
    ASSERT_EQ(d.doc.isoFlip(), FE_OK);
    // 6 x 3 -> 12 x 6 canvas; the opaque columns 1..4 of rows 0..2 land on columns 5..10 and
    // rows 0..3, which is what the trim keeps.
    EXPECT_EQ(d.frame(0).width(), 6);
    EXPECT_EQ(d.frame(0).height(), 4);
    EXPECT_EQ(d.px(0, 0, 0), 0u);                  // canvas (5, 0): source (0, 1), clear
    EXPECT_EQ(d.px(0, 2, 0), Doc::code(0, 0, 0));  // canvas (7, 0): source (1, 0)
    EXPECT_EQ(d.hints, (std::vector<int>{HINT_FULL, HINT_FULL}));
    EXPECT_EQ(d.doc.positions().count(), 0);
}

TEST(DocumentEdit, MaskCommandsWriteTheCurrentFrameOnly) {
    Doc d(3, 1, 2);
    d.doc.frames()->setCurrent(1);
    d.frame(1).pixels()[0] = 0x7F00FF00u;
    d.frame(1).pixels()[1] = 0x80FF0000u;
    ImageBuffer mask;
    ASSERT_TRUE(d.doc.maskOneBit(mask, 128));
    EXPECT_EQ(d.doc.alphaBias, 128);
    EXPECT_TRUE(d.doc.maskModified);
    EXPECT_EQ(d.px(1, 0, 0), 0x0000FF00u);
    EXPECT_EQ(d.px(1, 1, 0), 0xFFFF0000u);
    EXPECT_EQ(d.px(0, 0, 0), Doc::code(0, 0, 0));  // other frames untouched
    EXPECT_TRUE(d.hints.empty());                  // the view already shows the mask

    ASSERT_TRUE(d.doc.maskIntensity(mask));
    EXPECT_EQ(d.px(1, 0, 0), 0x9600FF00u);
    EXPECT_EQ(d.px(1, 1, 0), 0x4DFF0000u);
    ASSERT_TRUE(d.doc.maskEightBit(mask));  // alpha unchanged, but a snapshot is taken
    EXPECT_EQ(d.px(1, 0, 0), 0x9600FF00u);
    d.doc.undo();
    EXPECT_EQ(d.px(1, 0, 0), 0x9600FF00u);
    ASSERT_TRUE(d.doc.maskClear(mask));
    ASSERT_TRUE(d.doc.maskInvert(mask));
    EXPECT_EQ(d.px(1, 0, 0) >> 24, 0xFFu);
    EXPECT_EQ(d.px(1, 2, 0) >> 24, 0xFFu);
    ASSERT_TRUE(d.doc.maskBorder(mask));
    EXPECT_EQ(d.doc.rebuildMask(mask, MASK_ALPHA), true);
    EXPECT_EQ(mask.pixels()[1], 0x004D4D4Du);  // 3 x 1: luminance only

    // While playing, clear, invert and the key colour do nothing.
    d.doc.togglePlay();
    const uint32_t kept = d.px(1, 0, 0);
    EXPECT_FALSE(d.doc.maskClear(mask));
    EXPECT_FALSE(d.doc.maskInvert(mask));
    EXPECT_FALSE(d.doc.keyColour(mask, 0x00FF00u));
    EXPECT_EQ(d.px(1, 0, 0), kept);
    d.doc.togglePlay();

    // A document without frames leaves the mask alone.
    CBitmapDoc none;
    ImageBuffer untouched;
    EXPECT_FALSE(none.maskIntensity(untouched));
    EXPECT_TRUE(untouched.empty());
    EXPECT_FALSE(none.writeMaskToAlpha(mask));
}

// The key colour on an animation is one undo step for the whole change: a second snapshot taken
// when the (unchanged) mask is written back would make undo return to the keyed frames.
TEST(DocumentEdit, KeyColourOnAnAnimationIsOneUndoStep) {
    Doc d(2, 2, 3);
    for (int k = 0; k < 3; ++k) d.frame(k).pixels()[3] = 0x80FF00FFu;
    d.doc.frames()->setCurrent(1);
    const auto before = pixelsOf(*d.doc.frames());
    ImageBuffer mask;
    ASSERT_TRUE(d.doc.keyColour(mask, 0xFF00FFu));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(d.frame(k).pixels()[3], 0x00FF00FFu);
        EXPECT_EQ(d.frame(k).pixels()[0] >> 24, 0xFFu);
    }
    EXPECT_EQ(d.doc.frames()->currentIndex(), 1);
    EXPECT_EQ(d.hints, std::vector<int>{HINT_FULL});
    EXPECT_EQ(mask.pixels()[3], 0u);  // the mask shows the new alpha
    EXPECT_EQ(mask.pixels()[0], 0x00FFFFFFu);
    EXPECT_TRUE(d.doc.maskModified);
    d.doc.undo();
    EXPECT_EQ(pixelsOf(*d.doc.frames()), before);

    // One frame: the key colour goes through the mask of that frame.
    Doc one(2, 1, 1);
    one.frame(0).pixels()[1] = 0x12345678u;
    ASSERT_TRUE(one.doc.keyColour(mask, 0x345678u));
    EXPECT_EQ(one.px(0, 1, 0), 0x00345678u);
    EXPECT_EQ(one.px(0, 0, 0), Doc::code(0, 0, 0));
    EXPECT_TRUE(one.hints.empty());
    one.doc.undo();
    EXPECT_EQ(one.px(0, 1, 0), 0x12345678u);
}
