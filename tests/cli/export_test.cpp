// tarquil-cli export end to end: options, saved settings, refusals and the files it writes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"
#include "model/export_settings.h"
#include "model/settings.h"
#include "tests/texlib/raster_test_util.h"
#include "texlib/read.h"
#include "texlib/tga.h"

namespace fs = std::filesystem;

namespace {

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / "cli_export";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // The command reads the editor's settings: give it a settings folder of its own.
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        std::vector<uint32_t> px(size_t(40 * 20));
        for (size_t k = 0; k < px.size(); ++k) px[k] = 0xFF000000u | uint32_t(k * 2654435761u >> 8);
        ASSERT_EQ(txWriteTGA(path("in.tga"), 40, 20, px.data()), TX_TGA_OK);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "export");
        return cliRun(args);
    }
    fs::path dir_;
};

TxMip readOwn(const std::string& p, int& type) {
    TxMip m;
    TxReadContext ctx;
    EXPECT_TRUE(txMipReadFile(m, p, TX_PREFER_OWN, ctx)) << ctx.lastError;
    type = ctx.fileType;
    return m;
}

}  // namespace

TEST_F(CliExport, WritesEveryOutputKind) {
    int type = 0;
    ASSERT_EQ(run({path("in.tga"), path("a.3df"), "--format", "rgb565", "--resample", "auto",
                   "--mipmap", "all", "--dither", "diffusion"}),
              CLI_OK);
    TxMip a = readOwn(path("a.3df"), type);
    EXPECT_EQ(type, TX_TYPE_3DF);
    EXPECT_EQ(a.format, TX_FMT_RGB565);
    EXPECT_EQ(a.width, 32);
    EXPECT_EQ(a.height, 16);
    EXPECT_EQ(a.depth, 6);
    ASSERT_EQ(run({"--output=tex", "--format=ayiq8422", "--ncc=heuristic", "--aspect", "1:1",
                   path("in.tga"), path("b.tex")}),
              CLI_OK);
    TxMip b = readOwn(path("b.tex"), type);
    EXPECT_EQ(type, TX_TYPE_TEX);
    EXPECT_EQ(b.format, TX_FMT_AYIQ8422);
    EXPECT_EQ(b.width, 16);
    EXPECT_EQ(b.height, 16);
    ASSERT_EQ(run({path("in.tga"), path("c.raw"), "--output", "raw", "--format", "p8", "--resample",
                   "8x4", "--mipmap", "size:2"}),
              CLI_OK);
    // p8 palette (1024 bytes) and levels 8x4, 4x2, 2x1.
    EXPECT_EQ(fs::file_size(path("c.raw")), 1024u + 32u + 8u + 2u);
    ASSERT_EQ(run({path("in.tga"), path("d.3df"), "--format", "argb8888", "--resample", "auto",
                   "--comment", "made by a test"}),
              CLI_OK);
    std::FILE* f = std::fopen(path("d.3df").c_str(), "rb");
    ASSERT_TRUE(f);
    char head[64] = {};
    ASSERT_EQ(std::fread(head, 1, 28, f), 28u);
    std::fclose(f);
    EXPECT_EQ(std::string(head, 28), "3df v1.1####made by a test\n#");
}

TEST_F(CliExport, RefusesBadValuesBeforeTouchingFiles) {
    const std::string out = path("x.3df");
    const std::vector<std::vector<std::string>> bad = {
        {"--format", "rsvd1"},
        {"--format", "ap88"},
        {"--dither", "floyd"},
        {"--ncc", "best"},
        {"--mipmap", "10"},
        {"--mipmap", "size:0"},
        {"--mipmap", "0"},
        {"--resample", "0x16"},
        {"--resample", "big"},
        {"--aspect", "3:1"},
        {"--aspect", "1:1", "--resample", "64x64"},
        {"--output", "bmp"},
        {"--swap", "--no-swap"},
        {"--comment", "c", "--format", "rgb565"},
        {"--frame", "0"},
        {"--bogus"},
    };
    for (auto args : bad) {
        args.insert(args.begin(), {path("in.tga"), out});
        EXPECT_EQ(run(args), CLI_USAGE) << args[2];
        EXPECT_FALSE(fs::exists(out)) << args[2];
    }
    EXPECT_EQ(run({path("in.tga")}), CLI_USAGE);
    EXPECT_EQ(run({"--help"}), CLI_OK);
    // An image these options cannot export: 40x20 without resampling.
    EXPECT_EQ(run({path("in.tga"), out, "--resample", "none"}), CLI_USAGE);
    EXPECT_EQ(run({path("in.tga"), out, "--resample", "512x512", "--output", "tex"}), CLI_USAGE);
    EXPECT_FALSE(fs::exists(out));
    // Files that cannot be read or written.
    EXPECT_EQ(run({path("missing.tga"), out}), CLI_FILE_ERROR);
    EXPECT_EQ(run({path("in.tga"), path("no/dir/x.3df"), "--resample", "auto"}), CLI_FILE_ERROR);
    EXPECT_EQ(run({path("in.tga"), out, "--frame", "2", "--resample", "auto"}), CLI_USAGE);
}

