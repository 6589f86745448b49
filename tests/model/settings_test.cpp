#include <gtest/gtest.h>

#include <fstream>

#include "model/settings.h"

TEST(Settings, DefaultsSectionsAndRemoval) {
    MemorySettingsStore s;
    EXPECT_EQ(s.getInt("Settings", "CompressTGA", 1), 1);
    EXPECT_EQ(s.getString("Settings", "SaveDir", "none"), "none");
    s.setInt("FontWizard\\Preset1", "size", 12);
    s.setString("FontWizard\\Preset2", "face", "Arial");
    s.setString("FontWizard", "count", "2");
    EXPECT_TRUE(s.contains("FontWizard\\Preset1", "size"));
    s.removeSection("FontWizard\\Preset1");
    EXPECT_FALSE(s.contains("FontWizard\\Preset1", "size"));
    EXPECT_TRUE(s.contains("FontWizard\\Preset2", "face"));
    EXPECT_EQ(s.getInt("FontWizard", "count", 0), 2);
    s.setString("X", "n", "junk");
    EXPECT_EQ(s.getInt("X", "n", 7), 7);  // not a number: the default
    s.setString("X", "hex", "0x1F");
    EXPECT_EQ(s.getInt("X", "hex", 0), 31);
}

TEST(Settings, IniFileReadsWhatQSettingsWrites) {
    const std::string path = std::string(::testing::TempDir()) + "tarquil_settings.conf";
    {
        std::ofstream out(path);
        out << "[A]\nb=\"x=1; y\\\\2\"\nc=\"t\\ta,b\"\n\n[FontWizard]\nPreset1\\name=Big \\\"quoted\\\"\n"
               "\n[Recent%20File%20List]\nFile1=\"/tmp/a b, c.tga\"\nFile2=  padded  \n";
    }
    IniSettingsStore s(path);
    EXPECT_EQ(s.getString("A", "b", ""), "x=1; y\\2");
    EXPECT_EQ(s.getString("A", "c", ""), "t\ta,b");
    EXPECT_EQ(s.getString("FontWizard\\Preset1", "name", ""), "Big \"quoted\"");
    EXPECT_EQ(s.getString("Recent File List", "File1", ""), "/tmp/a b, c.tga");
    EXPECT_EQ(s.getString("Recent File List", "File2", ""), "padded");
    s.setString("New Section", "key with space", " lead and trail ");
    ASSERT_TRUE(s.flush());
    IniSettingsStore again(path);
    EXPECT_EQ(again.getString("New Section", "key with space", ""), " lead and trail ");
    EXPECT_EQ(again.getString("A", "c", ""), "t\ta,b");
    // A folder that cannot be created reports failure instead of pretending.
    IniSettingsStore bad("/proc/tarquil/none.conf");
    bad.setInt("S", "v", 1);
    EXPECT_FALSE(bad.flush());
}
