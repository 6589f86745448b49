#include "texlib/dds.h"

#include <algorithm>

namespace {

// DDS_HEADER.dwFlags
constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8,
                   DDSD_PIXELFORMAT = 0x1000, DDSD_MIPMAPCOUNT = 0x20000;
// DDS_PIXELFORMAT.dwFlags
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_ALPHA = 0x2, DDPF_FOURCC = 0x4,
                   DDPF_PALETTEINDEXED8 = 0x20, DDPF_RGB = 0x40, DDPF_LUMINANCE = 0x20000;
// DDS_HEADER.dwCaps
constexpr uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
// DDS_HEADER_DXT10
constexpr uint32_t DXGI_FORMAT_R8G8B8A8_UNORM = 28, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB = 29;
constexpr uint32_t D3D10_RESOURCE_DIMENSION_TEXTURE2D = 3;
constexpr uint32_t DDS_ALPHA_MODE_STRAIGHT = 1, DDS_ALPHA_MODE_PREMULTIPLIED = 2;

struct Layout {
    int format;
    const char* d3dName;  // for the README and messages
    uint32_t flags, bits, r, g, b, a;
};

// The D3DFMT layouts, with the masks D3DX and texconv write for them.
const Layout kLayouts[] = {
    {TX_FMT_RGB565, "R5G6B5", DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},
    {TX_FMT_ARGB1555, "A1R5G5B5", DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {TX_FMT_ARGB4444, "A4R4G4B4", DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {TX_FMT_RGB332, "R3G3B2", DDPF_RGB, 8, 0xE0, 0x1C, 0x03, 0},
    {TX_FMT_ARGB8332, "A8R3G3B2", DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xE0, 0x1C, 0x03, 0xFF00},
    {TX_FMT_A8, "A8", DDPF_ALPHA, 8, 0, 0, 0, 0xFF},
    {TX_FMT_I8, "L8", DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0},
    {TX_FMT_AI88, "A8L8", DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00},
    {TX_FMT_AI44, "A4L4", DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 8, 0x0F, 0, 0, 0xF0},
    {TX_FMT_P8, "P8", DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0},
    {TX_FMT_ARGB8888, "A8R8G8B8", DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0x00FF0000, 0x0000FF00,
     0x000000FF, 0xFF000000},
};

const Layout* layoutOf(int format) {
    for (const Layout& l : kLayouts)
        if (l.format == format) return &l;
    return nullptr;
}

// The DX10 header is written only when the file must say sRGB or premultiplied alpha: the legacy
// header keeps the file readable by every older tool.
bool needsDx10(const TxMip& tex, const TxDdsOptions& o) {
    return tex.format == TX_FMT_ARGB8888 && (o.srgb || o.premultiplied);
}

// Byte by byte: GCC 12 at -O3 takes vector::insert of a short list for an overflow (a false
// -Wstringop-overflow).
void le32(std::vector<uint8_t>& v, uint32_t x) {
    for (int k = 0; k < 4; ++k) v.push_back(uint8_t(x >> (8 * k)));
}
void text4(std::vector<uint8_t>& v, const char* t) {
    for (int k = 0; k < 4; ++k) v.push_back(uint8_t(t[k]));
}

}  // namespace

bool txDdsCanHold(int format) { return layoutOf(format) != nullptr; }

bool txDdsCanMarkSrgb(int format) { return format == TX_FMT_ARGB8888; }

std::string txDdsFormatList(bool srgbOnly) {
    std::string names;
    for (const Layout& l : kLayouts) {
        if (srgbOnly && !txDdsCanMarkSrgb(l.format)) continue;
        names += std::string(names.empty() ? "" : ", ") + txFormatName(l.format);
    }
    return names;
}

std::vector<uint8_t> txDdsHeader(const TxMip& tex, const TxDdsOptions& o) {
    std::vector<uint8_t> h;
    const Layout* l = layoutOf(tex.format);
    if (!l || tex.width < 1 || tex.height < 1 || tex.depth < 1) return h;
    if (o.srgb && !txDdsCanMarkSrgb(tex.format)) return h;
    const bool dx10 = needsDx10(tex, o);
    const bool mips = tex.depth > 1;
    text4(h, "DDS ");
    le32(h, 124);
    le32(h, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT |
                (mips ? DDSD_MIPMAPCOUNT : 0));
    le32(h, uint32_t(tex.height));
    le32(h, uint32_t(tex.width));
    le32(h, (uint32_t(tex.width) * l->bits + 7) / 8);  // pitch of the top level
    le32(h, 0);                                        // depth: not a volume
    le32(h, uint32_t(tex.depth));
    for (int k = 0; k < 11; ++k) le32(h, 0);
    // DDS_PIXELFORMAT
    le32(h, 32);
    if (dx10) {
        le32(h, DDPF_FOURCC);
        text4(h, "DX10");
        for (int k = 0; k < 5; ++k) le32(h, 0);
    } else {
        le32(h, l->flags);
        le32(h, 0);
        le32(h, l->bits);
        le32(h, l->r);
        le32(h, l->g);
        le32(h, l->b);
        le32(h, l->a);
    }
    le32(h, DDSCAPS_TEXTURE | (mips ? DDSCAPS_COMPLEX | DDSCAPS_MIPMAP : 0));
    for (int k = 0; k < 4; ++k) le32(h, 0);  // caps2 to caps4, reserved2
    if (dx10) {
        le32(h, o.srgb ? DXGI_FORMAT_R8G8B8A8_UNORM_SRGB : DXGI_FORMAT_R8G8B8A8_UNORM);
        le32(h, D3D10_RESOURCE_DIMENSION_TEXTURE2D);
        le32(h, 0);  // miscFlag
        le32(h, 1);  // arraySize
        le32(h, o.premultiplied ? DDS_ALPHA_MODE_PREMULTIPLIED : DDS_ALPHA_MODE_STRAIGHT);
    }
    if (tex.format == TX_FMT_P8) {
        // PALETTEENTRY: red, green, blue, flags. p8 has no alpha, and readers take the fourth
        // byte as alpha, so it is opaque.
        for (uint32_t c : tex.pal)
            le32(h, (c & 0xFFFFFFu) >> 16 | (c & 0xFF00u) | (c & 0xFFu) << 16 | 0xFF000000u);
    }
    return h;
}

bool txDdsWrite(const TxMip& tex, const TxDdsOptions& o, const TxByteSink& sink) {
    const std::vector<uint8_t> header = txDdsHeader(tex, o);
    if (header.empty() || !tex.data[0]) return false;
    // The levels the header counts, whatever the block holds beyond them.
    const int64_t bytes = txMipLevelBytes(tex.format, tex.width, tex.height, tex.depth);
    if (bytes <= 0 || bytes > tex.size) return false;
    if (!sink(header.data(), header.size())) return false;
    // Legacy layouts are the texels as the record holds them (little-endian words, A8R8G8B8 as
    // bytes B, G, R, A); DXGI's R8G8B8A8 wants red first.
    if (!needsDx10(tex, o)) return sink(tex.data[0], size_t(bytes));
    constexpr size_t kSlice = 1 << 16;
    std::vector<uint8_t> out(kSlice);
    const uint8_t* p = tex.data[0];
    const size_t total = size_t(bytes);
    for (size_t done = 0; done < total;) {
        const size_t n = std::min(kSlice, total - done);
        for (size_t k = 0; k < n; k += 4) {
            out[k] = p[done + k + 2];
            out[k + 1] = p[done + k + 1];
            out[k + 2] = p[done + k];
            out[k + 3] = p[done + k + 3];
        }
        if (!sink(out.data(), n)) return false;
        done += n;
    }
    return true;
}
