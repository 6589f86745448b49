#include <gtest/gtest.h>

#include "document/document.h"
#include "model/export_settings.h"
#include "model/settings.h"
#include "tests/model/test_files.h"
#include "tests/scripted_prompts.h"
#include "texlib/read.h"

namespace {

struct ExportPrompts : ScriptedPrompts {
    bool cancelExport = false;
    int format = -1;
    int header = -1;
    int save = 0;
    bool exportTextureOptions(ExportTextureSettings& s) override {
        if (format >= 0) s.format = format;
        if (header >= 0) s.header = header;
        s.save = save;
        return !cancelExport;
    }
};

}  // namespace

TEST(DocumentExport, WritesTheCurrentFrameAndLeavesTheDocumentAlone) {
    const std::string dir = freshDir("docexport");
    writeSolidTga(dir + "/tex.tga", 8, 4, 0xFF00FF00u);
    ExportPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/tex.tga", prompts));
    const std::string title = doc.title();
    MemorySettingsStore store;
    EXPECT_TRUE(doc.isEnabled(CMD_EXPORT));

    prompts.saveFileAnswers.push_back({dir + "/out", 1});
    ASSERT_EQ(doc.exportTexture(prompts, store), 0);
    EXPECT_EQ(prompts.lastSaveTitle, "Export 3df MipMap");
    EXPECT_EQ(prompts.lastSaveIndex, 1);  // 3DF output preselects the first entry
    EXPECT_EQ(prompts.statusTexts.back(), "Texture export OK");
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.title(), title);
    TxMip back;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(back, dir + "/out.3df", TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_3DF);
    EXPECT_EQ(back.width, 8);
    // The default format is i8: pure green becomes its luminance, 0.59 x 255 rounded.
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(back.data[0]), 0xFF969696u);
    // Not saved unless the dialog's "Save settings" box was ticked.
    EXPECT_FALSE(store.contains("ExportTexture", "Format"));
    prompts.save = 1;
    prompts.format = 0;
    prompts.saveFileAnswers.push_back({dir + "/second.3df", 1});
    ASSERT_EQ(doc.exportTexture(prompts, store), 0);
    EXPECT_EQ(loadExportTextureSettings(store).format, 0);
    EXPECT_EQ(loadExportTextureSettings(store).save, 1);
}

TEST(DocumentExport, FailuresAndCancel) {
    const std::string dir = freshDir("docexportfail");
    writeSolidTga(dir + "/odd.tga", 3, 5, 0xFF0000FFu);
    ExportPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/odd.tga", prompts));
    MemorySettingsStore store;
    prompts.cancelExport = true;
    EXPECT_EQ(doc.exportTexture(prompts, store), -1);
    EXPECT_EQ(prompts.saveFileDialogs, 0);
    prompts.cancelExport = false;
    EXPECT_EQ(doc.exportTexture(prompts, store), -1);  // no file chosen
    // Sides that are not powers of two without resampling: refused, nothing written.
    prompts.saveFileAnswers.push_back({dir + "/odd.3df", 1});
    EXPECT_NE(doc.exportTexture(prompts, store), 0);
    ASSERT_GE(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[prompts.messages.size() - 2], "Abort: Not power of 2 on a side");
    EXPECT_EQ(prompts.messages.back(), "Export failed");
    EXPECT_FALSE(exists(dir + "/odd.3df"));
    EXPECT_FALSE(doc.isModified());
    // A document without frames.
    CBitmapDoc empty;
    prompts.saveFileAnswers.push_back({dir + "/none.3df", 1});
    EXPECT_NE(empty.exportTexture(prompts, store), 0);
    EXPECT_EQ(prompts.messages.back(), "Export failed");
}

TEST(DocumentExport, ContainersOfferTheirOwnFileTypes) {
    const std::string dir = freshDir("docexportdds");
    writeSolidTga(dir + "/tex.tga", 6, 3, 0xFF00FF00u);
    ExportPrompts prompts;
    CBitmapDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(dir + "/tex.tga", prompts));
    MemorySettingsStore store;
    // DDS takes sides that are not powers of two; the extension comes from the output kind.
    prompts.header = 4;
    prompts.format = 12;  // argb8888
    prompts.saveFileAnswers.push_back({dir + "/out", 2});
    ASSERT_EQ(doc.exportTexture(prompts, store), 0);
    EXPECT_EQ(prompts.lastSaveFilter,
              "DirectDraw Surface (*.dds)|*.dds|KTX 2.0 texture (*.ktx2)|*.ktx2|All files "
              "(*.*)|*.*||");
    EXPECT_EQ(prompts.lastSaveIndex, 2);
    ASSERT_TRUE(exists(dir + "/out.ktx2"));
    // A format the container cannot hold: the reason, then "Export failed", nothing written.
    prompts.header = 3;
    prompts.format = 4;  // yiq
    prompts.saveFileAnswers.push_back({dir + "/yiq.dds", 1});
    EXPECT_EQ(doc.exportTexture(prompts, store), TX_EXPORT_BAD_FORMAT);
    ASSERT_GE(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[prompts.messages.size() - 2].rfind("DDS files cannot hold yiq", 0),
              0u);
    EXPECT_EQ(prompts.messages.back(), "Export failed");
    EXPECT_FALSE(exists(dir + "/yiq.dds"));
}
