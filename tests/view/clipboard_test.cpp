// Copy, cut and paste through the copy buffer and a clipboard held in memory: exact pixels, the
// undo step, the position items and the refused clipboard pictures.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/scripted_prompts.h"
#include "texlib/dib.h"
#include "tools/poslist/position_panel.h"
#include "view/clipboard.h"

namespace {

struct MemoryClipboard : ClipboardPort {
    std::optional<std::vector<uint8_t>> block;
    std::vector<uint32_t> argb;
    void putDib(const std::vector<uint8_t>& b) override { block = b; }
    std::optional<std::vector<uint8_t>> getDib() override { return block; }
    void putPicture(const std::vector<uint8_t>& b, int w, int h, const uint32_t* px) override {
        block = b;
        argb.assign(px, px + size_t(w) * size_t(h));
    }
    void putText(const std::string&) override {}
    std::optional<std::string> getText() override { return std::nullopt; }
};

// A document of `frames` frames of w x h filled with `value(x, y, k)`; starts unmodified.
struct Doc {
    CBitmapDoc doc;
    std::vector<int> hints;
    template <class F> Doc(int w, int h, int frames, F value) {
        ScriptedPrompts prompts;
        doc.context().pending = {doc.serial(), w, h};
        EXPECT_TRUE(doc.onNewDocument(prompts));
        for (int k = 1; k < frames; ++k) EXPECT_EQ(doc.frames()->addBlankFrames(w, h, 1), FE_OK);
        for (int k = 0; k < frames; ++k)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) frame(k).pixels()[y * w + x] = value(x, y, k);
        doc.setModified(false);
        doc.onUpdate = [this](int hint, const TxRect*) { hints.push_back(hint); };
    }
    Frame& frame(int k) { return *doc.frames()->frameAt(k); }
    uint32_t px(int k, int x, int y) { return frame(k).pixels()[y * frame(k).width() + x]; }
};

uint32_t code(int x, int y, int k) {
    return 0xFF000000u | uint32_t(k) << 16 | uint32_t(y) << 8 | uint32_t(x);
}

std::vector<uint8_t> dib8x1x1(uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> v(40 + 4 + 4, 0);
    v[0] = 40;
    v[4] = 1;
    v[8] = 1;
    v[12] = 1;
    v[14] = 8;
    v[32] = 1;  // colours used
    v[40] = b;
    v[41] = g;
    v[42] = r;
    return v;
}

// Each test starts with a copy buffer of its own, empty.
struct Clipboard : ::testing::Test {
    CopyBuffer buffer;
};

}  // namespace

TEST_F(Clipboard, CopyTakesTheAreaOfEveryFrameAndPutsTheFirstOnTheSystemClipboard) {
    // Frame 0 has no alpha at all, frame 1 has some; the document stands on frame 1.
    Doc d(6, 4, 2, [](int x, int y, int k) {
        return k == 0 ? (code(x, y, 0) & 0xFFFFFF) : (x == 2 ? 0x00123456u : code(x, y, 1));
    });
    d.doc.frames()->setCurrent(1);
    ScriptedPrompts prompts;
    MemoryClipboard clip;
    ASSERT_TRUE(clipboardCopy(buffer, d.doc, {1, 1, 4, 3}, prompts, &clip));
    const FrameSequence* buf = buffer.frames();
    ASSERT_TRUE(buf);
    ASSERT_EQ(buf->count(), 2);
    EXPECT_EQ(buf->currentIndex(), 1);
    const Frame& f0 = *buf->frameAt(0);
    ASSERT_EQ(f0.width(), 3);
    ASSERT_EQ(f0.height(), 2);
    // The alpha-less frame became opaque; the other keeps its transparent column.
    EXPECT_EQ(f0.pixels()[0], code(1, 1, 0));
    EXPECT_EQ(f0.pixels()[5], code(3, 2, 0));
    EXPECT_EQ(buf->frameAt(1)->pixels()[1], 0x00123456u);
    EXPECT_EQ(buf->frameAt(1)->pixels()[2], code(3, 1, 1));
    // The system clipboard got the first frame: a 3 x 2 block of 64 bytes, and its pixels.
    ASSERT_TRUE(clip.block);
    EXPECT_EQ(clip.block->size(), 64u);
    EXPECT_EQ(*clip.block, txDibWrite(3, 2, f0.pixels()));
    EXPECT_EQ(clip.argb, std::vector<uint32_t>(f0.pixels(), f0.pixels() + 6));
    // Copying changes nothing in the document.
    EXPECT_FALSE(d.doc.isModified());
    EXPECT_TRUE(d.hints.empty());

    // A document without a picture: "Out of Memory", and the old buffer stays.
    CBitmapDoc empty;
    EXPECT_FALSE(clipboardCopy(buffer, empty, {0, 0, 1, 1}, prompts, &clip));
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Out of Memory"});
    EXPECT_EQ(buffer.frames(), buf);
}

