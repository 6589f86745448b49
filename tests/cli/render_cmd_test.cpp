// tarquil-cli render: the view's picture written to a file, and refusals of bad values.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace {

struct RenderRun {
    int status;
    std::string err;
};

RenderRun render(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::vector<std::string> all = {"render"};
    all.insert(all.end(), args.begin(), args.end());
    const int status = cliRun(all);
    testing::internal::GetCapturedStdout();
    return {status, testing::internal::GetCapturedStderr()};
}

std::vector<uint32_t> readPixels(const std::string& path, int& w, int& h) {
    TxMip mip;
    TxReadContext ctx;
    if (!txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) {
        ADD_FAILURE() << path << ": " << ctx.lastError;
        return {};
    }
    w = mip.width;
    h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(w) * size_t(h));
}

}  // namespace

TEST(RenderCommand, WritesTheViewsPictureAndRefusesBadValues) {
    const std::string dir = std::string(::testing::TempDir()) + "tarquil_render";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string in = dir + "/blue.tga", out = dir + "/out.png";
    // Pure blue with alpha 0, half red at (1, 0).
    std::vector<uint32_t> px(size_t(40) * 20, 0x000000FFu);
    px[1] = 0x80800000u;
    ASSERT_EQ(txWriteTGA(in, 40, 20, px.data(), TX_TGA_NONE), TX_TGA_OK);

    RenderRun r =
        render({in, out, "--grid", "normal", "--grid-size", "16x8", "--grid-offset", "5,3"});
    ASSERT_EQ(r.status, 0) << r.err;
    int w = 0, h = 0;
    std::vector<uint32_t> p = readPixels(out, w, h);
    ASSERT_EQ(w, 40);
    ASSERT_EQ(h, 20);
    // Lines at x = 5, 21, 37 and y = 3, 11, 19; over blue red 127, green 64, blue 191; opaque.
    EXPECT_EQ(p[0], 0xFF0000FFu);
    EXPECT_EQ(p[5], 0xFF7F40BFu);
    EXPECT_EQ(p[21], 0xFF7F40BFu);
    EXPECT_EQ(p[22], 0xFF0000FFu);
    EXPECT_EQ(p[1], 0xFF800000u);  // colour shown whatever its alpha
    EXPECT_EQ(p[3 * 40 + 5], 0xFFBF609Fu);
    EXPECT_EQ(p[19 * 40 + 0], 0xFF7F40BFu);

    // The grid colour is given as 0xRRGGBB.
    r = render({in, out, "--grid", "normal", "--grid-size", "16x8", "--grid-offset", "5,3",
                "--grid-colour", "0x00FF00"});
    ASSERT_EQ(r.status, 0) << r.err;
    p = readPixels(out, w, h);
    EXPECT_EQ(p[5], 0xFF007F7Fu);

    // Red only at zoom 2 with a selection outline.
    r = render({in, out, "--zoom", "2", "--channels", "r", "--selection", "0,0,2,2"});
    ASSERT_EQ(r.status, 0) << r.err;
    p = readPixels(out, w, h);
    ASSERT_EQ(w, 80);
    EXPECT_EQ(p[0], 0xFFFFFFFFu);           // outline over black: inverted
    EXPECT_EQ(p[80 + 1], 0xFF000000u);      // inside the outline: blue hidden
    EXPECT_EQ(p[80 + 2], 0xFF800000u);      // the red pixel, second column of its block
    EXPECT_EQ(p[80 + 3], 0xFF7FFFFFu);      // the outline's right edge over it
    EXPECT_EQ(p[2 * 80 + 4], 0xFF000000u);  // below the outline

    const struct {
        std::vector<std::string> args;
        const char* message;
    } bad[] = {
        {{"--zoom", "0"}, "--zoom must be 1 to 8"},
        {{"--zoom", "9"}, "--zoom must be 1 to 8"},
        {{"--grid", "normal", "--grid-size", "0x8"}, "--grid-size must be WxH"},
        {{"--grid", "normal", "--grid-size", "-4x8"}, "--grid-size must be WxH"},
        {{"--grid", "normal", "--grid-offset", "40,0"}, "lies outside the 40x20 picture"},
        {{"--grid-offset", "1,1"}, "needs --grid"},
        {{"--selection", "30,10,11,5"}, "--selection lies outside"},
        {{"--selection", "1,1,0,5"}, "--selection must be X,Y,W,H"},
        {{"--channels", "a"}, "--channels must be"},
        {{"--frame", "2"}, "holds 1 frame, not 2"},
    };
    std::filesystem::remove(out);
    for (const auto& b : bad) {
        std::vector<std::string> args = {in, out};
        args.insert(args.end(), b.args.begin(), b.args.end());
        r = render(args);
        EXPECT_EQ(r.status, 2) << b.message;
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << b.message;
    }
    EXPECT_EQ(render({dir + "/missing.tga", out}).status, 1);
}
