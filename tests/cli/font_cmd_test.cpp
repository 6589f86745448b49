// tarquil-cli font end to end with the DejaVu faces of scripts/setup: the texture, its position
// files, the BMFont descriptor, settings and refusals.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"
#include "model/settings.h"
#include "texlib/read.h"
#include "tools/fontwizard/font_face.h"

namespace fs = std::filesystem;

namespace {

class CliFont : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / "cli_font";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    int run(std::vector<std::string> args, std::string* out = nullptr) {
        args.insert(args.begin(), "font");
        ::testing::internal::CaptureStdout();
        const int rc = cliRun(args);
        const std::string text = ::testing::internal::GetCapturedStdout();
        if (out) *out = text;
        return rc;
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir_;
};

}  // namespace

TEST_F(CliFont, WritesTextureWithPositionsAndDescriptor) {
    std::string out;
    ASSERT_EQ(run({"--face", "DejaVu Sans", "--size", "11", "-o", path("g.tga"), "--fnt"}, &out),
              CLI_OK);
    EXPECT_EQ(
        out.rfind(path("g.tga") + ": 256x102, 100 characters in 14x17 cells, face DejaVu Sans ", 0),
        0u)
        << out;
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(mip, path("g.tga"), TX_PREFER_ARGB8888, ctx));
    EXPECT_EQ(mip.width, 256);
    EXPECT_EQ(mip.height, 102);
    const std::string pos = read(path("g.tga_pos.txt"));
    EXPECT_EQ(pos.rfind("0,0,14,17:!\r\n14,0,28,17:\"\r\n", 0), 0u);
    EXPECT_NE(pos.find("0,17,14,34:3\r\n"), std::string::npos);
    int lines = 0;
    for (char c : pos) lines += c == '\n';
    EXPECT_EQ(lines, 100);
    EXPECT_TRUE(fs::exists(path("g.tga.map")));
    const std::string fnt = read(path("g.fnt"));
    EXPECT_NE(fnt.find("page id=0 file=\"g.tga\"\n"), std::string::npos);
    EXPECT_NE(fnt.find("chars count=100\n"), std::string::npos);
    EXPECT_NE(fnt.find("kerning first=65 second=86 amount=-1\n"), std::string::npos);

    // The position list turns into a glyph table at once.
    ::testing::internal::CaptureStdout();
    const int rc = cliRun({"codegen", path("g.tga")});
    const std::string code = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, CLI_OK);
    int codeLines = 0;
    for (char c : code) codeLines += c == '\n';
    EXPECT_EQ(codeLines, 100);
}

TEST_F(CliFont, OptionsShapeTheTexture) {
    std::string out;
    ASSERT_EQ(run({"-o",           path("m.png"), "--face=DejaVu Sans Mono",
                   "--size",       "11",          "--chars",
                   "7bit",         "--filter",    "upper,digit",
                   "--user-chars", "\xC3\xA4!",   "--pitch",
                   "fixed",        "--cell",      "12x20",
                   "--origin",     "left-top",    "--antialias",
                   "2x2",          "--width",     "512",
                   "--json"},
                  &out),
              CLI_OK);
    // 26 + 10 + "!" (the umlaut is beyond 7 bits): one row of 42 cells of 12 pixels.
    EXPECT_NE(out.find("\"width\": 512, \"height\": 20, \"characters\": 37, \"cell\": [12, 20], "
                       "\"face\": \"DejaVu Sans Mono\""),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\"substituted\": false"), std::string::npos);
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(mip, path("m.png"), TX_PREFER_ARGB8888, ctx));
    EXPECT_EQ(mip.width, 512);
    EXPECT_EQ(mip.height, 20);
    EXPECT_EQ(read(path("m.png_pos.txt")).rfind("0,0,12,20:!\r\n12,0,24,20:0\r\n", 0), 0u);

    ASSERT_EQ(run({"-o", path("v.tga"), "--face", "DejaVu Sans", "--size", "11", "--pitch",
                   "variable", "--margin", "1,2", "--filter", "0x0008", "--no-settings"}),
              CLI_OK);
    // Digits are 9 pixels wide at 14 pixels: 9 + 1, and 17 + 2 high.
    EXPECT_EQ(read(path("v.tga_pos.txt")).rfind("0,0,10,19:0\r\n10,0,20,19:1\r\n", 0), 0u);
}

TEST_F(CliFont, FixedCellsSmallerThanTheFontAreTakenAndSaid) {
    // The wizard's own case: 16 x 16 cells for an 11 pt face that needs 14 x 17.
    std::string out;
    ::testing::internal::CaptureStderr();
    const int rc = run({"-o", path("c.png"), "--face", "DejaVu Sans", "--size", "11", "--cell",
                        "16x16", "--no-settings", "--json"},
                       &out);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(rc, CLI_OK) << err;
    EXPECT_NE(out.find("\"width\": 256, \"height\": 112"), std::string::npos) << out;
    EXPECT_NE(err.find("font: Cells of 16 x 16 cannot hold this font's 14 x 17"), std::string::npos)
        << err;
    EXPECT_NE(out.find("\"clipped\": ["), std::string::npos) << out;
}

