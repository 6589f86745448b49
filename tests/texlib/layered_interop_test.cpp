// PSD, IFF and GIF files made by independent programs (ImageMagick, netpbm, Pillow) at test time:
// our decoded pixels must equal the source pixels and those programs' own decoding exactly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

bool runQuiet(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// The real ImageMagick (some machines put a stand-in named convert earlier in PATH).
std::string imageMagick() {
    for (const char* c : {"/usr/bin/convert", "convert"})
        if (runQuiet(std::string(c) + " -version | grep -q ImageMagick")) return c;
    return "";
}

std::string pillowPython() {
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (runQuiet(std::string(p) + " -c 'import PIL'")) return p;
    return "";
}

bool haveNetpbm() { return runQuiet("command -v ppmtoilbm"); }

// One scratch folder per run, removed at exit.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        path = std::string(::testing::TempDir()) + "layered_interop_" + std::to_string(::getpid()) +
               "/";
        runQuiet("mkdir -p '" + path + "'");
    }
    ~ScratchDir() { runQuiet("rm -rf '" + path + "'"); }
};

std::string dir() {
    static const ScratchDir d;
    return d.path;
}

std::vector<uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// A w x h picture of at most `colours` distinct colours (0xFFRRGGBB), varied in every channel.
std::vector<uint32_t> picture(int w, int h, int colours, int salt = 0) {
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t k = uint32_t((x * 7 + y * 13 + salt + (x * y) % 5) % colours);
            const uint32_t r = (k * 53 + 17) & 0xFF, g = (k * 101 + 3) & 0xFF,
                           b = (k * 29 + 200) & 0xFF;
            px[size_t(y) * size_t(w) + size_t(x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    return px;
}

std::string writePpm(const std::string& name, int w, int h, const std::vector<uint32_t>& px) {
    const std::string path = dir() + name;
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << w << " " << h << "\n255\n";
    for (uint32_t p : px) f << char(p >> 16) << char(p >> 8) << char(p);
    return path;
}

std::string writePam(const std::string& name, int w, int h, const std::vector<uint32_t>& px) {
    const std::string path = dir() + name;
    std::ofstream f(path, std::ios::binary);
    f << "P7\nWIDTH " << w << "\nHEIGHT " << h
      << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (uint32_t p : px) f << char(p >> 16) << char(p >> 8) << char(p) << char(p >> 24);
    return path;
}

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, frames = 0, type = 0;
    std::string error;
    std::vector<uint32_t> px;
};

Decoded decode(const std::string& path) {
    Decoded d;
    TxMip mip;
    TxReadContext ctx;
    d.ok = txMipReadFile(mip, path, TX_PREFER_ARGB8888, ctx);
    d.error = ctx.lastError;
    if (!d.ok) return d;
    d.width = mip.width;
    d.height = mip.height;
    d.frames = ctx.frameCount;
    d.type = ctx.fileType;
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    d.px.assign(p, p + size_t(mip.width) * size_t(mip.height));
    return d;
}

// RGBA bytes (as the tools write them) to 0xAARRGGBB words.
std::vector<uint32_t> fromRgba(const std::vector<uint8_t>& b) {
    std::vector<uint32_t> px(b.size() / 4);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = (uint32_t(b[4 * i + 3]) << 24) | (uint32_t(b[4 * i]) << 16) |
                (uint32_t(b[4 * i + 1]) << 8) | b[4 * i + 2];
    return px;
}

// ImageMagick's own decoding, frames composed ("coalesced") and stacked.
std::vector<uint32_t> imDecode(const std::string& im, const std::string& path, bool coalesce) {
    const std::string out = path + ".rgba";
    if (!runQuiet(im + " '" + path + "'" + (coalesce ? " -coalesce" : "") +
                  " -depth 8 'rgba:" + out + "'"))
        return {};
    return fromRgba(slurp(out));
}

// Transparent texels are equal when both are transparent, whatever colour they keep.
size_t mismatches(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& theirs) {
    if (ours.size() != theirs.size()) return size_t(-1);
    size_t bad = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        const bool bothClear = (ours[i] >> 24) == 0 && (theirs[i] >> 24) == 0;
        if (!bothClear && ours[i] != theirs[i]) {
            if (bad < 5)
                ADD_FAILURE() << "texel " << i << ": ours " << std::hex << ours[i] << " theirs "
                              << theirs[i];
            ++bad;
        }
    }
    return bad;
}

// Palette pictures read opaque.
std::vector<uint32_t> opaque(std::vector<uint32_t> px) {
    for (auto& p : px) p |= 0xFF000000u;
    return px;
}

}  // namespace

