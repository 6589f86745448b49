#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "cli/cli.h"

namespace {

std::string writeFile(const std::string& name, const std::string& bytes) {
    const std::string path = std::string(::testing::TempDir()) + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct Run {
    int status;
    std::string out, err;
};

Run run(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cliRun(args);
    Run r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
}

} // namespace

TEST(CliPalette, PrintsAll256EntriesAsTextAndJson) {
    const std::string path = writeFile("cli.pal", "JASC-PAL\n0100\n2\n255 0 16\n1 2 3\n");
    Run r = run({"palette", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 44), "  0 255   0  16 #ff0010\n  1   1   2   3 #010203\n");
    size_t lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 256u);
    EXPECT_NE(r.out.find("255   0   0   0 #000000\n"), std::string::npos);

    r = run({"palette", "--json", path});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("{\"file\": \"" + path + "\", \"kind\": \"JASC-PAL\", \"colours\": 2, "
                          "\"entries\": [[255, 0, 16], [1, 2, 3], [0, 0, 0], ",
                          0),
              0u);
    EXPECT_EQ(r.out.substr(r.out.size() - 13), "[0, 0, 0]]}\n");
}

TEST(CliPalette, ExitStatusForBadFilesAndUsage) {
    Run r = run({"palette", writeFile("cli_bad.gpl", "GIMP Palette\nName: x\n1 2\n")});
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
