// tarquil-cli pack end to end: the pages and data files read back by other programs (Python's
// json with Pillow, node's spine-core for the libGDX atlas), and the refusals that write nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "cli/cli.h"
#include "document/pack_documents.h"
#include "model/frame_writers.h"
#include "model/position_files.h"
#include "tests/run_command.h"
#include "tests/scripted_prompts.h"
#include "texlib/read.h"

namespace fs = std::filesystem;

namespace {

class CliPack : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               (std::string("cli_pack_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "sprites" / "hero");
        fs::create_directories(dir_ / "other");
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    int run(std::vector<std::string> args, std::string* err = nullptr) {
        args.insert(args.begin(), "pack");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = cliRun(args);
        testing::internal::GetCapturedStdout();
        const std::string e = testing::internal::GetCapturedStderr();
        if (err) *err = e;
        return status;
    }
    // A w x h PNG whose pixels inside the margin are opaque and differ from each other.
    void sprite(const std::string& name, int w, int h, int margin, uint32_t seed) {
        Frame f;
        ASSERT_EQ(f.createBlank(w, h), FE_OK);
        for (int y = margin; y < h - margin; ++y)
            for (int x = margin; x < w - margin; ++x)
                f.pixels()[size_t(y) * size_t(w) + size_t(x)] =
                    0xff000000u | ((seed * 2654435761u + uint32_t(y * w + x) * 40503u) & 0xffffff);
        ASSERT_EQ(writeFrameAs(f, TX_TYPE_PNG, path(name), 1, {}), 0);
    }
    std::string script(const std::string& name, const std::string& text) {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    fs::path dir_;
};

bool have(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

TEST_F(CliPack, JsonHashReadByPythonGivesSourceSizeOffsetAndPixels) {
    if (!have("python3 -c 'import json'")) GTEST_SKIP() << "python3 is not installed";
    sprite("sprites/hero/walk_000.png", 20, 30, 3, 1);
    sprite("sprites/hero/walk_001.png", 24, 18, 5, 2);
    sprite("sprites/gem.png", 16, 16, 0, 3);
    sprite("sprites/big.png", 60, 44, 7, 4);
    std::string err;
    ASSERT_EQ(run({path("sprites"), "-o", path("out/sheet.png"), "--data", path("out/sheet.json"),
                   "--trim", "trim", "--extrude", "2", "--padding", "2", "--border", "1"},
                  &err),
              0)
        << err;
    EXPECT_TRUE(fs::exists(path("out/sheet.png_pos.txt")));
    EXPECT_TRUE(fs::exists(path("out/sheet.png.map")));
    // Python reads the data file; the rectangles it gives are then checked against the pixels.
    const std::string py = script("check.py", R"(import json, sys
d = json.load(open(sys.argv[1]))
print(d['meta']['image'])
for name, f in sorted(d['frames'].items()):
    fr, ss, so = f['frame'], f['spriteSourceSize'], f['sourceSize']
    print(name, so['w'], so['h'], ss['x'], ss['y'], ss['w'], ss['h'], fr['x'], fr['y'])
)");
    std::string out;
    ASSERT_TRUE(runCapture("python3 '" + py + "' '" + path("out/sheet.json") + "' 2>&1", out))
        << out;
    std::istringstream lines(out);
    std::string image;
    lines >> image;
    EXPECT_EQ(image, "sheet.png");
    auto load = [](const std::string& file, int& w, int& h) {
        TxMip m;
        TxReadContext ctx;
        EXPECT_TRUE(txMipReadFile(m, file, TX_PREFER_ARGB8888, ctx)) << file;
        w = m.width;
        h = m.height;
        const auto* px = reinterpret_cast<const uint32_t*>(m.data[0]);
        return px ? std::vector<uint32_t>(px, px + size_t(w) * size_t(h)) : std::vector<uint32_t>{};
    };
    int sw = 0, sh = 0;
    const auto sheet = load(path("out/sheet.png"), sw, sh);
    std::string name, seen;
    int srcW, srcH, ox, oy, w, h, fx, fy;
    while (lines >> name >> srcW >> srcH >> ox >> oy >> w >> h >> fx >> fy) {
        seen += name + " " + std::to_string(srcW) + "x" + std::to_string(srcH) + "+" +
                std::to_string(ox) + "+" + std::to_string(oy) + "\n";
        int iw = 0, ih = 0;
        const auto src = load(path("sprites/" + name + ".png"), iw, ih);
        int bad = 0;
        for (int y = -2; y < h + 2; ++y)  // the frame and its extruded ring
            for (int x = -2; x < w + 2; ++x) {
                const int cx = std::clamp(x, 0, w - 1), cy = std::clamp(y, 0, h - 1);
                bad += sheet[size_t(fy + y) * size_t(sw) + size_t(fx + x)] !=
                       src[size_t(oy + cy) * size_t(iw) + size_t(ox + cx)];
            }
        EXPECT_EQ(bad, 0) << name;
    }
    EXPECT_EQ(seen, "big 60x44+7+7\n"
                    "gem 16x16+0+0\n"
                    "hero/walk_000 20x30+3+3\n"
                    "hero/walk_001 24x18+5+5\n");
}

TEST_F(CliPack, LibgdxAtlasReadBySpineCoreWithRotationAndPages) {
    const std::string spine = TARQUIL_NODE_MODULES "/@esotericsoftware/spine-core/dist/index.js";
    if (!have("node --version")) GTEST_SKIP() << "node is not installed";
    if (!fs::exists(spine))
        GTEST_SKIP() << "spine-core is not installed in " TARQUIL_NODE_MODULES
                        " (scripts/setup installs it)";
    for (int i = 0; i < 6; ++i)
        sprite("sprites/s" + std::to_string(i) + ".png", 40 + 3 * i, 20 + i, 2, uint32_t(i));
    std::string err;
    ASSERT_EQ(run({path("sprites"), "-o", path("out/page{n}.png"), "--data", path("out/a.atlas"),
                   "--template", "libgdx", "--trim", "trim", "--rotate", "--max", "64x64"},
                  &err),
              0)
        << err;
    ASSERT_TRUE(fs::exists(path("out/page1.png"))) << "expected several pages";
    const std::string js = script("read.mjs", "import { readFileSync } from 'fs';\n"
                                              "const { TextureAtlas } = await import('" +
                                                  spine +
                                                  "');\n"
                                                  "const a = new TextureAtlas(readFileSync("
                                                  "process.argv[2], 'utf8'));\n"
                                                  "for (const r of a.regions) console.log(r.name, "
                                                  "r.originalWidth, r.originalHeight, r.offsetX, "
                                                  "r.width, r.height);\n");
    std::string out;
    ASSERT_TRUE(runCapture("node '" + js + "' '" + path("out/a.atlas") + "' 2>&1", out)) << out;
    std::string want;
    for (int i = 0; i < 6; ++i)
        want += "s" + std::to_string(i) + " " + std::to_string(40 + 3 * i) + " " +
                std::to_string(20 + i) + " 2 " + std::to_string(36 + 3 * i) + " " +
                std::to_string(16 + i) + "\n";
    // Regions come page by page; sort the lines before comparing.
    std::istringstream lines(out);
    std::vector<std::string> got;
    for (std::string l; std::getline(lines, l);) got.push_back(l);
    std::sort(got.begin(), got.end());
    std::string sorted;
    for (const auto& l : got) sorted += l + "\n";
    EXPECT_EQ(sorted, want);
}

TEST_F(CliPack, RefusalsWriteNothing) {
    sprite("sprites/a.png", 8, 8, 0, 1);
    sprite("sprites/hero/a.png", 8, 8, 0, 2);
    sprite("other/a.png", 8, 8, 0, 3);
    std::ofstream(path("sprites/broken.png")) << "not a picture";
    std::string err;
    // An unreadable image is named, status 1.
    EXPECT_EQ(run({path("sprites"), "-o", path("out.png")}, &err), 1);
    EXPECT_NE(err.find("broken.png"), std::string::npos) << err;
    fs::remove(path("sprites/broken.png"));
    // Two inputs with the same sprite name.
    EXPECT_EQ(run({path("sprites"), path("other/a.png"), "-o", path("out.png")}, &err), 2);
    EXPECT_NE(err.find("'a'"), std::string::npos) << err;
    // A sprite larger than the page.
    EXPECT_EQ(run({path("sprites"), "-o", path("out.png"), "--max", "6x6"}, &err), 2);
    EXPECT_NE(err.find("does not fit"), std::string::npos) << err;
    // Several pages without {n}, rotation with a template that cannot say so, no sprites.
    EXPECT_EQ(run({path("sprites"), "-o", path("out.png"), "--max", "8x8"}, &err), 2);
    EXPECT_NE(err.find("{n}"), std::string::npos) << err;
    EXPECT_EQ(run({path("sprites"), "-o", path("out.png"), "--rotate", "--data", path("o.css"),
                   "--template", "css"},
                  &err),
              2);
    fs::create_directories(path("empty"));
    EXPECT_EQ(run({path("empty"), "-o", path("out.png")}, &err), 2);
    EXPECT_NE(err.find("no sprites"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(path("out.png")));
    EXPECT_FALSE(fs::exists(path("out.png_pos.txt")));
    EXPECT_FALSE(fs::exists(path("o.css")));
    // And the good run writes the page with both position files.
    EXPECT_EQ(run({path("sprites"), "-o", path("out.png")}, &err), 0) << err;
    EXPECT_TRUE(fs::exists(path("out.png_pos.txt")));
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Makes documents the way the editor's New does and keeps them.
struct DocumentMaker {
    DocumentContext context;
    std::vector<std::unique_ptr<CBitmapDoc>> docs;
    CBitmapDoc* operator()(Prompts& prompts) {
        auto doc = std::make_unique<CBitmapDoc>(context);
        if (!doc->onNewDocument(prompts)) return nullptr;
        docs.push_back(std::move(doc));
        return docs.back().get();
    }
};

// The editor's Pack Sprites gives the command's pages, position lists and data file, byte for
// byte, for the same sprites and options.
TEST_F(CliPack, EditorPackOpensTheCommandsPagesAndWritesItsDataFile) {
    for (int i = 0; i < 6; ++i)
        sprite("sprites/s" + std::to_string(i) + ".png", 40 + 3 * i, 20 + i, 2, uint32_t(i));
    sprite("sprites/hero/s0.png", 40, 20, 2, 0);  // a duplicate of s0
    std::string err;
    ASSERT_EQ(run({path("sprites"), "-o", path("cli/page{n}.png"), "--data", path("cli/a.atlas"),
                   "--template", "libgdx", "--trim", "trim", "--rotate", "--max", "64x64",
                   "--extrude", "1", "--alias-duplicates"},
                  &err),
              0)
        << err;
    PackRequest rq;
    rq.inputs = {path("sprites")};
    rq.options.trim = PackTrim::Trim;
    rq.options.rotate = true;
    rq.options.maxWidth = rq.options.maxHeight = 64;
    rq.options.extrude = 1;
    rq.options.aliasDuplicates = true;
    rq.sheetFile = "page{n}.png";
    rq.writeData = true;
    rq.dataFile = path("ed/a.atlas");
    rq.templateName = "libgdx";
    ScriptedPrompts prompts;
    DocumentMaker maker;
    NullProgress progress;
    const auto docs = packSpritesIntoDocuments(rq, prompts, &progress, maker.context,
                                               [&](Prompts& p) { return maker(p); });
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front();
    EXPECT_EQ(prompts.newSizeDialogs, 0);
    ASSERT_GE(docs.size(), 2u) << "expected several pages";
    EXPECT_EQ(fileText(path("ed/a.atlas")), fileText(path("cli/a.atlas")));
    for (size_t p = 0; p < docs.size(); ++p) {
        const std::string page = path("cli/page" + std::to_string(p) + ".png");
        Frame want;
        ASSERT_EQ(want.load(page), FE_OK) << page;
        const Frame* got = docs[p]->frames()->currentFrame();
        ASSERT_EQ(got->width(), want.width());
        ASSERT_EQ(got->height(), want.height());
        EXPECT_TRUE(std::equal(want.pixels(), want.pixels() + size_t(want.width()) * want.height(),
                               got->pixels()))
            << "page " << p;
        // The position list as the command saved it beside its page.
        EXPECT_EQ(positionTextBytes(docs[p]->positions()), fileText(page + "_pos.txt"));
        EXPECT_FALSE(docs[p]->positions().empty());
        EXPECT_EQ(docs[p]->title(), "page" + std::to_string(p) + ".png");
        EXPECT_EQ(docs[p]->path().fullPath(), path("ed/page" + std::to_string(p) + ".png"));
        EXPECT_TRUE(docs[p]->isModified());
    }
}

TEST_F(CliPack, EditorPackRefusalsSayWhyAndWriteNothing) {
    sprite("sprites/a.png", 8, 8, 0, 1);
    std::ofstream(path("sprites/broken.png")) << "not a picture";
    PackRequest rq;
    rq.inputs = {path("sprites")};
    rq.writeData = true;
    rq.dataFile = path("out/a.json");
    DocumentMaker maker;
    auto pack = [&](const PackRequest& r) {
        ScriptedPrompts prompts;
        std::string why;
        const size_t docs =
            packSpritesIntoDocuments(
                r, prompts, nullptr, maker.context, [&](Prompts& p) { return maker(p); }, &why)
                .size();
        EXPECT_EQ(docs, 0u);
        EXPECT_EQ(prompts.messages, std::vector<std::string>{why});
        return why;
    };
    EXPECT_EQ(pack(rq), path("sprites/broken.png") + ": Unrecognised file format; nothing written");
    fs::remove(path("sprites/broken.png"));
    PackRequest turn = rq;
    turn.options.rotate = true;
    turn.templateName = "css";
    EXPECT_EQ(pack(turn), "the template css cannot say that a sprite is rotated; leave out Rotate");
    PackRequest small = rq;
    small.options.maxWidth = 6;
    EXPECT_NE(pack(small).find("does not fit inside a page of 6x4096"), std::string::npos);
    PackRequest none = rq;
    none.inputs.clear();
    EXPECT_EQ(pack(none), "no sprites given; add files or a folder");
    PackRequest jpeg = rq;
    jpeg.sheetFile = "sheet.jpg";
    EXPECT_EQ(pack(jpeg), "cannot write 'sheet.jpg'; use .tga, .png, .bmp, .pcx or .spr");
    EXPECT_TRUE(maker.docs.empty());
    EXPECT_FALSE(fs::exists(path("out")));
}

}  // namespace
