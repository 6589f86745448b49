#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include <sys/stat.h>

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

// No settings content crashes or hangs anything; bad entries read as missing.
TEST(Settings, MalformedEscapesReadAsMissing) {
    const std::string path = std::string(::testing::TempDir()) + "tarquil_settings_bad.conf";
    {
        std::ofstream out(path);
        out << "[Settings]\nCompressTGA=2\nbad%ZZkey=1\nshort%4=2\nsign%-1=3\nspace% 1=4\n"
               "uni%U00E9=5\nbadUni%U12=6\n%=7\n"
               "[Broken%G1Group]\nx=8\n[After]\ny=9\nhuge=99999999999999999999\n"
               "neg=-2147483648\nover=2147483648\n[%]\nz=10\n";
    }
    IniSettingsStore s(path);
    EXPECT_EQ(s.getInt("Settings", "CompressTGA", 0), 2);
    EXPECT_EQ(s.getString("Settings", "uni\xC3\xA9", ""), "5");
    EXPECT_EQ(s.getInt("After", "y", 0), 9);
    EXPECT_EQ(s.getInt("After", "huge", 42), 42);  // no int holds it
    EXPECT_EQ(s.getInt("After", "neg", 0), -2147483647 - 1);
    EXPECT_EQ(s.getInt("After", "over", 42), 42);
    // Only the good entries are there.
    for (const auto& [k, v] : s.values())
        EXPECT_TRUE(k == "Settings/CompressTGA" || k == "Settings/uni\xC3\xA9" || k == "After/y" ||
                    k == "After/huge" || k == "After/neg" || k == "After/over")
            << k << "=" << v;
}

TEST(Settings, AnyBytesNeverThrow) {
    const std::string path = std::string(::testing::TempDir()) + "tarquil_settings_fuzz.conf";
    uint32_t x = 99;
    const std::string alphabet = "%[]=\\\"\n\r#;, aZ09U-\t";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = int(x % 200);
        for (int k = 0; k < n; ++k) {
            x = x * 1664525u + 1013904223u;
            text += (x >> 28) < 12 ? alphabet[(x >> 16) % alphabet.size()] : char(x >> 8);
        }
        { std::ofstream(path, std::ios::binary) << text; }
        EXPECT_NO_THROW({
            IniSettingsStore s(path);
            (void)s.getInt("Settings", "CompressTGA", 1);
        }) << text;
    }
}

TEST(Settings, FifoOrDirectoryAsTheFileReadsAsEmpty) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_settings_special";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/folder.conf");
    const std::string fifo = dir + "/fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read =
        std::async(std::launch::async, [&] { return IniSettingsStore(fifo).values().size(); });
    ASSERT_EQ(read.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "a FIFO settings file blocked";
    EXPECT_EQ(read.get(), 0u);
    EXPECT_TRUE(IniSettingsStore(dir + "/folder.conf").values().empty());
}
