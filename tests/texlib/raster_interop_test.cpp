// Interoperability: ImageMagick, netpbm, Python's Pillow and ffmpeg write the inputs and read our
// outputs, so the readers and writers are checked against code that no one here wrote. Every case
// compares whole images pixel by pixel (JPEG and lossy video within the decoders' rounding).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "raster_test_util.h"
#include "texlib/bmp.h"
#include "texlib/pcx.h"
#include "texlib/png.h"
#include "texlib/tga.h"

using namespace raster;

namespace {

constexpr int kW = 37, kH = 23;  // odd sizes exercise row padding everywhere

// Runs a shell command quietly; redirections inside `cmd` still apply.
bool run(const std::string& cmd) {
    return std::system(("( " + cmd + " ) >/dev/null 2>&1").c_str()) == 0;
}

struct Tools {
    std::string magick;  // ImageMagick's convert command; empty when there is none
    bool netpbm = false;
    bool ffmpeg = false;
    std::string python;  // an interpreter that has Pillow; empty when there is none
};

const Tools& tools() {
    static const Tools t = [] {
        Tools r;
        // Debian's versioned name first: it is the program itself, not a wrapper.
        for (const char* im : {"convert-im6.q16", "magick", "convert"})
            if (run(std::string(im) + " -version | grep -q ImageMagick")) {
                r.magick = im;
                break;
            }
        r.netpbm = run("command -v pamtopnm && command -v ppmtopgm && command -v pngtopam && "
                       "command -v bmptopnm && command -v pcxtoppm && command -v tgatoppm");
        r.ffmpeg = run("ffmpeg -version");
        for (const char* py : {"python3", "/usr/bin/python3"})
            if (run(std::string(py) + " -c 'import PIL'")) {
                r.python = py;
                break;
            }
        return r;
    }();
    return t;
}

// A fresh folder for this run's files, removed when the program ends.
const std::string& dir() {
    struct Folder {
        std::string path = ::testing::TempDir();
        bool made = false;
        Folder() {
            std::string templ = path + "tarquil-interop-XXXXXX";
            made = ::mkdtemp(templ.data()) != nullptr;
            if (made) path = templ + "/";
        }
        ~Folder() {
            if (made) std::filesystem::remove_all(path);
        }
    };
    static const Folder folder;
    return folder.path;
}

std::string at(const std::string& name) { return dir() + name; }

const std::string& magick() { return tools().magick; }

// The source picture: varied colours and alpha, as 0xAARRGGBB words and as raw R, G, B, A bytes.
const std::vector<uint32_t>& source() {
    static const std::vector<uint32_t> px = [] {
        auto p = pattern(kW, kH);
        // A few fully transparent and fully opaque texels, so that binary transparency has both.
        for (size_t k = 0; k < p.size(); k += 7) p[k] &= 0x00FFFFFFu;
        for (size_t k = 3; k < p.size(); k += 5) p[k] |= 0xFF000000u;
        return p;
    }();
    return px;
}

void writeRaw(const std::string& path, const std::vector<uint32_t>& px) {
    std::ofstream out(path, std::ios::binary);
    for (uint32_t p : px) {
        const char b[4] = {char(p >> 16), char(p >> 8), char(p), char(p >> 24)};
        out.write(b, 4);
    }
}

const std::string& sourceRaw() {
    static const std::string path = [] {
        const std::string p = at("src.rgba");
        writeRaw(p, source());
        return p;
    }();
    return path;
}

std::string magickSource() {
    return "-size " + std::to_string(kW) + "x" + std::to_string(kH) +
           " -depth 8 rgba:" + sourceRaw();
}

std::string pillowSource() {
    return "from PIL import Image\nim = Image.frombytes('RGBA', (" + std::to_string(kW) + ", " +
           std::to_string(kH) + "), open('" + sourceRaw() + "', 'rb').read())\n";
}

bool runPython(const std::string& script) {
    const std::string path = at("script.py");
    std::ofstream(path) << script;
    return run(tools().python + " " + path);
}

// Raw R, G, B, A bytes as words.
std::vector<uint32_t> loadRgba(const std::string& path) {
    const auto b = slurp(path);
    std::vector<uint32_t> px(b.size() / 4);
    for (size_t k = 0; k < px.size(); ++k)
        px[k] = (uint32_t(b[4 * k + 3]) << 24) | (uint32_t(b[4 * k]) << 16) |
                (uint32_t(b[4 * k + 1]) << 8) | b[4 * k + 2];
    return px;
}

// netpbm output: P5, P6 or P7 (GRAYSCALE, RGB, RGB_ALPHA), maximum 255.
std::vector<uint32_t> loadNetpbm(const std::string& path) {
    const auto b = slurp(path);
    std::string head(b.begin(), b.begin() + long(std::min<size_t>(b.size(), 200)));
    std::istringstream in(head);
    std::string magic;
    in >> magic;
    int w = 0, h = 0, depth = 0, maxval = 0;
    size_t dataStart = 0;
    if (magic == "P7") {
        std::string key;
        while (in >> key && key != "ENDHDR") {
            if (key == "WIDTH")
                in >> w;
            else if (key == "HEIGHT")
                in >> h;
            else if (key == "DEPTH")
                in >> depth;
            else if (key == "MAXVAL")
                in >> maxval;
            else
                in.ignore(100, '\n');
        }
        dataStart = size_t(in.tellg()) + 1;
    } else {
        in >> w >> h >> maxval;
        depth = magic == "P5" ? 1 : 3;
        dataStart = size_t(in.tellg()) + 1;
    }
    std::vector<uint32_t> px;
    if (maxval != 255 || b.size() < dataStart + size_t(w * h * depth)) return px;
    const uint8_t* p = b.data() + dataStart;
    for (int k = 0; k < w * h; ++k, p += depth) {
        const uint32_t r = p[0], g = depth >= 3 ? p[1] : r, bl = depth >= 3 ? p[2] : r;
        const uint32_t a = depth == 4 ? p[3] : (depth == 2 ? p[1] : 255);
        px.push_back((a << 24) | (r << 16) | (g << 8) | bl);
    }
    return px;
}

std::vector<uint32_t> readOurs(const std::string& path, TxReadContext& ctx, int* w = nullptr,
                               int* h = nullptr) {
    TxMip mip;
    if (!txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx)) return {};
    if (w) *w = mip.width;
    if (h) *h = mip.height;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(mip.width) * size_t(mip.height));
}

