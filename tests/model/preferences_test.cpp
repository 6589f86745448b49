#include <gtest/gtest.h>

#include "model/preferences.h"
#include "model/settings.h"

TEST(Preferences, DefaultsClampingAndSavedNames) {
    MemorySettingsStore empty;
    Preferences p;
    p.load(empty);
    EXPECT_EQ(p.frameWidth, 32);
    EXPECT_EQ(p.frameHeight, 32);
    EXPECT_EQ(p.isoFrameWidth, 64);
    EXPECT_EQ(p.isoFrameHeight, 32);
    EXPECT_TRUE(p.addOnPaste);
    EXPECT_FALSE(p.addOnCopy);
    EXPECT_EQ(p.compressTga, 1);
    EXPECT_EQ(p.lastNewWidth, 512);
    EXPECT_FALSE(p.chequerBoard);
    EXPECT_EQ(p.undoBudgetBytes(), size_t(512) << 20);
    EXPECT_TRUE(p.timedPlay);

    // Garbage, zero, negative and huge values come back inside their ranges.
    MemorySettingsStore bad;
    bad.setInt("Frame", "width", 0);
    bad.setInt("Frame", "height", 100000);
    bad.setString("Iso-Frame", "width", "garbage");
    bad.setInt("Iso-Frame", "height", -7);
    bad.setInt("Settings", "CompressTGA", 3);
    bad.setInt("Settings", "StartMode", 42);
    bad.setInt("Settings", "last_new_sizex", -20);
    bad.setInt("Settings", "last_new_sizey", 70000);
    bad.setInt("Settings", "Undo memory", -5);
    Preferences::saveTimedPlay(bad, false);
    p.load(bad);
    EXPECT_EQ(p.undoMemoryMiB, 0);
    EXPECT_FALSE(p.timedPlay);
    EXPECT_EQ(p.frameWidth, 8);
    EXPECT_EQ(p.frameHeight, 1024);
    EXPECT_EQ(p.isoFrameWidth, 64);
    EXPECT_EQ(p.isoFrameHeight, 8);
    EXPECT_EQ(p.compressTga, 1);
    EXPECT_EQ(p.startMode, 1);
    EXPECT_EQ(p.lastNewWidth, 1);
    EXPECT_EQ(p.lastNewHeight, 65535);
    bad.setInt("Settings", "CompressTGA", -1);
    p.load(bad);
    EXPECT_EQ(p.compressTga, 1);

    // Save writes the dialog's values under their names; load reads them back.
    Preferences q;
    q.frameWidth = 48;
    q.isoFrameHeight = 40;
    q.addOnCopy = true;
    q.compressTga = 2;
    q.saveDir = "/tmp/out";
    q.workDirs[5] = "/tmp/w6";
    q.palFile = "/tmp/game.pal";
    q.chequerBoard = true;
    q.undoMemoryMiB = 64;
    MemorySettingsStore store;
    q.save(store);
    Preferences::setSaveFlag(store, true);
    EXPECT_EQ(store.getInt("Frame", "width", 0), 48);
    EXPECT_EQ(store.getInt("Iso-Frame", "height", 0), 40);
    EXPECT_EQ(store.getInt("Settings", "add on copy", 0), 1);
    EXPECT_EQ(store.getInt("Settings", "CompressTGA", 0), 2);
    EXPECT_EQ(store.getString("Settings", "SaveDir", ""), "/tmp/out");
    EXPECT_EQ(store.getString("Settings", "WorkDir6", ""), "/tmp/w6");
    EXPECT_EQ(store.getString("Settings", "palfile", ""), "/tmp/game.pal");
    EXPECT_EQ(store.getInt("Settings", "bSave", 0), 1);
    // The last new size is the New command's, written at exit only.
    EXPECT_FALSE(store.contains("Settings", "last_new_sizex"));
    p.load(store);
    EXPECT_EQ(p.frameWidth, 48);
    EXPECT_EQ(p.workDirs[5], "/tmp/w6");
    EXPECT_TRUE(p.chequerBoard);
    EXPECT_EQ(p.undoMemoryMiB, 64);
    EXPECT_TRUE(Preferences::saveFlag(store));
}

TEST(Preferences, DirectoryBoxRules) {
    const std::string recent[6] = {"/a", "", "/b", "/c", "", ""};
    DirectoryBox box(recent, "/b");
    ASSERT_EQ(box.entries(), (std::vector<std::string>{"/a", "/b", "/c"}));
    EXPECT_EQ(box.selected(), 1);

    // Choosing moves an entry to the top.
    box.choose(2);
    EXPECT_EQ(box.entries(), (std::vector<std::string>{"/c", "/a", "/b"}));
    EXPECT_EQ(box.current(), "/c");

    // A missing folder typed with a trailing backslash is named without it; nothing changes.
    auto none = [](const std::string&) { return false; };
    auto all = [](const std::string&) { return true; };
    EXPECT_EQ(box.commitText("/nowhere\\", none), "Cannot access directory /nowhere");
    EXPECT_EQ(box.current(), "/c");
    EXPECT_EQ(box.entries().size(), 3u);
    // An existing one is inserted where the last chosen entry stands and becomes current.
    EXPECT_EQ(box.commitText("/new/", all), "");
    EXPECT_EQ(box.entries(), (std::vector<std::string>{"/new", "/c", "/a", "/b"}));
    EXPECT_EQ(box.current(), "/new");
    // Empty clears the folder.
    EXPECT_EQ(box.commitText("", none), "");
    EXPECT_EQ(box.current(), "");
    // Browsing puts the folder on top; OK keeps the first six.
    for (const char* d : {"/1", "/2", "/3"}) box.browsed(d);
    std::string out[6];
    std::string current = "old";
    box.store(out, current);
    EXPECT_EQ(current, "/3");
    EXPECT_EQ(out[0], "/3");
    EXPECT_EQ(out[3], "/new");
    EXPECT_EQ(out[5], "/a");  // "/b", the seventh, is dropped

    // An empty box leaves the remembered list as it was.
    const std::string none6[6] = {};
    DirectoryBox emptyBox(none6, "");
    std::string kept[6] = {"/keep"};
    emptyBox.store(kept, current);
    EXPECT_EQ(kept[0], "/keep");
}
