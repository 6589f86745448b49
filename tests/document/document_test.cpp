#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "document/document.h"
#include "model/frame_writers.h"
#include "model/sequence_io.h"
#include "tests/model/test_files.h"
#include "tests/scripted_prompts.h"
#include "texlib/read.h"

namespace {

// Stands for an edit that takes a snapshot and changes every frame.
void edit(CBitmapDoc& doc, uint32_t value) {
    doc.takeSnapshot();
    for (int k = 0; k < doc.frames()->count(); ++k) doc.frames()->frameAt(k)->pixels()[0] = value;
}

uint32_t pixel(CBitmapDoc& doc, int frame = 0) { return doc.frames()->frameAt(frame)->pixels()[0]; }

}  // namespace

TEST(Document, OpenMissingAndUnreadable) {
    const std::string dir = freshDir("docopen");
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    EXPECT_FALSE(doc.onOpenDocument(dir + "/missing.tga", prompts));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "File " + dir + "/missing.tga not found");
    FILE* f = std::fopen((dir + "/junk.png").c_str(), "wb");
    std::fputs("this is no picture", f);
    std::fclose(f);
    EXPECT_FALSE(doc.onOpenDocument(dir + "/junk.png", prompts));
    EXPECT_EQ(prompts.messages.back(), "Unrecogniced file format\nFile: " + dir + "/junk.png");
    EXPECT_EQ(doc.frames(), nullptr);
}

TEST(Document, OpenFailuresAddTheReadersReason) {
    const std::string dir = freshDir("docreason");
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    // A cut TGA: the reader's own words on the next line.
    writeSolidTga(dir + "/cut.tga", 8, 8, 0xFF102030u);
    std::filesystem::resize_file(dir + "/cut.tga", 20);
    EXPECT_FALSE(doc.onOpenDocument(dir + "/cut.tga", prompts));
    EXPECT_EQ(prompts.messages.back(), "Unrecogniced file format\nFile: " + dir +
                                           "/cut.tga\ncut.tga: TGA Image: Unexpected end of file.");
    // A folder and a FIFO are there: not "not found", and no series dialog is asked.
    std::filesystem::create_directory(dir + "/walk000.tga");
    ASSERT_EQ(::mkfifo((dir + "/pipe.tga").c_str(), 0600), 0);
    EXPECT_FALSE(doc.onOpenDocument(dir + "/walk000.tga", prompts));
    EXPECT_EQ(prompts.messages.back(), "Unrecogniced file format\nFile: " + dir +
                                           "/walk000.tga\nwalk000.tga: is a directory");
    EXPECT_FALSE(doc.onOpenDocument(dir + "/pipe.tga", prompts));
    EXPECT_EQ(prompts.messages.back(), "Unrecogniced file format\nFile: " + dir +
                                           "/pipe.tga\npipe.tga: is not a regular file");
    EXPECT_EQ(prompts.loadDialogs, 0);
    // A series over its memory budget says so, naming the frame.
    for (int k = 0; k < 3; ++k)
        writeSolidTga(dir + "/run00" + std::to_string(k) + ".tga", 64, 64, 0xFF000000u);
    const int64_t budget = sequenceMemoryBudget();
    setSequenceMemoryBudget(2 * 64 * 64 * 4);
    EXPECT_FALSE(doc.onOpenDocument(dir + "/run000.tga", prompts));
    setSequenceMemoryBudget(budget);
    const std::string& m = prompts.messages.back();
    EXPECT_EQ(m.rfind("Out of Memory\nFile: " + dir + "/run000.tga\nrun002.tga: frame 3", 0), 0u)
        << m;
    EXPECT_NE(m.find("over its budget"), std::string::npos) << m;
    EXPECT_EQ(doc.frames(), nullptr);
}

TEST(Document, OpenSetsTitleAndReadsPositions) {
    const std::string dir = freshDir("doctitle");
    writeSolidTga(dir + "/hero.tga", 4, 4, 0xFF00FF00u);
    FILE* f = std::fopen((dir + "/hero.tga_pos.txt").c_str(), "wb");
    std::fputs("0,0,2,2,head\r\n", f);
    std::fclose(f);
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    int hints = 0;
    doc.onUpdate = [&](int hint, const TxRect*) { hints += hint == HINT_FULL; };
    ASSERT_TRUE(doc.onOpenDocument(dir + "/hero.tga", prompts));
    EXPECT_EQ(doc.title(), "hero.tga                 Frame 1:1");
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(hints, 1);
    ASSERT_EQ(doc.positions().count(), 1);
    EXPECT_EQ(doc.positions().at(0).name, "head");
    EXPECT_TRUE(doc.isEnabled(CMD_SAVE));
    EXPECT_FALSE(doc.isEnabled(CMD_UNDO));
    EXPECT_FALSE(doc.isEnabled(CMD_PLAY));
    EXPECT_FALSE(doc.isEnabled(CMD_NEXT_FRAME));
}