TEST_F(CliFont, SettingsArePresetsAndOnlySavedWhenAsked) {
    const std::string conf = path("config") + "/BrightvaleWorks/Tarquil Studio 1.0.conf";
    ASSERT_EQ(run({"--face", "DejaVu Sans Mono", "--size", "11", "-o", path("a.tga")}), CLI_OK);
    EXPECT_FALSE(fs::exists(conf));
    ASSERT_EQ(run({"--face", "DejaVu Sans Mono", "--size", "11", "--width", "512", "-o",
                   path("a.tga"), "--save-settings"}),
              CLI_OK);
    {
        IniSettingsStore store(conf);
        EXPECT_EQ(store.getInt("FontWizard", "nCnt", 0), 1);
        EXPECT_EQ(store.getString("FontWizard\\Preset0", "Name", ""), "Standard");
        EXPECT_EQ(store.getString("FontWizard\\Preset0", "Fontname", ""), "DejaVu Sans Mono");
        EXPECT_EQ(store.getInt("FontWizard\\Preset0", "Texturewidth", 0), 1);
        // The measured cell size is written back with the preset.
        EXPECT_EQ(store.getInt("FontWizard\\Preset0", "cell_cx", 0), 8);
        EXPECT_EQ(store.getInt("FontWizard\\Preset0", "cell_cy", 0), 17);
    }
    // The saved preset is now the default; --preset picks one by name, --no-settings ignores them.
    std::string out;
    ASSERT_EQ(run({"-o", path("b.tga"), "--json"}, &out), CLI_OK);
    EXPECT_NE(out.find("\"width\": 512"), std::string::npos) << out;
    EXPECT_NE(out.find("\"face\": \"DejaVu Sans Mono\""), std::string::npos) << out;
    ASSERT_EQ(run({"-o", path("b.tga"), "--preset", "standard", "--json"}, &out), CLI_OK);
    EXPECT_NE(out.find("\"face\": \"DejaVu Sans Mono\""), std::string::npos) << out;
    EXPECT_EQ(run({"-o", path("b.tga"), "--preset", "Other"}), CLI_USAGE);

    FontFaceMatch arial;
    ASSERT_TRUE(fontFindFace("Arial", 0, arial, nullptr));
    ASSERT_EQ(run({"-o", path("c.tga"), "--no-settings"}, &out), CLI_OK);
    if (!arial.exact) {
        EXPECT_NE(out.find(", substituted for 'Arial'"), std::string::npos) << out;
    }
    EXPECT_NE(out.find("face " + arial.family + " "), std::string::npos) << out;
}

TEST_F(CliFont, RefusesBadValuesAndReportsFailures) {
    const std::vector<std::vector<std::string>> bad = {
        {"--size", "0"},
        {"--size", "12pt"},
        {"--style", "fancy"},
        {"--chars", "16bit"},
        {"--filter", "upper,bogus"},
        {"--pitch", "wide"},
        {"--cell", "300x10"},
        {"--cell", "16x1"},
        {"--cell", "16x16", "--pitch", "variable"},
        {"--margin", "1"},
        {"--origin", "middle"},
        {"--origin", "3"},
        {"--antialias", "8x8"},
        {"--width", "40000"},
        {"--filter", "0"},  // no character: "Error, invalid cellsize. Try other options"
        {"--size", "200", "--filter", "oneof", "--user-chars", "W"},  // cell wider than 256
        {"--bogus"},
        {"extra.tga"},
    };
    for (auto args : bad) {
        args.insert(args.end(), {"--face", "DejaVu Sans", "-o", path("x.tga")});
        EXPECT_EQ(run(args), CLI_USAGE) << args[0] << " " << args[1];
        EXPECT_FALSE(fs::exists(path("x.tga"))) << args[0];
    }
    EXPECT_EQ(run({"--face", "DejaVu Sans"}), CLI_USAGE);
    EXPECT_EQ(run({"--face", "DejaVu Sans", "-o", path("x.bmp")}), CLI_USAGE);
    EXPECT_EQ(
        run({"--face", "DejaVu Sans", "-o", path("x.tga"), "--save-settings", "--no-settings"}),
        CLI_USAGE);
    EXPECT_FALSE(fs::exists(path("x.tga")));
    EXPECT_EQ(run({"--face", "DejaVu Sans", "-o", path("missing/dir/x.tga")}), CLI_FILE_ERROR);
    EXPECT_EQ(run({"--face", "DejaVu Sans", "-o", dir_.string() + "/"}), CLI_USAGE);

    std::string out;
    ASSERT_EQ(run({"--list"}, &out), CLI_OK);
    EXPECT_NE(("\n" + out).find("\nDejaVu Sans\n"), std::string::npos);
    ASSERT_EQ(run({"--list", "--json"}, &out), CLI_OK);
    EXPECT_NE(out.find("\"DejaVu Sans Mono\""), std::string::npos);
    EXPECT_EQ(out.rfind("{\"command\": \"font\", \"status\": 0, \"faces\": [", 0), 0u);
    EXPECT_EQ(run({"--help"}, &out), CLI_OK);
    EXPECT_NE(out.find("--antialias none|2x2|4x4"), std::string::npos);
}