// Compares the channels in `mask`, each within `tolerance`; reports the first difference only.
void expectPixels(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& ref,
                  uint32_t mask, int tolerance, const std::string& what) {
    ASSERT_FALSE(ref.empty()) << what << ": the reference decode produced nothing";
    ASSERT_EQ(ours.size(), ref.size()) << what;
    size_t bad = 0, first = 0;
    for (size_t k = 0; k < ours.size(); ++k) {
        for (int sh = 0; sh < 32; sh += 8) {
            if (!((mask >> sh) & 0xFF)) continue;
            const int d = int((ours[k] >> sh) & 0xFF) - int((ref[k] >> sh) & 0xFF);
            if (d > tolerance || d < -tolerance) {
                if (!bad++) first = k;
                break;
            }
        }
    }
    char first8[64] = "";
    if (bad)
        std::snprintf(first8, sizeof first8, "ours %08X, theirs %08X", ours[first], ref[first]);
    EXPECT_EQ(bad, 0u) << what << ": " << bad << " texels differ, first at " << first << " ("
                       << first8 << ")";
}

constexpr uint32_t kArgb = 0xFFFFFFFFu, kRgb = 0x00FFFFFFu;

// Checks that our reader sees in `file` what ImageMagick sees.
void compareWithMagick(const std::string& file, uint32_t mask, int tolerance = 0) {
    TxReadContext ctx;
    const auto ours = readOurs(file, ctx);
    ASSERT_FALSE(ours.empty()) << file << ": " << ctx.lastError;
    const std::string raw = file + ".rgba";
    ASSERT_TRUE(run(magick() + " " + file + " -depth 8 rgba:" + raw)) << file;
    expectPixels(ours, loadRgba(raw), mask, tolerance, file + " against ImageMagick");
}

