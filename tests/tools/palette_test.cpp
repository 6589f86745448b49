#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "model/app_palette.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tools/palette/palette_load.h"

namespace {

std::string writeFile(const std::string& name, const std::string& bytes) {
    const std::string path = std::string(::testing::TempDir()) + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string bitmapBytes(int bits) {
    std::string b = "BM";
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b += char((v >> (8 * i)) & 0xFF);
    };
    auto le16 = [&](int v) {
        b += char(v & 0xFF);
        b += char((v >> 8) & 0xFF);
    };
    le32(0);
    le32(0);
    le32(1078);
    le32(40);
    le32(1);
    le32(1);
    le16(1);
    le16(bits);
    for (int i = 0; i < 6; ++i) le32(0);
    for (int i = 0; i < 256; ++i) b += std::string{char(i), char(0x22), char(0x33), 0};
    return b;
}

}  // namespace

TEST(AppPalette, EntriesAndTheirArgbForm) {
    AppPalette p;
    EXPECT_EQ(p.entry(5), 0u);
    p.setEntry(5, 0x00332211u);  // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(p.entry(5), 0x00332211u);
    EXPECT_EQ(p.argb()[5], 0xFF112233u);
    p.setEntry(6, 0x04FFEEDDu);  // RIFF flags stay in the entry, not in the opaque form
    EXPECT_EQ(p.argb()[6], 0xFFDDEEFFu);
    p.setEntry(256, 1);  // out of range: ignored
    p.setEntry(-1, 1);
    p.clear();
    EXPECT_EQ(p.entry(5), 0u);
    EXPECT_EQ(p.argb()[5], 0xFF000000u);
}

