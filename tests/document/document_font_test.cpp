// The font texture command on documents, with the DejaVu faces of scripts/setup.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "document/document.h"
#include "tests/scripted_prompts.h"
#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_generator.h"

namespace {

// Makes documents the way the framework's New does, sharing one context, and keeps them.
struct DocumentMaker {
    DocumentContext context;
    std::vector<std::unique_ptr<CBitmapDoc>> docs;
    std::vector<int> hints;
    int calls = 0;
    CBitmapDoc* operator()(Prompts& prompts) {
        ++calls;
        auto doc = std::make_unique<CBitmapDoc>(context);
        doc->onUpdate = [this](int hint, const TxRect*) { hints.push_back(hint); };
        if (!doc->onNewDocument(prompts)) return nullptr;
        docs.push_back(std::move(doc));
        return docs.back().get();
    }
};

FontPreset sans(int size) {
    FontPreset p = FontPreset::standard();
    p.fontName = "DejaVu Sans";
    p.fontSize = size;
    return p;
}

uint32_t alphaOf(uint32_t px) { return px >> 24; }

}  // namespace

TEST(DocumentFont, MakesANewDocumentWithOneItemPerCharacter) {
    ScriptedPrompts prompts;
    DocumentMaker maker;
    FontPreset p = sans(11);
    p.backColor = 0x00604020;  // 0x00BBGGRR
    p.textColor = 0x0000FFFF;  // yellow
    ASSERT_EQ(p.cellWidth, 0);
    CBitmapDoc* doc = CBitmapDoc::generateFontTexture(p, prompts, maker.context,
                                                      [&](Prompts& pr) { return maker(pr); });
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(prompts.newSizeDialogs, 0);  // the pending request sized it
    EXPECT_EQ(maker.context.pending.serial, 0);
    EXPECT_EQ(prompts.busyCalls, 1);
    EXPECT_EQ(maker.calls, 1);

    const Frame* frame = doc->frames()->currentFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width(), 256);
    EXPECT_EQ(frame->height(), 102);
    EXPECT_EQ(doc->frames()->count(), 1);
    ASSERT_EQ(doc->positions().count(), 100);
    EXPECT_EQ(doc->positions().at(0).name, "!");
    EXPECT_EQ(doc->positions().at(0).rect, (TxRect{0, 0, 14, 17}));
    EXPECT_EQ(doc->positions().at(18).rect, (TxRect{0, 17, 14, 34}));
    EXPECT_EQ(doc->positions().at(99).name, "\xFC");

    // A fresh texture: nothing to undo or redo, modified, and the views told twice.
    EXPECT_FALSE(doc->isEnabled(CMD_UNDO));
    EXPECT_FALSE(doc->isEnabled(CMD_REDO));
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(maker.hints, (std::vector<int>{HINT_FULL, HINT_POSITIONS}));
    EXPECT_EQ(doc->title(), "DejaVu Sans Regular 11pt");

    // Background in the background colour with alpha 0; glyphs in the text colour.
    const uint32_t* px = frame->pixels();
    std::set<uint32_t> alphas;
    int opaque = 0;
    for (int i = 0; i < 256 * 102; ++i) {
        const uint32_t a = alphaOf(px[i]);
        if (a == 0) {
            ASSERT_EQ(px[i], 0x00204060u) << i;
        } else {
            ASSERT_EQ(px[i] & 0xFFFFFF, 0xFFFF00u) << i;
        }
        opaque += a == 255;
        alphas.insert(a);
    }
    EXPECT_GT(opaque, 100);
    EXPECT_GT(alphas.size(), 20u);  // the rasteriser's antialiasing shows as partial alpha

    // The measured cell size went back into the preset; a set size stays.
    EXPECT_EQ(p.cellWidth, 14);
    EXPECT_EQ(p.cellHeight, 17);
    FontPreset q = sans(11);
    q.cellWidth = 5;
    q.cellHeight = 6;
    ASSERT_NE(CBitmapDoc::generateFontTexture(q, prompts, maker.context,
                                              [&](Prompts& pr) { return maker(pr); }),
              nullptr);
    EXPECT_EQ(q.cellWidth, 5);
    EXPECT_EQ(q.cellHeight, 6);
}