// The same against Pillow, for a list of files.
void compareWithPillow(const std::vector<std::string>& files, uint32_t mask, int tolerance = 0) {
    std::string script = "from PIL import Image\n";
    for (const auto& f : files)
        script += "open('" + f + ".pil', 'wb').write(Image.open('" + f +
                  "').convert('RGBA').tobytes())\n";
    ASSERT_TRUE(runPython(script));
    for (const auto& f : files) {
        TxReadContext ctx;
        const auto ours = readOurs(f, ctx);
        ASSERT_FALSE(ours.empty()) << f << ": " << ctx.lastError;
        expectPixels(ours, loadRgba(f + ".pil"), mask, tolerance, f + " against Pillow");
    }
}

// PNG header fields, so that every case is known to test what it says.
struct Ihdr {
    int depth = -1, colourType = -1, interlace = -1;
};
Ihdr ihdr(const std::string& file) {
    const auto b = slurp(file);
    Ihdr h;
    if (b.size() > 28) {
        h.depth = b[24];
        h.colourType = b[25];
        h.interlace = b[28];
    }
    return h;
}

struct BmpKind {
    int headerSize = -1, bits = -1, compression = -1;
};
BmpKind bmpKind(const std::string& file) {
    const auto b = slurp(file);
    BmpKind k;
    if (b.size() > 34) {
        k.headerSize = b[14] | (b[15] << 8);
        k.bits = b[28];
        k.compression = b[30];
    }
    return k;
}

#define REQUIRE_MAGICK()                                                                           \
    if (tools().magick.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed"
#define REQUIRE_PILLOW()                                                                           \
    if (tools().python.empty())                                                                    \
    GTEST_SKIP() << "no python3 with Pillow (python3-pil) is "                                     \
                    "installed"

}  // namespace

TEST(RasterInterop, PngFromImageMagickInEveryColourTypeDepthAndInterlace) {
    REQUIRE_MAGICK();
    struct Case {
        const char* name;
        std::string options;
        int colourType, depth, interlace;
    };
    const std::string grey = "-alpha off -colorspace Gray ";
    const std::vector<Case> cases = {
        {"g1", grey + "-depth 1", 0, 1, 0},
        {"g2", grey + "-depth 2", 0, 2, 0},
        {"g4", grey + "-depth 4", 0, 4, 0},
        {"g8", grey + "-depth 8", 0, 8, 0},
        {"g16", grey + "-depth 8 -depth 16", 0, 16, 0},
        {"ga8", "-colorspace Gray -depth 8", 4, 8, 0},
        {"ga16", "-colorspace Gray -depth 8 -depth 16", 4, 16, 0},
        {"rgb8", "-alpha off", 2, 8, 0},
        {"rgb16", "-alpha off -depth 16", 2, 16, 0},
        {"rgba8", "", 6, 8, 0},
        {"rgba16", "-depth 16", 6, 16, 0},
        {"p8", "-alpha off -colors 200 -type Palette", 3, 8, 0},
        {"il_rgba8", "-interlace PNG", 6, 8, 1},
        {"il_g1", grey + "-depth 1 -interlace PNG", 0, 1, 1},
        {"il_p8", "-alpha off -colors 30 -type Palette -interlace PNG", 3, 8, 1},
    };
    for (const auto& c : cases) {
        const std::string file = at(std::string("im_") + c.name + ".png");
        const std::string defines = " -define png:color-type=" + std::to_string(c.colourType) +
                                    " -define png:bit-depth=" + std::to_string(c.depth) + " ";
        ASSERT_TRUE(run(magick() + " " + magickSource() + " " + c.options + defines + file))
            << c.name;
        const Ihdr h = ihdr(file);
        ASSERT_EQ(h.colourType, c.colourType) << c.name;
        ASSERT_EQ(h.depth, c.depth) << c.name;
        ASSERT_EQ(h.interlace, c.interlace) << c.name;
        compareWithMagick(file, kArgb);
    }
    // Palette with a transparency chunk (binary alpha).
    const std::string pt = at("im_ptrns.png");
    ASSERT_TRUE(run(magick() + " " + magickSource() +
                    " -channel A -threshold 50% +channel -colors 200 PNG8:" + pt));
    ASSERT_EQ(ihdr(pt).colourType, 3);
    const auto ptBytes = slurp(pt);
    ASSERT_NE(std::string(ptBytes.begin(), ptBytes.end()).find("tRNS"), std::string::npos);
    compareWithMagick(pt, kArgb);
}

