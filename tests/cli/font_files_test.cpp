// tarquil-cli font with font files and Unicode sets: every .fnt flavour read by its own npm
// parser, glyph pixels against FreeType's own rendering, Cyrillic and kana sets from the font
// files scripts/setup installs (fonts-dejavu-core, fonts-motoya-l-cedar), and the refusals.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include "cli/cli.h"
#include "tests/run_command.h"
#include "texlib/read.h"

namespace fs = std::filesystem;

namespace {

const std::string kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kKana = "/usr/share/fonts/truetype/motoya-l-cedar/MTLc3m.ttf";

class FontFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / "cli_font_files";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        args.insert(args.begin(), "font");
        args.push_back("--no-settings");
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int rc = cliRun(args);
        const std::string text = ::testing::internal::GetCapturedStdout();
        const std::string errText = ::testing::internal::GetCapturedStderr();
        if (out) *out = text;
        if (err) *err = errText;
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

// The chars of a text .fnt by id: x, y, width, height, xoffset, yoffset, xadvance, page.
std::map<unsigned, std::vector<int>> textChars(const std::string& fnt) {
    std::map<unsigned, std::vector<int>> chars;
    std::istringstream in(fnt);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("char ", 0) != 0) continue;
        std::map<std::string, int> kv;
        std::istringstream fields(line.substr(5));
        std::string f;
        while (fields >> f) {
            const size_t eq = f.find('=');
            kv[f.substr(0, eq)] = std::stoi(f.substr(eq + 1));
        }
        chars[unsigned(kv["id"])] = {kv["x"],       kv["y"],       kv["width"],    kv["height"],
                                     kv["xoffset"], kv["yoffset"], kv["xadvance"], kv["page"]};
    }
    return chars;
}

int textValue(const std::string& fnt, const std::string& key) {
    const size_t at = fnt.find(" " + key + "=");
    return at == std::string::npos ? -1 : std::stoi(fnt.substr(at + key.size() + 2));
}

}  // namespace