TEST(DocumentFont, AntialiasingDownscalesTheEnlargedDrawing) {
    for (int aa : {1, 2}) {
        ScriptedPrompts prompts;
        DocumentMaker maker;
        FontPreset p = sans(11);
        p.antialias = aa;
        p.textColor = 0x00FF8040;
        FontLayout layout;
        CBitmapDoc* doc = CBitmapDoc::generateFontTexture(
            p, prompts, maker.context, [&](Prompts& pr) { return maker(pr); }, &layout);
        ASSERT_NE(doc, nullptr);
        const int f = 1 << aa;
        EXPECT_EQ(layout.texW, 256 * f);
        const Frame* frame = doc->frames()->currentFrame();
        ASSERT_EQ(frame->width(), 256);
        ASSERT_EQ(frame->height(), layout.texH / f);
        EXPECT_FALSE(doc->isEnabled(CMD_UNDO));
        // Each final pixel's alpha is the mean coverage of its f x f block as the area-averaging
        // resampler takes it (each row's mean rounded down, then the mean of the rows rounded
        // down), and every pixel with some alpha is in the text colour.
        int partial = 0;
        for (int y = 0; y < frame->height(); ++y)
            for (int x = 0; x < frame->width(); ++x) {
                int sum = 0;
                for (int j = 0; j < f; ++j) {
                    int row = 0;
                    for (int i = 0; i < f; ++i)
                        row += layout.coverage[size_t(y * f + j) * size_t(layout.texW) +
                                               size_t(x * f + i)];
                    sum += row / f;
                }
                const uint32_t v = frame->pixels()[y * 256 + x];
                ASSERT_EQ(int(alphaOf(v)), sum / f) << x << "," << y;
                if (alphaOf(v)) {
                    ASSERT_EQ(v & 0xFFFFFF, 0x4080FFu);
                }
                partial += alphaOf(v) > 0 && alphaOf(v) < 255;
            }
        EXPECT_GT(partial, 500);
        // The items are the same cells in final pixels whatever the enlargement.
        EXPECT_EQ(doc->positions().at(18).rect, (TxRect{0, 17, 14, 34}));
    }
}

TEST(DocumentFont, RefusedCellsCreateNothing) {
    ScriptedPrompts prompts;
    DocumentMaker maker;
    auto make = [&](Prompts& pr) { return maker(pr); };
    FontPreset fixed = sans(11);
    fixed.autoCell = 0;
    fixed.cellWidth = 300;
    fixed.cellHeight = 16;
    EXPECT_EQ(CBitmapDoc::generateFontTexture(fixed, prompts, maker.context, make), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "invalid cell size!\nTry to use other settings");
    EXPECT_EQ(fixed.cellWidth, 300);

    // No character selected, or a cell wider than the texture.
    FontPreset none = sans(11);
    none.filter = 0;
    EXPECT_EQ(CBitmapDoc::generateFontTexture(none, prompts, maker.context, make), nullptr);
    EXPECT_EQ(prompts.messages.back(), "Error, invalid cellsize. Try other options");
    EXPECT_EQ(none.cellWidth, 0);
    FontPreset wide = sans(200);
    wide.filter = FONT_FILTER_ONEOF;
    wide.userChars = "W";
    EXPECT_EQ(CBitmapDoc::generateFontTexture(wide, prompts, maker.context, make), nullptr);
    EXPECT_EQ(prompts.messages.back(), "Error, invalid cellsize. Try other options");
    EXPECT_EQ(wide.cellWidth, 0);
    EXPECT_EQ(wide.cellHeight, 0);

    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(maker.calls, 0);
    EXPECT_EQ(prompts.busyCalls, 3);
}

