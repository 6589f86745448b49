// tarquil-cli and the files it reads and writes: one frame goes to exactly OUT, no input
// is written over unless OUT names it, a lost frame or position file is never exit 0, bad option
// values are refused, inputs that are no regular file are named so.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "cli/cli.h"
#include "model/sequence_io.h"
#include "tests/cli/cli_run.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace fs = std::filesystem;

namespace {

std::string freshDir(const std::string& name) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_files_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void writeSolid(const std::string& path, int w, int h, uint32_t v) {
    std::vector<uint32_t> px(size_t(w) * size_t(h), v);
    ASSERT_EQ(txWriteTGA(path, w, h, px.data(), TX_TGA_NONE), TX_TGA_OK) << path;
}

// Width x height and the first pixel of an image file, or 0 x 0.
struct Seen {
    int w = 0, h = 0;
    uint32_t first = 0;
};
Seen look(const std::string& path) {
    TxMip mip;
    TxReadContext ctx;
    Seen s;
    if (!txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) return s;
    s.w = mip.width;
    s.h = mip.height;
    s.first = reinterpret_cast<const uint32_t*>(mip.data[0])[0];
    return s;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(CliFiles, OneFrameGoesToExactlyOut) {
    const std::string dir = freshDir("oneframe");
    writeSolid(dir + "/icon.tga", 8, 8, 0xFF102030u);
    const std::string before = bytesOf(dir + "/icon.tga");

    CliRun r = run({"edit", dir + "/icon.tga", dir + "/icon256.tga", "--scale", "4x4"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(bytesOf(dir + "/icon.tga"), before) << "the input was written over";
    EXPECT_EQ(look(dir + "/icon256.tga").w, 4);

    r = run({"edit", dir + "/icon.tga", dir + "/logo_2024.tga"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/logo_2024.tga").w, 8);
    EXPECT_FALSE(fs::exists(dir + "/logo_.tga"));

    r = run({"convert", dir + "/icon.tga", dir + "/one007.tga", "--series"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/one007.tga").w, 8);
    EXPECT_FALSE(fs::exists(dir + "/one.tga"));

    // Only the files named: icon, icon256, logo_2024, one007.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST(CliFiles, ASeriesNeverWritesOverItsInputs) {
    const std::string dir = freshDir("overinputs");
    for (int k = 0; k < 3; ++k)
        writeSolid(dir + "/walk00" + std::to_string(k) + ".tga", 2, 2, 0xFF000000u | uint32_t(k));
    const std::string walk2 = bytesOf(dir + "/walk002.tga");

    // walk001, walk002, walk003 would be written: walk002 is an input OUT does not name.
    CliRun r = run({"edit", dir + "/walk000.tga", dir + "/walk001.tga", "--flip", "h"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("walk002.tga is one of the inputs"), std::string::npos) << r.err;
    EXPECT_EQ(bytesOf(dir + "/walk002.tga"), walk2);
    EXPECT_FALSE(fs::exists(dir + "/walk003.tga"));

    r = run({"convert", dir + "/walk000.tga", dir + "/walk001.tga", "--frames", "all", "--series"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_EQ(bytesOf(dir + "/walk002.tga"), walk2);

    // Through a link to the folder the file is still the same file.
    fs::create_directory_symlink(dir, dir + "/alias");
    r = run({"convert", dir + "/walk000.tga", dir + "/alias/walk.tga", "--frames", "all",
             "--series", "--start", "1"});
    EXPECT_EQ(r.status, CLI_USAGE) << r.err;

    // Elsewhere the series is written.
    r = run({"convert", dir + "/walk000.tga", dir + "/copy.tga", "--frames", "all", "--series"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/copy002.tga").first, 0xFF000002u);

    // A single file named as its own OUT is replaced: OUT names it.
    writeSolid(dir + "/self.tga", 4, 2, 0xFF00FF00u);
    r = run({"edit", dir + "/self.tga", dir + "/self.tga", "--scale", "2x2"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/self.tga").w, 2);
}

TEST(CliFiles, IncrementZeroOrNegativeIsRefused) {
    const std::string dir = freshDir("increment");
    writeSolid(dir + "/a000.tga", 2, 2, 0xFF000001u);
    writeSolid(dir + "/a001.tga", 2, 2, 0xFF000002u);
    for (const char* bad : {"0", "-1", "-65536", "65537", "x"}) {
        const CliRun r = run({"convert", dir + "/a000.tga", dir + "/b.tga", "--frames", "all",
                              "--series", "--increment", bad});
        EXPECT_EQ(r.status, CLI_USAGE) << bad;
        EXPECT_NE(r.err.find("--increment must be a number from 1 to 65536"), std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/b000.tga"));
    const CliRun r = run({"convert", dir + "/a000.tga", dir + "/b.tga", "--frames", "all",
                          "--series", "--increment", "2"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/b002.tga"));
}

TEST(CliFiles, StripWithoutItsPositionFilesIsAFailure) {
    const std::string dir = freshDir("strip");
    writeSolid(dir + "/s000.tga", 2, 2, 0xFF000001u);
    writeSolid(dir + "/s001.tga", 2, 2, 0xFF000002u);
    for (const char* blocked : {"/out.tga_pos.txt", "/out.tga.map"}) {
        fs::remove_all(dir + "/out.tga_pos.txt");
        fs::remove_all(dir + "/out.tga.map");
        fs::create_directories(dir + blocked);
        for (const char* cmd : {"convert", "edit"}) {
            std::vector<std::string> args{cmd, dir + "/s000.tga", dir + "/out.tga", "--strip"};
            if (std::string(cmd) == "convert") args.insert(args.end(), {"--frames", "all"});
            const CliRun r = run(args);
            EXPECT_EQ(r.status, CLI_FILE_ERROR) << cmd << blocked;
            EXPECT_NE(r.err.find(dir + blocked + ": is a directory"), std::string::npos) << r.err;
        }
    }
}

TEST(CliFiles, SeriesOverTheBudgetFailsNamingTheFrame) {
    const std::string dir = freshDir("budget");
    for (int k = 0; k < 6; ++k) {
        std::ofstream(dir + "/h00" + std::to_string(k) + ".ppm", std::ios::binary)
            << "P6\n512 512\n255\n";
    }
    const int64_t saved = sequenceMemoryBudget();
    setSequenceMemoryBudget(int64_t(3) << 20);
    const CliRun r =
        run({"convert", dir + "/h000.ppm", dir + "/o.tga", "--frames", "all", "--series"});
    setSequenceMemoryBudget(saved);
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("h003.ppm: frame 4"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("budget of 3.0 MiB"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/o000.tga"));
}

TEST(CliFiles, InputsThatAreNoRegularFile) {
    const std::string dir = freshDir("special");
    const std::string fifo = dir + "/pipe.tga";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto info = std::async(std::launch::async, [&] { return run({"info", fifo}); });
    ASSERT_EQ(info.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "blocked";
    const CliRun r = info.get();
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err << r.out;
    const CliRun c = run({"convert", dir, dir + "/x.tga"});
    EXPECT_EQ(c.status, CLI_FILE_ERROR);
    EXPECT_NE(c.err.find(dir + ": is a directory"), std::string::npos) << c.err;
    std::ofstream(dir + "/notes.txt") << "nothing to see\n";
    const CliRun u = run({"convert", dir + "/notes.txt", dir + "/x.tga"});
    EXPECT_EQ(u.status, CLI_FILE_ERROR);
    EXPECT_NE(u.err.find("Unrecognised file format"), std::string::npos) << u.err;
}

TEST(CliFiles, BatchNeverWritesOverItsInputs) {
    const std::string dir = freshDir("batch");
    writeSolid(dir + "/a.tga", 2, 2, 0xFF000001u);
    const std::string before = bytesOf(dir + "/a.tga");
    const CliRun r = run({"convert", "--out-dir", dir, "--to", "tga", dir + "/a.tga"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("a.tga is one of the inputs"), std::string::npos) << r.err;
    EXPECT_EQ(bytesOf(dir + "/a.tga"), before);
    EXPECT_EQ(run({"convert", "--out-dir", dir, "--to", "png", dir + "/a.tga"}).status, CLI_OK);
}

TEST(CliFiles, AnimmasterNeverWritesOverItsInputs) {
    const std::string dir = freshDir("animmaster");
    for (int k = 0; k < 3; ++k)
        writeSolid(dir + "/f00" + std::to_string(k) + ".tga", 2, 2, 0xFF000000u | uint32_t(k));
    const std::string f2 = bytesOf(dir + "/f002.tga");
    CliRun r = run({"animmaster", dir + "/f000.tga", "-o", dir + "/f001.tga"});
    EXPECT_EQ(r.status, CLI_USAGE) << r.err;
    EXPECT_NE(r.err.find("f002.tga is one of the inputs"), std::string::npos) << r.err;
    EXPECT_EQ(bytesOf(dir + "/f002.tga"), f2);
    r = run({"animmaster", dir + "/f000.tga", "-o", dir + "/g000.tga"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/g002.tga"));
}

TEST(CliFiles, SeriesNumbersWidenInsteadOfWrappingOverFrames) {
    const std::string dir = freshDir("widen");
    for (int k = 0; k < 10; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/s%03d.tga", k);
        writeSolid(dir + name, 2, 2, 0xFF000000u | uint32_t(k));
    }
    CliRun r = run({"convert", dir + "/s000.tga", dir + "/o.tga", "--frames", "all", "--series",
                    "--increment", "200"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/o0000.tga").first, 0xFF000000u);
    EXPECT_EQ(look(dir + "/o1000.tga").first, 0xFF000005u);
    EXPECT_EQ(look(dir + "/o1800.tga").first, 0xFF000009u);
    EXPECT_FALSE(fs::exists(dir + "/o000.tga"));

    // edit and animmaster number from OUT's own number the same way.
    r = run({"edit", dir + "/s000.tga", dir + "/e995.tga", "--flip", "h"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(look(dir + "/e0995.tga").first, 0xFF000000u);
    EXPECT_EQ(look(dir + "/e1004.tga").first, 0xFF000009u);
    r = run({"animmaster", dir + "/s000.tga", "-o", dir + "/a995.tga", "--buffer", "none"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/a1004.tga"));
    // 10 inputs, 10 + 10 + 10 outputs: no frame went over another.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 40);
}

TEST(CliFiles, RefusalsNameTheTrueReasonAndTheLimit) {
    const std::string dir = freshDir("reasons");
    writeSolid(dir + "/a.tga", 2, 2, 0xFF000001u);
    fs::create_directory(dir + "/somedir");
    CliRun r = run({"convert", dir + "/a.tga", dir + "/somedir"});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("somedir: is a directory"), std::string::npos) << r.err;

    // A device has no extension: --to names the type of the one OUT.
    r = run({"convert", dir + "/a.tga", "/dev/null", "--to", "tga"});
    EXPECT_EQ(r.status, CLI_OK) << r.err;
    r = run({"convert", dir + "/a.tga", dir + "/b.png", "--to", "tga"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("OUT ends in '.png' but --to asks for tga"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/b.png"));

    // Two frames 20000 rows high make a strip over the side limit.
    writeSolid(dir + "/t000.tga", 1, 20000, 0xFF000001u);
    writeSolid(dir + "/t001.tga", 1, 20000, 0xFF000002u);
    r = run({"convert", dir + "/t000.tga", dir + "/strip.tga", "--frames", "all", "--strip"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("a strip of 2 frames would be 1 x 40000 is over the limit of 32768 "
                         "pixels a side"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir + "/strip.tga"));

    r = run({"edit", dir + "/a.tga", dir + "/e.tga", "--canvas", "1x65535"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("--canvas 1x65535: 1 x 65535 is over the limit of 32768 pixels a side"),
              std::string::npos)
        << r.err;
    r = run({"edit", dir + "/a.tga", dir + "/e.tga", "--scale", "32768x32768"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("32768 x 32768 is over the limit of 1 GiB of pixels"), std::string::npos)
        << r.err;
    r = run({"export", dir + "/a.tga", dir + "/e.3df", "--resample", "32768x32768"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("--resample 32768x32768: 32768 x 32768 is over the limit of 1 GiB"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir + "/e.tga"));
    EXPECT_FALSE(fs::exists(dir + "/e.3df"));
}