TEST(LayeredInterop, GifFromImageMagickStillAndInterlaced) {
    const std::string im = imageMagick();
    if (im.empty()) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    const int w = 37, h = 23;
    const auto src = picture(w, h, 200);
    const std::string ppm = writePpm("gif_src.ppm", w, h, src);
    for (const std::string& opts : {std::string(""), std::string(" -interlace GIF")}) {
        const std::string gif = dir() + (opts.empty() ? "still.gif" : "interlaced.gif");
        ASSERT_TRUE(runQuiet(im + " '" + ppm + "'" + opts + " '" + gif + "'"));
        const Decoded d = decode(gif);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.type, TX_TYPE_GIF);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(mismatches(d.px, src), 0u) << opts;
        EXPECT_EQ(mismatches(d.px, imDecode(im, gif, false)), 0u) << opts;
    }
}

TEST(LayeredInterop, GifAnimationsFromPillowAndImageMagick) {
    const std::string im = imageMagick(), py = pillowPython();
    if (im.empty()) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    if (py.empty()) GTEST_SKIP() << "Python Pillow is not installed";
    // Pillow: a transparent colour, partial frames (optimised to the changed area) and each
    // disposal method; ImageMagick composes the frames as the reference.
    const std::string script = dir() + "make_gif.py";
    std::ofstream(script) << R"PY(
import sys
from PIL import Image, ImageDraw
out = sys.argv[1]
frames = []
for i in range(5):
    im = Image.new('P', (29, 21), 0)
    pal = []
    for k in range(256):
        pal += [(k * 53 + 17) & 255, (k * 101 + 3) & 255, (k * 29 + 200) & 255]
    im.putpalette(pal)
    d = ImageDraw.Draw(im)
    d.rectangle([i * 3, i * 2, i * 3 + 9, i * 2 + 7], fill=10 + i)
    d.ellipse([12, 4, 12 + i * 3, 4 + i * 3], fill=40 + 7 * i)
    d.line([0, 20 - i, 28, i], fill=90 + i)
    frames.append(im)
frames[0].save(out, save_all=True, append_images=frames[1:], duration=80, loop=0,
               transparency=0, disposal=[1, 2, 3, 1, 2], optimize=False)
)PY";
    const std::string pilGif = dir() + "pillow_anim.gif";
    ASSERT_TRUE(runQuiet(py + " '" + script + "' '" + pilGif + "'"));
    Decoded d = decode(pilGif);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.frames, 5);
    EXPECT_EQ(d.width, 29);
    EXPECT_EQ(d.height, 21 * 5);
    EXPECT_EQ(mismatches(d.px, imDecode(im, pilGif, true)), 0u);

    // Pillow's own composition of the same file.
    const std::string dump = dir() + "dump_gif.py";
    std::ofstream(dump) << R"PY(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
with open(sys.argv[2], 'wb') as f:
    for i in range(im.n_frames):
        im.seek(i)
        f.write(im.convert('RGBA').tobytes())
)PY";
    const std::string raw = pilGif + ".pil.rgba";
    ASSERT_TRUE(runQuiet(py + " '" + dump + "' '" + pilGif + "' '" + raw + "'"));
    EXPECT_EQ(mismatches(d.px, fromRgba(slurp(raw))), 0u);

    // ImageMagick: three full frames with background disposal, then an optimised version of
    // the same animation (frames cropped to what changes).
    std::string frames;
    for (int i = 0; i < 3; ++i)
        frames += " '" +
                  writePpm("f" + std::to_string(i) + ".ppm", 16, 12, picture(16, 12, 60, i * 5)) +
                  "'";
    const std::string imGif = dir() + "im_anim.gif", optGif = dir() + "im_opt.gif";
    ASSERT_TRUE(
        runQuiet(im + " -delay 10 -dispose Background" + frames + " -loop 0 '" + imGif + "'"));
    ASSERT_TRUE(runQuiet(im + " '" + imGif + "' -layers Optimize '" + optGif + "'"));
    for (const std::string& gif : {imGif, optGif}) {
        d = decode(gif);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.frames, 3) << gif;
        EXPECT_EQ(d.height, 36) << gif;
        EXPECT_EQ(mismatches(d.px, imDecode(im, gif, true)), 0u) << gif;
        // The last frame shows the last source picture.
        const auto last = picture(16, 12, 60, 10);
        EXPECT_EQ(mismatches(std::vector<uint32_t>(d.px.begin() + 16 * 24, d.px.end()), last), 0u)
            << gif;
    }
}

TEST(LayeredInterop, GifTransparencyFromPillow) {
    const std::string py = pillowPython();
    if (py.empty()) GTEST_SKIP() << "Python Pillow is not installed";
    const std::string script = dir() + "make_transparent.py";
    std::ofstream(script) << R"PY(
import sys
from PIL import Image
w, h = 19, 11
im = Image.new('P', (w, h))
im.putpalette([(k * 7) & 255 for k in range(768)])
im.putdata([(x * 3 + y * 5) % 16 for y in range(h) for x in range(w)])
im.save(sys.argv[1], transparency=4, interlace=True)
with open(sys.argv[2], 'wb') as f:
    f.write(Image.open(sys.argv[1]).convert('RGBA').tobytes())
)PY";
    const std::string gif = dir() + "transparent.gif", raw = dir() + "transparent.rgba";
    ASSERT_TRUE(runQuiet(py + " '" + script + "' '" + gif + "' '" + raw + "'"));
    const Decoded d = decode(gif);
    ASSERT_TRUE(d.ok) << d.error;
    const auto theirs = fromRgba(slurp(raw));
    EXPECT_EQ(mismatches(d.px, theirs), 0u);
    size_t clear = 0;
    for (uint32_t p : d.px) clear += (p >> 24) == 0;
    EXPECT_GT(clear, 0u);
}