TEST(RasterInterop, PngFromPillowWithSmallPalettesAndTransparencyChunks) {
    REQUIRE_PILLOW();
    std::string script = pillowSource() + "rgb = im.convert('RGB')\n";
    for (int b : {1, 2, 4})
        script += "rgb.quantize(" + std::to_string(1 << b) + ").save('" +
                  at("pil_p" + std::to_string(b) + ".png") + "', bits=" + std::to_string(b) + ")\n";
    script += "q = rgb.quantize(50)\n";
    script += "q.save('" + at("pil_trns1.png") + "', transparency=0)\n";
    script += "q.save('" + at("pil_trnsl.png") + "', transparency=bytes(range(0, 250, 5)))\n";
    // The colour key is the colour of texel 0, which sits in the first column.
    script += "rgb.save('" + at("pil_key.png") + "', transparency=rgb.getpixel((0, 0)))\n";
    script += "im.convert('LA').save('" + at("pil_la.png") + "')\n";
    ASSERT_TRUE(runPython(script));
    for (int b : {1, 2, 4}) EXPECT_EQ(ihdr(at("pil_p" + std::to_string(b) + ".png")).depth, b);
    EXPECT_EQ(ihdr(at("pil_key.png")).colourType, 2);
    compareWithPillow({at("pil_p1.png"), at("pil_p2.png"), at("pil_p4.png"), at("pil_trns1.png"),
                       at("pil_trnsl.png"), at("pil_key.png"), at("pil_la.png")},
                      kArgb);
    // The keyed first texel really is transparent.
    TxReadContext ctx;
    EXPECT_EQ(readOurs(at("pil_key.png"), ctx)[0] >> 24, 0u);
}

TEST(RasterInterop, JpegBaselineProgressiveAndGrey) {
    if (tools().magick.empty() && tools().python.empty())
        GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    if (!tools().magick.empty()) {
        const std::vector<std::pair<std::string, std::string>> cases = {
            {"im_base.jpg", "-alpha off -quality 90"},
            {"im_prog.jpg", "-alpha off -quality 90 -interlace JPEG"},
            {"im_grey.jpg", "-alpha off -colorspace Gray -quality 85"},
            {"im_444.jpg", "-alpha off -quality 95 -sampling-factor 1x1"},
        };
        for (const auto& [name, options] : cases) {
            ASSERT_TRUE(run(magick() + " " + magickSource() + " " + options + " " + at(name)))
                << name;
            compareWithMagick(at(name), kRgb, 1);
        }
        TxReadContext ctx;
        const auto grey = readOurs(at("im_grey.jpg"), ctx);
        ASSERT_FALSE(grey.empty());
        for (uint32_t p : grey) ASSERT_EQ((p >> 16) & 255, p & 255);
    }
    if (!tools().python.empty()) {
        ASSERT_TRUE(runPython(pillowSource() + "rgb = im.convert('RGB')\n" + "rgb.save('" +
                              at("pil_base.jpg") + "', quality=90)\n" + "rgb.save('" +
                              at("pil_prog.jpg") + "', quality=90, progressive=True)\n" +
                              "im.convert('L').save('" + at("pil_grey.jpg") + "', quality=80)\n"));
        compareWithPillow({at("pil_base.jpg"), at("pil_prog.jpg"), at("pil_grey.jpg")}, kRgb, 1);
    }
}

