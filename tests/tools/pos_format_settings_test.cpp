#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "model/settings.h"
#include "tools/codegen/pos_format_settings.h"

TEST(PosFormatSettings, DefaultsWhenNothingIsStored) {
    MemorySettingsStore store;
    PosFormatSettings s;
    s.sort = 2;
    s.presets.push_back({"junk", "x"});
    s.load(store);
    EXPECT_TRUE(s.save && s.block && s.comment && s.date && s.file && s.cppStyle);
    EXPECT_EQ(s.sort, 0);
    EXPECT_EQ(s.current, 0);
    ASSERT_EQ(s.presets.size(), 1u);
    EXPECT_EQ(s.presets[0].name, "Standard");
    EXPECT_EQ(s.presets[0].format, kStandardFormat);
    EXPECT_EQ(s.currentPreset().format, kStandardFormat);
}

TEST(PosFormatSettings, StoreWritesTheClassicKeys) {
    PosFormatSettings s;
    s.block = false;
    s.date = false;
    s.sort = 2;
    s.presets.push_back({"Pairs", "\"%d,%d\",x1,y1"});
    s.current = 1;
    MemorySettingsStore store;
    s.store(store);
    const std::map<std::string, std::string> expected = {
        {"PosFormat/bSave", "1"},         {"PosFormat/bBlock", "0"},
        {"PosFormat/bComment", "1"},      {"PosFormat/bDate", "0"},
        {"PosFormat/bFile", "1"},         {"PosFormat/bC++style", "1"},
        {"PosFormat/nSort", "2"},         {"PosFormat/nCur", "1"},
        {"PosFormat/nCnt", "2"},          {"PosFormat/0 string", kStandardFormat},
        {"PosFormat/0 name", "Standard"}, {"PosFormat/1 string", "\"%d,%d\",x1,y1"},
        {"PosFormat/1 name", "Pairs"},
    };
    EXPECT_EQ(store.values(), expected);

    PosFormatSettings back;
    back.load(store);
    EXPECT_FALSE(back.block);
    EXPECT_FALSE(back.date);
    EXPECT_EQ(back.sort, 2);
    EXPECT_EQ(back.current, 1);
    ASSERT_EQ(back.presets.size(), 2u);
    EXPECT_EQ(back.currentPreset().name, "Pairs");
    const CodegenOptions o = back.options();
    EXPECT_EQ(o.sort, 2);
    EXPECT_FALSE(o.block);
    EXPECT_TRUE(o.comment);
}

TEST(PosFormatSettings, SaveOffWritesOnlyTheFlagAndDeletedPresetsVanish) {
    MemorySettingsStore store;
    PosFormatSettings s;
    s.addPreset("one");
    s.addPreset("two");
    s.store(store);
    EXPECT_TRUE(store.contains("PosFormat", "2 name"));
    ASSERT_TRUE(s.deletePreset(2));
    s.store(store);
    EXPECT_FALSE(store.contains("PosFormat", "2 name"));
    EXPECT_FALSE(store.contains("PosFormat", "2 string"));

    s.save = false;
    s.sort = 1;
    s.store(store);
    EXPECT_EQ(store.getInt("PosFormat", "bSave", 1), 0);
    EXPECT_EQ(store.getInt("PosFormat", "nSort", -1), 0);  // unchanged
    EXPECT_EQ(store.getString("PosFormat", "1 name", ""), "one");
}

TEST(PosFormatSettings, LoadingDropsIncompletePresetsAndFixesBadIndices) {
    MemorySettingsStore store;
    store.setInt("PosFormat", "nCnt", 4);
    store.setInt("PosFormat", "nCur", 9);
    store.setInt("PosFormat", "nSort", 5);
    store.setString("PosFormat", "0 name", "Renamed");  // never read back
    store.setString("PosFormat", "0 string", "\"%d\",x1");
    store.setString("PosFormat", "1 name", "no format");
    store.setString("PosFormat", "2 string", "\"%d\",y1");  // no name
    store.setString("PosFormat", "3 name", "ok");
    store.setString("PosFormat", "3 string", "\"%d\",h");
    PosFormatSettings s;
    s.load(store);
    ASSERT_EQ(s.presets.size(), 2u);
    EXPECT_EQ(s.presets[0].name, "Standard");
    EXPECT_EQ(s.presets[0].format, "\"%d\",x1");
    EXPECT_EQ(s.presets[1].name, "ok");
    EXPECT_EQ(s.current, 0);
    EXPECT_EQ(s.sort, 0);
    // A template name that is no built-in falls back to the format string.
    store.setString("PosFormat", "sTemplate", "libgdx");
    s.load(store);
    EXPECT_EQ(s.templateName, "libgdx");
    store.setString("PosFormat", "sTemplate", "gone");
    s.load(store);
    EXPECT_EQ(s.templateName, "");

    // A damaged count does not make loading walk billions of keys.
    store.setInt("PosFormat", "nCnt", 2000000000);
    s.load(store);
    EXPECT_EQ(s.presets.size(), 2u);
}

TEST(PosFormatSettings, PresetOperations) {
    PosFormatSettings s;
    std::string msg;
    EXPECT_FALSE(s.deletePreset(0, &msg));
    EXPECT_EQ(msg, "Cannot delete item 1");
    EXPECT_FALSE(s.addPreset(""));
    EXPECT_TRUE(s.addPreset("Mine"));
    EXPECT_EQ(s.current, 1);
    EXPECT_EQ(s.presets[1].format, kNewPresetFormat);
    EXPECT_TRUE(s.addPreset("Other"));
    msg.clear();
    EXPECT_FALSE(s.deletePreset(0, &msg));
    EXPECT_EQ(msg, "Cannot delete item 1");
    EXPECT_TRUE(s.deletePreset(2));
    EXPECT_EQ(s.current, 1);
    EXPECT_EQ(s.presets.size(), 2u);

    // Renaming: refused when empty or when an entry already begins with the text.
    EXPECT_FALSE(s.renamePreset(1, ""));
    EXPECT_FALSE(s.renamePreset(1, "st"));  // "Standard" begins with it
    EXPECT_FALSE(s.renamePreset(1, "MINE"));
    EXPECT_TRUE(s.renamePreset(1, "Tiles"));
    EXPECT_EQ(s.presets[1].name, "Tiles");
    EXPECT_EQ(s.findPreset("Tiles"), 1);
    EXPECT_EQ(s.findPreset("tiles"), 1);
    EXPECT_EQ(s.findPreset("standard"), 0);
    EXPECT_EQ(s.findPreset("nope"), -1);
}

TEST(PosFormatSettings, PresetsSurviveTheSettingsFile) {
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("tarquil_posfmt_" + std::to_string(::getpid()) + ".conf");
    fs::remove(file);
    PosFormatSettings s;
    s.addPreset("Quoted \"tab\"");
    s.presets[1].format = "\"\"q\"\t%s;#,=\\\r\n\"\r\n,name";
    {
        IniSettingsStore ini(file.string());
        s.store(ini);
        ASSERT_TRUE(ini.flush());
    }
    IniSettingsStore again(file.string());
    PosFormatSettings back;
    back.load(again);
    ASSERT_EQ(back.presets.size(), 2u);
    EXPECT_EQ(back.presets[0].format, kStandardFormat);
    EXPECT_EQ(back.presets[1].format, s.presets[1].format);
    EXPECT_EQ(back.presets[1].name, "Quoted \"tab\"");
    EXPECT_EQ(back.current, 1);
    fs::remove(file);
}
