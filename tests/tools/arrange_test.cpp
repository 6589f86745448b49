#include <gtest/gtest.h>

#include <random>

#include "tools/poslist/arrange.h"

namespace {

TxRect R(int x1, int y1, int x2, int y2) { return TxRect{x1, y1, x2, y2}; }

// Items of the given sizes laid side by side in a source image, named by their index letter.
PositionList sized(const std::vector<std::pair<int, int>>& sizes) {
    PositionList list;
    int x = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        list.append(R(x, 0, x + sizes[i].first, sizes[i].second), std::string(1, char('a' + i)));
        x += sizes[i].first;
    }
    return list;
}

bool overlap(const TxRect& a, const TxRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

TEST(Arrange, DocumentedCases) {
    // One 100 x 10 item, both automatic: limits 50 x 50, the item at the top left.
    ArrangeResult r = arrangeItems(sized({{100, 10}}), 0, 0);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.placed.size(), 1u);
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 100, 10));
    EXPECT_EQ(r.canvasWidth, 100);
    EXPECT_EQ(r.canvasHeight, 10);

    // 32 x 32 and 16 x 16 in fixed 64 x 64.
    r = arrangeItems(sized({{16, 16}, {32, 32}}), 64, 64);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.placed.size(), 2u);
    EXPECT_EQ(r.placed[0].name, "b");
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 32, 32));
    EXPECT_EQ(r.placed[0].source, R(16, 0, 48, 32));
    EXPECT_EQ(r.placed[1].rect, R(32, 0, 48, 16));
    EXPECT_EQ(r.placed[1].source, R(0, 0, 16, 16));
    EXPECT_EQ(r.canvasWidth, 64);
    EXPECT_EQ(r.canvasHeight, 64);

    // Three 40 x 40 in fixed 64 x 64: the second fits neither right nor below.
    r = arrangeItems(sized({{40, 40}, {40, 40}, {40, 40}}), 64, 64);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.placed.empty());

    // Equal keys keep the list order.
    r = arrangeItems(sized({{10, 10}, {10, 10}}), 0, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.placed[0].name, "a");
    EXPECT_EQ(r.placed[1].name, "b");
}

TEST(Arrange, SortKeyFollowsTheFixedLimits) {
    // tall 5 x 20, wide 20 x 5, square 10 x 10: all three have area 100.
    std::vector<PositionItem> items = {PositionItem(R(0, 0, 5, 20), "tall"),
                                       PositionItem(R(0, 0, 20, 5), "wide"),
                                       PositionItem(R(0, 0, 10, 10), "square")};
    auto names = [](const std::vector<PositionItem>& v) {
        std::string s;
        for (const auto& it : v) s += it.name + " ";
        return s;
    };
    auto byWidth = items;
    arrangeSort(byWidth, 64, 0);
    EXPECT_EQ(names(byWidth), "wide square tall ");
    auto byHeight = items;
    arrangeSort(byHeight, 0, 64);
    EXPECT_EQ(names(byHeight), "tall square wide ");
    auto byArea = items;  // equal keys: list order stays
    arrangeSort(byArea, 64, 64);
    EXPECT_EQ(names(byArea), "tall wide square ");
    arrangeSort(byArea, 0, 0);
    EXPECT_EQ(names(byArea), "tall wide square ");
    EXPECT_EQ(arrangeSortKey(items[0], 0, 0), 100);
    EXPECT_EQ(arrangeSortKey(items[0], 1, 0), 5);
    EXPECT_EQ(arrangeSortKey(items[0], 0, 1), 20);
}

TEST(Arrange, RowsSkipItemsThatDoNotFitAndFillThemLater) {
    // Both automatic: limits (30 + 20 + 10 + 25) / 2 = 42. Order by area: a, b, d, c.
    ArrangeResult r = arrangeItems(sized({{30, 20}, {20, 20}, {10, 10}, {25, 5}}), 0, 0);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.placed.size(), 4u);
    EXPECT_EQ(r.placed[0].name, "a");
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 30, 20));
    EXPECT_EQ(r.placed[1].name, "c");  // b and d are too wide for the 12 pixels left
    EXPECT_EQ(r.placed[1].rect, R(30, 0, 40, 10));
    EXPECT_EQ(r.placed[2].name, "b");  // used area is wider than tall: next row below
    EXPECT_EQ(r.placed[2].rect, R(0, 20, 20, 40));
    EXPECT_EQ(r.placed[3].name, "d");
    EXPECT_EQ(r.placed[3].rect, R(0, 40, 25, 45));
    EXPECT_EQ(r.canvasWidth, 40);
    EXPECT_EQ(r.canvasHeight, 45);
    EXPECT_EQ(r.placed[3].source, R(60, 0, 85, 5));
}

