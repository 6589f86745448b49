#include <gtest/gtest.h>

#include "model/position_files.h"
#include "model/sequence_io.h"
#include "tests/model/test_files.h"
#include "tests/scripted_prompts.h"
#include "texlib/read.h"

namespace {

// walk001..walk010 with pixel value = frame number.
std::string makeSeries(const std::string& dir, int first, int last) {
    for (int n = first; n <= last; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/walk%03d.tga", n);
        writeSolidTga(dir + name, 2, 2, 0xFF000000u | uint32_t(n));
    }
    return dir;
}

uint32_t firstPixel(const FrameSequence& s, int i) { return s.frameAt(i)->pixels()[0] & 0xFFFFFF; }

struct Steps : Progress {
    int total = 0, steps = 0;
    void begin(int t) override { total = t; }
    void step() override { ++steps; }
};

}  // namespace

TEST(SequenceLoad, NumberedSeriesModesAndSteps) {
    const std::string dir = makeSeries(freshDir("series"), 1, 10);
    ScriptedPrompts prompts;
    FrameSequence s;
    ASSERT_EQ(loadSequence(s, dir + "/walk001.tga", prompts), SEQ_OK);
    EXPECT_EQ(prompts.loadDialogs, 1);
    ASSERT_EQ(s.count(), 10);
    EXPECT_EQ(firstPixel(s, 9), 10u);

    prompts.loadOptions = SequenceLoadOptions{1, SEQ_LOAD_ALL, 3};
    ASSERT_EQ(loadSequence(s, dir + "/walk001.tga", prompts), SEQ_OK);
    ASSERT_EQ(s.count(), 4);
    EXPECT_EQ(firstPixel(s, 1), 4u);
    EXPECT_EQ(firstPixel(s, 3), 10u);
    EXPECT_EQ(s.step(), 3);

    prompts.loadOptions = SequenceLoadOptions{2, SEQ_LOAD_RANGE, 1};
    ASSERT_EQ(loadSequence(s, dir + "/walk005.tga", prompts), SEQ_OK);
    ASSERT_EQ(s.count(), 2);
    EXPECT_EQ(firstPixel(s, 0), 5u);
    EXPECT_EQ(firstPixel(s, 1), 6u);

    // Cancel loads one frame; zero values count as 1.
    prompts.cancelLoad = true;
    ASSERT_EQ(loadSequence(s, dir + "/walk003.tga", prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 1);
    prompts.cancelLoad = false;
    prompts.loadOptions = SequenceLoadOptions{0, SEQ_LOAD_ALL, 0};
    ASSERT_EQ(loadSequence(s, dir + "/walk008.tga", prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(s.step(), 1);

    // The first file missing: nothing loaded.
    EXPECT_EQ(loadSequence(s, dir + "/walk050.tga", prompts), SEQ_SERIES_UNREADABLE);
    EXPECT_EQ(s.count(), 0);
}

TEST(SequenceLoad, WrappingSeriesEnds) {
    // 998, 999, 000, 001 all exist: the series wraps and stops when it comes back round.
    const std::string dir = freshDir("wrap");
    for (int n : {998, 999, 0, 1}) {
        char name[32];
        std::snprintf(name, sizeof name, "/w%03d.tga", n);
        writeSolidTga(dir + name, 1, 1, 0xFF000000u | uint32_t(n));
    }
    ScriptedPrompts prompts;
    FrameSequence s;
    ASSERT_EQ(loadSequence(s, dir + "/w998.tga", prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 4);
    // Step 500 visits 000, 500, then 000 again: with both files present the load must stop after
    // one round instead of cycling for ever.
    const std::string ring = freshDir("ring");
    writeSolidTga(ring + "/r000.tga", 1, 1, 0xFF000000u);
    writeSolidTga(ring + "/r500.tga", 1, 1, 0xFF000001u);
    prompts.loadOptions = SequenceLoadOptions{1, SEQ_LOAD_ALL, 100};
    prompts.loadOptions->every = 100;
    ASSERT_EQ(loadSequence(s, ring + "/r000.tga", prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 1);  // r100 is missing
    struct Step500 : ScriptedPrompts {
        std::optional<SequenceLoadOptions>
        sequenceLoadOptions(const SequenceLoadOptions&) override {
            return SequenceLoadOptions{1, SEQ_LOAD_ALL, 500};
        }
    } p500;
    // "Every Nth Frame" is capped at 100 by the dialog's range, so a step of 500 becomes 100.
    ASSERT_EQ(loadSequence(s, ring + "/r000.tga", p500), SEQ_OK);
    EXPECT_EQ(s.count(), 1);
    // A wider ring that the capped step can close: 10 files 000, 100, ..., 900 all present.
    for (int n = 100; n < 1000; n += 100) {
        char name[32];
        std::snprintf(name, sizeof name, "/r%03d.tga", n);
        writeSolidTga(ring + name, 1, 1, 0xFF000000u | uint32_t(n / 100));
    }
    ASSERT_EQ(loadSequence(s, ring + "/r300.tga", prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 10);  // 300 .. 900, 000 .. 200, then back at 300
    EXPECT_EQ(s.frameAt(9)->pixels()[0], 0xFF000002u);
}

TEST(SequenceLoad, SingleAndMultiFrameFiles) {
    const std::string dir = freshDir("single");
    writeSolidTga(dir + "/hero.tga", 3, 3, 0xFF123456u);
    ScriptedPrompts prompts;
    FrameSequence s;
    ASSERT_EQ(loadSequence(s, dir + "/hero.tga", prompts), SEQ_OK);
    EXPECT_EQ(prompts.loadDialogs, 0);
    EXPECT_EQ(s.count(), 1);
    SequenceLoadReport report;
    EXPECT_EQ(loadSequence(s, dir + "/nothing.tga", prompts, nullptr, &report),
              SEQ_FILE_UNREADABLE);
    EXPECT_EQ(s.count(), 0);
    EXPECT_FALSE(report.error.empty());

    // An animated GIMP brush of 8 frames, 2 rows each, split with step 2.
    std::vector<uint8_t> gih;
    auto be32 = [&](uint32_t v) {
        for (int k = 3; k >= 0; --k) gih.push_back(uint8_t(v >> (8 * k)));
    };
    const std::string head = "anim\n8 ncc:1\n";
    gih.insert(gih.end(), head.begin(), head.end());
    for (int f = 0; f < 8; ++f) {
        be32(29);
        be32(2);
        be32(1);
        be32(2);
        be32(1);
        gih.insert(gih.end(), {'G', 'I', 'M', 'P', 0, 0, 0, 0, 0});
        gih.push_back(uint8_t(f));
        gih.push_back(uint8_t(f));
    }
    const std::string path = dir + "/brush.gih";
    FILE* fp = std::fopen(path.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fwrite(gih.data(), 1, gih.size(), fp);
    std::fclose(fp);
    prompts.loadOptions = SequenceLoadOptions{1, SEQ_LOAD_ALL, 2};
    ASSERT_EQ(loadSequence(s, path, prompts), SEQ_OK);
    ASSERT_EQ(s.count(), 4);
    EXPECT_EQ(s.frameAt(0)->height(), 2);
    EXPECT_EQ(firstPixel(s, 1), 0x020202u);
    EXPECT_EQ(firstPixel(s, 3), 0x060606u);
    prompts.loadOptions = SequenceLoadOptions{3, SEQ_LOAD_RANGE, 1};
    ASSERT_EQ(loadSequence(s, path, prompts), SEQ_OK);
    EXPECT_EQ(s.count(), 3);
}

TEST(SequenceSave, SeriesStripAndSingleFrame) {
    const std::string dir = freshDir("save");
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(2, 2, 3), FE_OK);
    for (int k = 0; k < 3; ++k) s.frameAt(k)->pixels()[0] = 0xFF000000u | uint32_t(k + 1);
    ScriptedPrompts prompts;
    Steps progress;
    // No number in the name: the dialog's defaults number from 000.
    ASSERT_EQ(saveSequence(s, dir + "/anim.tga", TX_TYPE_TGA, {}, prompts, &progress), SEQ_OK);
    EXPECT_EQ(prompts.saveDialogs, 1);
    EXPECT_TRUE(exists(dir + "/anim000.tga"));
    EXPECT_TRUE(exists(dir + "/anim002.tga"));
    EXPECT_FALSE(exists(dir + "/anim003.tga"));
    EXPECT_EQ(progress.total, 3);
    EXPECT_EQ(progress.steps, 3);
    // A number in the name: no dialog, numbering from it.
    ASSERT_EQ(saveSequence(s, dir + "/anim007.tga", TX_TYPE_TGA, {}, prompts), SEQ_OK);
    EXPECT_EQ(prompts.saveDialogs, 1);
    EXPECT_TRUE(exists(dir + "/anim009.tga"));
    Frame check;
    ASSERT_EQ(check.load(dir + "/anim008.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF000002u);

    // Single file: one image three frames high with "Frame %d" items.
    prompts.saveOptions = SequenceSaveOptions{1, 0, 1, 3, 0, true};
    ASSERT_EQ(saveSequence(s, dir + "/strip.tga", TX_TYPE_TGA, {}, prompts), SEQ_OK);
    ASSERT_EQ(check.load(dir + "/strip.tga"), FE_OK);
    EXPECT_EQ(check.height(), 6);
    EXPECT_EQ(check.pixels()[2 * 2], 0xFF000002u);  // row 2 starts the second frame
    PositionList list;
    loadPositions(list, dir + "/strip.tga", 2, 6);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2).name, "Frame 3");
    EXPECT_EQ(list.at(2).rect, (TxRect{0, 4, 2, 6}));

    // Range mode with a start frame and wrap-around.
    prompts.saveOptions = SequenceSaveOptions{2, 10, 3, 2, 1, false};
    ASSERT_EQ(saveSequence(s, dir + "/part.tga", TX_TYPE_TGA, {}, prompts), SEQ_OK);
    ASSERT_EQ(check.load(dir + "/part010.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF000003u);
    ASSERT_EQ(check.load(dir + "/part012.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF000001u);

    // Declining.
    prompts.cancelSave = true;
    prompts.answers.push_back(MsgResult::Cancel);
    EXPECT_EQ(saveSequence(s, dir + "/nope.tga", TX_TYPE_TGA, {}, prompts), SEQ_DECLINED);
    EXPECT_FALSE(exists(dir + "/nope000.tga"));
    EXPECT_EQ(prompts.messages.back(), "Save All Frames?");

    // One frame: written as it is, never numbered, never asked.
    FrameSequence one;
    ASSERT_EQ(one.addBlankFrames(1, 1, 1), FE_OK);
    const int dialogs = prompts.saveDialogs;
    ASSERT_EQ(saveSequence(one, dir + "/single.tga", TX_TYPE_TGA, {}, prompts), SEQ_OK);
    EXPECT_TRUE(exists(dir + "/single.tga"));
    EXPECT_EQ(prompts.saveDialogs, dialogs);
    EXPECT_EQ(saveSequence(one, dir + "/single.gif", TX_TYPE_GIF, {}, prompts),
              SEQ_UNSUPPORTED_TYPE);
}

TEST(SequenceSave, WriteFailureIsReported) {
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(1, 1, 2), FE_OK);
    ScriptedPrompts prompts;
    const std::string target = std::string(::testing::TempDir()) + "no/such/dir/f001.tga";
    EXPECT_NE(saveSequence(s, target, TX_TYPE_TGA, {}, prompts), SEQ_OK);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Cannot save frame " + target);
}

TEST(SequenceSave, StripOfMixedSizesIsClippedToTheFirstFrame) {
    const std::string dir = freshDir("mixedstrip");
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(3, 2, 1), FE_OK);
    ASSERT_EQ(s.addBlankFrames(1, 1, 1), FE_OK);  // smaller: the rest of its cell stays clear
    ASSERT_EQ(s.addBlankFrames(5, 4, 1), FE_OK);  // larger: only its top-left 3x2 is copied
    for (int k = 0; k < 3; ++k) {
        Frame& f = *s.frameAt(k);
        for (int p = 0; p < f.width() * f.height(); ++p)
            f.pixels()[p] = 0xFF000000u | uint32_t(k + 1);
    }
    ScriptedPrompts prompts;
    prompts.saveOptions = SequenceSaveOptions{1, 0, 1, 3, 0, true};
    ASSERT_EQ(saveSequence(s, dir + "/mixed.tga", TX_TYPE_TGA, {}, prompts), SEQ_OK);
    Frame strip;
    ASSERT_EQ(strip.load(dir + "/mixed.tga"), FE_OK);
    ASSERT_EQ(strip.width(), 3);
    ASSERT_EQ(strip.height(), 6);
    const uint32_t* p = strip.pixels();
    EXPECT_EQ(p[0], 0xFF000001u);
    EXPECT_EQ(p[2 * 3 + 0], 0xFF000002u);  // the 1x1 frame
    EXPECT_EQ(p[2 * 3 + 1], 0u);
    EXPECT_EQ(p[3 * 3 + 0], 0u);
    EXPECT_EQ(p[4 * 3 + 2], 0xFF000003u);
    EXPECT_EQ(p[5 * 3 + 2], 0xFF000003u);
}

// A sequence has a memory budget, refused before the frame is allocated and
// named with the total; a frame that is there but cannot be read fails the load.
namespace {

void writePpmHeader(const std::string& path, int w, int h) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::fclose(f);
}

struct BudgetScope {
    int64_t saved = sequenceMemoryBudget();
    explicit BudgetScope(int64_t b) { setSequenceMemoryBudget(b); }
    ~BudgetScope() { setSequenceMemoryBudget(saved); }
};

}  // namespace

TEST(SequenceLoad, SeriesOverItsBudgetIsRefusedNamingFrameAndTotal) {
    const std::string dir = freshDir("budget");
    for (int n = 0; n < 6; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/big%03d.ppm", n);
        writePpmHeader(dir + name, 512, 512);  // 1 MiB each once read
    }
    BudgetScope budget(int64_t(7) << 19);  // 3.5 MiB
    ScriptedPrompts prompts;
    FrameSequence s;
    SequenceLoadReport report;
    EXPECT_EQ(loadSequence(s, dir + "/big000.ppm", prompts, nullptr, &report), SEQ_OVER_BUDGET);
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(report.file, dir + "/big003.ppm");
    EXPECT_NE(report.error.find("frame 4"), std::string::npos) << report.error;
    EXPECT_NE(report.error.find("4.0 MiB"), std::string::npos) << report.error;
    EXPECT_NE(report.error.find("budget of 3.5 MiB"), std::string::npos) << report.error;

    // Within the budget the same series loads whole.
    setSequenceMemoryBudget(int64_t(6) << 20);
    EXPECT_EQ(loadSequence(s, dir + "/big000.ppm", prompts, nullptr, &report), SEQ_OK);
    EXPECT_EQ(s.count(), 6);

    // A single file over the budget.
    setSequenceMemoryBudget(int64_t(1) << 19);
    EXPECT_EQ(loadSequence(s, dir + "/nonumber.ppm", prompts, nullptr, &report),
              SEQ_FILE_UNREADABLE);  // missing
    writePpmHeader(dir + "/nonumber.ppm", 512, 512);
    EXPECT_EQ(loadSequence(s, dir + "/nonumber.ppm", prompts, nullptr, &report), SEQ_OVER_BUDGET);
    EXPECT_NE(report.error.find("frame 1"), std::string::npos) << report.error;
}

TEST(SequenceLoad, UnreadableFileInsideASeriesFailsTheLoad) {
    const std::string dir = makeSeries(freshDir("hole"), 0, 4);
    {
        std::FILE* f = std::fopen((dir + "/walk002.tga").c_str(), "wb");
        std::fputs("no picture", f);
        std::fclose(f);
    }
    ScriptedPrompts prompts;
    FrameSequence s;
    SequenceLoadReport report;
    EXPECT_EQ(loadSequence(s, dir + "/walk000.tga", prompts, nullptr, &report),
              SEQ_FILE_UNREADABLE);
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(report.file, dir + "/walk002.tga");
    EXPECT_FALSE(report.error.empty());
    // A missing file still ends the series.
    std::remove((dir + "/walk002.tga").c_str());
    EXPECT_EQ(loadSequence(s, dir + "/walk000.tga", prompts, nullptr, &report), SEQ_OK);
    EXPECT_EQ(s.count(), 2);
}

// Item 3: a strip whose position files cannot be written is a failed save.
TEST(SequenceSave, StripWithUnwritablePositionFilesFails) {
    const std::string dir = makeSeries(freshDir("stripfail"), 1, 3);
    ScriptedPrompts prompts;
    FrameSequence s;
    ASSERT_EQ(loadSequence(s, dir + "/walk001.tga", prompts), SEQ_OK);
    ASSERT_EQ(s.count(), 3);
    SequenceSaveOptions o{1, 0, 1, 3, 0, true};
    for (const char* blocked : {"/strip.tga_pos.txt", "/strip.tga.map"}) {
        std::filesystem::remove_all(dir + "/strip.tga_pos.txt");
        std::filesystem::remove_all(dir + "/strip.tga.map");
        std::filesystem::create_directories(dir + blocked);  // a folder where the file should be
        SequenceSaveFailure failure;
        EXPECT_EQ(
            saveSequence(s, dir + "/strip.tga", TX_TYPE_TGA, {}, prompts, nullptr, &o, &failure),
            SEQ_POSITIONS_UNWRITABLE)
            << blocked;
        EXPECT_EQ(failure.file, dir + blocked);
        EXPECT_EQ(failure.reason, "is a directory");
    }
}

TEST(SequenceSave, FilesListedBeforehandAreTheFilesWritten) {
    const std::string dir = makeSeries(freshDir("listed"), 1, 3);
    ScriptedPrompts prompts;
    FrameSequence s;
    ASSERT_EQ(loadSequence(s, dir + "/walk001.tga", prompts), SEQ_OK);
    const std::string out = freshDir("listed_out");
    SequenceSaveOptions series{5, 40, 1, 3, 0, false};
    const auto files = sequenceSaveFiles(s, out + "/run.tga", TX_TYPE_TGA, series);
    EXPECT_EQ(files, (std::vector<std::string>{out + "/run040.tga", out + "/run045.tga",
                                               out + "/run050.tga"}));
    ASSERT_EQ(saveSequence(s, out + "/run.tga", TX_TYPE_TGA, {}, prompts, nullptr, &series),
              SEQ_OK);
    for (const auto& f : files) EXPECT_TRUE(exists(f)) << f;
    SequenceSaveOptions strip{1, 0, 1, 3, 0, true};
    EXPECT_EQ(sequenceSaveFiles(s, out + "/strip.tga", TX_TYPE_TGA, strip),
              (std::vector<std::string>{out + "/strip.tga", out + "/strip.tga_pos.txt",
                                        out + "/strip.tga.map"}));
}

TEST(SequenceSave, NumbersPastThreeDigitsWidenTheSeriesNeverOverwrite) {
    FrameSequence s;
    ASSERT_EQ(s.addBlankFrames(1, 1, 10), FE_OK);
    for (int k = 0; k < 10; ++k) s.frameAt(k)->pixels()[0] = 0xFF000000u | uint32_t(k + 1);
    ScriptedPrompts prompts;
    const std::string out = freshDir("widen");
    // Increment 200 over ten frames reaches 1800: every name gets four digits, ten files.
    SequenceSaveOptions wide{200, 0, 1, 10, 0, false};
    const auto files = sequenceSaveFiles(s, out + "/o.tga", TX_TYPE_TGA, wide);
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(files[0], out + "/o0000.tga");
    EXPECT_EQ(files[5], out + "/o1000.tga");
    EXPECT_EQ(files[9], out + "/o1800.tga");
    ASSERT_EQ(saveSequence(s, out + "/o.tga", TX_TYPE_TGA, {}, prompts, nullptr, &wide), SEQ_OK);
    Frame check;
    ASSERT_EQ(check.load(out + "/o0000.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF000001u);
    ASSERT_EQ(check.load(out + "/o1800.tga"), FE_OK);
    EXPECT_EQ(check.pixels()[0], 0xFF00000Au);
    // Within three digits the names stay as they were.
    SequenceSaveOptions narrow{1, 990, 1, 10, 0, false};
    EXPECT_EQ(sequenceSaveFiles(s, out + "/n.tga", TX_TYPE_TGA, narrow).back(), out + "/n999.tga");

    // The editor's dialog allows a negative increment: names that would repeat are refused
    // before anything is written, naming the frame.
    prompts.saveOptions = SequenceSaveOptions{-250, 0, 1, 10, 0, false};
    SequenceSaveFailure failure;
    EXPECT_EQ(
        saveSequence(s, out + "/neg.tga", TX_TYPE_TGA, {}, prompts, nullptr, nullptr, &failure),
        SEQ_NAMES_CLASH);
    EXPECT_EQ(failure.reason,
              "frame 5 would be written to " + out + "/neg000.tga over frame 1; nothing written");
    EXPECT_FALSE(exists(out + "/neg000.tga"));
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back().rfind("Cannot save the series: frame 5", 0), 0u);
}
