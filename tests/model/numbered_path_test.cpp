#include <gtest/gtest.h>

#include "model/numbered_path.h"

TEST(NumberedPath, SplitsAndRecognisesThreeToSixDigits) {
    NumberedPath p("/data/anim/walk001.tga");
    EXPECT_EQ(p.directory, "/data/anim/");
    EXPECT_EQ(p.name, "walk001");
    EXPECT_EQ(p.extension, ".tga");
    EXPECT_EQ(p.number, 1);
    EXPECT_EQ(p.digitCount, 3);
    EXPECT_EQ(p.fullPath(), "/data/anim/walk001.tga");
    EXPECT_EQ(p.nameWithExtension(), "walk001.tga");
    EXPECT_FALSE(NumberedPath("walk01.tga").hasNumber());
    EXPECT_EQ(NumberedPath("walk01.tga").number, -1);
    EXPECT_FALSE(NumberedPath("walk1234567.tga").hasNumber());
    NumberedPath six("walk000123.tga");
    EXPECT_EQ(six.number, 123);
    EXPECT_EQ(six.digitCount, 6);
    NumberedPath noext("frames/img0042");
    EXPECT_EQ(noext.extension, "");
    EXPECT_EQ(noext.number, 42);
    EXPECT_EQ(noext.digitCount, 4);
}

TEST(NumberedPath, SetNumberWidthsMarksAndWrapping) {
    NumberedPath a("walk1.tga");
    a.setNumber(5, 3);
    EXPECT_EQ(a.nameWithExtension(), "walk1_005.tga");
    NumberedPath b("walk.tga");
    b.setNumber(5, 3);
    EXPECT_EQ(b.name, "walk005");
    b.setNumber(1000, 3);
    EXPECT_EQ(b.name, "walk000");
    b.setNumber(-1, 3);
    EXPECT_EQ(b.name, "walk999");
    // Wrapping is a true modulo, not a single subtraction.
    b.setNumber(2500, 3);
    EXPECT_EQ(b.name, "walk500");
    b.setNumber(-1001, 3);
    EXPECT_EQ(b.name, "walk999");
    // Width 0 keeps the present width.
    NumberedPath c("f0099.png");
    c.setNumber(100);
    EXPECT_EQ(c.name, "f0100");
    EXPECT_EQ(c.number, 100);
    NumberedPath d("x12.png");
    d.setNumber(7);
    EXPECT_EQ(d.name, "x12_007");
}
