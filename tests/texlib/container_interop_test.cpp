// DDS and KTX2 files read by programs no one here wrote: ImageMagick and Pillow decode our DDS
// files to the texels we quantised, and npm ktx-parse reads our KTX2 files (header, descriptor,
// key/value data, every level) back to the same bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raster_test_util.h"
#include "tests/run_command.h"
#include "texlib/quantize.h"
#include "texlib/tex3df.h"

namespace {

bool run(const std::string& cmd) {
    return std::system(("( " + cmd + " ) >/dev/null 2>&1").c_str()) == 0;
}

// The output whatever the exit status: the scripts print their own verdict.
std::string output(const std::string& cmd) {
    std::string out;
    runCapture(cmd, out);
    return out;
}

const std::string& magick() {
    static const std::string m = [] {
        for (const char* im : {"convert-im6.q16", "magick", "convert"})
            if (run(std::string(im) + " -version | grep -q ImageMagick")) return std::string(im);
        return std::string();
    }();
    return m;
}

const std::string& pillow() {
    static const std::string p = [] {
        for (const char* py : {"python3", "/usr/bin/python3"})
            if (run(std::string(py) + " -c 'import PIL'")) return std::string(py);
        return std::string();
    }();
    return p;
}

std::string path(const std::string& name) {
    static const std::string dir = [] {
        std::string templ = ::testing::TempDir() + "tarquil-containers-XXXXXX";
        return ::mkdtemp(templ.data()) ? templ + "/" : ::testing::TempDir();
    }();
    return dir + name;
}

// A 16x8 image with every alpha from transparent to opaque and distinct colours.
TxMip source() {
    TxMip m;
    txMipInit(m, 16, 8, 1, TX_FMT_ARGB8888);
    auto* p = reinterpret_cast<uint32_t*>(m.data[0]);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            p[y * 16 + x] = uint32_t((x * 37 + y * 11) & 0xFF) << 24 | uint32_t(x * 16) << 16 |
                            uint32_t(y * 32) << 8 | uint32_t((x * y * 5 + 3) & 0xFF);
    return m;
}

TxExportOptions options(int output, int format, bool srgb = false) {
    TxExportOptions o;
    o.output = output;
    o.format = format;
    o.mipmap = 1;
    o.srgb = srgb;
    o.dither = TX_DITHER_ORDERED;
    return o;
}

// Bit fields of one texel by the layouts of the pixel formats: shift and width of red, green,
// blue and alpha (width 0: absent, so opaque; luminance formats repeat one field).
struct Fields {
    int shift[4], bits[4];
};
Fields fieldsOf(int format) {
    switch (format) {
    case TX_FMT_RGB565: return {{11, 5, 0, 0}, {5, 6, 5, 0}};
    case TX_FMT_ARGB1555: return {{10, 5, 0, 15}, {5, 5, 5, 1}};
    case TX_FMT_ARGB4444: return {{8, 4, 0, 12}, {4, 4, 4, 4}};
    case TX_FMT_I8: return {{0, 0, 0, 0}, {8, 8, 8, 0}};
    case TX_FMT_AI88: return {{0, 0, 0, 8}, {8, 8, 8, 8}};
    default: return {{16, 8, 0, 24}, {8, 8, 8, 8}};  // argb8888
    }
}

// Compares decoded RGBA bytes with the quantised texels of level 0: each 8-bit value a reader
// produced must narrow back to the stored field (readers widen by replication or by scaling).
void expectTexels(const TxMip& tex, const std::vector<uint8_t>& rgba, const std::string& who) {
    ASSERT_EQ(rgba.size(), size_t(tex.width) * size_t(tex.height) * 4) << who;
    const int bpt = txBytesPerTexel(tex.format);
    const Fields f = fieldsOf(tex.format);
    int bad = 0;
    for (size_t k = 0; k < rgba.size() / 4 && bad < 5; ++k) {
        uint32_t v = 0;
        std::memcpy(&v, tex.data[0] + k * size_t(bpt), size_t(bpt));
        for (int c = 0; c < 4; ++c) {
            const int value = rgba[4 * k + size_t(c)];
            if (f.bits[c] == 0) {
                if (value != 255) ++bad;
                continue;
            }
            const uint32_t max = (1u << f.bits[c]) - 1;
            const uint32_t want = (v >> f.shift[c]) & max;
            if ((uint32_t(value) * max + 127) / 255 != want) {
                ADD_FAILURE() << who << " " << txFormatName(tex.format) << " texel " << k
                              << " channel " << c << ": read " << value << ", stored " << want;
                ++bad;
            }
        }
    }
    EXPECT_EQ(bad, 0);
}

TxMip exported(const TxExportOptions& o, const std::string& file) {
    TxMip tex;
    EXPECT_EQ(txExportTexture(source(), o, tex), TX_EXPORT_OK);
    EXPECT_EQ(txMipWrite3df(source(), o, file), TX_EXPORT_OK);
    return tex;
}

}  // namespace

