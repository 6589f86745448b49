#include "texlib/ktx2.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kIdentifier[12] = {0xAB, 0x4B, 0x54, 0x58, 0x20, 0x32,
                                     0x30, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
const char* const kWriter = "Tarquil Studio 1.0";

// Khronos data format descriptor values.
constexpr uint32_t KHR_DF_MODEL_RGBSDA = 1, KHR_DF_PRIMARIES_BT709 = 1, KHR_DF_TRANSFER_LINEAR = 1,
                   KHR_DF_TRANSFER_SRGB = 2, KHR_DF_FLAG_ALPHA_PREMULTIPLIED = 1;
constexpr uint8_t CH_R = 0, CH_G = 1, CH_B = 2, CH_A = 15;
constexpr uint8_t KHR_DF_SAMPLE_DATATYPE_LINEAR = 0x10;

struct Sample {
    uint8_t offset, bits, channel;
};

enum class Order { AsStored, Rotate4444, SwapRB };

struct Layout {
    int format;
    uint32_t vkFormat, vkSrgb;  // vkSrgb: the sRGB variant, or 0 when the transfer marks it
    uint32_t typeSize;
    bool srgbOk;
    const char* swizzle;  // nullptr: rgba
    Order order;
    int sampleCount;
    Sample samples[4];  // by rising bit offset, as the format's canonical descriptor lists them
};

// VkFormat values: R4G4_UNORM_PACK8 1, B4G4R4A4_UNORM_PACK16 3, R5G6B5_UNORM_PACK16 4,
// A1R5G5B5_UNORM_PACK16 8, R8_UNORM 9, R8_SRGB 15, R8G8_UNORM 16, R8G8B8A8_UNORM 37,
// R8G8B8A8_SRGB 43. The 4444 and 8888 textures are reordered into the formats every Vulkan
// device samples and WebGL loaders know.
const Layout kLayouts[] = {
    {TX_FMT_I8, 9, 15, 1, true, "rrr1", Order::AsStored, 1, {{0, 8, CH_R}}},
    {TX_FMT_A8, 9, 0, 1, false, "000r", Order::AsStored, 1, {{0, 8, CH_R}}},
    // ai44: alpha in the high nibble (R of R4G4), intensity in the low one (G).
    {TX_FMT_AI44, 1, 0, 1, false, "gggr", Order::AsStored, 2, {{0, 4, CH_G}, {4, 4, CH_R}}},
    // ai88: intensity in the low byte (R), alpha in the high byte (G).
    {TX_FMT_AI88, 16, 0, 1, false, "rrrg", Order::AsStored, 2, {{0, 8, CH_R}, {8, 8, CH_G}}},
    {TX_FMT_RGB565,
     4,
     0,
     2,
     true,
     nullptr,
     Order::AsStored,
     3,
     {{0, 5, CH_B}, {5, 6, CH_G}, {11, 5, CH_R}}},
    {TX_FMT_ARGB1555,
     8,
     0,
     2,
     true,
     nullptr,
     Order::AsStored,
     4,
     {{0, 5, CH_B}, {5, 5, CH_G}, {10, 5, CH_R}, {15, 1, CH_A}}},
    {TX_FMT_ARGB4444,
     3,
     0,
     2,
     true,
     nullptr,
     Order::Rotate4444,
     4,
     {{0, 4, CH_A}, {4, 4, CH_R}, {8, 4, CH_G}, {12, 4, CH_B}}},
    {TX_FMT_ARGB8888,
     37,
     43,
     1,
     true,
     nullptr,
     Order::SwapRB,
     4,
     {{0, 8, CH_R}, {8, 8, CH_G}, {16, 8, CH_B}, {24, 8, CH_A}}},
};

const Layout* layoutOf(int format) {
    for (const Layout& l : kLayouts)
        if (l.format == format) return &l;
    return nullptr;
}

void le32(std::vector<uint8_t>& v, uint32_t x) {
    for (int k = 0; k < 4; ++k) v.push_back(uint8_t(x >> (8 * k)));
}
void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int k = 0; k < 4; ++k) v[at + size_t(k)] = uint8_t(x >> (8 * k));
}
void put64(std::vector<uint8_t>& v, size_t at, uint64_t x) {
    put32(v, at, uint32_t(x));
    put32(v, at + 4, uint32_t(x >> 32));
}