TEST(LayeredInterop, PsdFromImageMagick) {
    const std::string im = imageMagick();
    if (im.empty()) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    const int w = 31, h = 17;
    // RGB with many colours, raw and PackBits.
    const auto src = picture(w, h, 997);
    const std::string ppm = writePpm("psd_src.ppm", w, h, src);
    for (const char* compress : {"None", "RLE"}) {
        const std::string psd = dir() + "rgb_" + compress + ".psd";
        ASSERT_TRUE(runQuiet(im + " '" + ppm + "' -compress " + compress + " '" + psd + "'"));
        const Decoded d = decode(psd);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.type, TX_TYPE_PSD);
        EXPECT_EQ(mismatches(d.px, src), 0u) << compress;
    }
    // RGB with an alpha channel.
    auto rgba = picture(w, h, 300);
    for (size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = (rgba[i] & 0xFFFFFF) | (uint32_t(i * 37 % 256) << 24);
    const std::string pam = writePam("psd_src.pam", w, h, rgba);
    for (const char* compress : {"None", "RLE"}) {
        const std::string psd = dir() + "rgba_" + compress + ".psd";
        ASSERT_TRUE(runQuiet(im + " '" + pam + "' -compress " + compress + " '" + psd + "'"));
        const Decoded d = decode(psd);
        ASSERT_TRUE(d.ok) << d.error;
        // ImageMagick writes the source colours and alpha as they are (its own reading of the
        // merged image blends the colours, so the source is the reference here).
        EXPECT_EQ(mismatches(d.px, rgba), 0u) << compress;
    }
    // Indexed colour: the palette's colours, opaque.
    const auto few = picture(w, h, 77);
    const std::string small = writePpm("psd_few.ppm", w, h, few);
    for (const char* compress : {"None", "RLE"}) {
        const std::string psd = dir() + "indexed_" + compress + ".psd";
        ASSERT_TRUE(runQuiet(im + " '" + small + "' -type palette -compress " + compress + " '" +
                             psd + "'"));
        TxMip mip;
        TxReadContext ctx;
        ASSERT_TRUE(txMipReadFile(mip, psd, TX_PREFER_OWN, ctx)) << ctx.lastError;
        EXPECT_EQ(mip.format, TX_FMT_P8) << compress;
        const Decoded d = decode(psd);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.px, opaque(few)) << compress;
    }
}

TEST(LayeredInterop, IlbmFromNetpbm) {
    if (!haveNetpbm()) GTEST_SKIP() << "netpbm (ppmtoilbm) is not installed";
    const int w = 45, h = 19;  // not a multiple of 16: rows carry padding bits
    struct Case {
        int colours;
        const char* opts;
    };
    for (const Case& c :
         {Case{2, ""}, Case{5, " -nocompress"}, Case{12, ""}, Case{31, " -nocompress"},
          Case{200, " -maxplanes 8"}, Case{256, " -maxplanes 8 -nocompress"}}) {
        const auto src = picture(w, h, c.colours);
        const std::string ppm = writePpm("ilbm_src.ppm", w, h, src);
        const std::string iff = dir() + "netpbm_" + std::to_string(c.colours) + ".iff";
        ASSERT_TRUE(
            runQuiet("(ppmtoilbm" + std::string(c.opts) + " '" + ppm + "' > '" + iff + "')"));
        TxMip mip;
        TxReadContext ctx;
        ASSERT_TRUE(txMipReadFile(mip, iff, TX_PREFER_OWN, ctx))
            << c.colours << ": " << ctx.lastError;
        EXPECT_EQ(ctx.fileType, TX_TYPE_IFF);
        EXPECT_EQ(mip.format, TX_FMT_P8);
        const Decoded d = decode(iff);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.px, opaque(src)) << c.colours << " colours" << c.opts;
    }
    // More colours than a map can hold: netpbm writes a deep (24-plane) picture without a map,
    // which is refused cleanly.
    const std::string ppm = writePpm("ilbm_deep.ppm", w, h, picture(w, h, 997));
    const std::string deep = dir() + "netpbm_deep.iff";
    ASSERT_TRUE(runQuiet("(ppmtoilbm '" + ppm + "' > '" + deep + "')"));
    const Decoded d = decode(deep);
    EXPECT_FALSE(d.ok);
}
