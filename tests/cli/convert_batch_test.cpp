#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/cli/cli_run.h"
#include "texlib/png.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint32_t> readBack(const std::string& path, int& w, int& h) {
    TxMip mip;
    TxReadContext ctx;
    if (!txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) return {};
    w = mip.width;
    h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(w) * size_t(h));
}

}  // namespace

TEST(CliConvertBatch, ConvertsManyFilesOnThreadsAndGoesOnPastAFailure) {
    const fs::path dir = fs::path(::testing::TempDir()) / "tarquil_batch_test";
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    // Twenty small images of distinct pixels, half PNG and half TGA, plus one damaged file.
    std::vector<std::string> inputs;
    for (int k = 0; k < 20; ++k) {
        std::vector<uint32_t> px(6 * 5);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = 0x80000000u | uint32_t(k << 16) | uint32_t(i);
        const std::string name = (dir / "in" / ("s" + std::to_string(k))).string();
        const std::string path = name + (k % 2 ? ".png" : ".tga");
        ASSERT_EQ(k % 2 ? txWritePNG(path, 6, 5, px.data()) : txWriteTGA(path, 6, 5, px.data()), 0);
        inputs.push_back(path);
    }
    const std::string broken = (dir / "in" / "broken.png").string();
    std::ofstream(broken, std::ios::binary) << "\x89PNG\r\n\x1a\n not really";
    inputs.insert(inputs.begin() + 7, broken);

    std::vector<std::string> args = {"convert", "--out-dir", (dir / "out").string(), "--to", "bmp",
                                     "-j",      "3"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    CliRun r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(broken + ": "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "broken.bmp"));
    for (int k = 0; k < 20; ++k) {
        int w = 0, h = 0;
        const auto px = readBack((dir / "out" / ("s" + std::to_string(k) + ".bmp")).string(), w, h);
        ASSERT_EQ(px.size(), 30u) << k;
        // 24-bit BMP: colour kept, alpha opaque.
        EXPECT_EQ(px[29], 0xFF000000u | uint32_t(k << 16) | 29u) << k;
    }

    // Usage errors touch nothing: a clash of output names, an unknown format, frame options.
    const std::string clash = (dir / "s3.png").string();
    fs::copy_file(inputs[3], clash);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"convert", "--out-dir", (dir / "new").string(), "--to", "tga", inputs[3], clash},
             {"convert", "--out-dir", (dir / "new").string(), "--to", "gif", inputs[3]},
             {"convert", "--out-dir", (dir / "new").string(), "--to", "tga", "-j", "0", inputs[3]},
             {"convert", "--out-dir", (dir / "new").string(), "--to", "tga", "--strip", inputs[3]},
             {"convert", "--out-dir", (dir / "new").string(), inputs[3]}}) {
        EXPECT_EQ(run(bad).status, 2) << bad[4];
        EXPECT_FALSE(fs::exists(dir / "new"));
    }
    // All good: exit 0, names keep the input's stem, the extension follows --to.
    r = run({"convert", inputs[0], inputs[1], "--out-dir", (dir / "new").string(), "--to", ".TGA"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "new" / "s0.tga"));
    EXPECT_TRUE(fs::exists(dir / "new" / "s1.tga"));
    // Every thread writes with the options given: run-length (image type 10) by default, raw (2)
    // with --compression none.
    auto imageType = [&](const char* name) {
        std::ifstream in(dir / "new" / name, std::ios::binary);
        char h[3] = {};
        in.read(h, 3);
        return int(h[2]);
    };
    EXPECT_EQ(imageType("s0.tga"), 10);
    r = run({"convert", inputs[0], inputs[1], "--out-dir", (dir / "new").string(), "--to", "tga",
             "--compression", "none", "-j", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(imageType("s0.tga"), 2);
    EXPECT_EQ(imageType("s1.tga"), 2);
    fs::remove_all(dir);
}
