// tarquil-cli arrange and animmaster end to end: the files they write, their options and refusals.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

class CliTools : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: ctest runs the tests of this file side by side.
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("cli_tools_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // The commands read the editor's settings: give them a settings folder of their own.
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    Outcome run(const std::vector<std::string>& args) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = cliRun(args);
        return Outcome{status, testing::internal::GetCapturedStdout(),
                       testing::internal::GetCapturedStderr()};
    }
    void writeText(const std::string& name, const std::string& text) {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string readText(const std::string& name) {
        std::ifstream f(path(name), std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

std::vector<uint32_t> readPixels(const std::string& p, int& w, int& h) {
    TxMip m;
    TxReadContext ctx;
    EXPECT_TRUE(txMipReadFile(m, p, TX_PREFER_ARGB8888, ctx)) << p << ": " << ctx.lastError;
    w = m.width;
    h = m.height;
    const uint32_t* px = reinterpret_cast<const uint32_t*>(m.data[0]);
    return px ? std::vector<uint32_t>(px, px + size_t(w) * size_t(h)) : std::vector<uint32_t>{};
}

// Pixel (x, y) of the source image: 0xFF000000 | y << 8 | x.
uint32_t srcPixel(int x, int y) { return 0xFF000000u | uint32_t(y << 8) | uint32_t(x); }

}  // namespace

TEST_F(CliTools, ArrangeWritesSheetAndPositionFile) {
    std::vector<uint32_t> px(64 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) px[size_t(y * 64 + x)] = srcPixel(x, y);
    ASSERT_EQ(txWriteTGA(path("atlas.tga"), 64, 32, px.data()), TX_TGA_OK);
    writeText("atlas.tga_pos.txt", "0,0,8,8:small\r\n16,4,48,28:big\r\n");

    Outcome r = run({"arrange", path("atlas.tga"), "-o", path("sheet.tga"), "--max", "auto"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(r.out.rfind(path("sheet.tga") + ": 2 items on 32x32, ", 0), 0u) << r.out;
    // Both automatic: limits (32 + 8) / 2 = 20; big at the top left, small in the next row.
    EXPECT_EQ(readText("sheet.tga_pos.txt"), "0,0,32,24:big\r\n0,24,8,32:small\r\n");
    int w = 0, h = 0;
    std::vector<uint32_t> sheet = readPixels(path("sheet.tga"), w, h);
    ASSERT_EQ(w, 32);
    ASSERT_EQ(h, 32);
    EXPECT_EQ(sheet[0], srcPixel(16, 4));
    EXPECT_EQ(sheet[23 * 32 + 31], srcPixel(47, 27));
    EXPECT_EQ(sheet[31 * 32 + 7], srcPixel(7, 7));
    EXPECT_EQ(sheet[24 * 32 + 8], 0u);  // right of the small item: blank

    // MaxRects with padding, as JSON; PNG output.
    r = run({"arrange", path("atlas.tga"), "--method", "maxrects", "--padding", "1", "--max",
             "40xauto", "--json", "-o", path("sheet.png")});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_NE(r.out.find("\"width\": 40"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"method\": \"maxrects\""), std::string::npos);
    readPixels(path("sheet.png"), w, h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(readText("sheet.png_pos.txt").substr(0, 15), "0,0,32,24:big\r\n");

    // Without --max the limits are the image's size (the dialog's proposal).
    r = run({"arrange", path("atlas.tga"), "-o", path("same.tga")});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    readPixels(path("same.tga"), w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);
}

TEST_F(CliTools, ArrangeRefusals) {
    std::vector<uint32_t> px(64 * 32, 0xFF00FF00u);
    ASSERT_EQ(txWriteTGA(path("atlas.tga"), 64, 32, px.data()), TX_TGA_OK);
    writeText("atlas.tga_pos.txt", "0,0,40,30:a\r\n0,0,40,30:b\r\n");
    const std::string in = path("atlas.tga"), out = path("out.tga");

    Outcome r = run({"arrange", in, "-o", out, "--max", "50x50"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("failed try automatic"), std::string::npos) << r.err;
    // The second item is the one left over, and the log says so.
    EXPECT_NE(r.err.find("arrange: 'b' (40x30) finds no room inside 50x50"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(out));
    // A fixed width narrower than an item (40) is refused the same way.
    r = run({"arrange", in, "-o", out, "--max", "30xauto"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_NE(r.err.find("failed try automatic"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("'a' (40x30) finds no room inside 30xauto"), std::string::npos) << r.err;
    r = run({"arrange", in, "-o", out, "--max", "30x50", "--method", "maxrects"});
    EXPECT_NE(r.err.find("'a' (40x30) finds no room inside 30x50"), std::string::npos) << r.err;
    EXPECT_EQ(run({"arrange", in, "-o", out, "--max", "50"}).status, CLI_USAGE);
    EXPECT_EQ(run({"arrange", in, "-o", out, "--max", "70000x5"}).status, CLI_USAGE);
    EXPECT_EQ(run({"arrange", in, "-o", out, "--method", "shelf"}).status, CLI_USAGE);
    EXPECT_EQ(run({"arrange", in, "-o", out, "--padding", "2"}).status, CLI_USAGE);
    EXPECT_EQ(run({"arrange", in, "-o", path("out.gif")}).status, CLI_USAGE);
    EXPECT_EQ(run({"arrange", in}).status, CLI_USAGE);
    EXPECT_FALSE(fs::exists(out));

    r = run({"arrange", path("missing.tga"), "-o", out});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("missing.tga"), std::string::npos);
    ASSERT_EQ(txWriteTGA(path("bare.tga"), 8, 8, px.data()), TX_TGA_OK);
    r = run({"arrange", path("bare.tga"), "-o", out});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("has no position file"), std::string::npos) << r.err;
    r = run({"arrange", in, "-o", path("no/such/dir/out.tga"), "--max", "auto"});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("no/such/dir/out.tga"), std::string::npos);
    EXPECT_EQ(run({"arrange", "--help"}).status, CLI_OK);
}

TEST_F(CliTools, AnimMasterSeriesStripAndSettings) {
    const uint32_t A = 0xFF112233u, B = 0xFF445566u, C = 0x80778899u;
    const std::vector<std::vector<uint32_t>> frames = {{A, B}, {A, C}, {A, B}};
    for (size_t j = 0; j < frames.size(); ++j)
        ASSERT_EQ(txWriteTGA(path("f_00" + std::to_string(j) + ".tga"), 2, 1, frames[j].data()),
                  TX_TGA_OK);

    Outcome r = run({"animmaster", path("f_000.tga"), "-o", path("o_000.tga"), "--buffer", "single",
                     "--key", "0x00FF00FF", "--no-keep-alpha"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    int w = 0, h = 0;
    EXPECT_EQ(readPixels(path("o_000.tga"), w, h), (std::vector<uint32_t>{A, B}));
    EXPECT_EQ(readPixels(path("o_001.tga"), w, h),
              (std::vector<uint32_t>{0x00FF00FFu, 0x00778899u}));
    EXPECT_EQ(readPixels(path("o_002.tga"), w, h),
              (std::vector<uint32_t>{0x00FF00FFu, 0x00445566u}));
    EXPECT_FALSE(fs::exists(path("o_003.tga")));

    // A strip with its position list; uni buffer compares frame 2 with frame 0.
    r = run({"animmaster", path("f_000.tga"), "-o", path("strip.tga"), "--buffer", "uni", "--key",
             "ff00ff", "--keep-alpha"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(readPixels(path("strip.tga"), w, h),
              (std::vector<uint32_t>{A, B, 0xFFFF00FFu, C, 0xFFFF00FFu, 0xFFFF00FFu}));
    EXPECT_EQ(h, 3);
    EXPECT_EQ(readText("strip.tga_pos.txt").substr(0, 17), "0,0,2,1:Frame 1\r\n");

    // Several inputs in order; the settings are saved and become the next run's defaults.
    ASSERT_EQ(txWriteTGA(path("p.tga"), 2, 1, frames[2].data()), TX_TGA_OK);
    ASSERT_EQ(txWriteTGA(path("q.tga"), 2, 1, frames[1].data()), TX_TGA_OK);
    r = run({"animmaster", path("p.tga"), path("q.tga"), "-o", path("pair.tga"), "--buffer", "none",
             "--transparent", "--unique", "--key", "0x12345678", "--save-settings"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(readPixels(path("pair.tga"), w, h),
              (std::vector<uint32_t>{A, B, 0x12345678u | 0xFF000000u, C}));
    const std::string conf = readText("config/BrightvaleWorks/Tarquil Studio 1.0.conf");
    EXPECT_NE(conf.find("[AnimMaster]"), std::string::npos) << conf;
    EXPECT_NE(conf.find("type=3"), std::string::npos) << conf;
    EXPECT_NE(conf.find("colorkey=305419896"), std::string::npos) << conf;
    r = run({"animmaster", path("p.tga"), path("q.tga"), "-o", path("again.tga"), "--no-unique"});
    ASSERT_EQ(r.status, CLI_OK) << r.err;
    EXPECT_EQ(readPixels(path("again.tga"), w, h), (std::vector<uint32_t>{A, B, A, C}));
}

TEST_F(CliTools, AnimMasterRefusals) {
    const std::vector<uint32_t> px = {1u, 2u};
    ASSERT_EQ(txWriteTGA(path("a.tga"), 2, 1, px.data()), TX_TGA_OK);
    const std::string in = path("a.tga"), out = path("o.tga");
    EXPECT_EQ(run({"animmaster", in, "-o", out, "--key", "0xAARRGGBB"}).status, CLI_USAGE);
    EXPECT_EQ(run({"animmaster", in, "-o", out, "--key", "0x123456789"}).status, CLI_USAGE);
    EXPECT_EQ(run({"animmaster", in, "-o", out, "--buffer", "triple"}).status, CLI_USAGE);
    EXPECT_EQ(run({"animmaster", in, "-o", out, "--keep-alpha", "--no-keep-alpha"}).status,
              CLI_USAGE);
    EXPECT_EQ(run({"animmaster", in, "-o", path("o.jpg")}).status, CLI_USAGE);
    EXPECT_EQ(run({"animmaster", "-o", out}).status, CLI_USAGE);
    EXPECT_EQ(run({"animmaster", in}).status, CLI_USAGE);
    EXPECT_FALSE(fs::exists(out));
    Outcome r = run({"animmaster", path("none.tga"), "-o", out});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("none.tga"), std::string::npos);
    r = run({"animmaster", in, "-o", path("no/dir/o.tga")});
    EXPECT_EQ(r.status, CLI_FILE_ERROR);
    EXPECT_NE(r.err.find("no/dir/o.tga"), std::string::npos);
    EXPECT_EQ(run({"animmaster", "--help"}).status, CLI_OK);
}
