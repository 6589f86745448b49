// Rendering tests use the DejaVu faces that scripts/setup installs (fonts-dejavu-core); with a
// fixed FreeType the measured values are exact.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_descriptor.h"
#include "tools/fontwizard/font_generator.h"

namespace {

FontPreset preset(const char* face, int size) {
    FontPreset p = FontPreset::standard();
    p.fontName = face;
    p.fontSize = size;
    return p;
}

// Only the characters of `chars`.
FontPreset only(const char* face, int size, const std::string& chars) {
    FontPreset p = preset(face, size);
    p.filter = FONT_FILTER_ONEOF;
    p.userChars = chars;
    return p;
}

FontLayout render(const FontPreset& p, bool kerning = false) {
    FontLayout L;
    std::string msg;
    EXPECT_EQ(fontRender(p, L, msg, kerning), FONT_GEN_OK) << msg;
    return L;
}

// Smallest rectangle of non-zero coverage inside r (empty when there is none).
TxRect inkBox(const FontLayout& L, const TxRect& r) {
    TxRect box{r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (L.coverage[size_t(y) * size_t(L.texW) + size_t(x)] != 0) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box.empty() ? TxRect{} : box;
}

TxRect shifted(const TxRect& r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

TEST(FontFaces, LookupByNameStyleAndFallback) {
    FontFaceMatch m;
    ASSERT_TRUE(fontFindFace("DejaVu Sans", 0, m, nullptr));
    EXPECT_EQ(m.family, "DejaVu Sans");
    EXPECT_TRUE(m.exact);
    EXPECT_FALSE(m.synthBold || m.synthItalic);
    ASSERT_TRUE(fontFindFace("dejavu sans mono", 1, m, nullptr));
    EXPECT_EQ(m.family, "DejaVu Sans Mono");
    EXPECT_EQ(m.style, "Bold");
    EXPECT_TRUE(m.exact);
    EXPECT_FALSE(m.synthBold);
    // Italic: the oblique face when installed, else slanted outlines of the upright one.
    ASSERT_TRUE(fontFindFace("DejaVu Sans Mono", 2, m, nullptr));
    EXPECT_EQ(m.family, "DejaVu Sans Mono");
    EXPECT_TRUE(m.style.find("Oblique") != std::string::npos || m.synthItalic) << m.style;
    // A face that does not exist falls back to some installed outline face, and says so.
    ASSERT_TRUE(fontFindFace("No Such Face 4711", 0, m, nullptr));
    EXPECT_FALSE(m.exact);
    EXPECT_FALSE(m.file.empty());
    EXPECT_FALSE(m.family.empty());

    const std::vector<std::string> faces = fontListFaces();
    EXPECT_NE(std::find(faces.begin(), faces.end(), "DejaVu Sans"), faces.end());
    EXPECT_NE(std::find(faces.begin(), faces.end(), "DejaVu Sans Mono"), faces.end());
    for (size_t i = 1; i < faces.size(); ++i) {
        std::string a = faces[i - 1], b = faces[i];
        for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : b) c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_LT(a, b) << "sorted, each once";
    }
}

TEST(FontRender, FixedCellsLayoutAndItems) {
    FontPreset p = preset("DejaVu Sans", 11);
    p.autoCell = 0;
    p.cellWidth = 16;
    p.cellHeight = 16;
    const FontLayout L = render(p);
    // 100 characters, 16 per row: 7 rows.
    EXPECT_EQ(L.texW, 256);
    EXPECT_EQ(L.texH, 112);
    ASSERT_EQ(L.glyphs.size(), 100u);
    EXPECT_EQ(L.glyphs[15].cell, (TxRect{240, 0, 256, 16}));
    EXPECT_EQ(L.glyphs[16].cell, (TxRect{0, 16, 16, 32}));
    EXPECT_EQ(L.glyphs[99].cell, (TxRect{48, 96, 64, 112}));
    const PositionList items = fontPositionItems(L);
    ASSERT_EQ(items.count(), 100);
    EXPECT_EQ(items.at(0).name, "!");
    EXPECT_EQ(items.at(32).name, "A");
    EXPECT_EQ(items.at(32).rect, (TxRect{0, 32, 16, 48}));
    EXPECT_EQ(items.at(99).name, "\xFC");
    for (int i = 0; i < items.count(); ++i) ASSERT_EQ(items.at(i).name.size(), 1u);

    // 2x2: everything is drawn twice as large; the items stay in final pixels.
    p.antialias = 1;
    const FontLayout L2 = render(p);
    EXPECT_EQ(L2.texW, 512);
    EXPECT_EQ(L2.cellW, 32);
    EXPECT_EQ(L2.finalWidth(), 256);
    EXPECT_EQ(L2.finalHeight(), 112);
    EXPECT_EQ(fontPositionItems(L2).at(16).rect, (TxRect{0, 16, 16, 32}));

    // Blanks and control characters are items too, named by themselves.
    FontPreset c = only("DejaVu Sans", 11, "A");
    c.filter |= FONT_FILTER_SPACE;
    const PositionList ci = fontPositionItems(render(c));
    ASSERT_EQ(ci.count(), 7);
    EXPECT_EQ(ci.at(0).name, "\t");
    EXPECT_EQ(ci.at(5).name, " ");
    EXPECT_EQ(ci.at(6).name, "A");
}

TEST(FontRender, MeasuredCellsAndTextureHeight) {
    // The cell is the widest advance by the line height (ascent + descent of the face).
    const FontLayout sans = render(preset("DejaVu Sans", 11));
    EXPECT_EQ(sans.face.family, "DejaVu Sans");
    EXPECT_EQ(sans.pixelHeight, 14);  // 11 pt at 96 dpi
    EXPECT_EQ(sans.ascent, 13);
    EXPECT_EQ(sans.descent, 4);
    EXPECT_EQ(sans.cellW, 14);
    EXPECT_EQ(sans.cellH, 17);
    // 256 / 14 = 18 per row, 100 characters: 6 rows.
    EXPECT_EQ(sans.texH, 6 * 17);

    FontPreset mono = preset("DejaVu Sans Mono", 11);
    mono.char8 = 0;  // the 94 graphic characters
    const FontLayout m1 = render(mono);
    EXPECT_EQ(m1.cellW, 8);
    EXPECT_EQ(m1.cellH, 17);
    EXPECT_EQ(m1.glyphs.size(), 94u);
    EXPECT_EQ(m1.texH, 3 * 17);  // 32 per row
    mono.filter = FONT_FILTER_ALL;
    EXPECT_EQ(render(mono).texH, 4 * 17);  // 128 characters fill exactly 4 rows

    // Antialiasing measures the enlarged face; a measured cell is that extent rounded up to
    // whole final pixels, not enlarged a second time.
    mono.filter = FONT_FILTER_GRAPH;
    mono.antialias = 1;
    const FontLayout m2 = render(mono);
    EXPECT_EQ(m2.pixelHeight, 28);
    EXPECT_EQ(m2.cellW, 18);
    EXPECT_EQ(m2.cellH, 34);
    EXPECT_EQ(m2.finalHeight(), 4 * 17);  // 28 cells of 9 per 256-pixel row
    mono.antialias = 2;
    const FontLayout m4 = render(mono);
    EXPECT_EQ(m4.cellW, 36);
    EXPECT_EQ(m4.cellH, 68);
    EXPECT_EQ(fontPositionItems(m4).at(1).rect, (TxRect{9, 0, 18, 17}));

    FontPreset big = preset("DejaVu Sans", 32);
    big.antialias = 2;
    const FontLayout b = render(big);
    EXPECT_EQ(b.cellW >> b.shift, 42);
    EXPECT_EQ(b.cellH >> b.shift, 49);
    EXPECT_EQ(b.finalWidth(), 256);
    EXPECT_EQ(b.finalHeight(), 17 * 49);  // 6 per row
}

TEST(FontRender, InvalidCellSizes) {
    FontLayout L;
    std::string msg;
    FontPreset p = preset("DejaVu Sans", 11);
    p.autoCell = 0;
    for (auto [w, h] : {std::pair{300, 16}, {1, 16}, {16, 513}, {16, 1}, {257, 2}}) {
        p.cellWidth = w;
        p.cellHeight = h;
        EXPECT_EQ(fontRender(p, L, msg), FONT_GEN_FIXED_CELL) << w << "x" << h;
        EXPECT_EQ(msg, "invalid cell size!\nTry to use other settings");
        EXPECT_TRUE(L.coverage.empty());
    }
    p.cellWidth = 256;
    p.cellHeight = 512;
    p.filter = FONT_FILTER_DIGIT;  // ten rows of 512
    EXPECT_EQ(fontRender(p, L, msg), FONT_GEN_OK);
    EXPECT_EQ(L.texH, 5120);
    // Variable pitch always measures, so fixed sizes out of range do not matter there.
    p.pitch = 1;
    p.cellWidth = 300;
    EXPECT_EQ(fontRender(p, L, msg), FONT_GEN_OK);

    // No character selected: nothing to lay out.
    FontPreset none = preset("DejaVu Sans", 11);
    none.filter = 0;
    EXPECT_EQ(fontRender(none, L, msg), FONT_GEN_INVALID_CELL);
    EXPECT_EQ(msg, "Error, invalid cellsize. Try other options");
    none.autoCell = 0;
    none.cellWidth = none.cellHeight = 16;
    EXPECT_EQ(fontRender(none, L, msg), FONT_GEN_INVALID_CELL);

    // A cell wider than the texture: W at 200 pt is 263 pixels wide.
    FontPreset wide = only("DejaVu Sans", 200, "W");
    EXPECT_EQ(fontRender(wide, L, msg), FONT_GEN_INVALID_CELL);
    EXPECT_EQ(msg, "Error, invalid cellsize. Try other options");
    wide.textureWidth = 1;
    EXPECT_EQ(fontRender(wide, L, msg), FONT_GEN_OK) << msg;
    EXPECT_EQ(L.texW, 512);
    EXPECT_GT(L.cellW, 256);

    // Too many tall cells for any image: 256 rows of 2048 enlarged pixels.
    FontPreset tall = preset("DejaVu Sans", 11);
    tall.filter = FONT_FILTER_ALL;
    tall.autoCell = 0;
    tall.cellWidth = 256;
    tall.cellHeight = 512;
    tall.antialias = 2;
    EXPECT_EQ(fontRender(tall, L, msg), FONT_GEN_TOO_LARGE);
    EXPECT_EQ(msg, "Error, the texture would be too large. Try other options");
    EXPECT_TRUE(L.coverage.empty());
}

TEST(FontRender, EveryOriginPlacesTheGlyph) {
    FontPreset p = only("DejaVu Sans Mono", 16, "|");
    p.autoCell = 0;
    p.cellWidth = 32;
    p.cellHeight = 40;
    p.origin = 0;
    const FontLayout base = render(p);
    ASSERT_EQ(base.glyphs.size(), 1u);
    const TxRect cell = base.glyphs[0].cell;
    const TxRect ink = inkBox(base, cell);
    // The bar of "|" stands in the middle of its 13-pixel advance and reaches from 4 pixels below
    // the line's top to its bottom.
    EXPECT_EQ(base.glyphs[0].advance, 13);
    EXPECT_EQ(base.ascent, 20);
    EXPECT_EQ(base.descent, 5);
    EXPECT_EQ(ink, (TxRect{5, 4, 8, 25}));

    const int adv = 13, lineH = 25;
    const int vOff = (40 >> 1) - ((96 * base.ascent / 72) >> 1);  // 20 - 13 = 7
    EXPECT_EQ(vOff, 7);
    const int dx[3] = {0, 16 - adv / 2, 32 - adv};
    const int dy[3] = {0, vOff, 40 - lineH};
    for (int origin : {0, 1, 2, 4, 5, 6, 8, 9, 10}) {
        p.origin = origin;
        const FontLayout L = render(p);
        EXPECT_EQ(inkBox(L, cell), shifted(ink, dx[origin & 3], dy[origin >> 2])) << origin;
    }
    // Centre-centre puts the bar's middle in the middle column.
    p.origin = 5;
    EXPECT_EQ(inkBox(render(p), cell).left, 15);
    // Other values draw nothing but still give the item.
    for (int origin : {3, 7, 11, 12, -1}) {
        p.origin = origin;
        const FontLayout L = render(p);
        EXPECT_TRUE(inkBox(L, cell).empty()) << origin;
        EXPECT_EQ(fontPositionItems(L).count(), 1);
    }
    // Glyphs are clipped to their cell: a bottom-aligned bar in a short cell loses its top.
    p.origin = 8;
    p.cellHeight = 10;
    const FontLayout low = render(p);
    EXPECT_EQ(inkBox(low, low.glyphs[0].cell), (TxRect{5, 0, 8, 10}));
}

TEST(FontRender, StyleBoldAndItalic) {
    FontPreset p = only("DejaVu Sans Mono", 24, "I");
    p.origin = 0;
    const FontLayout reg = render(p);
    p.fontStyle = 1;
    const FontLayout bold = render(p);
    p.fontStyle = 2;
    const FontLayout ital = render(p);
    // The stem of I: the middle column of its coverage in one row.
    auto rowCentre = [](const FontLayout& L, int y) {
        int sum = 0, n = 0;
        for (int x = 0; x < L.cellW; ++x) {
            const int c = L.coverage[size_t(y) * size_t(L.texW) + size_t(x)];
            sum += c * x;
            n += c;
        }
        return n ? double(sum) / n : -1.0;
    };
    auto stemWidth = [](const FontLayout& L, int y) {
        int n = 0;
        for (int x = 0; x < L.cellW; ++x)
            n += L.coverage[size_t(y) * size_t(L.texW) + size_t(x)] > 128;
        return n;
    };
    const TxRect r = inkBox(reg, reg.glyphs[0].cell), i = inkBox(ital, ital.glyphs[0].cell);
    const int upper = r.top + r.height() / 4, lower = r.bottom - r.height() / 4;
    EXPECT_GT(stemWidth(bold, upper), stemWidth(reg, upper));
    // Upright: the stem is straight; slanted: its upper part lies to the right of the lower.
    EXPECT_NEAR(rowCentre(reg, upper), rowCentre(reg, lower), 0.5);
    const int iu = i.top + i.height() / 4, il = i.bottom - i.height() / 4;
    EXPECT_GT(rowCentre(ital, iu), rowCentre(ital, il) + 2.0);
}

TEST(FontRender, VariablePitchWrapsBeforeTheRightEdge) {
    // With the wrap test made after each cell on the current width only, a wide character after
    // a narrow one at the end of a row would reach past the texture. Find such a case.
    FontPreset p = preset("DejaVu Sans", 11);
    p.pitch = 1;
    p.char8 = 0;
    p.filter = FONT_FILTER_GRAPH;
    bool overflowCase = false;
    for (int size = 10; size <= 40 && !overflowCase; ++size) {
        p.fontSize = size;
        const FontLayout L = render(p);
        int left = 0;
        for (size_t i = 0; i + 1 < L.glyphs.size(); ++i) {
            const int w = L.glyphs[i].advance, next = L.glyphs[i + 1].advance;
            if (left + w + w > L.texW) {
                left = 0;
            } else {
                left += w;
                if (left + next > L.texW) overflowCase = true;
            }
        }
        if (!overflowCase) continue;
        // Here every cell stays inside, rows are filled left to right without gaps, and the
        // texture height rule still holds.
        const PositionList items = fontPositionItems(L);
        for (int i = 0; i < items.count(); ++i) {
            const TxRect& r = items.at(i).rect;
            EXPECT_LE(r.right, L.finalWidth()) << size << " " << items.at(i).name;
            EXPECT_LE(r.bottom, L.finalHeight());
            if (i > 0) {
                const TxRect& q = items.at(i - 1).rect;
                EXPECT_TRUE((r.top == q.top && r.left == q.right) ||
                            (r.left == 0 && r.top == q.bottom));
            }
        }
    }
    EXPECT_TRUE(overflowCase) << "no size between 10 and 40 shows the edge case";
}

TEST(FontRender, VariablePitchMarginsInFinalPixels) {
    FontPreset p = preset("DejaVu Sans", 11);
    p.pitch = 1;
    p.char8 = 0;
    p.marginX = 2;
    p.marginY = 3;
    for (int aa : {0, 1, 2}) {
        p.antialias = aa;
        const FontLayout L = render(p);
        const int f = L.factor();
        const int lineH = (L.ascent + L.descent + f - 1) / f;
        const PositionList items = fontPositionItems(L);
        ASSERT_EQ(items.count(), 94);
        for (int i = 0; i < items.count(); ++i) {
            const int advance = (L.glyphs[size_t(i)].advance + f - 1) / f;
            EXPECT_EQ(items.at(i).width(), advance + 2) << aa << " " << items.at(i).name;
            EXPECT_EQ(items.at(i).height(), lineH + 3);
        }
    }
    // Fixed pitch ignores the margins.
    p.pitch = 0;
    p.antialias = 0;
    const FontLayout fixed = render(p);
    EXPECT_EQ(fixed.cellW, 14);
    EXPECT_EQ(fixed.cellH, 17);
}

TEST(FontPixels, CoverageConversionAndRecolour) {
    const uint8_t cov[4] = {0, 255, 0x80, 1};
    uint32_t px[4];
    fontCoverageToPixels(cov, 4, 0x00332211, 0x00665544, px);  // colours are 0x00BBGGRR
    EXPECT_EQ(px[0], 0x00445566u);
    EXPECT_EQ(px[1], 0xFF112233u);
    EXPECT_EQ(px[2], 0x80112233u);
    EXPECT_EQ(px[3], 0x01112233u);
    uint32_t mixed[3] = {0x40A0B0C0u, 0x00A0B0C0u, 0xFF000000u};
    fontRecolour(mixed, 3, 0x00FFEEDDu);
    EXPECT_EQ(mixed[0], 0x40DDEEFFu);
    EXPECT_EQ(mixed[1], 0x00A0B0C0u);
    EXPECT_EQ(mixed[2], 0xFFDDEEFFu);
}

TEST(FontDescriptor, ParsesBackWithMetricsAndKerning) {
    FontPreset p = preset("DejaVu Sans", 11);
    p.origin = 0;
    const FontLayout L = render(p, true);
    const std::string text = fontDescriptorText(L, p, "glyphs.tga");
    std::istringstream in(text);
    std::string line;
    std::vector<std::map<std::string, std::string>> chars, kernings;
    std::map<std::string, std::string> common, page, info;
    int declaredChars = -1, declaredKernings = -1;
    while (std::getline(in, line)) {
        // tag key=value key="quoted value" ...
        const size_t sp = line.find(' ');
        const std::string tag = line.substr(0, sp);
        std::map<std::string, std::string> kv;
        for (size_t at = sp; at != std::string::npos && at < line.size();) {
            at = line.find_first_not_of(' ', at);
            if (at == std::string::npos) break;
            const size_t eq = line.find('=', at);
            ASSERT_NE(eq, std::string::npos) << line;
            size_t end = eq + 1;
            if (end < line.size() && line[end] == '"')
                end = line.find('"', end + 1) + 1;
            else
                end = line.find(' ', end);
            kv[line.substr(at, eq - at)] =
                line.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
            at = end;
        }
        if (tag == "info")
            info = kv;
        else if (tag == "common")
            common = kv;
        else if (tag == "page")
            page = kv;
        else if (tag == "chars")
            declaredChars = std::stoi(kv["count"]);
        else if (tag == "char")
            chars.push_back(kv);
        else if (tag == "kernings")
            declaredKernings = std::stoi(kv["count"]);
        else if (tag == "kerning")
            kernings.push_back(kv);
        else
            ADD_FAILURE() << "unknown line " << line;
    }
    EXPECT_EQ(info["face"], "\"DejaVu Sans\"");
    EXPECT_EQ(info["size"], "14");
    EXPECT_EQ(info["aa"], "1");
    EXPECT_EQ(common["lineHeight"], "17");
    EXPECT_EQ(common["base"], "13");
    EXPECT_EQ(common["scaleW"], "256");
    EXPECT_EQ(common["scaleH"], "102");
    EXPECT_EQ(page["file"], "\"glyphs.tga\"");
    ASSERT_EQ(declaredChars, 100);
    ASSERT_EQ(chars.size(), 100u);
    const PositionList items = fontPositionItems(L);
    for (size_t i = 0; i < chars.size(); ++i) {
        auto& c = chars[i];
        const TxRect& r = items.at(int(i)).rect;
        EXPECT_EQ(std::stoul(c["id"]),
                  fontCp1252ToUnicode(static_cast<unsigned char>(items.at(int(i)).name[0])));
        // The rectangle is the glyph's image (its ink and at most a blank column or row around
        // it) inside its cell, not the cell.
        const TxRect ink = inkBox(L, r);
        const TxRect box{std::stoi(c["x"]), std::stoi(c["y"]),
                         std::stoi(c["x"]) + std::stoi(c["width"]),
                         std::stoi(c["y"]) + std::stoi(c["height"])};
        ASSERT_FALSE(ink.empty()) << i;
        EXPECT_TRUE(box.left <= ink.left && box.top <= ink.top && box.right >= ink.right &&
                    box.bottom >= ink.bottom && box.left >= r.left && box.top >= r.top &&
                    box.right <= r.right && box.bottom <= r.bottom)
            << i;
        EXPECT_LE(box.width(), ink.width() + 2) << i;
        EXPECT_LE(box.height(), ink.height() + 2) << i;
        // Left and top origin: the cell starts at the pen and at the top of the line, so the
        // offsets are the image's place in the cell.
        EXPECT_EQ(std::stoi(c["xoffset"]), box.left - r.left);
        EXPECT_EQ(std::stoi(c["yoffset"]), box.top - r.top);
        EXPECT_EQ(std::stoi(c["xadvance"]), L.glyphs[i].advance);
    }
    EXPECT_EQ(chars[0]["id"], "33");
    EXPECT_EQ(chars[99]["id"], "252");
    // DejaVu Sans carries a kerning table: A followed by V moves one pixel closer at 14 pixels.
    ASSERT_GT(declaredKernings, 0);
    ASSERT_EQ(size_t(declaredKernings), kernings.size());
    bool av = false;
    for (auto& k : kernings) {
        EXPECT_NE(k["amount"], "0");
        if (k["first"] == "65" && k["second"] == "86") {
            EXPECT_EQ(k["amount"], "-1");
            av = true;
        }
    }
    EXPECT_TRUE(av);

    // Right and centre origin: the offsets lead from the pen to the ink wherever the cell put it.
    p.origin = 6;
    const FontLayout R = render(p);
    const std::string t6 = fontDescriptorText(R, p, "x.tga");
    const FontGlyph& w = R.glyphs[54];  // W
    ASSERT_EQ(w.code, 'W');
    const TxRect ink = w.box;  // W's image fills its ink exactly at this size
    EXPECT_EQ(ink, inkBox(R, w.cell));
    const int vOff = (R.cellH >> 1) - ((96 * R.ascent / 72) >> 1);
    const int lineTop = w.cell.top + vOff;  // the top of the line the glyph stands in
    char expect[160];
    std::snprintf(expect, sizeof expect,
                  "char id=87 x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%d ",
                  ink.left, ink.top, ink.width(), ink.height(),
                  ink.left - (w.cell.right - w.advance), ink.top - lineTop, w.advance);
    EXPECT_NE(t6.find(expect), std::string::npos) << expect;
    // Without kerning asked for, there is no kernings block.
    EXPECT_EQ(t6.find("kernings"), std::string::npos);
}