TEST(RasterInterop, BmpInEveryDepthAndRle8) {
    if (tools().magick.empty() && tools().python.empty())
        GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    if (!tools().magick.empty()) {
        struct Case {
            const char* name;
            std::string options;
            int bits, compression;
            uint32_t mask;
        };
        const std::vector<Case> cases = {
            {"im24.bmp", "-alpha off BMP3:", 24, 0, kArgb},
            {"im8.bmp", "-alpha off -colors 200 -type Palette -compress None BMP3:", 8, 0, kArgb},
            {"im8rle.bmp", "-alpha off -colors 200 -type Palette -compress RLE BMP3:", 8, 1, kArgb},
            {"im4.bmp", "-alpha off -colors 16 -type Palette BMP3:", 4, 0, kArgb},
            {"im1.bmp", "-alpha off -monochrome BMP3:", 1, 0, kArgb},
            {"im32.bmp", "BMP:", 32, 3, kArgb},
            {"im16.bmp", "-alpha off -define bmp:subtype=RGB565 BMP:", 16, 3, kArgb},
        };
        for (const auto& c : cases) {
            ASSERT_TRUE(run(magick() + " " + magickSource() + " " + c.options + at(c.name)))
                << c.name;
            const BmpKind k = bmpKind(at(c.name));
            ASSERT_EQ(k.bits, c.bits) << c.name;
            ASSERT_EQ(k.compression, c.compression) << c.name;
            compareWithMagick(at(c.name), c.mask);
        }
    }
    if (!tools().python.empty()) {
        ASSERT_TRUE(runPython(pillowSource() + "im.save('" + at("pil32.bmp") + "')\n" +
                              "im.convert('RGB').save('" + at("pil24.bmp") + "')\n" +
                              "im.convert('RGB').quantize(100).save('" + at("pil8.bmp") + "')\n" +
                              "im.convert('1').save('" + at("pil1.bmp") + "')\n"));
        EXPECT_EQ(bmpKind(at("pil32.bmp")).bits, 32);
        EXPECT_EQ(bmpKind(at("pil1.bmp")).bits, 1);
        compareWithPillow({at("pil24.bmp"), at("pil8.bmp"), at("pil1.bmp")}, kArgb);
        // Pillow reads a 32-bit file without its alpha.
        compareWithPillow({at("pil32.bmp")}, kRgb);
        // Pillow's 32-bit file keeps the alpha in the fourth byte, which reaches our texels as is.
        TxReadContext ctx;
        expectPixels(readOurs(at("pil32.bmp"), ctx), source(), kArgb, 0,
                     "pil32.bmp against the source");
    }
}

TEST(RasterInterop, PcxEightAndTwentyFourBit) {
    if (tools().magick.empty() && tools().python.empty())
        GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    if (!tools().magick.empty()) {
        const std::vector<std::tuple<std::string, std::string, int, uint32_t>> cases = {
            {"im8.pcx", "-alpha off -colors 200 -type Palette", 1, kArgb},
            {"im24.pcx", "-alpha off", 3, kArgb},
            {"im32.pcx", "", 4, kArgb},
        };
        for (const auto& [name, options, planes, mask] : cases) {
            ASSERT_TRUE(run(magick() + " " + magickSource() + " " + options + " PCX:" + at(name)))
                << name;
            const auto bytes = slurp(at(name));
            ASSERT_TRUE(bytes.size() > 128 && bytes[65] == planes) << name;
            compareWithMagick(at(name), mask);
        }
    }
    if (!tools().python.empty()) {
        ASSERT_TRUE(runPython(pillowSource() + "rgb = im.convert('RGB')\n" +
                              "rgb.quantize(100).save('" + at("pil8.pcx") + "')\n" + "rgb.save('" +
                              at("pil24.pcx") + "')\n"));
        compareWithPillow({at("pil8.pcx"), at("pil24.pcx")}, kArgb);
    }
}

TEST(RasterInterop, PpmGreyAndColourFromNetpbm) {
    if (!tools().netpbm) GTEST_SKIP() << "netpbm is not installed";
    // An RGB PAM made here is turned into P6 and P5 files by netpbm.
    {
        std::ofstream pam(at("src3.pam"), std::ios::binary);
        pam << "P7\nWIDTH " << kW << "\nHEIGHT " << kH
            << "\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
        // Every sample has bit 6 set: a P5 or P6 file whose byte 16 is 15, 16, 24 or 32 also
        // passes for a run-length TGA header, and the TGA probe runs first.
        for (uint32_t p : source()) {
            const char b[3] = {char((p >> 16) | 0x40), char((p >> 8) | 0x40), char(p | 0x40)};
            pam.write(b, 3);
        }
    }
    ASSERT_TRUE(run("pamtopnm " + at("src3.pam") + " > " + at("n.ppm")));
    ASSERT_TRUE(run("ppmtopgm " + at("n.ppm") + " > " + at("n.pgm")));
    const auto p6 = slurp(at("n.ppm")), p5 = slurp(at("n.pgm"));
    ASSERT_TRUE(p6.size() > 2 && p6[1] == '6');
    ASSERT_TRUE(p5.size() > 2 && p5[1] == '5');
    for (const char* f : {"n.ppm", "n.pgm"}) {
        TxReadContext ctx;
        expectPixels(readOurs(at(f), ctx), loadNetpbm(at(f)), kArgb, 0, f);
        EXPECT_EQ(ctx.fileType, TX_TYPE_PPM) << f;
    }
}