TEST(Document, NewWithAndWithoutPendingRequest) {
    ScriptedPrompts prompts;
    DocumentContext shared;
    shared.pending = {nextDocumentSerial(), 256, 128};
    CBitmapDoc a(shared);
    ASSERT_TRUE(a.onNewDocument(prompts));
    EXPECT_EQ(prompts.newSizeDialogs, 0);
    EXPECT_EQ(a.frames()->currentFrame()->width(), 256);
    EXPECT_EQ(shared.pending.serial, 0);
    EXPECT_EQ(a.frames()->fileType(), TX_TYPE_TGA);

    shared.settings.lastNewWidth = 64;
    shared.settings.lastNewHeight = 32;
    CBitmapDoc b(shared);
    ASSERT_TRUE(b.onNewDocument(prompts));
    EXPECT_EQ(prompts.newSizeDialogs, 1);
    EXPECT_EQ(prompts.lastNewSizeDefaults, std::make_pair(64, 32));
    EXPECT_EQ(b.frames()->currentFrame()->height(), 32);

    // Out of range is refused and asked again; cancel creates nothing.
    prompts.newSizeAnswer = std::make_pair(0, 10);
    prompts.cancelNewSize = false;
    CBitmapDoc c(shared);
    struct OnceBad : ScriptedPrompts {
        int calls = 0;
        std::optional<std::pair<int, int>> newSize(int, int) override {
            return ++calls == 1 ? std::make_pair(70000, 5) : std::make_pair(7, 5);
        }
    } once;
    ASSERT_TRUE(c.onNewDocument(once));
    EXPECT_EQ(once.calls, 2);
    ASSERT_EQ(once.messages.size(), 1u);
    EXPECT_EQ(once.messages[0], "Please enter an integer between 1 and 65535.");
    EXPECT_EQ(shared.settings.lastNewWidth, 7);
    // Within the fields' range but over the picture-size limits: the limit is named, not
    // "Out of Memory", and the dialog comes back with the values given.
    struct TooLarge : ScriptedPrompts {
        std::vector<std::pair<int, int>> asked;
        std::optional<std::pair<int, int>> newSize(int w, int h) override {
            asked.emplace_back(w, h);
            if (asked.size() == 1) return std::make_pair(20000, 20000);
            if (asked.size() == 2) return std::make_pair(40000, 2);
            return std::make_pair(8, 8);
        }
    } large;
    CBitmapDoc c2;
    ASSERT_TRUE(c2.onNewDocument(large));
    ASSERT_EQ(large.messages.size(), 2u);
    EXPECT_EQ(large.messages[0], "A picture of 20000 x 20000 is over the limit of 1 GiB of pixels "
                                 "(268435456 pixels, e.g. 16384 x 16384).");
    EXPECT_EQ(large.messages[1],
              "A picture of 40000 x 2 is over the limit of 32768 pixels a side.");
    ASSERT_EQ(large.asked.size(), 3u);
    EXPECT_EQ(large.asked[1], std::make_pair(20000, 20000));
    EXPECT_EQ(c2.frames()->currentFrame()->width(), 8);
    // A pending request past the limits names the limit as well.
    ScriptedPrompts quiet;
    CBitmapDoc c3;
    c3.context().pending = {c3.serial(), 40000, 8};
    EXPECT_FALSE(c3.onNewDocument(quiet));
    ASSERT_EQ(quiet.messages.size(), 1u);
    EXPECT_EQ(quiet.messages[0],
              "A picture of 40000 x 8 is over the limit of 32768 pixels a side.");
    prompts.cancelNewSize = true;
    CBitmapDoc d;
    EXPECT_FALSE(d.onNewDocument(prompts));
    EXPECT_EQ(d.frames(), nullptr);
}