TEST_F(Clipboard, PasteIntoAnAnimationGoesFrameByFrameAndWraps) {
    Doc src(2, 2, 3, [](int x, int y, int k) { return code(x, y, k + 10); });
    ScriptedPrompts prompts;
    ASSERT_TRUE(clipboardCopy(buffer, src.doc, {0, 0, 2, 2}, prompts, nullptr));

    Doc d(4, 4, 5, code);
    d.doc.frames()->setCurrent(4);
    ASSERT_TRUE(d.doc.paste(*buffer.frames(), 1, 1));
    // Copy frames 0, 1, 2 land in document frames 4, 0, 1; frames 2 and 3 stay.
    EXPECT_EQ(d.px(4, 1, 1), code(0, 0, 10));
    EXPECT_EQ(d.px(0, 2, 2), code(1, 1, 11));
    EXPECT_EQ(d.px(1, 1, 2), code(0, 1, 12));
    EXPECT_EQ(d.px(2, 1, 1), code(1, 1, 2));
    EXPECT_EQ(d.px(3, 2, 2), code(2, 2, 3));
    EXPECT_EQ(d.px(4, 0, 0), code(0, 0, 4));
    EXPECT_EQ(d.doc.frames()->currentIndex(), 4);
    EXPECT_TRUE(d.doc.isModified());
    EXPECT_EQ(d.hints, std::vector<int>{HINT_FULL});
    // One undo takes the paste back from every frame.
    d.doc.undo();
    EXPECT_EQ(d.px(0, 2, 2), code(2, 2, 0));
    EXPECT_EQ(d.px(4, 1, 1), code(1, 1, 4));
}

TEST_F(Clipboard, PasteIsCutToTheImageAndLeavesTransparentPixelsAlone) {
    // A 10 x 10 sprite: opaque inside, transparent on its border ring.
    Doc src(10, 10, 1, [](int x, int y, int) {
        return (x == 0 || y == 0 || x == 9 || y == 9) ? 0x00FFFFFFu : 0xFF0000FFu;
    });
    ScriptedPrompts prompts;
    ASSERT_TRUE(clipboardCopy(buffer, src.doc, {0, 0, 10, 10}, prompts, nullptr));
    const FrameSequence& buf = *buffer.frames();

    Doc d(100, 100, 1, [](int, int, int) { return 0xFF00FF00u; });
    ASSERT_TRUE(d.doc.paste(buf, 95, 95));
    EXPECT_EQ(d.px(0, 95, 95), 0xFF00FF00u);  // the sprite's transparent corner
    EXPECT_EQ(d.px(0, 96, 96), 0xFF0000FFu);
    EXPECT_EQ(d.px(0, 99, 99), 0xFF0000FFu);  // only the 5 x 5 block that fits
    EXPECT_EQ(d.px(0, 94, 96), 0xFF00FF00u);

    // Nothing lands: no snapshot, not modified, no hint.
    Doc e(100, 100, 1, [](int, int, int) { return 0xFF00FF00u; });
    EXPECT_FALSE(e.doc.paste(buf, -1, 0));
    EXPECT_FALSE(e.doc.paste(buf, 0, -1));
    EXPECT_FALSE(e.doc.paste(buf, 100, 0));
    EXPECT_FALSE(e.doc.paste(buf, 0, 100));
    EXPECT_EQ(e.doc.undoSnapshot(), nullptr);
    EXPECT_FALSE(e.doc.isModified());
    EXPECT_TRUE(e.hints.empty());

    // A picture without alpha copied and pasted back is opaque everywhere in the block.
    Doc g(4, 4, 1, [](int x, int y, int) { return code(x, y, 0) & 0xFFFFFF; });
    ASSERT_TRUE(clipboardCopy(buffer, g.doc, {0, 0, 2, 2}, prompts, nullptr));
    ASSERT_TRUE(g.doc.paste(*buffer.frames(), 2, 2));
    EXPECT_EQ(g.px(0, 2, 2), code(0, 0, 0));
    EXPECT_EQ(g.px(0, 3, 3), code(1, 1, 0));
    EXPECT_EQ(g.px(0, 1, 1), code(1, 1, 0) & 0xFFFFFF);
}

