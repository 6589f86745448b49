#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "document/document.h"
#include "tests/scripted_prompts.h"
#include "tools/animmaster/animmaster.h"
#include "tools/poslist/arrange.h"

namespace {

// The framework's part: makes new documents sharing the requester's context and keeps them.
struct Framework {
    explicit Framework(DocumentContext& c) : context(c) {}
    DocumentContext& context;
    std::vector<std::unique_ptr<CBitmapDoc>> docs;
    std::vector<int> hints;
    int made = 0;
    CBitmapDoc::NewDocumentFactory factory() {
        return [this](Prompts& p) -> CBitmapDoc* {
            ++made;
            auto doc = std::make_unique<CBitmapDoc>(context);
            doc->onUpdate = [this](int hint, const TxRect*) { hints.push_back(hint); };
            if (!doc->onNewDocument(p)) return nullptr;
            docs.push_back(std::move(doc));
            return docs.back().get();
        };
    }
};

// A document with one w x h frame whose pixel (x, y) is 0xFF000000 | y << 8 | x.
void fillDocument(CBitmapDoc& doc, int w, int h) {
    auto seq = std::make_unique<FrameSequence>();
    ASSERT_EQ(seq->addBlankFrames(w, h, 1), FE_OK);
    uint32_t* p = seq->currentFrame()->pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[y * w + x] = 0xFF000000u | uint32_t(y << 8) | uint32_t(x);
    doc.setFrames(std::move(seq));
    doc.setModified(false);
}

uint32_t at(const Frame* f, int x, int y) { return f->pixels()[y * f->width() + x]; }

}  // namespace

TEST(DocumentArrange, BuildsNewSheetAndLeavesSourceAlone) {
    CBitmapDoc src;
    fillDocument(src, 64, 64);
    src.positions().append(TxRect{0, 0, 16, 16}, "small");
    src.positions().append(TxRect{20, 10, 52, 42}, "big");
    const PositionList before = src.positions();
    const FrameSequence pixelsBefore(*src.frames());
    int srcHints = 0;
    src.onUpdate = [&](int, const TxRect*) { ++srcHints; };

    ScriptedPrompts prompts;
    MaxSizeOptions answer;
    answer.width = 64;
    answer.height = 64;
    prompts.maxSizeAnswer = answer;
    Framework fw(src.context());
    CBitmapDoc* sheet = src.arrange(prompts, fw.factory());
    ASSERT_NE(sheet, nullptr);
    // The dialog opened with the image size, both boxes unticked.
    EXPECT_EQ(prompts.lastMaxSizeDefaults.width, 64);
    EXPECT_EQ(prompts.lastMaxSizeDefaults.height, 64);
    EXPECT_FALSE(prompts.lastMaxSizeDefaults.autoWidth);
    EXPECT_FALSE(prompts.lastMaxSizeDefaults.autoHeight);
    EXPECT_TRUE(prompts.messages.empty());
    // No "New size" dialog: the pending request gave the size, and it was used up.
    EXPECT_EQ(prompts.newSizeDialogs, 0);
    EXPECT_EQ(src.context().pending.serial, 0);

    const Frame* out = sheet->frames()->currentFrame();
    ASSERT_EQ(out->width(), 64);
    ASSERT_EQ(out->height(), 64);
    ASSERT_EQ(sheet->positions().count(), 2);
    EXPECT_EQ(sheet->positions().at(0).name, "big");
    EXPECT_EQ(sheet->positions().at(0).rect, (TxRect{0, 0, 32, 32}));
    EXPECT_EQ(sheet->positions().at(0).source, (TxRect{20, 10, 52, 42}));
    EXPECT_EQ(sheet->positions().at(1).rect, (TxRect{32, 0, 48, 16}));
    EXPECT_EQ(sheet->positions().at(1).source, (TxRect{0, 0, 16, 16}));
    EXPECT_EQ(at(out, 0, 0), at(src.frames()->currentFrame(), 20, 10));
    EXPECT_EQ(at(out, 31, 31), at(src.frames()->currentFrame(), 51, 41));
    EXPECT_EQ(at(out, 40, 5), at(src.frames()->currentFrame(), 8, 5));
    EXPECT_EQ(at(out, 48, 0), 0u);  // outside the items: blank
    EXPECT_EQ(at(out, 0, 40), 0u);
    EXPECT_TRUE(sheet->isModified());
    EXPECT_EQ(fw.hints, (std::vector<int>{HINT_FULL, HINT_POSITIONS}));

    EXPECT_TRUE(src.positions().sameAs(before));
    EXPECT_EQ(std::memcmp(src.frames()->currentFrame()->pixels(),
                          pixelsBefore.currentFrame()->pixels(), 64 * 64 * 4),
              0);
    EXPECT_FALSE(src.isModified());
    EXPECT_EQ(src.undoSnapshot(), nullptr);
    EXPECT_EQ(srcHints, 0);
}

