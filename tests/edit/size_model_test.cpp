// The arithmetic behind the Scale and Resize dialogs: the aspect ratio rule, its 8192 cap and
// rounding, the field range and the Resize dialog's percentage slider.
#include <gtest/gtest.h>

#include <cmath>

#include "edit/size_model.h"

TEST(SizeDialogs, RoundingAndLimits) {
    EXPECT_EQ(sizeDialogRound(2.5), 3);
    EXPECT_EQ(sizeDialogRound(2.49), 2);
    EXPECT_EQ(sizeDialogRound(0.49), 1);  // 0 becomes 1
    EXPECT_EQ(sizeDialogRound(8192.4), 8192);
    EXPECT_EQ(sizeDialogRound(8192.5), 8192);
    EXPECT_EQ(sizeDialogRound(1e12), 8192);
    EXPECT_EQ(sizeDialogRound(-3.0), 8192);  // negative values become the cap as well
    EXPECT_EQ(sizeDialogRound(HUGE_VAL), 8192);
    EXPECT_EQ(sizeDialogRound(std::nan("")), 8192);
    EXPECT_TRUE(sizeFieldValid(1));
    EXPECT_TRUE(sizeFieldValid(65535));
    EXPECT_FALSE(sizeFieldValid(0));
    EXPECT_FALSE(sizeFieldValid(65536));
    EXPECT_EQ(pictureSizeRefusal(16384, 16384), "");
    EXPECT_EQ(pictureSizeRefusal(32768, 2), "");
    EXPECT_EQ(pictureSizeRefusal(32769, 1),
              "A picture of 32769 x 1 is over the limit of 32768 pixels a side.");
}

TEST(SizeDialogs, AspectRatioFollowsTheEditedField) {
    SizeDialogModel m(200, 100, false);
    EXPECT_DOUBLE_EQ(m.ratio(), 2.0);
    m.editWidth(150);
    EXPECT_EQ(m.height(), 100);  // rule off: the other field stays
    // Ticking the box applies the rule for the field edited last.
    m.setPreserveAspect(true);
    EXPECT_EQ(m.height(), 75);
    m.editHeight(33);
    EXPECT_EQ(m.width(), 66);
    m.editWidth(101);
    EXPECT_EQ(m.height(), 51);  // 50.5 rounds up
    // The ratio stays the one of the opening size.
    m.editHeight(5000);
    EXPECT_EQ(m.width(), 8192);
    EXPECT_DOUBLE_EQ(m.ratio(), 2.0);
    m.editWidth(1);
    EXPECT_EQ(m.height(), 1);  // 0.5 rounds to 1
    EXPECT_TRUE(m.valid());
    m.editWidth(0);
    EXPECT_EQ(m.height(), 1);  // computed 0 becomes 1
    EXPECT_FALSE(m.valid());   // but the typed 0 is refused on OK

    // Nothing edited yet: ticking changes nothing.
    SizeDialogModel n(3, 7, false);
    n.setPreserveAspect(true);
    EXPECT_EQ(n.width(), 3);
    EXPECT_EQ(n.height(), 7);
    n.editWidth(10);
    EXPECT_EQ(n.height(), 23);  // 10 / (3/7) = 23.33
    // A frame of height 0 gives an endless ratio, capped instead of overflowing.
    SizeDialogModel z(5, 0, true);
    z.editWidth(4);
    EXPECT_EQ(z.height(), 1);
    z.editHeight(4);
    EXPECT_EQ(z.width(), 8192);
}

TEST(SizeDialogs, PercentSliderUsesTheOpeningSize) {
    SizeDialogModel m(99, 50, true);
    m.editWidth(10);
    m.setPercent(25);
    EXPECT_EQ(m.width(), 24);  // 25 x 99 / 100, integer division
    EXPECT_EQ(m.height(), 12);
    m.setPercent(200);
    EXPECT_EQ(m.width(), 198);
    EXPECT_EQ(m.height(), 100);
    // Both boxes are off at program start.
    const ImageDialogFlags flags;
    EXPECT_FALSE(flags.preserveAspect);
    EXPECT_FALSE(flags.centreImage);
}