TEST_F(Clipboard, CutFillsWithTheColourOfTheFirstUniformSideOfTheRing) {
    const uint32_t blue = 0xFF0000FF, red = 0xFFFF0000, green = 0x8000FF00;
    // A selection in the middle of a uniform blue area.
    Doc d(8, 8, 1,
          [&](int x, int y, int) { return (x >= 3 && x < 5 && y >= 3 && y < 5) ? red : blue; });
    ScriptedPrompts prompts;
    MemoryClipboard clip;
    ASSERT_TRUE(clipboardCut(buffer, d.doc, {3, 3, 5, 5}, prompts, &clip));
    EXPECT_EQ(d.px(0, 3, 3), blue);
    EXPECT_EQ(d.px(0, 4, 4), blue);
    EXPECT_EQ(buffer.frames()->firstFrame()->pixels()[0], red);
    EXPECT_TRUE(clip.block);
    EXPECT_EQ(d.hints, std::vector<int>{HINT_FULL});
    d.doc.undo();
    EXPECT_EQ(d.px(0, 4, 4), red);

    // At the top-left corner: no top or left side; the right side (column 3, rows 1..2) first.
    Doc c(8, 8, 1, [&](int x, int y, int) { return x == 3 ? green : (y == 3 ? blue : red); });
    EXPECT_EQ(cutFillColour(c.frame(0), {0, 0, 3, 3}), green);
    // A right side that is not uniform gives way to the bottom side (row 3, columns 0..1).
    c.frame(0).pixels()[2 * 8 + 3] = 0xFF000000;
    EXPECT_EQ(cutFillColour(c.frame(0), {0, 0, 3, 3}), blue);
    c.frame(0).pixels()[3 * 8 + 1] = 0xFF000000;
    EXPECT_EQ(cutFillColour(c.frame(0), {0, 0, 3, 3}), 0u);
    // Sides compare only their first w - 2 / h - 2 pixels: the top row's last pixels differ.
    Doc t(8, 8, 1, [&](int x, int y, int) { return (y == 1 && x >= 5) ? red : blue; });
    EXPECT_EQ(cutFillColour(t.frame(0), {2, 2, 5, 5}), blue);
    // The whole image has no ring: 0. A one-pixel-high picture has no column sides to read.
    EXPECT_EQ(cutFillColour(t.frame(0), {0, 0, 8, 8}), 0u);
    Doc line(5, 1, 1, [&](int x, int, int) { return x == 0 ? green : blue; });
    EXPECT_EQ(cutFillColour(line.frame(0), {2, 0, 3, 1}), 0u);
}

TEST_F(Clipboard, ClipboardPicturesBecomeTheCopyBufferOrAreIgnored) {
    MemoryClipboard clip;
    EXPECT_FALSE(readSystemClipboard(buffer, clip));
    EXPECT_FALSE(buffer.exists());

    clip.block = dib8x1x1(10, 20, 30);
    ASSERT_TRUE(readSystemClipboard(buffer, clip));
    const FrameSequence* buf = buffer.frames();
    ASSERT_EQ(buf->count(), 1);
    ASSERT_EQ(buf->firstFrame()->width(), 1);
    EXPECT_EQ(buf->firstFrame()->pixels()[0], 0xFF1E140Au);
    // Paste size only for pictures of 16 bits and more.
    EXPECT_FALSE(clipboardPictureSize(clip));

    // A refused picture (2049 wide) changes nothing: the old buffer stays.
    const uint32_t px[2] = {0xFF112233, 0xFF445566};
    clip.block = txDibWrite(1, 2, px);
    EXPECT_EQ(clipboardPictureSize(clip), std::make_pair(1, 2));
    (*clip.block)[5] = 8;  // width 2049
    EXPECT_FALSE(readSystemClipboard(buffer, clip));
    EXPECT_FALSE(clipboardPictureSize(clip));
    EXPECT_EQ(buffer.frames(), buf);
}

TEST_F(Clipboard, PasteAsNewDocumentTakesThePictureThroughThePendingRequest) {
    ScriptedPrompts prompts;
    MemoryClipboard clip;
    std::vector<std::unique_ptr<CBitmapDoc>> made;
    std::vector<int> requested, hints;
    DocumentContext context;
    // Makes documents as the framework's New does: the next serial picks up the request.
    auto factory = [&](Prompts& p) -> CBitmapDoc* {
        requested.push_back(context.pending.width);
        made.push_back(std::make_unique<CBitmapDoc>(context));
        if (!made.back()->onNewDocument(p)) return nullptr;
        made.back()->onUpdate = [&](int hint, const TxRect*) { hints.push_back(hint); };
        return made.back().get();
    };
    // Nothing on the clipboard: nothing happens, no message.
    EXPECT_EQ(pasteAsNewDocument(buffer, clip, prompts, context, factory), nullptr);
    EXPECT_TRUE(requested.empty());
    EXPECT_TRUE(prompts.messages.empty());

    const uint32_t px[6] = {1, 2, 3, 4, 5, 6};
    clip.block = txDibWrite(3, 2, px);
    CBitmapDoc* doc = pasteAsNewDocument(buffer, clip, prompts, context, factory);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(requested, std::vector<int>{256});
    const Frame& f = *doc->frames()->currentFrame();
    ASSERT_EQ(f.width(), 3);
    ASSERT_EQ(f.height(), 2);
    EXPECT_EQ(f.pixels()[0], 0xFF000001u);
    EXPECT_EQ(f.pixels()[5], 0xFF000006u);
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(hints, (std::vector<int>{HINT_FULL, HINT_POSITIONS}));
    EXPECT_FALSE(buffer.exists());
    EXPECT_EQ(context.pending.serial, 0);

    // No document could be made.
    EXPECT_EQ(pasteAsNewDocument(buffer, clip, prompts, context, [](Prompts&) { return nullptr; }),
              nullptr);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Create NewDocument failed"});
}