std::vector<uint8_t> descriptor(const Layout& l, int bytesPerTexel, const TxKtx2Options& o) {
    std::vector<uint8_t> d;
    const uint32_t blockSize = 24 + 16 * uint32_t(l.sampleCount);
    le32(d, 4 + blockSize);  // dfdTotalSize
    le32(d, 0);              // vendorId 0 (Khronos), descriptorType 0 (basic)
    le32(d, 2 | (blockSize << 16));
    le32(d, KHR_DF_MODEL_RGBSDA | (KHR_DF_PRIMARIES_BT709 << 8) |
                ((o.srgb ? KHR_DF_TRANSFER_SRGB : KHR_DF_TRANSFER_LINEAR) << 16) |
                ((o.premultiplied ? KHR_DF_FLAG_ALPHA_PREMULTIPLIED : 0) << 24));
    le32(d, 0);                        // texel block 1x1x1x1 (dimensions minus one)
    le32(d, uint32_t(bytesPerTexel));  // bytesPlane0
    le32(d, 0);
    for (int k = 0; k < l.sampleCount; ++k) {
        const Sample& s = l.samples[k];
        // With the sRGB transfer, alpha stays linear.
        const uint8_t type =
            uint8_t(s.channel | (o.srgb && s.channel == CH_A ? KHR_DF_SAMPLE_DATATYPE_LINEAR : 0));
        le32(d, uint32_t(s.offset) | (uint32_t(s.bits - 1) << 16) | (uint32_t(type) << 24));
        le32(d, 0);  // sample position
        le32(d, 0);  // lower
        le32(d, (1u << s.bits) - 1);
    }
    return d;
}

void keyValue(std::vector<uint8_t>& kvd, const char* key, const char* value) {
    const size_t kl = std::strlen(key) + 1, vl = std::strlen(value) + 1;
    le32(kvd, uint32_t(kl + vl));
    kvd.insert(kvd.end(), key, key + kl);
    kvd.insert(kvd.end(), value, value + vl);
    while (kvd.size() % 4) kvd.push_back(0);
}

size_t levelBytes(const TxMip& tex, int level) {
    int w = 0, h = 0;
    txMipLevelSize(tex, level, w, h);
    return size_t(w) * size_t(h) * size_t(txBytesPerTexel(tex.format));
}

// Reorders n bytes of texels into the file's order.
void reorder(Order order, const uint8_t* in, uint8_t* out, size_t n) {
    switch (order) {
    case Order::AsStored: std::memcpy(out, in, n); break;
    case Order::Rotate4444:
        // A R G B nibbles (high to low) become B G R A.
        for (size_t k = 0; k + 1 < n; k += 2) {
            const uint16_t v = uint16_t(in[k] | (in[k + 1] << 8));
            const uint16_t r = uint16_t(((v & 0xF) << 12) | (((v >> 4) & 0xF) << 8) |
                                        (((v >> 8) & 0xF) << 4) | (v >> 12));
            out[k] = uint8_t(r);
            out[k + 1] = uint8_t(r >> 8);
        }
        break;
    case Order::SwapRB:
        for (size_t k = 0; k + 3 < n; k += 4) {
            out[k] = in[k + 2];
            out[k + 1] = in[k + 1];
            out[k + 2] = in[k];
            out[k + 3] = in[k + 3];
        }
        break;
    }
}

}  // namespace

bool txKtx2CanHold(int format) { return layoutOf(format) != nullptr; }

bool txKtx2CanMarkSrgb(int format) {
    const Layout* l = layoutOf(format);
    return l && l->srgbOk;
}

std::string txKtx2FormatList(bool srgbOnly) {
    std::string names;
    for (const Layout& l : kLayouts) {
        if (srgbOnly && !l.srgbOk) continue;
        names += std::string(names.empty() ? "" : ", ") + txFormatName(l.format);
    }
    return names;
}