TEST(AppPalette, LumpsReadThroughItsContextTakeItsColours) {
    AppPalette palette;
    palette.setEntry(1, 0x000000FFu);  // red
    palette.setEntry(2, 0x00FF0000u);  // blue
    // LMP: width and height as little-endian words, then the indices.
    std::vector<uint8_t> lump = {3, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0};
    TxReadContext ctx = palette.readContext();
    TxStream s(lump.data(), lump.size());
    TxMip mip;
    ASSERT_TRUE(txMipRead(mip, "x.lmp", s, TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
    EXPECT_EQ(ctx.fileType, TX_TYPE_LMP);
    const auto* px = reinterpret_cast<const uint32_t*>(mip.data[0]);
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[1], 0xFF0000FFu);
    EXPECT_EQ(px[2], 0xFF000000u);
}

TEST(PaletteLoad, MessagesForEveryKindOfFailure) {
    AppPalette palette;
    struct Case {
        std::string name, bytes, message;
    };
    const std::vector<Case> cases = {
        {"bad.pal", "JASC-PAL\n0100\n1\nx\n", "Invalid JASC PAL data"},
        {"nohead.pal", "JASC\n", "Invalid JASC PAL data"},
        {"bad.gpl", "GIMP Palette\nName: a\n#\n1 2\n", "Invalid GIMP PAL data"},
        {"small.pal", std::string("RIFF\x50\0\0\0PAL data", 16), "Invalid RIFF Pal data"},
        {"head.bmp", "XM" + bitmapBytes(8).substr(2), "BMP invalid header"},
        {"deep.bmp", bitmapBytes(24), "BMP wrong bitsize, expected 8bit Pal BMP"},
        {"odd.act", std::string(100, 'a'), "Wrong filesize, invalid palette file"},
        // The ".bmp" test is case-sensitive: this one is judged by its size.
        {"palette.BMP", bitmapBytes(8), "Wrong filesize, invalid palette file"},
    };
    for (const auto& c : cases) {
        ScriptedPrompts prompts;
        readPaletteFile(writeFile(c.name, c.bytes), palette, prompts);
        ASSERT_EQ(prompts.messages.size(), 1u) << c.name;
        EXPECT_EQ(prompts.messages[0], c.message) << c.name;
    }
    // A file that cannot be opened is passed over without a message.
    ScriptedPrompts prompts;
    readPaletteFile(std::string(::testing::TempDir()) + "no/such.pal", palette, prompts);
    readPaletteFile(::testing::TempDir(), palette, prompts);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(PaletteLoad, EntriesBeforeAnErrorStayAndOthersKeepTheirValues) {
    AppPalette palette;
    for (int i = 0; i < 256; ++i) palette.setEntry(i, 0x00123456u);
    ScriptedPrompts prompts;
    readPaletteFile(writeFile("two.pal", "JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n\n"), palette, prompts);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Invalid JASC PAL data"});
    EXPECT_EQ(palette.entry(0), 0x030201u);
    EXPECT_EQ(palette.entry(1), 0x060504u);
    EXPECT_EQ(palette.entry(2), 0x00123456u);

    // A bitmap sets all 256 entries: its colours (red in the low byte) and 0 past them.
    ScriptedPrompts p2;
    readPaletteFile(writeFile("ok.bmp", bitmapBytes(8)), palette, p2);
    EXPECT_TRUE(p2.messages.empty());
    EXPECT_EQ(palette.entry(7), 0x072233u);

    // A 768-byte file and its 772-byte ACT twin give the same palette.
    std::string raw(768, '\0');
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = char(i % 251);
    const PaletteFileResult a = loadPaletteFile(writeFile("q.lmp", raw), palette);
    AppPalette other;
    const PaletteFileResult b =
        loadPaletteFile(writeFile("q.act", raw + std::string("\x01\0\0\0", 4)), other);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(b.ok());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(palette.entry(i), other.entry(i)) << i;
}

TEST(PaletteLoad, StartupAndTheOptionsDialogLogic) {
    AppPalette palette;
    const std::string path = writeFile("start.gpl", "GIMP Palette\nName: s\n#\n9 8 7\n");
    MemorySettingsStore settings;
    ScriptedPrompts prompts;
    loadStartupPalette(palette, settings, prompts);  // no "palfile": nothing read
    EXPECT_EQ(palette.entry(0), 0u);
    settings.setString("Settings", "palfile", path);
    loadStartupPalette(palette, settings, prompts);
    EXPECT_EQ(palette.entry(0), 0x070809u);

    PaletteOptions dialog(palette, path);
    dialog.open(prompts);
    EXPECT_EQ(dialog.entries()[0], 0x070809u);
    EXPECT_EQ(dialog.choice(), PaletteOptions::GenerateFromImage);

    const std::string missing = std::string(::testing::TempDir()) + "missing.pal";
    EXPECT_FALSE(dialog.loadPalette(missing, prompts, settings));
    const std::string dir = std::string(::testing::TempDir()) + "paldir";
    std::filesystem::create_directories(dir);
    EXPECT_FALSE(dialog.loadPalette(dir, prompts, settings));
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"File " + missing + " not found",
                                                          "Cannot open file " + dir}));
    EXPECT_EQ(dialog.path(), path);
    EXPECT_TRUE(dialog.hasPalette());
    // A malformed file changes nothing, though it begins with good colours.
    prompts.messages.clear();
    const std::string bad = writeFile("bad2.pal", "JASC-PAL\n0100\n2\n1 2 3\nx\n");
    EXPECT_FALSE(dialog.loadPalette(bad, prompts, settings));
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Invalid JASC PAL data"});
    EXPECT_EQ(palette.entry(0), 0x070809u);
    EXPECT_EQ(dialog.entries()[0], 0x070809u);
    EXPECT_EQ(settings.getString("Settings", "palfile", ""), path);
    EXPECT_FALSE(PaletteOptions(palette, "").hasPalette());

    const std::string next = writeFile("next.pal", "JASC-PAL\n0100\n1\n200 100 50\n");
    EXPECT_TRUE(dialog.loadPalette(next, prompts, settings));
    EXPECT_EQ(dialog.path(), next);
    EXPECT_EQ(dialog.entries()[0], 0x3264C8u);
    EXPECT_EQ(palette.entry(0), 0x3264C8u);
    EXPECT_EQ(settings.getString("Settings", "palfile", ""), next);
    dialog.use();
    EXPECT_EQ(dialog.choice(), PaletteOptions::UsePalette);
    dialog.generateFromImage();
    EXPECT_EQ(dialog.choice(), PaletteOptions::GenerateFromImage);
}