TEST(Document, UndoRedoConsequencesAndSavedState) {
    const std::string dir = freshDir("docundo");
    for (int n = 1; n <= 3; ++n)
        writeSolidTga(dir + "/f00" + std::to_string(n) + ".tga", 2, 2, 0xFF000000u | uint32_t(n));
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/f001.tga", prompts));
    ASSERT_EQ(doc.frames()->count(), 3);
    doc.frames()->setCurrent(1);

    // Edit, undo: old pixels in every frame, current frame restored, unmodified, redo enabled.
    edit(doc, 0xAAu);
    doc.frames()->setCurrent(2);
    EXPECT_TRUE(doc.isModified());
    EXPECT_TRUE(doc.isEnabled(CMD_UNDO));
    const FrameSequence* live = doc.frames();
    const FrameSequence* snap = doc.undoSnapshot();
    const uint32_t* snapPixels = snap->frameAt(0)->pixels();
    doc.undo();
    EXPECT_EQ(doc.frames(), snap);  // a pointer swap, no pixel copy
    EXPECT_EQ(doc.frames()->frameAt(0)->pixels(), snapPixels);
    EXPECT_EQ(doc.redoSnapshot(), live);
    EXPECT_EQ(pixel(doc, 2), 0xFF000003u);
    EXPECT_EQ(doc.frames()->currentIndex(), 1);
    EXPECT_FALSE(doc.isModified());
    EXPECT_FALSE(doc.isEnabled(CMD_UNDO));
    EXPECT_TRUE(doc.isEnabled(CMD_REDO));

    // Redo brings the edit back (modified again), undo after redo returns to the original.
    doc.redo();
    EXPECT_EQ(pixel(doc), 0xAAu);
    EXPECT_TRUE(doc.isModified());
    doc.undo();
    EXPECT_FALSE(doc.isModified());

    // A new edit after undo drops redo; undo then restores the state before that edit.
    edit(doc, 0xBBu);
    EXPECT_FALSE(doc.isEnabled(CMD_REDO));
    doc.undo();
    EXPECT_EQ(pixel(doc), 0xFF000001u);

    // Two edits, one undo: back to the first edit, and the document stays modified.
    edit(doc, 0x11u);
    edit(doc, 0x22u);
    doc.undo();
    EXPECT_EQ(pixel(doc), 0x11u);
    EXPECT_TRUE(doc.isModified());

    // Flips take no snapshot.
    CBitmapDoc other;
    ASSERT_TRUE(other.onOpenDocument(dir + "/f001.tga", prompts));
    other.frames()->mirror(nullptr);
    other.changedWithoutSnapshot();
    EXPECT_FALSE(other.isEnabled(CMD_UNDO));
    EXPECT_TRUE(other.isModified());
}

TEST(Document, FrameCommandsAndPlay) {
    const std::string dir = freshDir("docplay");
    for (int n = 1; n <= 3; ++n)
        writeSolidTga(dir + "/p00" + std::to_string(n) + ".tga", 1, 1, 0xFF000000u);
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/p001.tga", prompts));
    EXPECT_FALSE(doc.isEnabled(CMD_FIRST_FRAME));
    EXPECT_TRUE(doc.isEnabled(CMD_LAST_FRAME));
    doc.lastFrame();
    EXPECT_EQ(doc.title(), "p001.tga                 Frame 3:3");
    EXPECT_FALSE(doc.isEnabled(CMD_NEXT_FRAME));
    doc.previousFrame();
    EXPECT_TRUE(doc.isEnabled(CMD_PLAY));  // also syncs the play counter to frame 2
    doc.togglePlay();
    EXPECT_TRUE(doc.isChecked(CMD_PLAY));
    EXPECT_FALSE(doc.isEnabled(CMD_PREVIOUS_FRAME));
    doc.animationTick();
    EXPECT_EQ(doc.frames()->currentIndex(), 1);
    doc.animationTick();
    doc.animationTick();
    EXPECT_EQ(doc.frames()->currentIndex(), 0);
    EXPECT_EQ(doc.title(), "p001.tga                 Frame 1:3");
    doc.togglePlay();
    EXPECT_TRUE(doc.isEnabled(CMD_NEXT_FRAME));
}