TEST_F(CliExport, SavedSettingsAreTheDefaults) {
    {
        IniSettingsStore store(IniSettingsStore::defaultPath());
        ExportTextureSettings s;
        s.format = 10;   // argb4444
        s.resample = 1;  // automatic
        s.header = 1;    // TEX
        s.mipmap = 3;    // 2 levels
        saveExportTextureSettings(store, s);
        ASSERT_TRUE(store.flush());
    }
    int type = 0;
    ASSERT_EQ(run({path("in.tga"), path("s.tex")}), CLI_OK);
    TxMip m = readOwn(path("s.tex"), type);
    EXPECT_EQ(type, TX_TYPE_TEX);
    EXPECT_EQ(m.format, TX_FMT_ARGB4444);
    EXPECT_EQ(m.depth, 2);
    // Options override without being written back...
    ASSERT_EQ(run({path("in.tga"), path("t.3df"), "--output", "3df", "--format", "i8"}), CLI_OK);
    EXPECT_EQ(loadExportTextureSettings(IniSettingsStore(IniSettingsStore::defaultPath())).format,
              10);
    // ...unless asked to.
    ASSERT_EQ(run({path("in.tga"), path("t.3df"), "--output", "3df", "--format", "i8",
                   "--save-settings"}),
              CLI_OK);
    const ExportTextureSettings s =
        loadExportTextureSettings(IniSettingsStore(IniSettingsStore::defaultPath()));
    EXPECT_EQ(s.format, 0);
    EXPECT_EQ(s.header, 0);
    EXPECT_EQ(s.mipmap, 3);
}

TEST_F(CliExport, DdsAndKtx2) {
    // The 40x20 image goes into both containers as it is; KTX2 with sRGB mipmaps after an
    // automatic resampling to 32x16.
    ASSERT_EQ(run({path("in.tga"), path("a.dds"), "--output", "dds", "--format", "argb4444"}),
              CLI_OK);
    const auto dds = raster::slurp(path("a.dds"));
    ASSERT_EQ(dds.size(), 128u + 40 * 20 * 2);
    EXPECT_EQ(std::string(dds.begin(), dds.begin() + 4), "DDS ");
    EXPECT_EQ(dds[16], 40);
    ASSERT_EQ(run({path("in.tga"), path("a.ktx2"), "--output", "ktx2", "--format", "argb8888",
                   "--resample", "auto", "--mipmap", "all", "--srgb", "--mipmap-filter", "kaiser",
                   "--alpha-bleed", "--premultiply"}),
              CLI_OK);
    const auto ktx = raster::slurp(path("a.ktx2"));
    ASSERT_GT(ktx.size(), 80u);
    EXPECT_EQ(ktx[1], 'K');
    EXPECT_EQ(ktx[12], 43);  // R8G8B8A8_SRGB
    EXPECT_EQ(ktx[20], 32);
    EXPECT_EQ(ktx[40], 6);  // levels 32x16 down to 1x1

    // Bad values exit 2 before anything is read (IN does not even exist) or written.
    const std::string out = path("x.dds");
    const std::vector<std::vector<std::string>> bad = {
        {"--output", "dds", "--format", "yiq"},
        {"--output", "dds", "--format", "ayiq8422"},
        {"--output", "ktx2", "--format", "rgb332"},
        {"--output", "ktx2", "--format", "p8"},
        {"--output", "dds", "--format", "rgb565", "--srgb"},
        {"--output", "ktx2", "--format", "a8", "--srgb"},
        {"--output", "3df", "--format", "argb8888", "--srgb"},
        {"--output", "dds", "--format", "argb8888", "--resample", "16385x16"},
        {"--output", "ktx2", "--mipmap-filter", "lanczos"},
        {"--output", "dds", "--srgb", "--no-srgb"},
        {"--output", "gltf"},
    };
    for (auto args : bad) {
        args.insert(args.begin(), {path("missing.png"), out});
        testing::internal::CaptureStderr();
        EXPECT_EQ(run(args), CLI_USAGE) << args[3] << " " << args.back();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("missing.png"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(out));
    }
    // The refusal names what the container can hold.
    testing::internal::CaptureStderr();
    run({path("in.tga"), out, "--output", "ktx2", "--format", "yiq"});
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "i8, a8, ai44, ai88, rgb565, argb1555, argb4444, argb8888"),
              std::string::npos);
}

TEST_F(CliExport, YiqTexTableIs112BytesUnlessTheFullOneIsAsked) {
    auto sizeWord = [](const std::string& file) {
        FILE* f = std::fopen(file.c_str(), "rb");
        uint32_t w[5] = {};
        if (f) {
            EXPECT_EQ(std::fread(w, 4, 5, f), 5u);
            std::fclose(f);
        }
        return std::make_pair(w[4], fs::exists(file) ? fs::file_size(file) : 0);
    };
    // 32 x 16 after resampling: 512 texels of one byte after header and table.
    ASSERT_EQ(run({path("in.tga"), path("y.tex"), "--format", "yiq", "--output", "tex",
                   "--resample", "32x16", "--mipmap", "none"}),
              CLI_OK);
    EXPECT_EQ(sizeWord(path("y.tex")), std::make_pair(112u, uintmax_t(20 + 112 + 512)));
    ASSERT_EQ(run({path("in.tga"), path("f.tex"), "--format", "ayiq8422", "--output", "tex",
                   "--resample", "32x16", "--mipmap", "none", "--full-yiq-table"}),
              CLI_OK);
    EXPECT_EQ(sizeWord(path("f.tex")), std::make_pair(160u, uintmax_t(20 + 160 + 1024)));
    TxMip back;
    TxReadContext ctx;
    EXPECT_TRUE(txMipReadFile(back, path("f.tex"), TX_PREFER_OWN, ctx)) << ctx.lastError;
    EXPECT_EQ(run({path("in.tga"), path("n.3df"), "--format", "yiq", "--full-yiq-table"}),
              CLI_USAGE);
    EXPECT_FALSE(fs::exists(path("n.3df")));
}