TEST(PaletteLoad, SwatchGrid) {
    // Entry 17 lies in row 1, column 1.
    SwatchRect r = paletteSwatchRect(17, 160, 160);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right, 20);
    EXPECT_EQ(r.bottom, 20);
    // Cell sizes 100 / 16 = 6.25 and 50 / 16 = 3.125: edges are truncated, cells tile the area.
    r = paletteSwatchRect(255, 100, 50);
    EXPECT_EQ(r.left, 93);
    EXPECT_EQ(r.top, 46);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 50);
    r = paletteSwatchRect(1, 100, 50);
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.right, 12);
    EXPECT_EQ(r.bottom, 3);
}

// The "palfile" preference is read only when a palette is needed.
TEST(PaletteLoad, StartupPaletteIsReadOnFirstUseOnly) {
    AppPalette palette;
    const std::string path = writeFile("lazy.gpl", "GIMP Palette\n1 2 3\n4 5 6\n");
    MemorySettingsStore settings;
    settings.setString("Settings", "palfile", path);
    std::vector<std::string> warnings;
    loadStartupPaletteOnFirstUse(palette, settings,
                                 [&](const std::string& t) { warnings.push_back(t); });
    EXPECT_TRUE(palette.loadPending());
    AppPalette other;
    loadStartupPaletteOnFirstUse(other, settings, nullptr);
    // Changing the file now changes what is read: nothing was read yet.
    writeFile("lazy.gpl", "GIMP Palette\n7 8 9\n");
    // An 8-bit lump read with the current palette is what needs it.
    std::string lump;
    for (uint32_t v : {2u, 1u}) lump += std::string(reinterpret_cast<const char*>(&v), 4);
    lump += std::string("\0\0", 2);
    const std::string lumpPath = writeFile("lazy.lmp", lump);
    TxMip mip;
    TxReadContext ctx = palette.readContext();
    ASSERT_TRUE(txMipReadFile(mip, lumpPath, TX_PREFER_ARGB8888, ctx)) << ctx.lastError;
    EXPECT_FALSE(palette.loadPending());
    EXPECT_TRUE(other.loadPending());  // a read with one palette loads that one only
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(mip.data[0])[0], 0xFF070809u);
    EXPECT_EQ(palette.entry(0), 0x090807u);
    EXPECT_TRUE(warnings.empty());

    // A damaged file warns once, when it is read.
    writeFile("bad.gpl", "GIMP Palette\nnot a colour\n");
    settings.setString("Settings", "palfile", writeFile("bad.gpl", "GIMP Palette\nnot a colour\n"));
    loadStartupPaletteOnFirstUse(palette, settings,
                                 [&](const std::string& t) { warnings.push_back(t); });
    EXPECT_TRUE(warnings.empty());
    (void)palette.entries();
    (void)palette.entries();
    EXPECT_EQ(warnings, std::vector<std::string>{"Invalid GIMP PAL data"});

    // A FIFO as the palette file neither blocks nor warns: it is no palette file.
    const std::string fifo = std::string(::testing::TempDir()) + "palfifo.pal";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    settings.setString("Settings", "palfile", fifo);
    loadStartupPaletteOnFirstUse(palette, settings,
                                 [&](const std::string& t) { warnings.push_back(t); });
    (void)palette.entry(0);
    EXPECT_EQ(warnings.size(), 1u);
    PaletteFileResult res = loadPaletteFile(fifo, palette);
    EXPECT_FALSE(res.opened);
    EXPECT_EQ(res.error, "is not a regular file");
    // The dialog's Load Palette neither.
    PaletteOptions dialog(palette, "");
    ScriptedPrompts prompts;
    EXPECT_FALSE(dialog.loadPalette(fifo, prompts, settings));
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot open file " + fifo});
    // A copy of a palette whose load is pending has the loaded colours.
    settings.setString("Settings", "palfile", writeFile("copy.gpl", "GIMP Palette\n1 2 3\n"));
    loadStartupPaletteOnFirstUse(palette, settings, nullptr);
    const AppPalette copy = palette;
    EXPECT_EQ(copy.entry(0), 0x030201u);
    EXPECT_FALSE(palette.loadPending());
}