TEST(Arrange, OneFixedLimit) {
    // Width fixed at 64, height automatic (50): sorted by width; rows go below; an item taller
    // than its row's first item reaches below it and the used area follows.
    ArrangeResult r = arrangeItems(sized({{40, 10}, {30, 10}, {30, 30}}), 64, 0);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.placed.size(), 3u);
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 40, 10));
    EXPECT_EQ(r.placed[1].rect, R(0, 10, 30, 20));
    EXPECT_EQ(r.placed[2].rect, R(30, 10, 60, 40));
    EXPECT_EQ(r.canvasWidth, 64);
    EXPECT_EQ(r.canvasHeight, 40);

    // Height fixed at 20, width automatic (20): sorted by height; a new row starts at the top
    // right of the used area.
    r = arrangeItems(sized({{10, 20}, {10, 15}, {5, 5}}), 0, 20);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 10, 20));
    EXPECT_EQ(r.placed[1].rect, R(10, 0, 20, 15));
    EXPECT_EQ(r.placed[2].rect, R(20, 0, 25, 5));
    EXPECT_EQ(r.canvasWidth, 25);
    EXPECT_EQ(r.canvasHeight, 20);
}

TEST(Arrange, ItemsPastAFixedSideAreRefused) {
    // Width fixed at 50, an item 90 wide: the rows would keep it at 0:0-90:40 on a 50-pixel sheet.
    EXPECT_FALSE(arrangeItems(sized({{90, 40}, {20, 20}}), 50, 0).ok);
    // Height fixed at 30, an item 40 high.
    ArrangeResult r = arrangeItems(sized({{10, 40}}), 0, 30);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.placed.empty());
    // Both fixed: the second row starts inside the sheet, its second item reaches below it.
    EXPECT_FALSE(arrangeItems(sized({{64, 30}, {30, 30}, {4, 40}}), 64, 64).ok);
    // Exactly as wide and high as the limits still fits.
    r = arrangeItems(sized({{50, 40}}), 50, 40);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 50, 40));
}

TEST(Arrange, ReversedEdgesAreNormalised) {
    PositionList list;
    list.append(R(20, 30, 10, 10), "backwards");
    ArrangeResult r = arrangeItems(list, 0, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.placed[0].rect, R(0, 0, 10, 20));
    EXPECT_EQ(r.placed[0].source, R(10, 10, 20, 30));
}

TEST(Arrange, PixelCopyIsClippedToBothFrames) {
    Frame src, dst;
    ASSERT_EQ(src.createBlank(16, 16), FE_OK);
    for (int k = 0; k < 256; ++k) src.pixels()[k] = 0xFF000000u | uint32_t(k);
    ASSERT_EQ(dst.createBlank(8, 8), FE_OK);
    // One item sticks out of the new sheet, the other reaches past the old image.
    std::vector<PositionItem> placed(2);
    placed[0].source = R(0, 0, 16, 4);
    placed[0].rect = R(2, 0, 18, 4);
    placed[1].source = R(12, 12, 20, 20);
    placed[1].rect = R(0, 4, 8, 12);
    copyArrangedPixels(src, dst, placed);
    const uint32_t* d = dst.pixels();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint32_t want = 0;
            if (y < 4 && x >= 2) want = 0xFF000000u | uint32_t(y * 16 + (x - 2));
            if (y >= 4 && x < 4) want = 0xFF000000u | uint32_t((y - 4 + 12) * 16 + 12 + x);
            EXPECT_EQ(d[y * 8 + x], want) << x << "," << y;
        }
}

