#include <gtest/gtest.h>

#include <climits>

#include "model/position_list.h"

namespace {

TxRect R(int x1, int y1, int x2, int y2) { return TxRect{x1, y1, x2, y2}; }

}  // namespace

TEST(PositionList, AddRefusesEmptyAndDuplicateRectangles) {
    PositionList list;
    EXPECT_TRUE(list.add(R(1, 2, 3, 4), "a"));
    EXPECT_FALSE(list.add(R(1, 2, 3, 4), "other name"));  // names are not compared
    EXPECT_FALSE(list.add(R(5, 5, 5, 9), "flat"));
    EXPECT_FALSE(list.add(R(9, 5, 5, 9), "reversed"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).name, "a");
    // Direct appends (crop, readers) do not check.
    list.append(R(1, 2, 3, 4), "crop");
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.find(R(1, 2, 3, 4)), 0);
    EXPECT_EQ(list.find(R(0, 0, 1, 1)), -1);
}

TEST(PositionList, ItemEqualityAndDisplayText) {
    PositionItem a(R(1, 2, 11, 22), "ship");
    PositionItem b(R(1, 2, 11, 22), "other");
    PositionItem c(R(1, 2, 11, 23), "ship");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    EXPECT_EQ(a.width(), 10);
    EXPECT_EQ(a.height(), 20);
    EXPECT_EQ(a.displayText(), "ship: 1:2-11:22  10x20");
    EXPECT_EQ(PositionItem(R(-3, -4, 5, 6), "").displayText(), ": -3:-4-5:6  8x10");
}

TEST(PositionList, UpdateRenameRemove) {
    PositionList list;
    list.append(R(0, 0, 4, 4), "a");
    list.append(R(4, 0, 8, 4), "b");
    EXPECT_FALSE(list.update(0, R(3, 3, 3, 3)));
    EXPECT_FALSE(list.update(2, R(0, 0, 1, 1)));
    EXPECT_TRUE(list.update(1, R(10, 10, 20, 20)));
    EXPECT_EQ(list.at(1).rect, R(10, 10, 20, 20));
    EXPECT_EQ(list.at(1).name, "b");
    EXPECT_TRUE(list.rename(0, ""));
    EXPECT_EQ(list.at(0).name, "");
    EXPECT_FALSE(list.remove(-1));
    EXPECT_TRUE(list.remove(0));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0).name, "b");
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(PositionList, MoveSwapsWithWrap) {
    PositionList list;
    for (const char* n : {"A", "B", "C"}) list.append(R(0, 0, 1, 1), n);
    auto names = [&list] {
        std::string s;
        for (int i = 0; i < list.count(); ++i) s += list.at(i).name;
        return s;
    };
    EXPECT_EQ(list.move(0, -1), 2);  // first up: trades places with the last
    EXPECT_EQ(names(), "CBA");
    EXPECT_EQ(list.move(0, +1), 1);
    EXPECT_EQ(names(), "BCA");
    EXPECT_EQ(list.move(2, +1), 0);
    EXPECT_EQ(names(), "ACB");
    EXPECT_EQ(list.move(3, 1), -1);
    PositionList one;
    one.append(R(0, 0, 1, 1), "x");
    EXPECT_EQ(one.move(0, 1), -1);
}

TEST(PositionList, ScaleRoundsEdgesOutwardByHalfAPixel) {
    PositionList list;
    list.append(R(10, 10, 20, 20), "a");
    list.append(R(0, 0, 7, 7), "b");
    list.at(1).source = R(1, 1, 2, 2);
    list.scale(1.0, 1.0);
    EXPECT_EQ(list.at(0).rect, R(9, 9, 20, 20));
    EXPECT_EQ(list.at(1).rect, R(0, 0, 7, 7));  // an edge at 0 stays 0
    EXPECT_EQ(list.at(1).source, R(1, 1, 2, 2));
    EXPECT_EQ(list.at(1).name, "b");

    PositionList two;
    two.append(R(3, 4, 10, 12), "");
    two.scale(2.0, 2.0);
    EXPECT_EQ(two.at(0).rect, R(5, 7, 20, 24));

    PositionList half;
    half.append(R(-10, 5, 9, 9), "");
    half.scale(0.5, 3.0);
    // trunc(-5.5) = -5 (toward zero), trunc(14.5) = 14, trunc(5.0) = 5, trunc(27.5) = 27
    EXPECT_EQ(half.at(0).rect, R(-5, 14, 5, 27));

    // Absurd factors saturate instead of overflowing the conversion.
    PositionList huge;
    huge.append(R(-100, 0, 100, 1), "");
    huge.scale(1e12, 1.0);
    EXPECT_EQ(huge.at(0).rect.left, INT32_MIN);
    EXPECT_EQ(huge.at(0).rect.right, INT32_MAX);
}

TEST(PositionList, CopiesAreDeep) {
    PositionList a;
    a.append(R(1, 1, 2, 2), "one");
    PositionList b = a;
    EXPECT_TRUE(b.sameAs(a));
    b.rename(0, "changed");
    b.update(0, R(5, 5, 6, 6));
    EXPECT_EQ(a.at(0).name, "one");
    EXPECT_EQ(a.at(0).rect, R(1, 1, 2, 2));
    EXPECT_FALSE(b.sameAs(a));
    a = b;
    EXPECT_TRUE(a.sameAs(b));
    a.at(0).source = R(0, 0, 1, 1);
    EXPECT_FALSE(a.sameAs(b));
}