TEST_F(FontFiles, EveryFntFlavourReadsTheSameInItsConsumer) {
    const std::string nm = TARQUIL_NODE_MODULES;
    for (const char* pkg : {"parse-bmfont-ascii", "parse-bmfont-xml", "parse-bmfont-binary"})
        if (!fs::exists(nm + "/" + std::string(pkg)) || std::system("node -v >/dev/null 2>&1"))
            GTEST_SKIP() << "node or " << pkg << " is missing (scripts/setup installs them into "
                         << nm << ")";
    // ASCII and Cyrillic packed onto pages of 128 x 128: several pages, with kerning pairs.
    const char* flavours[] = {"text", "xml", "binary"};
    for (const char* f : flavours) {
        fs::create_directories(path(f));
        std::string out;
        ASSERT_EQ(run({"--font-file",  kSans,
                       "--size",       "16",
                       "--chars",      "32-126,0x400-0x45F",
                       "--layout",     "maxrects",
                       "--padding",    "1",
                       "--spacing",    "2",
                       "--width",      "128",
                       "--height",     "128",
                       "-o",           path(std::string(f) + "/ui_{n}.png"),
                       "--fnt-format", f},
                      &out),
                  CLI_OK)
            << f;
    }
    const std::string js = path("read.js");
    std::ofstream(js) << R"(
const fs = require('fs'), nm = process.argv[2], dir = process.argv[3];
const readers = {
  text: f => require(nm + '/parse-bmfont-ascii')(fs.readFileSync(f, 'utf8')),
  xml: f => require(nm + '/parse-bmfont-xml')(fs.readFileSync(f, 'utf8')),
  binary: f => require(nm + '/parse-bmfont-binary')(fs.readFileSync(f)),
};
for (const k of Object.keys(readers)) {
  const font = readers[k](dir + '/' + k + '/ui.fnt');
  const chars = font.chars.map(c => [c.id, c.x, c.y, c.width, c.height, c.xoffset, c.yoffset,
                                     c.xadvance, c.page].join(' '));
  const kerns = font.kernings.map(c => [c.first, c.second, c.amount].join(' '));
  console.log(k + '|' + font.pages.join(',') + '|' + font.common.scaleW + 'x' +
              font.common.scaleH + '|' + font.common.lineHeight + '|' + chars.join(';') + '|' +
              kerns.join(';'));
}
)";
    std::string out;
    ASSERT_TRUE(runCapture("node '" + js + "' '" + nm + "' '" + dir_.string() + "' 2>&1", out))
        << out;
    std::map<std::string, std::string> seen;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        seen[line.substr(0, line.find('|'))] = line.substr(line.find('|'));
    ASSERT_EQ(seen.size(), 3u) << out;
    EXPECT_EQ(seen["text"], seen["binary"]);
    // parse-bmfont-xml takes only the first <page> of <pages>, so its page list is compared by
    // Python's XML parser instead.
    auto afterPages = [](const std::string& s) { return s.substr(s.find('|', 1)); };
    EXPECT_EQ(afterPages(seen["text"]), afterPages(seen["xml"]));
    std::string xmlPages;
    ASSERT_TRUE(runCapture("python3 -c \"import sys, xml.etree.ElementTree as E; "
                           "print(','.join(p.get('file') for p in "
                           "E.parse(sys.argv[1]).getroot().find('pages')))\" '" +
                               path("xml/ui.fnt") + "'",
                           xmlPages));

    // What the readers saw is what was rendered: the pages on disk and every character once.
    const std::string fnt = read(path("text/ui.fnt"));
    const int pages = textValue(fnt, "pages");
    ASSERT_GE(pages, 2);
    std::string names;
    for (int k = 0; k < pages; ++k) {
        names += (k ? "," : "") + ("ui_" + std::to_string(k) + ".png");
        TxMip mip;
        TxReadContext ctx;
        ASSERT_TRUE(txMipReadFile(mip, path("binary/ui_" + std::to_string(k) + ".png"),
                                  TX_PREFER_ARGB8888, ctx));
        EXPECT_EQ(mip.width, 128);
        EXPECT_EQ(mip.height, 128);
    }
    EXPECT_EQ(seen["text"].rfind("|" + names + "|128x128|", 0), 0u) << seen["text"];
    EXPECT_EQ(xmlPages, names + "\n");
    const auto chars = textChars(fnt);
    EXPECT_EQ(chars.size(), 95u + 96u);
    EXPECT_EQ(chars.count(0x416), 1u);
    EXPECT_NE(fnt.find("kerning first=65 second=86 amount="), std::string::npos);
    // The position list beside each page names the Cyrillic letters by code point.
    std::string pos;
    for (int k = 0; k < pages; ++k)
        pos += read(path("text/ui_" + std::to_string(k) + ".png_pos.txt"));
    EXPECT_NE(pos.find(":U+0416\r\n"), std::string::npos);
    EXPECT_NE(pos.find(":A\r\n"), std::string::npos);
}

