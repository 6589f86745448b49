// The sprite packer: every sprite's pixels at its rectangle (after trimming and turning), the
// extruded ring, no overlaps, everything inside its page, sizes, pages, duplicates and refusals.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "model/settings.h"
#include "tools/pack/pack.h"
#include "tools/pack/pack_request.h"

namespace {

// A sprite of w x h with random opaque content inset by transparent margins.
PackSprite randomSprite(std::mt19937& rng, const std::string& name, int w, int h, int margin) {
    PackSprite s;
    s.name = name;
    s.file = name + ".png";
    s.width = w;
    s.height = h;
    s.pixels.assign(size_t(w) * size_t(h), 0);
    for (int y = margin; y < h - margin; ++y)
        for (int x = margin; x < w - margin; ++x)
            s.pixels[size_t(y) * size_t(w) + size_t(x)] = 0xff000000u | (rng() & 0xffffffu);
    return s;
}

std::vector<PackSprite> randomSet(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<PackSprite> out;
    for (int i = 0; i < n; ++i) {
        const int w = 3 + int(rng() % 40), h = 3 + int(rng() % 40);
        const int margin = std::min({int(rng() % 4), (w - 1) / 2, (h - 1) / 2});
        out.push_back(randomSprite(rng, "s" + std::to_string(1000 + i), w, h, margin));
    }
    return out;
}

// The source pixel shown at (dx, dy) of a placed sprite's rectangle.
uint32_t expected(const PackSprite& s, const PackedSprite& p, const PackOptions& o, int dx,
                  int dy) {
    int sx = dx, sy = dy;
    if (p.rotated) {
        if (o.turn == PackTurn::Clockwise) {
            sx = dy;
            sy = p.height - 1 - dx;
        } else {
            sx = p.width - 1 - dy;
            sy = dx;
        }
    }
    // Crop forgets the offset in the data, so it is found again here.
    const TxRect cut = o.trim == PackTrim::Crop ? packTrimRect(s, o.alphaThreshold)
                                                : TxRect{p.offsetX, p.offsetY, 0, 0};
    return s.pixels[size_t(cut.top + sy) * size_t(s.width) + size_t(cut.left + sx)];
}

// Checks pixels, extrusion, overlaps and bounds of a whole result.
void checkResult(const std::vector<PackSprite>& in, const PackResult& r, const PackOptions& o) {
    ASSERT_EQ(r.status, PACK_OK) << r.error;
    for (size_t pg = 0; pg < r.pages.size(); ++pg) {
        Frame page;
        ASSERT_TRUE(renderPackPage(r, int(pg), in, o, page));
        const uint32_t* px = page.pixels();
        const int W = page.width(), H = page.height();
        std::vector<TxRect> boxes;
        for (int k : r.pages[pg].sprites) {
            const PackedSprite& p = r.sprites[size_t(k)];
            const PackSprite& s = in[size_t(p.input)];
            const int w = p.rect.width(), h = p.rect.height();
            ASSERT_EQ(w, p.rotated ? p.height : p.width) << p.name;
            // Inside the page, with the border and the extrusion.
            EXPECT_GE(p.rect.left - o.extrude, o.border) << p.name;
            EXPECT_GE(p.rect.top - o.extrude, o.border) << p.name;
            EXPECT_LE(p.rect.right + o.extrude, W - o.border) << p.name;
            EXPECT_LE(p.rect.bottom + o.extrude, H - o.border) << p.name;
            if (p.aliasOf < 0)
                boxes.push_back(TxRect{p.rect.left - o.extrude, p.rect.top - o.extrude,
                                       p.rect.right + o.extrude, p.rect.bottom + o.extrude});
            int bad = 0;
            for (int dy = -o.extrude; dy < h + o.extrude; ++dy)
                for (int dx = -o.extrude; dx < w + o.extrude; ++dx) {
                    const uint32_t want =
                        expected(s, p, o, std::clamp(dx, 0, w - 1), std::clamp(dy, 0, h - 1));
                    bad +=
                        px[size_t(p.rect.top + dy) * size_t(W) + size_t(p.rect.left + dx)] != want;
                }
            EXPECT_EQ(bad, 0) << p.name << " differs from its source in " << bad << " pixels";
        }
        // No two rectangles (with their rings) overlap, and the padding lies between them.
        for (size_t a = 0; a < boxes.size(); ++a)
            for (size_t b = a + 1; b < boxes.size(); ++b) {
                const TxRect& u = boxes[a];
                const TxRect& v = boxes[b];
                const bool apart = u.right + o.padding <= v.left || v.right + o.padding <= u.left ||
                                   u.bottom + o.padding <= v.top || v.bottom + o.padding <= u.top;
                EXPECT_TRUE(apart) << "boxes " << a << " and " << b << " on page " << pg;
            }
    }
}

TEST(Pack, PixelsRingsAndPlacesHoldUnderEveryOption) {
    const auto in = randomSet(60, 7);
    for (PackTrim trim : {PackTrim::None, PackTrim::Trim})
        for (bool rotate : {false, true})
            for (PackSize size : {PackSize::Any, PackSize::Pot, PackSize::Square}) {
                PackOptions o;
                o.trim = trim;
                o.rotate = rotate;
                o.turn = rotate && size == PackSize::Pot ? PackTurn::CounterClockwise
                                                         : PackTurn::Clockwise;
                o.size = size;
                o.extrude = 2;
                o.padding = 3;
                o.border = 1;
                SCOPED_TRACE(testing::Message() << "trim " << int(trim) << " rotate " << rotate
                                                << " size " << int(size));
                const PackResult r = packSprites(in, o);
                checkResult(in, r, o);
                ASSERT_EQ(r.pages.size(), 1u);
                const PackPage& p = r.pages[0];
                if (size == PackSize::Pot) {
                    EXPECT_TRUE((p.width & (p.width - 1)) == 0 && (p.height & (p.height - 1)) == 0)
                        << p.width << "x" << p.height;
                }
                if (size == PackSize::Square) {
                    EXPECT_EQ(p.width, p.height);
                }
            }
}

TEST(Pack, TrimKeepsSourceSizeAndOffsetCropForgetsThem) {
    std::mt19937 rng(3);
    std::vector<PackSprite> in = {randomSprite(rng, "a", 10, 8, 2)};
    in[0].pixels[size_t(2) * 10 + 2] = 0x05ffffffu;  // nearly transparent corner of the content
    PackOptions o;
    o.trim = PackTrim::Trim;
    PackResult r = packSprites(in, o);
    ASSERT_EQ(r.status, PACK_OK);
    const PackedSprite& t = r.sprites[0];
    EXPECT_EQ(t.width, 6);
    EXPECT_EQ(t.height, 4);
    EXPECT_EQ(t.offsetX, 2);
    EXPECT_EQ(t.offsetY, 2);
    EXPECT_EQ(t.sourceWidth, 10);
    EXPECT_EQ(t.sourceHeight, 8);
    EXPECT_TRUE(t.trimmed);
    EXPECT_EQ(r.pages[0].width, 6);
    EXPECT_EQ(r.pages[0].height, 4);

    o.trim = PackTrim::Crop;
    r = packSprites(in, o);
    EXPECT_EQ(r.sprites[0].sourceWidth, 6);
    EXPECT_EQ(r.sprites[0].offsetX, 0);
    EXPECT_FALSE(r.sprites[0].trimmed);
    checkResult(in, r, o);

    // The threshold takes the faint pixel out as well; a sprite without any visible pixel keeps
    // one pixel.
    in[0].pixels[size_t(2) * 10 + 2] = 0x05ffffffu;
    EXPECT_EQ(packTrimRect(in[0], 5), (TxRect{2, 2, 8, 6}));
    PackSprite empty{"e", "e.png", 5, 5, std::vector<uint32_t>(25, 0)};
    EXPECT_EQ(packTrimRect(empty, 0), (TxRect{0, 0, 1, 1}));
}

TEST(Pack, SameBytesWhateverTheInputOrder) {
    auto in = randomSet(80, 11);
    PackOptions o;
    o.rotate = true;
    o.trim = PackTrim::Trim;
    const PackResult a = packSprites(in, o);
    std::shuffle(in.begin(), in.end(), std::mt19937(5));
    const PackResult b = packSprites(in, o);
    ASSERT_EQ(a.sprites.size(), b.sprites.size());
    for (size_t i = 0; i < a.sprites.size(); ++i) {
        EXPECT_EQ(a.sprites[i].name, b.sprites[i].name);
        EXPECT_EQ(a.sprites[i].rect, b.sprites[i].rect);
        EXPECT_EQ(a.sprites[i].rotated, b.sprites[i].rotated);
    }
    Frame fa, fb;
    ASSERT_TRUE(renderPackPage(a, 0, randomSet(80, 11), o, fa));
    ASSERT_TRUE(renderPackPage(b, 0, in, o, fb));
    EXPECT_TRUE(
        std::equal(fa.pixels(), fa.pixels() + size_t(fa.width()) * fa.height(), fb.pixels()));
}

TEST(Pack, PagesAliasesAndRefusals) {
    auto in = randomSet(40, 21);
    PackOptions o;
    o.maxWidth = o.maxHeight = 64;
    o.padding = 1;
    const PackResult r = packSprites(in, o);
    checkResult(in, r, o);
    EXPECT_GT(r.pages.size(), 2u);
    size_t placed = 0;
    for (const PackPage& p : r.pages) {
        EXPECT_LE(p.width, 64);
        EXPECT_LE(p.height, 64);
        placed += p.sprites.size();
    }
    EXPECT_EQ(placed, in.size());

    // Identical pixels share one rectangle and keep both names.
    std::vector<PackSprite> dup = randomSet(3, 4);
    dup.push_back(dup[1]);
    dup.back().name = "copy";
    o = PackOptions{};
    o.aliasDuplicates = true;
    const PackResult d = packSprites(dup, o);
    checkResult(dup, d, o);
    EXPECT_EQ(d.aliases, 1);
    const auto find = [&](const std::string& n) {
        return *std::find_if(d.sprites.begin(), d.sprites.end(),
                             [&](const PackedSprite& p) { return p.name == n; });
    };
    EXPECT_EQ(find("copy").rect, find(dup[1].name).rect);
    EXPECT_EQ(packPagePositions(d, 0).count(), 4);

    // Too large for the page (named), the same name twice, nothing at all.
    o = PackOptions{};
    o.maxWidth = 32;
    o.maxHeight = 32;
    o.extrude = 1;
    std::mt19937 rng(1);
    const std::vector<PackSprite> big = {randomSprite(rng, "big", 31, 10, 0)};
    PackResult e = packSprites(big, o);
    EXPECT_EQ(e.status, PACK_TOO_LARGE);
    EXPECT_NE(e.error.find("big"), std::string::npos) << e.error;
    std::vector<PackSprite> twice = randomSet(2, 1);
    twice[1].name = twice[0].name;
    EXPECT_EQ(packSprites(twice, PackOptions{}).status, PACK_SAME_NAME);
    EXPECT_EQ(packSprites({}, PackOptions{}).status, PACK_EMPTY);
    EXPECT_EQ(packPagePath("sheet{n}.png", 3), "sheet3.png");
}

}  // namespace