TEST(DocumentArrange, CancelEmptyAndFailure) {
    CBitmapDoc src;
    fillDocument(src, 64, 64);
    ScriptedPrompts prompts;
    Framework fw(src.context());
    // Empty list: nothing, not even the dialog.
    EXPECT_EQ(src.arrange(prompts, fw.factory()), nullptr);
    EXPECT_EQ(prompts.maxSizeDialogs, 0);

    for (int i = 0; i < 3; ++i) src.positions().append(TxRect{0, 0, 40, 40}, "");
    prompts.cancelMaxSize = true;
    EXPECT_EQ(src.arrange(prompts, fw.factory()), nullptr);
    EXPECT_EQ(prompts.maxSizeDialogs, 1);
    prompts.cancelMaxSize = false;

    // Three 40 x 40 in 64 x 64.
    EXPECT_EQ(src.arrange(prompts, fw.factory()), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "failed\ntry automatic");
    EXPECT_EQ(fw.made, 0);

    // The same with automatic limits works.
    MaxSizeOptions automatic;
    automatic.width = 64;
    automatic.autoHeight = true;
    automatic.autoWidth = true;
    prompts.maxSizeAnswer = automatic;
    CBitmapDoc* sheet = src.arrange(prompts, fw.factory());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->positions().count(), 3);
    EXPECT_EQ(src.positions().at(0).source, (TxRect{}));  // the source list is untouched

    // A typed 0 is automatic too.
    MaxSizeOptions zero;
    prompts.maxSizeAnswer = zero;
    EXPECT_NE(src.arrange(prompts, fw.factory()), nullptr);
}

TEST(DocumentArrange, NewDocumentFailures) {
    CBitmapDoc src;
    fillDocument(src, 8, 8);
    ScriptedPrompts prompts;
    // A canvas no frame can hold is refused before any document is made.
    for (int i = 0; i < 4; ++i) src.positions().append(TxRect{0, 0, 30000, 1}, "");
    MaxSizeOptions automatic;
    automatic.autoWidth = automatic.autoHeight = true;
    prompts.maxSizeAnswer = automatic;
    Framework fw(src.context());
    EXPECT_EQ(src.arrange(prompts, fw.factory()), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Create NewDocument failed");
    EXPECT_EQ(fw.made, 0);

    // A framework that made a document of another size (it ignored the request).
    src.positions().clear();
    src.positions().append(TxRect{0, 0, 4, 4}, "");
    std::unique_ptr<CBitmapDoc> other;
    auto wrongSize = [&](Prompts&) -> CBitmapDoc* {
        other = std::make_unique<CBitmapDoc>();
        auto seq = std::make_unique<FrameSequence>();
        seq->addBlankFrames(5, 5, 1);
        other->setFrames(std::move(seq));
        return other.get();
    };
    EXPECT_EQ(src.arrange(prompts, wrongSize), nullptr);
    EXPECT_EQ(prompts.messages.back(), "Create NewDocument failed");
    EXPECT_TRUE(other->positions().empty());
    // The request that nobody took is withdrawn, so the next New asks for its size.
    EXPECT_EQ(src.context().pending.serial, 0);
    auto none = [](Prompts&) -> CBitmapDoc* { return nullptr; };
    EXPECT_EQ(src.arrange(prompts, none), nullptr);
    EXPECT_EQ(src.context().pending.serial, 0);
    EXPECT_EQ(prompts.messages.size(), 3u);
}

TEST(DocumentArrange, ItemsPastFixedLimitsAreRefusedAndSourcesClipped) {
    // A 64 x 16 item into a fixed 32 x 32 sheet would stick out to the right: refused, nothing
    // made. An item listed past the edge of its (later cropped) image reads only what it holds.
    CBitmapDoc src;
    fillDocument(src, 64, 16);
    src.positions().append(TxRect{0, 0, 64, 16}, "wide");
    ScriptedPrompts prompts;
    MaxSizeOptions fixed;
    fixed.width = 32;
    fixed.height = 32;
    prompts.maxSizeAnswer = fixed;
    Framework fw(src.context());
    EXPECT_EQ(src.arrange(prompts, fw.factory()), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "failed\ntry automatic");
    EXPECT_EQ(fw.made, 0);

    src.positions().clear();
    src.positions().append(TxRect{60, 12, 68, 20}, "edge");
    CBitmapDoc* sheet = src.arrange(prompts, fw.factory());
    ASSERT_NE(sheet, nullptr);
    const Frame* out = sheet->frames()->currentFrame();
    ASSERT_EQ(out->width(), 32);
    ASSERT_EQ(out->height(), 32);
    EXPECT_EQ(sheet->positions().at(0).rect, (TxRect{0, 0, 8, 8}));
    const Frame* in = src.frames()->currentFrame();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t want = y < 4 && x < 4 ? at(in, 60 + x, 12 + y) : 0;
            ASSERT_EQ(at(out, x, y), want) << x << "," << y;
        }
}