TEST(ContainerInterop, ImageMagickReadsOurDds) {
    if (magick().empty()) GTEST_SKIP() << "ImageMagick is not installed";
    // The layouts ImageMagick 6 decodes; the others have no decoder there.
    for (int format :
         {TX_FMT_RGB565, TX_FMT_ARGB1555, TX_FMT_ARGB4444, TX_FMT_I8, TX_FMT_ARGB8888}) {
        const std::string file = path(std::string("im_") + txFormatName(format) + ".dds");
        const TxMip tex = exported(options(TX_OUTPUT_DDS, format), file);
        const std::string raw = file + ".rgba";
        ASSERT_TRUE(run(magick() + " '" + file + "' -depth 8 'rgba:" + raw + "'"))
            << txFormatName(format);
        expectTexels(tex, raster::slurp(raw), "ImageMagick");
    }
}

TEST(ContainerInterop, PillowReadsOurDds) {
    if (pillow().empty()) GTEST_SKIP() << "Python's Pillow is not installed";
    const char* script = "import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                         "open(sys.argv[2], 'wb').write(im.convert('RGBA').tobytes()); "
                         "print(im.mode, im.size[0], im.size[1], im.info.get('gamma', 1))";
    struct Case {
        int format;
        bool srgb;
        const char* mode;
    } cases[] = {{TX_FMT_I8, false, "L"},
                 {TX_FMT_AI88, false, "LA"},
                 {TX_FMT_ARGB8888, false, "RGBA"},
                 {TX_FMT_ARGB8888, true, "RGBA"}};
    for (const Case& c : cases) {
        const std::string file =
            path(std::string("pil_") + txFormatName(c.format) + (c.srgb ? "_srgb" : "") + ".dds");
        const TxMip tex = exported(options(TX_OUTPUT_DDS, c.format, c.srgb), file);
        const std::string raw = file + ".rgba";
        const std::string said =
            output(pillow() + " -c \"" + script + "\" '" + file + "' '" + raw + "' 2>&1");
        // The DX10 header's R8G8B8A8_UNORM_SRGB reaches Pillow as the sRGB gamma.
        std::string want = std::string(c.mode) + " 16 8 " + (c.srgb ? "0.4545" : "1");
        EXPECT_EQ(said.substr(0, want.size()), want) << said;
        expectTexels(tex, raster::slurp(raw), "Pillow");
    }
}

