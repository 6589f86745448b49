// The export settings: registry values with their defaults and the options they stand for.
#include <gtest/gtest.h>

#include "model/export_settings.h"
#include "model/settings.h"
#include "texlib/quantize.h"

TEST(ExportSettings, DefaultsAndRoundTrip) {
    MemorySettingsStore store;
    ExportTextureSettings s = loadExportTextureSettings(store);
    EXPECT_EQ(s.save, 0);
    EXPECT_EQ(s.header, 0);
    EXPECT_EQ(s.format, 0);
    EXPECT_EQ(s.mipmapSize, 32);
    EXPECT_EQ(s.width, 256);
    EXPECT_EQ(s.height, 256);
    EXPECT_EQ(s.commentText, "insert your comment here");
    const TxExportOptions o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.output, TX_OUTPUT_3DF);
    EXPECT_EQ(o.format, TX_FMT_I8);
    EXPECT_EQ(o.resample, 0);
    EXPECT_EQ(o.mipmap, 0);
    EXPECT_EQ(o.dither, TX_DITHER_NONE);
    EXPECT_EQ(o.ncc, TX_NCC_STATISTIC);
    EXPECT_EQ(o.swap, 0);
    EXPECT_EQ(o.comment, 0);

    s.save = 1;
    s.swap = 1;
    s.header = 2;
    s.format = 9;
    s.mipmap = 11;
    s.resample = 5;
    s.dither = 2;
    s.ncc = 1;
    s.mipmapSize = 8;
    s.width = 64;
    s.height = 30;
    s.commentText = "line one\r\nline two";
    saveExportTextureSettings(store, s);
    EXPECT_EQ(store.getInt("ExportTexture", "Mipmap", -1), 11);
    EXPECT_EQ(store.getInt("ExportTexture", "MMsz", -1), 8);
    EXPECT_EQ(store.getString("ExportTexture", "Comment", ""), "line one\r\nline two");
    const ExportTextureSettings back = loadExportTextureSettings(store);
    EXPECT_EQ(back.swap, 1);
    EXPECT_EQ(back.header, 2);
    EXPECT_EQ(back.format, 9);
    EXPECT_EQ(back.resample, 5);
    EXPECT_EQ(back.dither, 2);
    EXPECT_EQ(back.ncc, 1);
    EXPECT_EQ(back.height, 30);
    EXPECT_EQ(back.commentText, s.commentText);
}

TEST(ExportSettings, DerivedOptions) {
    ExportTextureSettings s;
    // Radio order: "disabled", "error diffusion", "ordered 4x4".
    s.dither = 1;
    EXPECT_EQ(exportOptionsFromSettings(s).dither, TX_DITHER_ERR_DIFFUSION);
    s.dither = 2;
    EXPECT_EQ(exportOptionsFromSettings(s).dither, TX_DITHER_ORDERED);
    s.ncc = 1;
    EXPECT_EQ(exportOptionsFromSettings(s).ncc, TX_NCC_HEURISTIC);

    // Format combo and the code for indices it does not have.
    const int codes[13] = {3, 2, 5, 4, 1, 0, 10, 8, 11, 9, 12, 13, 16};
    for (int k = 0; k < 13; ++k) {
        s.format = k;
        EXPECT_EQ(exportOptionsFromSettings(s).format, codes[k]) << k;
        EXPECT_EQ(exportFormatIndex(codes[k]), k);
    }
    s.format = 13;
    EXPECT_EQ(exportOptionsFromSettings(s).format, TX_FMT_RGB565);
    EXPECT_EQ(exportFormatIndex(TX_FMT_AP88), -1);

    // Swap only for the 16-bit formats, always for TEX.
    s.swap = 1;
    s.format = 5;
    EXPECT_EQ(exportOptionsFromSettings(s).swap, 0);
    s.format = 11;
    EXPECT_EQ(exportOptionsFromSettings(s).swap, 1);
    s.swap = 0;
    s.header = 1;
    EXPECT_EQ(exportOptionsFromSettings(s).output, TX_OUTPUT_TEX);
    EXPECT_EQ(exportOptionsFromSettings(s).swap, 1);
    s.header = 2;
    EXPECT_EQ(exportOptionsFromSettings(s).output, TX_OUTPUT_RAW);

    // The comment goes only into 3DF files of format argb8888.
    s.comment = 1;
    s.header = 0;
    s.format = 6;
    EXPECT_EQ(exportOptionsFromSettings(s).comment, 0);
    s.format = 12;
    EXPECT_EQ(exportOptionsFromSettings(s).comment, 1);
    EXPECT_EQ(exportOptionsFromSettings(s).commentText, "insert your comment here");

    // Mipmap combo.
    s.mipmap = 1;
    TxExportOptions o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.mipmap, 1);
    EXPECT_EQ(o.allLevels, 1);
    EXPECT_EQ(o.levelLimit, -1);
    s.mipmap = 4;
    EXPECT_EQ(exportOptionsFromSettings(s).levelLimit, 3);
    s.mipmap = 11;
    s.mipmapSize = 16;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.allLevels, 0);
    EXPECT_EQ(o.levelLimit, 16);
    s.mipmapSize = 0;  // would never end: taken as 1
    EXPECT_EQ(exportOptionsFromSettings(s).levelLimit, 1);

    // Resample combo.
    s.resample = 1;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.resample, 1);
    EXPECT_EQ(o.automatic, 1);
    EXPECT_EQ(o.width, -1);
    s.resample = 2;
    s.width = 128;
    s.height = 32;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.automatic, 0);
    EXPECT_EQ(o.width, 128);
    EXPECT_EQ(o.height, 32);
    s.resample = 3;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.automatic, 1);
    EXPECT_EQ(o.width, 8);
    EXPECT_EQ(o.height, 1);
    s.resample = 9;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.width, 1);
    EXPECT_EQ(o.height, 8);
}

TEST(ExportSettings, ContainerChoices) {
    MemorySettingsStore store;
    ExportTextureSettings s;
    s.header = 3;
    s.format = 8;  // argb1555: a 16-bit format whose swap box does not apply to containers
    s.swap = 1;
    s.srgb = 1;
    s.premultiply = 1;
    s.alphaBleed = 1;
    s.mipFilter = 2;
    saveExportTextureSettings(store, s);
    EXPECT_EQ(store.getInt("ExportTexture", "bSrgb", 0), 1);
    EXPECT_EQ(store.getInt("ExportTexture", "MipFilter", 0), 2);
    const ExportTextureSettings back = loadExportTextureSettings(store);
    EXPECT_EQ(back.srgb, 1);
    EXPECT_EQ(back.premultiply, 1);
    EXPECT_EQ(back.alphaBleed, 1);
    EXPECT_EQ(back.mipFilter, 2);
    TxExportOptions o = exportOptionsFromSettings(back);
    EXPECT_EQ(o.output, TX_OUTPUT_DDS);
    EXPECT_EQ(o.swap, 0);
    EXPECT_EQ(o.srgb, 1);
    EXPECT_EQ(o.premultiply, 1);
    EXPECT_EQ(o.alphaBleed, 1);
    EXPECT_EQ(o.mipFilter, 2);
    s.header = 4;
    EXPECT_EQ(exportOptionsFromSettings(s).output, TX_OUTPUT_KTX2);
    // 3DF cannot mark sRGB, and an unknown filter falls back to the box.
    s.header = 0;
    s.mipFilter = 7;
    o = exportOptionsFromSettings(s);
    EXPECT_EQ(o.srgb, 0);
    EXPECT_EQ(o.mipFilter, 0);
    EXPECT_EQ(o.premultiply, 1);
}