uint32_t txKtx2VkFormat(int format, bool srgb) {
    const Layout* l = layoutOf(format);
    if (!l) return 0;
    return srgb && l->vkSrgb ? l->vkSrgb : l->vkFormat;
}

std::vector<uint8_t> txKtx2LevelBytes(const TxMip& tex, int level) {
    const Layout* l = layoutOf(tex.format);
    if (!l || level < 0 || level >= tex.depth || !tex.data[level]) return {};
    std::vector<uint8_t> out(levelBytes(tex, level));
    reorder(l->order, tex.data[level], out.data(), out.size());
    return out;
}

bool txKtx2Write(const TxMip& tex, const TxKtx2Options& o, const TxByteSink& sink) {
    const Layout* l = layoutOf(tex.format);
    if (!l || !tex.data[0] || tex.depth < 1 || tex.depth > TX_MAX_LEVELS) return false;
    if (o.srgb && !l->srgbOk) return false;
    const int bpt = txBytesPerTexel(tex.format);

    std::vector<uint8_t> f(kIdentifier, kIdentifier + 12);
    le32(f, txKtx2VkFormat(tex.format, o.srgb));
    le32(f, l->typeSize);
    le32(f, uint32_t(tex.width));
    le32(f, uint32_t(tex.height));
    le32(f, 0);  // pixelDepth: a 2D texture
    le32(f, 0);  // layerCount: not an array
    le32(f, 1);  // faceCount
    le32(f, uint32_t(tex.depth));
    le32(f, 0);  // no supercompression
    const size_t indexAt = f.size();
    f.resize(f.size() + 32, 0);  // dfd, kvd and sgd offsets and lengths, filled in below
    const size_t levelIndexAt = f.size();
    f.resize(f.size() + 24 * size_t(tex.depth), 0);

    const size_t dfdAt = f.size();
    const std::vector<uint8_t> dfd = descriptor(*l, bpt, o);
    f.insert(f.end(), dfd.begin(), dfd.end());
    const size_t kvdAt = f.size();
    std::vector<uint8_t> kvd;
    // Keys sorted by their code points: KTXswizzle before KTXwriter.
    if (l->swizzle) keyValue(kvd, "KTXswizzle", l->swizzle);
    keyValue(kvd, "KTXwriter", kWriter);
    f.insert(f.end(), kvd.begin(), kvd.end());
    put32(f, indexAt, uint32_t(dfdAt));
    put32(f, indexAt + 4, uint32_t(dfd.size()));
    put32(f, indexAt + 8, uint32_t(kvdAt));
    put32(f, indexAt + 12, uint32_t(kvd.size()));
    // No supercompression global data: offset and length 0.

    // Levels smallest first, each on a multiple of lcm(texel size, 4), that is 4 for 1, 2 and
    // 4-byte texels.
    uint64_t at = f.size();
    std::vector<uint64_t> offsets(size_t(tex.depth));
    for (int level = tex.depth - 1; level >= 0; --level) {
        at = (at + 3) & ~uint64_t(3);
        offsets[size_t(level)] = at;
        at += levelBytes(tex, level);
    }
    for (int level = 0; level < tex.depth; ++level) {
        const size_t e = levelIndexAt + 24 * size_t(level);
        put64(f, e, offsets[size_t(level)]);
        put64(f, e + 8, levelBytes(tex, level));
        put64(f, e + 16, levelBytes(tex, level));
    }
    if (!sink(f.data(), f.size())) return false;

    uint64_t written = f.size();
    constexpr size_t kSlice = 1 << 16;
    std::vector<uint8_t> out(kSlice);
    const uint8_t zeros[4] = {0, 0, 0, 0};
    for (int level = tex.depth - 1; level >= 0; --level) {
        const uint64_t pad = offsets[size_t(level)] - written;
        if (pad && !sink(zeros, size_t(pad))) return false;
        written += pad;
        const size_t total = levelBytes(tex, level);
        const uint8_t* p = tex.data[level];
        for (size_t done = 0; done < total;) {
            const size_t n = std::min(kSlice, total - done);
            reorder(l->order, p + done, out.data(), n);
            if (!sink(out.data(), n)) return false;
            done += n;
        }
        written += total;
    }
    return true;
}