TEST_F(FontFiles, GlyphPixelsAreFreeTypesOwnRendering) {
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, kSans.c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 21), 0);  // 16 points at 96 dpi
    // Fixed cells (the wizard's layout, whose rectangles are now the ink) and tight packing.
    const std::vector<std::vector<std::string>> layouts = {
        {"--pitch", "fixed", "--origin", "center"},
        {"--layout", "maxrects", "--padding", "2"},
    };
    for (size_t l = 0; l < layouts.size(); ++l) {
        std::vector<std::string> args = {"--font-file", kSans,         "--size",
                                         "16",          "--chars",     "65,103,0x416,0x44F",
                                         "-o",          path("p.png"), "--fnt"};
        args.insert(args.end(), layouts[l].begin(), layouts[l].end());
        ASSERT_EQ(run(args), CLI_OK);
        const std::string fnt = read(path("p.fnt"));
        const int base = textValue(fnt, "base");
        const int pad = l == 1 ? 2 : 0;
        TxMip mip;
        TxReadContext ctx;
        ASSERT_TRUE(txMipReadFile(mip, path("p.png"), TX_PREFER_ARGB8888, ctx));
        const auto* px = reinterpret_cast<const uint32_t*>(mip.data[0]);
        for (const auto& [id, c] : textChars(fnt)) {
            ASSERT_EQ(FT_Load_Char(face, id, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP), 0);
            ASSERT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
            const FT_Bitmap& bm = face->glyph->bitmap;
            ASSERT_EQ(c[2], int(bm.width) + 2 * pad) << id;
            ASSERT_EQ(c[3], int(bm.rows) + 2 * pad) << id;
            EXPECT_EQ(c[4], face->glyph->bitmap_left - pad) << id;
            EXPECT_EQ(c[5], base - face->glyph->bitmap_top - pad) << id;
            EXPECT_EQ(c[6], int((face->glyph->advance.x + 32) >> 6)) << id;
            int differ = 0;
            for (int y = 0; y < c[3]; ++y)
                for (int x = 0; x < c[2]; ++x) {
                    const int bx = x - pad, by = y - pad;
                    const int want = bx >= 0 && by >= 0 && bx < int(bm.width) && by < int(bm.rows)
                                         ? bm.buffer[by * bm.pitch + bx]
                                         : 0;
                    const uint32_t p = px[size_t(c[1] + y) * size_t(mip.width) + size_t(c[0] + x)];
                    differ += int(p >> 24) != want;
                }
            EXPECT_EQ(differ, 0) << "glyph " << id << " in layout " << l;
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

TEST_F(FontFiles, CyrillicAndKanaFromFontFilesHaveEveryGlyph) {
    ASSERT_TRUE(fs::exists(kKana)) << "scripts/setup installs fonts-motoya-l-cedar";
    std::string out, err;
    ASSERT_EQ(run({"--font-file", kSans, "--size", "14", "--chars", "0x400-0x4FF", "-o",
                   path("cyr.png"), "--json"},
                  &out, &err),
              CLI_OK);
    EXPECT_NE(out.find("\"characters\": 256,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"missing\": [],"), std::string::npos) << out;
    EXPECT_EQ(err, "");
    // Hiragana and katakana, given as the text of a file.
    std::string kana;
    auto utf8 = [&kana](unsigned cp) {
        kana += char(0xE0 | (cp >> 12));
        kana += char(0x80 | ((cp >> 6) & 0x3F));
        kana += char(0x80 | (cp & 0x3F));
    };
    for (unsigned cp = 0x3041; cp <= 0x3093; ++cp) utf8(cp);
    kana += "\r\n";
    for (unsigned cp = 0x30A1; cp <= 0x30F6; ++cp) utf8(cp);
    kana += "\n";
    std::ofstream(path("kana.txt"), std::ios::binary) << kana;
    ASSERT_EQ(run({"--font-file", kKana, "--size", "16", "--chars-file", path("kana.txt"),
                   "--layout", "maxrects", "--size", "pot", "-o", path("kana.png"), "--json"},
                  &out, &err),
              CLI_OK);
    EXPECT_NE(out.find("\"characters\": 169,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"missing\": [],"), std::string::npos) << out;
    EXPECT_NE(out.find("\"height\": 256,"), std::string::npos) << out;
    EXPECT_EQ(err, "");
    EXPECT_NE(read(path("kana.png_pos.txt")).find(":U+3042\r\n"), std::string::npos);

    // What the face lacks is named and left out.
    ASSERT_EQ(run({"--font-file", kKana, "--size", "16", "--chars", "U+3093-U+3096", "-o",
                   path("gap.png"), "--json"},
                  &out, &err),
              CLI_OK);
    EXPECT_NE(out.find("\"characters\": 1,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"missing\": [12436, 12437, 12438]"), std::string::npos) << out;
    EXPECT_NE(err.find("3 of the characters are not in MotoyaLCedar and left out: U+3094, "
                       "U+3095, U+3096"),
              std::string::npos)
        << err;
}

TEST_F(FontFiles, CellsFillNumberedPagesOfOneSize) {
    std::string out;
    // 16 cells of 14 x 17 per page of 64 x 34 (four in a row, two rows): 26 letters, 4 pages.
    ASSERT_EQ(run({"--font-file", kSans, "--size", "11", "--chars", "65-90", "--pitch", "fixed",
                   "--width", "64", "--height", "34", "-o", path("c-{n}.tga"), "--fnt"},
                  &out),
              CLI_OK);
    EXPECT_EQ(out.rfind(path("c-{n}.tga") + ": 4 pages of 64x34, 26 characters in 14x17 cells", 0),
              0u)
        << out;
    EXPECT_EQ(read(path("c-1.tga_pos.txt")).rfind("0,0,14,17:I\r\n14,0,28,17:J\r\n", 0), 0u);
    EXPECT_EQ(read(path("c-3.tga_pos.txt")), "0,0,14,17:Y\r\n14,0,28,17:Z\r\n");
    const std::string fnt = read(path("c.fnt"));
    EXPECT_NE(fnt.find("pages=4 "), std::string::npos);
    EXPECT_NE(fnt.find("page id=3 file=\"c-3.tga\"\n"), std::string::npos);
    EXPECT_NE(fnt.find(" page=3 chnl=15\n"), std::string::npos);
}

TEST_F(FontFiles, DistanceFieldsReachAroundTheOutline) {
    std::string out;
    ASSERT_EQ(run({"--font-file", kSans, "--size", "24", "--chars", "79", "--layout", "maxrects",
                   "-o", path("plain.png"), "--fnt"}),
              CLI_OK);
    ASSERT_EQ(run({"--font-file", kSans, "--size", "24", "--chars", "79", "--layout", "maxrects",
                   "--sdf", "6", "-o", path("sdf.png"), "--fnt"}),
              CLI_OK);
    const auto plain = textChars(read(path("plain.fnt"))).at(79);
    const auto sdf = textChars(read(path("sdf.fnt"))).at(79);
    // The field reaches 6 pixels past the outline on every side; the offsets say so too.
    EXPECT_GE(sdf[2], plain[2] + 10);
    EXPECT_LE(sdf[2], plain[2] + 14);
    EXPECT_LE(sdf[4], plain[4] - 5);
    TxMip mip;
    TxReadContext ctx;
    ASSERT_TRUE(txMipReadFile(mip, path("sdf.png"), TX_PREFER_ARGB8888, ctx));
    auto alpha = [&](int x, int y) {
        return int(reinterpret_cast<const uint32_t*>(mip.data[0])[y * mip.width + x] >> 24);
    };
    const int cx = sdf[0] + sdf[2] / 2, cy = sdf[1] + sdf[3] / 2;
    EXPECT_LT(alpha(cx, cy), 128);         // the hole of the O is outside
    EXPECT_LT(alpha(sdf[0], sdf[1]), 16);  // the corner is far outside
    int inside = 0;
    for (int x = sdf[0]; x < sdf[0] + sdf[2]; ++x) inside += alpha(x, cy) > 140;
    EXPECT_GE(inside, 2);  // the stroke, on both sides of the hole
}

TEST_F(FontFiles, BadInputIsNamedAndWritesNothing) {
    fs::create_directories(path("folder"));
    std::ofstream(path("empty.txt")) << "\n\n";
    std::ofstream(path("bad.txt"), std::ios::binary) << "ab\xC3";
    std::string err;
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--font-file", path("none.ttf")}, CLI_FILE_ERROR, "none.ttf: no such file"},
        {{"--font-file", TARQUIL_SOURCE_DIR "/README.md"},
         CLI_FILE_ERROR,
         "README.md: cannot be read as a font"},
        {{"--font-file", path("folder")}, CLI_FILE_ERROR, "is a folder"},
        {{"--font-file", kSans, "--face-index", "3"},
         CLI_FILE_ERROR,
         "has 1 face, so there is no face index 3"},
        {{"--face", "DejaVu Sans", "--face-index", "1"}, CLI_USAGE, "--face-index needs"},
        {{"--face", "DejaVu Sans", "--font-file", kSans}, CLI_USAGE, "not both"},
        {{"--chars", ""}, CLI_USAGE, "the character set is empty"},
        {{"--chars", "32-0x110000"}, CLI_USAGE, "'32-0x110000' is neither"},
        {{"--chars", "90-65"}, CLI_USAGE, "ends before it begins"},
        {{"--chars", "65,,66"}, CLI_USAGE, "'' is neither"},
        {{"--chars-file", path("none.txt")}, CLI_FILE_ERROR, "none.txt: no such file"},
        {{"--chars-file", path("empty.txt")}, CLI_USAGE, "the text holds no character"},
        {{"--chars-file", path("bad.txt")}, CLI_USAGE, "malformed UTF-8 at byte 2"},
        {{"--padding", "1"}, CLI_USAGE, "--padding needs --layout maxrects"},
        {{"--layout", "maxrects", "--origin", "center"}, CLI_USAGE, "--origin places glyphs"},
        {{"--layout", "grid"}, CLI_USAGE, "--layout must be"},
        {{"--sdf", "1"}, CLI_USAGE, "--sdf must be"},
        {{"--sdf", "4", "--antialias", "2x2"}, CLI_USAGE, "leave --antialias none"},
        {{"--size", "pot", "--width", "300"}, CLI_USAGE, "power-of-two --width"},
        {{"--max-pages", "2"}, CLI_USAGE, "needs {n} in the output name"},
        {{"--fnt-format", "json"}, CLI_USAGE, "--fnt-format must be"},
        // Too little room: the glyphs left are counted, and nothing is written.
        {{"--layout", "maxrects", "--width", "64", "--height", "32"},
         CLI_USAGE,
         "glyphs were left: 1 page of 64 x 32 cannot hold them (put {n}"},
        {{"--width", "64", "--height", "34", "--chars", "65-90"},
         CLI_USAGE,
         "of 26 glyphs were left: 1 page of 64 x 34"},
        {{"--layout", "maxrects", "--size", "200", "--width", "64", "--height", "64", "--max-pages",
          "3", "--chars", "65-67", "-o", path("x_{n}.png")},
         CLI_USAGE,
         "the glyph U+0041"},
    };
    for (Case c : cases) {
        bool hasOut = false;
        for (const std::string& a : c.args) hasOut |= a == "-o";
        if (!hasOut) c.args.insert(c.args.end(), {"-o", path("x.png"), "--fnt"});
        if (std::find(c.args.begin(), c.args.end(), "--font-file") == c.args.end() &&
            std::find(c.args.begin(), c.args.end(), "--face") == c.args.end())
            c.args.insert(c.args.end(), {"--face", "DejaVu Sans"});
        EXPECT_EQ(run(c.args, nullptr, &err), c.status) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
        for (const auto& e : fs::directory_iterator(dir_))
            EXPECT_TRUE(e.path().filename().string().rfind("x", 0) != 0) << e.path() << c.says;
    }

    // A face fontconfig substitutes is reported, on stderr and in the JSON.
    std::string out;
    ASSERT_EQ(run({"--face", "No Such Face Anywhere", "-o", path("s.png"), "--json"}, &out, &err),
              CLI_OK);
    EXPECT_NE(err.find("'No Such Face Anywhere' is not installed; fontconfig substituted "),
              std::string::npos)
        << err;
    EXPECT_NE(out.find("\"substituted\": true, \"requested\": \"No Such Face Anywhere\""),
              std::string::npos)
        << out;
}