TEST(Document, SaveAsAndWriteFailuresKeepTheDocumentModified) {
    const std::string dir = freshDir("docsave");
    writeSolidTga(dir + "/pic.tga", 2, 2, 0xFF112233u);
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/pic.tga", prompts));
    edit(doc, 0xFF445566u);

    // Save As to a folder that does not exist: reported, still modified, path unchanged.
    prompts.saveFileAnswers.push_back({dir + "/missing/out.tga", 1});
    EXPECT_FALSE(doc.saveAs(prompts));
    EXPECT_EQ(prompts.messages.back(), "Cannot save frame " + dir + "/missing/out.tga");
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(doc.pathName(), dir + "/pic.tga");
    EXPECT_NE(prompts.lastSaveFilter.find("TGA 32Bit (*.tga)|*.tga|PNG 32Bit"), std::string::npos);
    EXPECT_EQ(prompts.lastSaveIndex, 1);

    // A type without a writer is offered Save As instead of writing nothing.
    doc.frames()->frameAt(0)->fileType = TX_TYPE_GIF;
    EXPECT_FALSE(doc.isEnabled(CMD_SAVE));
    prompts.saveFileAnswers.push_back({dir + "/copy.bmp", 1});
    EXPECT_TRUE(doc.onSaveDocument(dir + "/pic.gif", prompts));
    EXPECT_TRUE(exists(dir + "/copy.tga"));  // entry 1 forces .tga
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.frames()->fileType(), TX_TYPE_TGA);
    EXPECT_EQ(doc.pathName(), dir + "/copy.tga");
    Frame check;
    ASSERT_EQ(check.load(dir + "/copy.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF445566u);
    // Saves write with the context's options: run-length by default (image type 10), raw (2)
    // when the preferences say so.
    auto imageType = [&] {
        std::ifstream in(dir + "/copy.tga", std::ios::binary);
        char h[3] = {};
        in.read(h, 3);
        return int(h[2]);
    };
    EXPECT_EQ(imageType(), 10);
    doc.context().write.tgaCompression = TX_TGA_NONE;
    EXPECT_TRUE(doc.onSaveDocument(dir + "/copy.tga", prompts));
    EXPECT_EQ(imageType(), 2);

    // Cancelling that Save As keeps the edits and the flag.
    doc.frames()->frameAt(0)->fileType = TX_TYPE_JPEG;
    edit(doc, 1);
    EXPECT_FALSE(doc.onSaveDocument(dir + "/x.jpg", prompts));
    EXPECT_TRUE(doc.isModified());
}

TEST(Document, SaveAsPngOfABmpNameAndEightBitPalettes) {
    const std::string dir = freshDir("docpng");
    writeSolidTga(dir + "/pic.tga", 2, 2, 0x80112233u);
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/pic.tga", prompts));
    // Entry 2 (PNG) with a name typed as .bmp writes .png.
    prompts.saveFileAnswers.push_back({dir + "/typed.bmp", 2});
    ASSERT_TRUE(doc.saveAs(prompts));
    EXPECT_TRUE(exists(dir + "/typed.png"));
    EXPECT_FALSE(exists(dir + "/typed.bmp"));
    EXPECT_EQ(doc.frames()->fileType(), TX_TYPE_PNG);
    EXPECT_TRUE(doc.isEnabled(CMD_SAVE));
    Frame check;
    ASSERT_EQ(check.load(dir + "/typed.png"), FE_OK);
    EXPECT_EQ(check.fileType, TX_TYPE_PNG);
    EXPECT_EQ(check.pixels()[3], 0x80112233u);

    // Entry 4 with the dialog's palette: 8-bit BMP mapped onto it; the depth setting comes back.
    struct FixedPalette : ScriptedPrompts {
        std::optional<PaletteChoice> paletteOptions() override {
            PaletteChoice c;
            c.useFixedPalette = true;
            c.palette[0] = 0x000000;
            c.palette[1] = 0x102030;
            for (int k = 2; k < 256; ++k) c.palette[k] = 0xFFFFFF;
            return c;
        }
    } fixed;
    fixed.saveFileAnswers.push_back({dir + "/eight.bmp", 4});
    ASSERT_TRUE(doc.saveAs(fixed));
    EXPECT_EQ(doc.context().write.bmpDepth, 24);
    ASSERT_EQ(check.load(dir + "/eight.bmp"), FE_OK);
    EXPECT_EQ(check.pixels()[0] & 0xFFFFFF, 0x102030u);  // nearest entry of the fixed palette
    EXPECT_EQ(doc.frames()->fileType(), TX_TYPE_BMP);
}

TEST(Document, IncompleteSnapshotLeavesUndoDisabled) {
    ScriptedPrompts prompts;
    CBitmapDoc doc;
    doc.context().pending = {doc.serial(), 2, 2};
    ASSERT_TRUE(doc.onNewDocument(prompts));
    ASSERT_EQ(doc.frames()->addBlankFrames(2, 2, 1), FE_OK);
    // A frame whose pixels cannot be copied (a reserved format has no conversion) makes the copy
    // incomplete; a truncated undo state would silently lose that frame.
    TxMip& mip = doc.frames()->frameAt(1)->mip();
    ASSERT_TRUE(txMipInit(mip, 2, 2, 1, TX_FMT_RSVD4));
    FrameSequence copy(*doc.frames());
    EXPECT_EQ(copy.count(), 0);
    doc.takeSnapshot();
    EXPECT_EQ(doc.undoSnapshot(), nullptr);
    EXPECT_FALSE(doc.isEnabled(CMD_UNDO));
    EXPECT_TRUE(doc.isModified());
}