TEST(DocumentFont, SmallFixedCellsAndReplacedFacesAreMadeAndSaid) {
    ScriptedPrompts prompts;
    DocumentMaker maker;
    auto make = [&](Prompts& pr) { return maker(pr); };
    // Fixed 16 x 16 cells for an 11 pt face (which needs 14 x 17): 16 per row, 7 rows.
    FontPreset fixed = sans(11);
    fixed.autoCell = 0;
    fixed.cellWidth = 16;
    fixed.cellHeight = 16;
    CBitmapDoc* doc = CBitmapDoc::generateFontTexture(fixed, prompts, maker.context, make);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->frames()->currentFrame()->width(), 256);
    EXPECT_EQ(doc->frames()->currentFrame()->height(), 112);
    EXPECT_EQ(doc->positions().at(16).rect, (TxRect{0, 16, 16, 32}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind("Cells of 16 x 16 cannot hold this font's 14 x 17", 0), 0u)
        << prompts.messages[0];
    // Narrow cells name the glyphs they cut.
    fixed.cellWidth = 6;
    ASSERT_NE(CBitmapDoc::generateFontTexture(fixed, prompts, maker.context, make), nullptr);
    EXPECT_NE(prompts.messages.back().find("of the 100 glyphs are clipped at the cell edges ("),
              std::string::npos)
        << prompts.messages.back();
    // A face that is not installed: made with fontconfig's choice, and said.
    FontPreset missing = sans(11);
    missing.fontName = "NoSuchFont";
    doc = CBitmapDoc::generateFontTexture(missing, prompts, maker.context, make);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(prompts.messages.back().rfind("The font \"NoSuchFont\" is not installed: ", 0), 0u)
        << prompts.messages.back();
    EXPECT_EQ(doc->title().find("NoSuchFont"), std::string::npos);
    // An installed face with automatic cells says nothing.
    const size_t said = prompts.messages.size();
    FontPreset plain = sans(11);
    ASSERT_NE(CBitmapDoc::generateFontTexture(plain, prompts, maker.context, make), nullptr);
    EXPECT_EQ(prompts.messages.size(), said);
}

TEST(DocumentFont, NewDocumentFailureStillWritesTheCellSizeBack) {
    ScriptedPrompts prompts;
    DocumentMaker maker;
    FontPreset p = sans(11);
    EXPECT_EQ(CBitmapDoc::generateFontTexture(p, prompts, maker.context,
                                              [](Prompts&) { return nullptr; }),
              nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Create NewDocument failed");
    EXPECT_EQ(p.cellWidth, 14);
    EXPECT_EQ(p.cellHeight, 17);
    // The unused request cannot size some later document.
    EXPECT_EQ(maker.context.pending.serial, 0);

    // A document of another size (the request was not taken) is not filled.
    prompts.newSizeAnswer = std::make_pair(10, 10);
    FontPreset q = sans(11);
    auto other = [&](Prompts& pr) {
        maker.context.pending.serial = 0;
        return maker(pr);
    };
    EXPECT_EQ(CBitmapDoc::generateFontTexture(q, prompts, maker.context, other), nullptr);
    EXPECT_EQ(prompts.messages.back(), "Create NewDocument failed");
    ASSERT_EQ(maker.docs.size(), 1u);
    EXPECT_EQ(maker.docs[0]->positions().count(), 0);
    EXPECT_EQ(maker.docs[0]->frames()->currentFrame()->pixels()[0], 0u);
    EXPECT_EQ(q.cellWidth, 14);
}

TEST(DocumentFont, AnEditThenUndoLeavesTheUnsavedTextureModified) {
    ScriptedPrompts prompts;
    DocumentMaker maker;
    FontPreset p = sans(11);
    CBitmapDoc* doc = CBitmapDoc::generateFontTexture(p, prompts, maker.context,
                                                      [&](Prompts& pr) { return maker(pr); });
    ASSERT_NE(doc, nullptr);
    doc->takeSnapshot();
    doc->frames()->currentFrame()->pixels()[0] = 0xFFFFFFFFu;
    doc->undo();
    // The texture was never saved, so undoing the edit does not make it "unmodified".
    EXPECT_TRUE(doc->isModified());
}