TEST(RasterInterop, AviFromFfmpegInSeveralCodecs) {
    if (!tools().ffmpeg) GTEST_SKIP() << "ffmpeg is not installed";
    // Four frames of 40x24 (even sides for the YUV codecs), each a shifted pattern.
    const int w = 40, h = 24, frames = 4;
    {
        std::ofstream raw(at("frames.rgb"), std::ios::binary);
        for (int f = 0; f < frames; ++f)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const char b[3] = {char(x * 6 + f * 40), char(y * 10 + f * 20),
                                       char((x ^ y) * 4 + f)};
                    raw.write(b, 3);
                }
    }
    const std::string input = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 -s " +
                              std::to_string(w) + "x" + std::to_string(h) + " -r 10 -i " +
                              at("frames.rgb") + " ";
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {"raw.avi", "-c:v rawvideo -pix_fmt bgr24", 0}, {"ffv1.avi", "-c:v ffv1 -pix_fmt bgr0", 0},
        {"msvideo1.avi", "-c:v msvideo1", 0},           {"mpeg4.avi", "-c:v mpeg4 -q:v 2", 1},
        {"mjpeg.avi", "-c:v mjpeg -q:v 2", 1},
    };
    for (const auto& [name, codec, tolerance] : cases) {
        ASSERT_TRUE(run(input + codec + " " + at(name))) << name;
        ASSERT_TRUE(run("ffmpeg -y -loglevel error -i " + at(name) + " -f rawvideo -pix_fmt bgra " +
                        at(name) + ".bgra"))
            << name;
        const auto b = slurp(at(name) + ".bgra");
        std::vector<uint32_t> ref(b.size() / 4);
        std::memcpy(ref.data(), b.data(), ref.size() * 4);
        TxReadContext ctx;
        int gw = 0, gh = 0;
        const auto ours = readOurs(at(name), ctx, &gw, &gh);
        ASSERT_FALSE(ours.empty()) << name << ": " << ctx.lastError;
        EXPECT_EQ(ctx.fileType, TX_TYPE_AVI) << name;
        EXPECT_EQ(ctx.frameCount, frames) << name;
        EXPECT_EQ(gw, w) << name;
        EXPECT_EQ(gh, h * frames) << name;
        expectPixels(ours, ref, kArgb, tolerance, name + " against ffmpeg");
    }
}

