// The options every command shares: response files, --json, --depfile, --no-settings, --version.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/cli.h"
#include "model/settings.h"
#include "tests/cli/cli_run.h"
#include "texlib/tga.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class SharedOptions : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / "cli_shared";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::vector<uint32_t> px(8 * 4, 0xFF102030u);
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(txWriteTGA(path("w_00" + std::to_string(k) + ".tga"), 8, 4, px.data()), 0);
        fs::remove(IniSettingsStore::defaultPath());
    }
    void TearDown() override {
        fs::remove(IniSettingsStore::defaultPath());
        ::unsetenv("TARQUIL_NO_SETTINGS");
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

}  // namespace

TEST(DepfileText, EscapesAsGccDoesAndRefusesLineBreaks) {
    EXPECT_EQ(cliDepfileEscape("a b#c$d"), "a\\ b\\#c$$d");
    // Backslashes before a space are doubled, others stay.
    EXPECT_EQ(cliDepfileEscape("x\\ y\\z\tq"), "x\\\\\\ y\\z\\\tq");
    EXPECT_EQ(cliDepfileText({"o.png", "o.png_pos.txt"}, {"in 1.tga", "o.png", "s.conf"}),
              "o.png o.png_pos.txt: \\\n  in\\ 1.tga \\\n  s.conf\n");
    EXPECT_EQ(cliDepfileText({"o.png"}, {}), "o.png:\n");
    EXPECT_EQ(cliDepfileText({}, {"in.tga"}), "");
    EXPECT_FALSE(cliDepfileText({"o.png"}, {"a\nb.tga"}));
}

TEST_F(SharedOptions, ResponseFilesJsonAndDepfile) {
    // One argument a line, CR LF and empty lines allowed, names with spaces kept whole.
    std::ofstream(path("args.rsp"), std::ios::binary)
        << "convert\r\n"
        << path("w_000.tga") << "\r\n\r\n--frames\nall\n--strip\n"
        << path("my strip#1.tga") << "\n--depfile\n"
        << path("strip.d") << "\n";
    CliRun r = run({"@" + path("args.rsp"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string strip = path("my strip#1.tga");
    EXPECT_TRUE(fs::exists(strip));
    const std::string esc = cliDepfileEscape(strip);
    // The series' folder was read, but the strip went into it: it is no prerequisite.
    EXPECT_EQ(slurp(path("strip.d")), esc + " " + esc + "_pos.txt " + esc + ".map: \\\n  " +
                                          path("w_000.tga") + " \\\n  " + path("w_001.tga") +
                                          " \\\n  " + path("w_002.tga") + "\n");
    EXPECT_EQ(r.out, "{\"command\": \"convert\", \"status\": 0, \"inputs\": [" +
                         cliJsonString(path("w_000.tga")) + ", " +
                         cliJsonString(path("w_001.tga")) + ", " +
                         cliJsonString(path("w_002.tga")) + ", " + cliJsonString(dir_.string()) +
                         "], \"outputs\": [" + cliJsonString(strip) + ", " +
                         cliJsonString(strip + "_pos.txt") + ", " + cliJsonString(strip + ".map") +
                         "], \"warnings\": []}\n");

    // An unreadable response file is named; bad usage gives an error object.
    r = run({"convert", "@" + path("none.rsp")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("response file " + path("none.rsp") + ": No such file or directory"),
              std::string::npos);
    r = run({"convert", path("w_000.tga"), "--json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "{\"command\": \"convert\", \"status\": 2, \"error\": \"convert: expected IN "
                     "and OUT (see tarquil-cli convert --help)\", \"messages\": [\"convert: "
                     "expected IN and OUT (see tarquil-cli convert --help)\"]}\n");

    // A depfile that cannot be written fails the run before anything is written.
    r = run({"convert", path("w_001.tga"), path("one.png"), "--depfile", path("no/dir/one.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path("no/dir/one.d") + ": the depfile cannot be written"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(path("one.png")));
    // A failed command writes no depfile and leaves no temporary file beside it.
    r = run({"convert", path("missing.tga"), path("one.png"), "--depfile", path("one.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir_), {}).size(), 8u);
    EXPECT_FALSE(fs::exists(path("one.d")));

    // A depfile that cannot hold the names fails the run and takes its outputs away.
    r = run({"convert", path("w_001.tga"), path("two\nlines.png"), "--depfile", path("two.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a file name holds a line break"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("two\nlines.png")));
    EXPECT_FALSE(fs::exists(path("two.d")));

    r = run({"--version", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("{\"program\": \"tarquil-cli\", \"version\": \"", 0), 0u);
    EXPECT_EQ(run({"--version", "-x"}).status, 2);
}

TEST_F(SharedOptions, NoSettingsTakesTheBuiltInDefaultsAndListsNoSettingsFile) {
    // The editor's setting: TGA without compression (image type 2); built in: run-length (10).
    const std::string conf = IniSettingsStore::defaultPath();
    fs::create_directories(fs::path(conf).parent_path());
    std::ofstream(conf) << "[Settings]\nCompressTGA=0\n";
    ASSERT_EQ(run({"convert", path("w_001.tga"), path("a.tga"), "--depfile", path("a.d")}).status,
              0);
    EXPECT_EQ(slurp(path("a.tga"))[2], 2);
    EXPECT_EQ(slurp(path("a.d")), path("a.tga") + ": \\\n  " + cliDepfileEscape(conf) + " \\\n  " +
                                      path("w_001.tga") + "\n");

    ASSERT_EQ(run({"convert", path("w_001.tga"), path("b.tga"), "--no-settings", "--depfile",
                   path("b.d")})
                  .status,
              0);
    EXPECT_EQ(slurp(path("b.tga"))[2], 10);
    EXPECT_EQ(slurp(path("b.d")), path("b.tga") + ": \\\n  " + path("w_001.tga") + "\n");

    // The palette file of the settings is read (and listed) only by a file that needs a palette.
    const std::string lmp = path("a.lmp");
    std::ofstream(lmp, std::ios::binary).write("\4\0\0\0\1\0\0\0\0\1\2\3", 12);
    std::ofstream(path("p.pal")) << "JASC-PAL\n0100\n2\n0 0 0\n9 8 7\n";
    std::ofstream(conf) << "[Settings]\npalfile=" << path("p.pal") << "\n";
    CliRun r = run({"convert", lmp, path("a.png"), "--depfile", path("p.d")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("p.d")), path("a.png") + ": \\\n  " + cliDepfileEscape(conf) + " \\\n  " +
                                      path("p.pal") + " \\\n  " + lmp + "\n");
    ASSERT_EQ(run({"convert", path("w_001.tga"), path("d.tga"), "--depfile", path("d.d")}).status,
              0);
    EXPECT_EQ(slurp(path("d.d")).find("p.pal"), std::string::npos);

    ::setenv("TARQUIL_NO_SETTINGS", "1", 1);
    ASSERT_EQ(run({"convert", path("w_001.tga"), path("c.tga")}).status, 0);
    EXPECT_EQ(slurp(path("c.tga"))[2], 10);
    // Nothing is saved where no settings are read.
    r = run({"export", path("w_001.tga"), path("c.3df"), "--save-settings"});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(path("c.3df")));
}