namespace {

struct Target : PasteTarget {
    const CopyBuffer* buffer = nullptr;
    CBitmapDoc* doc = nullptr;
    PositionAutoAdd autoAdd;
    int drops = 0, cancels = 0;
    void pasteDrop(const TxRect& rect) override {
        ++drops;
        pasteAt(*buffer, *doc, rect, autoAdd);
    }
    void pasteCancelled() override { ++cancels; }
};

}  // namespace

TEST_F(Clipboard, PlacementInTheViewDropsOnClickAndRecordsTheItem) {
    Doc d(100, 80, 1, [](int, int, int) { return 0xFF00FF00u; });
    ViewState view(&d.doc, ViewPreferences{});
    Target target;
    target.buffer = &buffer;
    target.doc = &d.doc;
    EXPECT_FALSE(beginPaste(buffer, view, &target));  // no copy buffer
    EXPECT_FALSE(view.placingPaste());

    Doc src(10, 6, 1, [](int, int, int) { return 0xFF0000FFu; });
    ScriptedPrompts prompts;
    PositionListPanel panel;
    panel.attach(&src.doc.positions());
    src.doc.positions().append({0, 0, 10, 6}, "hero");
    target.autoAdd = PositionAutoAdd{&panel, true, true};
    ASSERT_TRUE(clipboardCopy(buffer, src.doc, {0, 0, 10, 6}, prompts, nullptr, target.autoAdd));
    EXPECT_EQ(buffer.currentItemName, "hero");
    EXPECT_EQ(src.doc.positions().count(), 1);  // the whole image is not added

    // Escape cancels: nothing pasted.
    ASSERT_TRUE(beginPaste(buffer, view, &target));
    EXPECT_TRUE(view.placingPaste());
    view.keyDown(ViewKey::Escape, false, false);
    EXPECT_EQ(target.cancels, 1);
    EXPECT_FALSE(d.doc.isModified());

    // The rectangle follows the mouse, is pushed back inside, and a click pastes at its corner
    // under the name of the item last copied.
    panel.attach(&d.doc.positions());
    ASSERT_TRUE(beginPaste(buffer, view, &target));
    view.mouseMove(99, 79, false, false);
    EXPECT_EQ(view.selection(), (TxRect{90, 74, 100, 80}));
    view.mouseMove(20, 20, false, false);
    view.leftDown(20, 20, false);
    EXPECT_EQ(target.drops, 1);
    EXPECT_FALSE(view.placingPaste());
    EXPECT_EQ(d.px(0, 15, 17), 0xFF0000FFu);
    EXPECT_EQ(d.px(0, 24, 22), 0xFF0000FFu);
    EXPECT_EQ(d.px(0, 14, 17), 0xFF00FF00u);
    EXPECT_EQ(d.px(0, 25, 23), 0xFF00FF00u);
    ASSERT_EQ(d.doc.positions().count(), 1);
    EXPECT_EQ(d.doc.positions().at(0).rect, (TxRect{15, 17, 25, 23}));
    EXPECT_EQ(d.doc.positions().at(0).name, "hero");
    EXPECT_EQ(d.hints, (std::vector<int>{HINT_FULL, HINT_POSITIONS}));

    // "add on copy" adds a part of the picture with an empty name and forgets the old name.
    panel.attach(&src.doc.positions());
    ASSERT_TRUE(clipboardCopy(buffer, src.doc, {1, 1, 3, 3}, prompts, nullptr, target.autoAdd));
    EXPECT_EQ(buffer.currentItemName, "");
    ASSERT_EQ(src.doc.positions().count(), 2);
    EXPECT_EQ(src.doc.positions().at(1).name, "");
    // Without the position list window nothing is recorded.
    ASSERT_TRUE(clipboardCopy(buffer, src.doc, {2, 2, 3, 3}, prompts, nullptr,
                              PositionAutoAdd{nullptr, true, true}));
    EXPECT_EQ(src.doc.positions().count(), 2);
}
