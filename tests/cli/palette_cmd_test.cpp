#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "cli/cli.h"
#include "tests/cli/cli_run.h"

namespace {

std::string writeFile(const std::string& name, const std::string& bytes) {
    const std::string path = std::string(::testing::TempDir()) + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

}  // namespace

TEST(CliPalette, PrintsAll256EntriesAsTextAndJson) {
    const std::string path = writeFile("cli.pal", "JASC-PAL\n0100\n2\n255 0 16\n1 2 3\n");
    CliRun r = run({"palette", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 48), "  0 255   0  16 #ff0010\n  1   1   2   3 #010203\n");
    size_t lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 256u);
    EXPECT_NE(r.out.find("255   0   0   0 #000000\n"), std::string::npos);

    r = run({"palette", "--json", path});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("{\"command\": \"palette\", \"status\": 0, \"file\": \"" + path +
                              "\", \"kind\": \"JASC-PAL\", \"colours\": 2, "
                              "\"entries\": [[255, 0, 16], [1, 2, 3], [0, 0, 0], ",
                          0),
              0u);
    EXPECT_NE(r.out.find("[0, 0, 0]], \"inputs\": [\"" + path +
                         "\"], \"outputs\": [], \"warnings\": []}\n"),
              std::string::npos);
}

TEST(CliPalette, ExitStatusForBadFilesAndUsage) {
    CliRun r = run({"palette", writeFile("cli_bad.gpl", "GIMP Palette\nName: x\n1 2\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cli_bad.gpl: Invalid GIMP PAL data"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    r = run({"palette", std::string(::testing::TempDir()) + "none/x.pal"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none/x.pal"), std::string::npos);
    EXPECT_EQ(run({"palette"}).status, 2);
    EXPECT_EQ(run({"palette", "a.pal", "b.pal"}).status, 2);
    EXPECT_EQ(run({"palette", "--bogus", "a.pal"}).status, 2);
    r = run({"palette", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: tarquil-cli palette FILE [--json]"), std::string::npos);
}

TEST(CliPalette, InfoAndConvertReadTheLayeredFormats) {
    // A 2x1 GIF: global table black, red; LZW codes (3 bits) clear, 1, 0, end.
    std::string gif = "GIF89a";
    gif += std::string("\x02\x00\x01\x00\x80\x00\x00", 7);
    gif += std::string("\x00\x00\x00\xff\x00\x00", 6);
    gif += std::string("\x2c\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02", 11);
    const int codes[] = {4, 1, 0, 5};
    uint32_t acc = 0;
    for (int i = 0; i < 4; ++i) acc |= uint32_t(codes[i]) << (3 * i);
    gif += std::string{'\x02', char(acc & 0xFF), char(acc >> 8), '\0', ';'};
    const std::string path = writeFile("cli.gif", gif);
    CliRun r = run({"info", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("type 264 (GIF), 2x1, format argb8888, 1 level, 1 frame"),
              std::string::npos)
        << r.out;
    const std::string tga = std::string(::testing::TempDir()) + "cli_gif.tga";
    r = run({"convert", path, tga, "--compression", "none"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"info", tga});
    EXPECT_NE(r.out.find("type 512 (TGA), 2x1"), std::string::npos) << r.out;
}