TEST(ContainerInterop, KtxParseReadsOurKtx2) {
    const std::string modules = TARQUIL_NODE_MODULES;
    if (!run("command -v node")) GTEST_SKIP() << "node is not installed";
    if (!raster::exists(modules + "/ktx-parse/package.json"))
        GTEST_SKIP() << "npm ktx-parse is not installed in " << modules << " (scripts/setup)";
    const char* script =
        "import { read } from 'ktx-parse'; import { readFileSync } from 'fs';"
        "const c = read(new Uint8Array(readFileSync(process.argv[1])));"
        "const d = c.dataFormatDescriptor[0];"
        "console.log([c.vkFormat, c.typeSize, c.pixelWidth, c.pixelHeight, c.pixelDepth,"
        " c.layerCount, c.faceCount, c.levelCount, c.supercompressionScheme, d.colorModel,"
        " d.transferFunction, d.flags, d.bytesPlane[0], d.samples.length].join(' '));"
        "console.log(c.keyValue.KTXswizzle || '-', c.keyValue.KTXwriter);"
        "for (const l of c.levels) console.log(Buffer.from(l.levelData).toString('hex'));";
    struct Case {
        int format;
        bool srgb;
        int vkFormat, typeSize, samples;
        const char* swizzle;
    } cases[] = {
        {TX_FMT_I8, false, 9, 1, 1, "rrr1"},      // R8_UNORM
        {TX_FMT_I8, true, 15, 1, 1, "rrr1"},      // R8_SRGB
        {TX_FMT_A8, false, 9, 1, 1, "000r"},      // R8_UNORM
        {TX_FMT_AI44, false, 1, 1, 2, "gggr"},    // R4G4_UNORM_PACK8
        {TX_FMT_AI88, false, 16, 1, 2, "rrrg"},   // R8G8_UNORM
        {TX_FMT_RGB565, true, 4, 2, 3, "-"},      // R5G6B5_UNORM_PACK16
        {TX_FMT_ARGB1555, false, 8, 2, 4, "-"},   // A1R5G5B5_UNORM_PACK16
        {TX_FMT_ARGB4444, false, 3, 2, 4, "-"},   // B4G4R4A4_UNORM_PACK16
        {TX_FMT_ARGB8888, false, 37, 1, 4, "-"},  // R8G8B8A8_UNORM
        {TX_FMT_ARGB8888, true, 43, 1, 4, "-"},   // R8G8B8A8_SRGB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(txFormatName(c.format)) + (c.srgb ? " srgb" : ""));
        const std::string file =
            path(std::string(txFormatName(c.format)) + (c.srgb ? "_srgb" : "") + ".ktx2");
        const TxMip tex = exported(options(TX_OUTPUT_KTX2, c.format, c.srgb), file);
        std::istringstream lines(output("cd '" + modules +
                                        "/..' && node --input-type=module -e \"" + script + "\" '" +
                                        file + "' 2>&1"));
        std::string header, keys;
        std::getline(lines, header);
        std::getline(lines, keys);
        std::ostringstream want;
        // 16x8, 2D (depth 0, no layers, one face), five levels, no supercompression, RGBSDA,
        // linear or sRGB transfer, straight alpha.
        want << c.vkFormat << ' ' << c.typeSize << " 16 8 0 0 1 5 0 1 " << (c.srgb ? 2 : 1) << " 0 "
             << txBytesPerTexel(c.format) << ' ' << c.samples;
        EXPECT_EQ(header, want.str());
        EXPECT_EQ(keys, std::string(c.swizzle) + " Tarquil Studio 1.0");
        ASSERT_EQ(tex.depth, 5);
        for (int level = 0; level < tex.depth; ++level) {
            int w = 0, h = 0;
            txMipLevelSize(tex, level, w, h);
            const size_t n = size_t(w) * size_t(h) * size_t(txBytesPerTexel(c.format));
            std::vector<uint8_t> b(tex.data[level], tex.data[level] + n);
            // The VkFormat's order: B4G4R4A4 nibbles from high to low, R8G8B8A8 red first.
            for (size_t k = 0; c.format == TX_FMT_ARGB4444 && k < n; k += 2) {
                const int v = b[k] | b[k + 1] << 8;
                const int r =
                    (v & 0xF) << 12 | ((v >> 4) & 0xF) << 8 | ((v >> 8) & 0xF) << 4 | v >> 12;
                b[k] = uint8_t(r), b[k + 1] = uint8_t(r >> 8);
            }
            for (size_t k = 0; c.format == TX_FMT_ARGB8888 && k < n; k += 4)
                std::swap(b[k], b[k + 2]);
            std::string hex;
            char two[3];
            for (uint8_t x : b) std::snprintf(two, sizeof two, "%02x", x), hex += two;
            std::string got;
            std::getline(lines, got);
            EXPECT_EQ(got, hex) << "level " << level;
        }
    }
}