TEST(RasterInterop, OurFilesReadBackIdenticallyInOtherTools) {
    const Tools& t = tools();
    if (t.magick.empty() && t.python.empty() && !t.netpbm)
        GTEST_SKIP() << "none of ImageMagick, Pillow and netpbm is installed";
    const auto& src = source();
    ASSERT_EQ(txWritePNG(at("our.png"), kW, kH, src.data()), TX_PNG_OK);
    ASSERT_EQ(txWriteBMP(at("our24.bmp"), kW, kH, src.data()), TX_BMP_OK);
    ASSERT_EQ(txWriteBMP(at("our8.bmp"), kW, kH, src.data(), TX_BMP_DEPTH_8), TX_BMP_OK);
    uint32_t pal[256];
    for (int k = 0; k < 256; ++k) pal[k] = uint32_t(k * 0x010203) & 0xFFFFFFu;
    ASSERT_EQ(txWriteBMP(at("our8p.bmp"), kW, kH, src.data(), TX_BMP_DEPTH_8_GIVEN, pal),
              TX_BMP_OK);
    ASSERT_EQ(txWritePCX(at("our.pcx"), kW, kH, src.data()), TX_PCX_OK);
    for (int mode : {TX_TGA_NONE, TX_TGA_RLE, TX_TGA_RLE_ROWS})
        ASSERT_EQ(txWriteTGA(at("our" + std::to_string(mode) + ".tga"), kW, kH, src.data(), mode),
                  TX_TGA_OK);

    // What each file should show: the source itself, or for the 8-bit files our own reading of
    // them (the colours the quantiser chose).
    struct Expect {
        std::string file;
        std::vector<uint32_t> pixels;
        uint32_t mask;
        const char* netpbm;  // converter to PNM or PAM
    };
    std::vector<Expect> expects = {{"our.png", src, kArgb, "pngtopam -alphapam"},
                                   {"our24.bmp", src, kRgb, "bmptopnm"},
                                   {"our0.tga", src, kArgb, "tgatoppm"},
                                   {"our1.tga", src, kArgb, "tgatoppm"},
                                   {"our2.tga", src, kArgb, "tgatoppm"}};
    for (const char* f : {"our8.bmp", "our8p.bmp", "our.pcx"}) {
        TxReadContext ctx;
        auto own = readOurs(at(f), ctx);
        ASSERT_EQ(own.size(), src.size()) << f << ": " << ctx.lastError;
        expects.push_back(
            {f, own, kRgb,
             std::string(f).find("pcx") != std::string::npos ? "pcxtoppm" : "bmptopnm"});
    }
    // The 8-bit files really are close to the source (a gross palette error would pass the
    // comparisons above unnoticed).
    for (const char* f : {"our8.bmp", "our.pcx"}) {
        TxReadContext ctx;
        const auto own = readOurs(at(f), ctx);
        double sum = 0;
        for (size_t k = 0; k < own.size(); ++k)
            for (int sh : {0, 8, 16})
                sum += std::abs(int((own[k] >> sh) & 255) - int((src[k] >> sh) & 255));
        EXPECT_LT(sum / double(own.size() * 3), 16.0)
            << f << ": mean colour error of the 8-bit file";
    }
    for (const auto& e : expects) {
        const std::string file = at(e.file);
        if (!t.magick.empty()) {
            ASSERT_TRUE(run(magick() + " " + file + " -depth 8 rgba:" + file + ".im")) << e.file;
            expectPixels(e.pixels, loadRgba(file + ".im"), e.mask, 0, e.file + " in ImageMagick");
        }
        if (t.netpbm) {
            ASSERT_TRUE(run(std::string(e.netpbm) + " " + file + " > " + file + ".pnm")) << e.file;
            // netpbm's TGA reader has no alpha output on stdout; compare colour there.
            const uint32_t mask = std::string(e.netpbm) == "tgatoppm" ? kRgb : e.mask;
            expectPixels(e.pixels, loadNetpbm(file + ".pnm"), mask, 0, e.file + " in netpbm");
        }
    }
    if (!t.python.empty()) {
        std::string script = "from PIL import Image\n";
        for (const auto& e : expects)
            script += "open('" + at(e.file) + ".pil', 'wb').write(Image.open('" + at(e.file) +
                      "').convert('RGBA').tobytes())\n";
        ASSERT_TRUE(runPython(script));
        for (const auto& e : expects)
            expectPixels(e.pixels, loadRgba(at(e.file) + ".pil"), e.mask, 0, e.file + " in Pillow");
    }
}

// Our palette PNGs (few colours, translucent entries, 4-bit indices) as ImageMagick and Pillow
// read them: the same pixels as the picture written.
TEST(RasterInterop, OurPalettePngsReadTheSameInOtherTools) {
    const Tools& t = tools();
    if (t.magick.empty() && t.python.empty())
        GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    std::vector<uint32_t> px(size_t(kW) * kH);
    const uint32_t colours[] = {0, 0xFF2040C0u, 0x80E0E020u, 0x40102030u, 0xFFFFFFFFu, 0x01000000u};
    for (size_t k = 0; k < px.size(); ++k) px[k] = colours[(k / 3 + k / size_t(kW)) % 6];
    ASSERT_EQ(txWritePNG(at("our_pal.png"), kW, kH, px.data()), TX_PNG_OK);
    EXPECT_EQ(ihdr(at("our_pal.png")).colourType, 3);
    EXPECT_EQ(ihdr(at("our_pal.png")).depth, 4);
    TxReadContext ctx;
    EXPECT_EQ(readOurs(at("our_pal.png"), ctx), px);
    if (!t.magick.empty()) compareWithMagick(at("our_pal.png"), kArgb);
    if (!t.python.empty()) compareWithPillow({at("our_pal.png")}, kArgb);
}