TEST(DocumentArrange, MaxRectsFromTheDialog) {
    CBitmapDoc src;
    fillDocument(src, 128, 128);
    for (int i = 0; i < 4; ++i) src.positions().append(TxRect{i * 32, 0, i * 32 + 32, 32}, "");
    ScriptedPrompts prompts;
    MaxSizeOptions o;
    o.width = 65;
    o.autoHeight = true;
    o.method = ARRANGE_MAXRECTS;
    o.padding = 1;
    prompts.maxSizeAnswer = o;
    Framework fw(src.context());
    CBitmapDoc* sheet = src.arrange(prompts, fw.factory());
    ASSERT_NE(sheet, nullptr);
    // Two by two with one pixel between.
    EXPECT_EQ(sheet->frames()->currentFrame()->width(), 65);
    EXPECT_EQ(sheet->frames()->currentFrame()->height(), 65);
    for (int i = 0; i < 4; ++i) {
        const PositionItem& it = sheet->positions().at(i);
        EXPECT_EQ(at(sheet->frames()->currentFrame(), it.rect.left, it.rect.top),
                  at(src.frames()->currentFrame(), it.source.left, it.source.top));
    }
}

TEST(DocumentAnimMaster, OptimisesWithUndoAndProgress) {
    CBitmapDoc doc;
    auto seq = std::make_unique<FrameSequence>();
    ASSERT_EQ(seq->addBlankFrames(2, 1, 2), FE_OK);
    seq->frameAt(0)->pixels()[0] = 0xFF112233u;
    seq->frameAt(0)->pixels()[1] = 0xFF445566u;
    seq->frameAt(1)->pixels()[0] = 0xFF112233u;
    seq->frameAt(1)->pixels()[1] = 0x80778899u;
    doc.setFrames(std::move(seq));
    doc.setModified(false);
    EXPECT_TRUE(doc.toolEnabled(CMD_ANIMMASTER));

    struct Count : Progress {
        int total = -1, steps = 0;
        void begin(int t) override { total = t; }
        void step() override { ++steps; }
    } progress;
    ScriptedPrompts prompts;
    std::vector<int> hints;
    doc.onUpdate = [&](int hint, const TxRect*) { hints.push_back(hint); };
    EXPECT_EQ(doc.animMaster(AM_BUFFER_SINGLE, 0x00FF00FFu, 0, prompts, &progress), AM_OK);
    EXPECT_EQ(doc.frames()->frameAt(1)->pixels()[0], 0x00FF00FFu);
    EXPECT_EQ(doc.frames()->frameAt(1)->pixels()[1], 0x00778899u);
    EXPECT_EQ(progress.total, 1);
    EXPECT_EQ(progress.steps, 1);
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(hints, std::vector<int>{HINT_FULL});
    EXPECT_EQ(prompts.busyCalls, 1);
    ASSERT_TRUE(doc.isEnabled(CMD_UNDO));
    doc.undo();
    EXPECT_EQ(doc.frames()->frameAt(1)->pixels()[0], 0xFF112233u);
    EXPECT_EQ(doc.frames()->frameAt(1)->pixels()[1], 0x80778899u);
    doc.redo();
    EXPECT_EQ(doc.frames()->frameAt(1)->pixels()[1], 0x00778899u);

    // "-do nothing-" still runs the other passes and reports 489.
    EXPECT_EQ(doc.animMaster(AM_BUFFER_NONE, 0, AM_CUTOUT_ALPHA, prompts), AM_NO_DIFFERENCE);

    // Without frames: the message; with one frame the command is disabled.
    CBitmapDoc empty;
    empty.setFrames(std::make_unique<FrameSequence>());
    EXPECT_EQ(empty.animMaster(AM_BUFFER_SINGLE, 0, 0, prompts), AM_NO_FRAMES);
    EXPECT_EQ(prompts.messages.back(), "Load a Bitmapsequence first");
    EXPECT_FALSE(empty.isModified());
    EXPECT_FALSE(empty.toolEnabled(CMD_ANIMMASTER));
    CBitmapDoc none;
    EXPECT_EQ(none.animMaster(AM_BUFFER_SINGLE, 0, 0, prompts), AM_NO_FRAMES);
    EXPECT_FALSE(none.toolEnabled(CMD_ANIMMASTER));
}
