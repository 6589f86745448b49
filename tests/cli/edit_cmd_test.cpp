// tarquil-cli edit: steps in the order given over every frame of a file or numbered series,
// written like convert; exit status and messages for bad values and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

struct EditRun {
    int status;
    std::string out, err;
};

EditRun run(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cliRun(args);
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

std::string freshDir(const std::string& name) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_edit_" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

void writeImage(const std::string& path, const Image& img) {
    ASSERT_EQ(txWriteTGA(path, img.w, img.h, img.px.data(), TX_TGA_NONE), TX_TGA_OK);
}

Image readImage(const std::string& path) {
    TxMip mip;
    TxReadContext ctx;
    Image img;
    if (!txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) {
        ADD_FAILURE() << path << ": " << ctx.lastError;
        return img;
    }
    img.w = mip.width;
    img.h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    img.px.assign(p, p + size_t(img.w) * size_t(img.h));
    return img;
}

Image solid(int w, int h, uint32_t v) {
    return Image{w, h, std::vector<uint32_t>(size_t(w) * h, v)};
}

void put(Image& img, const TxRect& r, uint32_t v) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) img.px[size_t(y) * img.w + x] = v;
}

}  // namespace

// The daily job: auto crop a numbered animation, every frame to the area in which they differ.
TEST(CliEdit, AutoCropsANumberedSeries) {
    const std::string dir = freshDir("series");
    for (int k = 0; k < 3; ++k) {
        Image f = solid(40, 30, 0x00000000u);
        put(f, {5 + 6 * k, 8, 9 + 6 * k, 14}, 0xFF10A0F0u);  // a sprite walking right
        writeImage(dir + "/walk00" + std::to_string(k) + ".tga", f);
    }
    EditRun r = run({"edit", dir + "/walk000.tga", dir + "/out.tga", "--autocrop"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 0; k < 3; ++k) {
        const Image o = readImage(dir + "/out00" + std::to_string(k) + ".tga");
        ASSERT_EQ(o.w, 16);
        ASSERT_EQ(o.h, 6);
        EXPECT_EQ(o.at(6 * k, 0), 0xFF10A0F0u);
        EXPECT_EQ(o.at(6 * k + 3, 5), 0xFF10A0F0u);
        if (k < 2) {
            EXPECT_EQ(o.at(6 * k + 4, 0), 0u);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/out003.tga"));

    // As one strip with its position file.
    r = run({"edit", dir + "/walk000.tga", dir + "/strip.tga", "--autocrop", "--strip"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Image s = readImage(dir + "/strip.tga");
    EXPECT_EQ(s.w, 16);
    EXPECT_EQ(s.h, 18);
    EXPECT_TRUE(std::filesystem::exists(dir + "/strip.tga_pos.txt"));
}

TEST(CliEdit, StepsRunInTheOrderGiven) {
    const std::string dir = freshDir("order");
    Image src = solid(4, 4, 0xFF000000u);
    put(src, {0, 0, 1, 1}, 0xFFFF0000u);
    writeImage(dir + "/in.tga", src);
    EditRun r = run({"edit", dir + "/in.tga", dir + "/a.tga", "--crop", "0,0,2,2", "--canvas",
                     "6x6", "--center"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image a = readImage(dir + "/a.tga");
    EXPECT_EQ(a.w, 6);
    EXPECT_EQ(a.at(2, 2), 0xFFFF0000u);
    EXPECT_EQ(a.at(0, 0), 0u);
    r = run({"edit", dir + "/in.tga", dir + "/b.tga", "--canvas=6x6", "--crop=0,0,2,2"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image b = readImage(dir + "/b.tga");
    EXPECT_EQ(b.w, 2);
    EXPECT_EQ(b.at(0, 0), 0xFFFF0000u);

    // Flip, then scale by percent, then the isometric projection with its trim.
    r = run({"edit", dir + "/in.tga", dir + "/c.tga", "--flip", "h", "--scale", "50%"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image c = readImage(dir + "/c.tga");
    ASSERT_EQ(c.w, 2);
    EXPECT_EQ(c.at(1, 0), 0xFF3F0000u);  // the red corner averaged with three black pixels
    EXPECT_EQ(c.at(0, 0), 0xFF000000u);
    r = run({"edit", dir + "/in.tga", dir + "/d.tga", "--iso"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image d = readImage(dir + "/d.tga");
    EXPECT_EQ(d.w, 7);
    EXPECT_EQ(d.h, 4);
    EXPECT_EQ(d.at(3, 0), 0xFFFF0000u);
    r = run({"edit", dir + "/in.tga", dir + "/e.tga", "--scale", "3x5", "--flip", "v"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image e = readImage(dir + "/e.tga");
    EXPECT_EQ(e.w, 3);
    EXPECT_EQ(e.h, 5);
}

TEST(CliEdit, AlphaSteps) {
    const std::string dir = freshDir("alpha");
    Image src = solid(3, 3, 0x80000000u);
    src.px[0] = 0x80FF00FFu;  // the key colour
    src.px[4] = 0x7FFFFFFFu;
    src.px[8] = 0x1000FF00u;
    writeImage(dir + "/in.tga", src);
    EditRun r = run({"edit", dir + "/in.tga", dir + "/k.tga", "--key-colour", "0xFF00FF"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image k = readImage(dir + "/k.tga");
    EXPECT_EQ(k.at(0, 0), 0x00FF00FFu);
    EXPECT_EQ(k.at(1, 1), 0xFFFFFFFFu);
    r = run(
        {"edit", dir + "/in.tga", dir + "/i.tga", "--alpha-from", "intensity", "--invert-alpha"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image i = readImage(dir + "/i.tga");
    EXPECT_EQ(i.at(1, 1), 0x00FFFFFFu);  // luminance 255, inverted
    EXPECT_EQ(i.at(2, 2), 0x6900FF00u);  // 255 - 150
    EXPECT_EQ(i.at(1, 0), 0xFF000000u);
    r = run({"edit", dir + "/in.tga", dir + "/b.tga", "--alpha-from", "bias:128"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image b = readImage(dir + "/b.tga");
    EXPECT_EQ(b.at(0, 0) >> 24, 0xFFu);
    EXPECT_EQ(b.at(1, 1) >> 24, 0u);
    EXPECT_EQ(b.at(2, 2) >> 24, 0u);
    // Border: a grey square on black keeps its luminance on its outer ring, its inside is opaque.
    Image sq = solid(5, 5, 0xFF000000u);
    put(sq, {1, 1, 4, 4}, 0xFF808080u);
    writeImage(dir + "/sq.tga", sq);
    r = run({"edit", dir + "/sq.tga", dir + "/o.tga", "--alpha-from", "border"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image o = readImage(dir + "/o.tga");
    EXPECT_EQ(o.at(0, 0), 0x00000000u);
    EXPECT_EQ(o.at(1, 1), 0x80808080u);
    EXPECT_EQ(o.at(2, 2), 0xFF808080u);
}

TEST(CliEdit, BadValuesAndFiles) {
    const std::string dir = freshDir("bad");
    writeImage(dir + "/in.tga", solid(4, 4, 0xFF000000u));
    const std::string in = dir + "/in.tga", out = dir + "/out.tga";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--crop", "1,2,3"},
             {"--crop", "0,0,0,4"},
             {"--crop", "-1,0,2,2"},
             {"--scale", "0x5"},
             {"--scale", "70000x5"},
             {"--scale", "0%"},
             {"--canvas", "5"},
             {"--flip", "d"},
             {"--key-colour", "red"},
             {"--key-colour", "0x1000000"},
             {"--alpha-from", "bias:256"},
             {"--alpha-from", "luma"},
             {"--crop", "9,0,2,2"},  // starts outside the 4 x 4 image
             {"--bogus"},
         }) {
        std::vector<std::string> argv = {"edit", in, out};
        argv.insert(argv.end(), args.begin(), args.end());
        EditRun r = run(argv);
        EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(run({"edit", in}).status, 2);
    EXPECT_EQ(run({"edit", in, dir + "/out.jpg"}).status, 2);
    EditRun r = run({"edit", dir + "/missing.tga", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.tga"), std::string::npos);
    r = run({"edit", in, dir + "/no/such/dir/out.tga", "--flip", "h"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no/such/dir"), std::string::npos);
    r = run({"edit", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--alpha-from"), std::string::npos);

    // A percentage whose result passes a size limit names that limit, not an error code.
    writeImage(dir + "/big.tga", solid(400, 300, 0xFF000000u));
    r = run({"edit", dir + "/big.tga", out, "--scale", "9000%"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--scale 9000%: 36000 x 27000 is over the limit of 32768 pixels a side"),
              std::string::npos)
        << r.err;
    r = run({"edit", dir + "/big.tga", out, "--scale", "5000%"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("20000 x 15000 is over the limit of 1 GiB of pixels"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("code"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    // Nothing to auto crop: a warning, and the image is written as it was.
    r = run({"edit", in, out, "--autocrop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Autocrop failed"), std::string::npos);
    EXPECT_EQ(readImage(out).w, 4);
}

// A numbered series whose frames differ in size: a crop reaching past the smaller frames is
// clipped to each, never read beyond them.
TEST(CliEdit, MixedSizeSeriesIsClippedPerFrame) {
    const std::string dir = freshDir("mixed");
    Image big = solid(8, 8, 0xFF000000u);
    put(big, {2, 2, 3, 3}, 0xFFFFFFFFu);
    writeImage(dir + "/m000.tga", big);
    Image small = solid(3, 3, 0xFF0000FFu);
    writeImage(dir + "/m001.tga", small);
    EditRun r = run({"edit", dir + "/m000.tga", dir + "/o.tga", "--crop", "2,2,5,5"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image a = readImage(dir + "/o000.tga");
    EXPECT_EQ(a.w, 5);
    EXPECT_EQ(a.at(0, 0), 0xFFFFFFFFu);
    Image b = readImage(dir + "/o001.tga");
    EXPECT_EQ(b.w, 1);
    EXPECT_EQ(b.h, 1);
    EXPECT_EQ(b.at(0, 0), 0xFF0000FFu);
}