TEST(PackRequest, KeptInThePackSectionAndPagesNamed) {
    PackRequest r;
    r.inputs = {"/art/hero", "/art/gem.png", "bad\nname.png"};
    r.options.trim = PackTrim::Crop;
    r.options.padding = 3;
    r.options.size = PackSize::PotSquare;
    r.sheetFile = "atlas{n}.png";
    r.writeData = true;
    r.dataFile = "/out/atlas.json";
    r.templateName = "phaser3";
    MemorySettingsStore st;
    r.store(st);
    EXPECT_EQ(st.getString("Pack", "inputs", ""), "/art/hero\n/art/gem.png");
    EXPECT_EQ(st.getInt("Pack", "padding", 0), 3);
    PackRequest back;
    back.load(st);
    EXPECT_EQ(back.inputs, (std::vector<std::string>{"/art/hero", "/art/gem.png"}));
    EXPECT_EQ(back.options.trim, PackTrim::Crop);
    EXPECT_EQ(back.options.size, PackSize::PotSquare);
    EXPECT_EQ(back.sheetFile, "atlas{n}.png");
    EXPECT_TRUE(back.writeData);
    EXPECT_EQ(back.dataFile, "/out/atlas.json");
    EXPECT_EQ(back.templateName, "phaser3");

    // {n} takes the number; without it one page keeps the name and several get the number
    // before the extension (or at the end when there is none).
    EXPECT_EQ(packPageName("a/s{n}.png", 2, 3), "a/s2.png");
    EXPECT_EQ(packPageName("a/s{n}.png", 0, 1), "a/s0.png");
    EXPECT_EQ(packPageName("a/sheet.png", 0, 1), "a/sheet.png");
    EXPECT_EQ(packPageName("a/sheet.png", 1, 2), "a/sheet1.png");
    EXPECT_EQ(packPageName("a.b/sheet", 1, 2), "a.b/sheet1");
    EXPECT_EQ(packPageName("a/.png", 1, 2), "a/.png1");
}