TEST(Arrange, RandomSetsNeverOverlap) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 40; ++trial) {
        std::uniform_int_distribution<int> count(1, 60), side(1, trial % 2 ? 64 : 12);
        PositionList list;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) list.append(R(0, 0, side(rng), side(rng)), std::to_string(i));
        const int padding = trial % 4;
        for (int method : {ARRANGE_ROWS, ARRANGE_MAXRECTS}) {
            for (int limits = 0; limits < 3; ++limits) {
                const int mw = limits == 1 ? 256 : 0, mh = limits == 2 ? 2048 : 0;
                ArrangeResult r = arrangeItems(list, mw, mh, method, padding);
                ASSERT_TRUE(r.ok) << trial << " " << method << " " << limits;
                ASSERT_EQ(r.placed.size(), size_t(n));
                for (size_t i = 0; i < r.placed.size(); ++i) {
                    const TxRect& a = r.placed[i].rect;
                    EXPECT_GE(a.left, 0);
                    EXPECT_GE(a.top, 0);
                    EXPECT_LE(a.right, r.canvasWidth);
                    EXPECT_LE(a.bottom, r.canvasHeight);
                    EXPECT_EQ(a.width(), r.placed[i].source.width());
                    EXPECT_EQ(a.height(), r.placed[i].source.height());
                    for (size_t j = i + 1; j < r.placed.size(); ++j) {
                        TxRect b = r.placed[j].rect;
                        if (method == ARRANGE_MAXRECTS) {
                            // Padding keeps that much space between any two sprites.
                            b.left -= padding;
                            b.top -= padding;
                            b.right += padding;
                            b.bottom += padding;
                        }
                        ASSERT_FALSE(overlap(a, b))
                            << trial << " " << method << " " << i << "/" << j;
                    }
                }
            }
        }
    }
}

TEST(Arrange, MaxRectsFillsUniformSetsAndHonoursFixedLimits) {
    PositionList list;
    for (int i = 0; i < 16; ++i) list.append(R(0, 0, 32, 32), "");
    ArrangeResult r = arrangeItems(list, 0, 0, ARRANGE_MAXRECTS);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.canvasWidth, 128);
    EXPECT_EQ(r.canvasHeight, 128);
    EXPECT_DOUBLE_EQ(arrangeOccupancy(r), 1.0);

    // Padding 2: four in a row take 4 * 32 + 3 * 2 = 134 pixels, no padding at the edges.
    r = arrangeItems(list, 134, 134, ARRANGE_MAXRECTS, 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.canvasWidth, 134);
    r = arrangeItems(list, 133, 134, ARRANGE_MAXRECTS, 2);
    EXPECT_FALSE(r.ok);
    // An empty item takes no room, even on a sheet the tiles fill completely.
    list.append(R(5, 5, 5, 9), "flat");
    r = arrangeItems(list, 128, 128, ARRANGE_MAXRECTS);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.placed.back().rect, R(0, 0, 0, 4));
    list.remove(list.count() - 1);
    // An item larger than a fixed limit cannot be placed.
    list.append(R(0, 0, 200, 8), "long");
    EXPECT_FALSE(arrangeItems(list, 150, 0, ARRANGE_MAXRECTS).ok);
    r = arrangeItems(list, 0, 150, ARRANGE_MAXRECTS);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.canvasHeight, 150);
    EXPECT_GE(r.canvasWidth, 200);
}

TEST(Arrange, CanvasLimits) {
    ArrangeResult r;
    r.canvasWidth = 32768;
    r.canvasHeight = 1;
    EXPECT_TRUE(arrangeCanvasAllowed(r));
    r.canvasWidth = 32769;
    EXPECT_FALSE(arrangeCanvasAllowed(r));
    r.canvasWidth = 0;
    EXPECT_FALSE(arrangeCanvasAllowed(r));
    // Many long items in automatic mode give a canvas no frame can hold.
    PositionList list;
    for (int i = 0; i < 8; ++i) list.append(R(0, 0, 30000, 1), "");
    r = arrangeItems(list, 0, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(arrangeCanvasAllowed(r));
}

TEST(Arrange, MaxRectsPacksMixedSpritesTightlyIntoASquarishSheet) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> small(8, 48), large(48, 128), pick(0, 3);
    PositionList list;
    for (int i = 0; i < 200; ++i) {
        const bool big = pick(rng) == 0;
        const int w = big ? large(rng) : small(rng);
        list.append(R(0, 0, w, big ? large(rng) : small(rng)), "");
    }
    const ArrangeResult maxRects = arrangeItems(list, 0, 0, ARRANGE_MAXRECTS);
    ASSERT_TRUE(maxRects.ok);
    EXPECT_GE(arrangeOccupancy(maxRects), 0.90);
    EXPECT_LE(std::max(maxRects.canvasWidth, maxRects.canvasHeight),
              2 * std::min(maxRects.canvasWidth, maxRects.canvasHeight));
    const ArrangeResult rows = arrangeItems(list, 0, 0, ARRANGE_ROWS);
    ASSERT_TRUE(rows.ok);
    EXPECT_LT(arrangeOccupancy(rows), arrangeOccupancy(maxRects));
}
