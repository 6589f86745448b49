#include "texlib/bmp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

#include "texlib/bytes.h"
#include "texlib/quantize.h"

static_assert(std::endian::native == std::endian::little, "pixel words are stored little-endian");

namespace {

enum BmpCompression { BMP_RGB = 0, BMP_RLE8 = 1, BMP_RLE4 = 2, BMP_BITFIELDS = 3 };

struct BmpInfo {
    int bits = 0;
    int compression = 0;
    bool topDown = false;
    uint32_t colorsUsed = 0;
    size_t paletteStart = 0;    // first palette entry
    int paletteEntryBytes = 4;  // 3 for the OS/2 core header
    size_t dataOffset = 0;      // from the file header; 0 when unusable
    uint32_t masks[4] = {};     // red, green, blue, alpha for 16 and 32 bits
};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

// One colour channel described by a bit mask.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    uint8_t table[256] = {};  // widened value for masks of up to 8 bits

    void set(uint32_t m) {
        mask = m;
        bits = 0;
        shift = 0;
        if (!m) return;
        shift = std::countr_zero(m);
        bits = std::popcount(m >> shift);
        if (bits > 8) return;
        for (uint32_t v = 0; v < (1u << bits); ++v) {
            // Bit replication, so that full scale stays full scale.
            uint32_t out = 0;
            int have = 0;
            while (have < 8) {
                out = (out << bits) | v;
                have += bits;
            }
            table[v] = uint8_t(out >> (have - 8));
        }
    }
    uint32_t get(uint32_t px) const {
        const uint32_t v = (px & mask) >> shift;
        return bits > 8 ? (v >> (bits - 8)) & 0xFF : table[v & 0xFF];
    }
};

}  // namespace

bool bmpProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t fh[14];
    uint8_t ih[124] = {};
    if (!s.readExact(fh, 14) || !s.readExact(ih, 4)) return fail(ctx, "Unexpected end of file.");
    const uint32_t headerSize = getLe32(ih);
    BmpInfo info;
    int64_t width = 0, height = 0;
    if (headerSize == 12) {
        // OS/2 core header: 16-bit sides, 3-byte palette entries.
        if (!s.readExact(ih + 4, 8)) return fail(ctx, "Unexpected end of file.");
        width = getLe16(ih + 4);
        height = int16_t(getLe16(ih + 6));
        info.bits = getLe16(ih + 10);
        info.paletteEntryBytes = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {
        if (!s.readExact(ih + 4, headerSize - 4)) return fail(ctx, "Unexpected end of file.");
        width = int32_t(getLe32(ih + 4));
        height = int32_t(getLe32(ih + 8));
        info.bits = getLe16(ih + 14);
        info.compression = int(getLe32(ih + 16));
        info.colorsUsed = getLe32(ih + 32);
    } else {
        return fail(ctx, "Unsupported BMP format");
    }
    info.paletteStart = 14 + size_t(headerSize);
    const int b = info.bits, c = info.compression;
    const bool bitsOk = b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32;
    const bool compOk = c == BMP_RGB || (c == BMP_RLE8 && b == 8) || (c == BMP_RLE4 && b == 4) ||
                        (c == BMP_BITFIELDS && (b == 16 || b == 32));
    if (!bitsOk || !compOk) return fail(ctx, "Unsupported BMP format");

    if (b == 16 || b == 32) {
        if (c == BMP_BITFIELDS) {
            if (headerSize >= 52) {
                for (int k = 0; k < (headerSize >= 56 ? 4 : 3); ++k)
                    info.masks[k] = getLe32(ih + 40 + 4 * k);
            } else {
                // A 40-byte header is followed by the three masks.
                uint8_t m[12];
                if (!s.readExact(m, 12)) return fail(ctx, "Unexpected end of file.");
                for (int k = 0; k < 3; ++k) info.masks[k] = getLe32(m + 4 * k);
                info.paletteStart += 12;
            }
        } else if (b == 16) {
            info.masks[0] = 0x7C00;
            info.masks[1] = 0x03E0;
            info.masks[2] = 0x001F;
        }
    }

    info.topDown = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return fail(ctx, "BMP Image: width or height is 0.", 0);
    if (!txSizeAllowed(width, height)) return fail(ctx, "BMP Image: image is too large.", 0);
    const uint32_t offBits = getLe32(fh + 10);
    info.dataOffset = offBits;
    if (c == BMP_RGB || c == BMP_BITFIELDS) {
        // Uncompressed rows must all be there (the last one's padding aside) before the image is
        // allocated; they start after the palette at the earliest.
        const uint64_t stride = uint64_t((width * b + 31) / 32 * 4);
        const uint64_t rowBytes = uint64_t((width * b + 7) / 8);
        const uint64_t avail = s.size() > info.paletteStart ? s.size() - info.paletteStart : 0;
        if (avail < stride * uint64_t(height - 1) + rowBytes)
            return fail(ctx, "BMP Image: Unexpected end of file.");
    }

    int format = TX_FMT_P8;
    if (b == 16) {
        const bool is565 = info.masks[0] == 0xF800 && info.masks[1] == 0x07E0 &&
                           info.masks[2] == 0x001F && info.masks[3] == 0;
        format = is565 ? TX_FMT_RGB565 : TX_FMT_ARGB8888;
    } else if (b == 24) {
        format = ctx.wantArgb8888 ? TX_FMT_ARGB8888 : TX_FMT_RGB888;
    } else if (b == 32) {
        format = TX_FMT_ARGB8888;
    }
    mip.format = format;
    mip.width = int(width);
    mip.height = int(height);
    mip.depth = 1;
    mip.size = width * height * txBytesPerTexel(format);
    ctx.state = info;
    return true;
}

namespace {

// Uncompressed rows; file row r lands on image row y(r).
#if defined(__x86_64__)
// The pixels done, a multiple of 16.
__attribute__((target("ssse3"))) int expand24Ssse3(const uint8_t* src, uint32_t* d, int width) {
    const __m128i take = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 16 <= width; x += 16, src += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        const __m128i parts[4] = {a, _mm_alignr_epi8(b, a, 12), _mm_alignr_epi8(c, b, 8),
                                  _mm_srli_si128(c, 4)};
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x + 4 * k),
                             _mm_or_si128(_mm_shuffle_epi8(parts[k], take), alpha));
    }
    return x;
}
#endif

// One row of B, G, R bytes into opaque 0xAARRGGBB words.
void expand24(const uint8_t* src, uint32_t* d, int width) {
    int x = 0;
#if defined(__x86_64__)
    // Sixteen pixels from 48 bytes with four byte shuffles where the processor has SSSE3: the
    // conversion is most of a 24-bit read.
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) x = expand24Ssse3(src, d, width);
#endif
    for (src += 3 * x; x < width; ++x, src += 3)
        d[x] = 0xFF000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
}

bool readUncompressed(TxStream& s, TxReadContext& ctx, const BmpInfo& info, TxMip& mip,
                      size_t dataStart) {
    const int width = mip.width, height = mip.height, bits = info.bits;
    const size_t stride = size_t((int64_t(width) * bits + 31) / 32 * 4);
    const size_t rowBytes = size_t((int64_t(width) * bits + 7) / 8);
    const size_t avail = s.size() > dataStart ? s.size() - dataStart : 0;
    // The last row's padding may be missing; its pixels may not.
    if (avail < stride * size_t(height - 1) + rowBytes)
        return fail(ctx, "BMP Image: Unexpected end of file.");
    const uint8_t* base = s.data() + dataStart;
    const size_t pitch = size_t(width) * size_t(txBytesPerTexel(mip.format));

    Channel ch[4];
    const bool masked = (bits == 16 && mip.format == TX_FMT_ARGB8888) ||
                        (bits == 32 && info.compression == BMP_BITFIELDS);
    if (masked)
        for (int k = 0; k < 4; ++k) ch[k].set(info.masks[k]);

    for (int r = 0; r < height; ++r) {
        const uint8_t* src = base + size_t(r) * stride;
        const int y = info.topDown ? r : height - 1 - r;
        uint8_t* dst = mip.data[0] + size_t(y) * pitch;
        switch (bits) {
        case 1:
            for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                dst[x] = (x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4);
            break;
        case 8: std::memcpy(dst, src, size_t(width)); break;
        case 16:
            if (!masked) {
                std::memcpy(dst, src, size_t(width) * 2);
            } else {
                uint32_t* d = reinterpret_cast<uint32_t*>(dst);
                for (int x = 0; x < width; ++x) {
                    const uint32_t px = getLe16(src + 2 * x);
                    const uint32_t a = ch[3].mask ? ch[3].get(px) : 255;
                    d[x] = (a << 24) | (ch[0].get(px) << 16) | (ch[1].get(px) << 8) | ch[2].get(px);
                }
            }
            break;
        case 24:
            if (mip.format == TX_FMT_ARGB8888) {
                expand24(src, reinterpret_cast<uint32_t*>(dst), width);
                break;
            }
            for (int x = 0; x < width; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            break;
        case 32:
            if (!masked) {
                // B, G, R, A in the file is the record's little-endian 0xAARRGGBB word.
                std::memcpy(dst, src, size_t(width) * 4);
            } else {
                uint32_t* d = reinterpret_cast<uint32_t*>(dst);
                for (int x = 0; x < width; ++x) {
                    const uint32_t px = getLe32(src + 4 * x);
                    const uint32_t a = ch[3].mask ? ch[3].get(px) : 255;
                    d[x] = (a << 24) | (ch[0].get(px) << 16) | (ch[1].get(px) << 8) | ch[2].get(px);
                }
            }
            break;
        }
    }
    if (bits == 32 && !masked) {
        // A fourth byte of 0 everywhere is padding, not transparency.
        uint32_t* px = reinterpret_cast<uint32_t*>(mip.data[0]);
        const size_t n = size_t(width) * size_t(height);
        if (std::all_of(px, px + n, [](uint32_t v) { return (v >> 24) == 0; }))
            for (size_t k = 0; k < n; ++k) px[k] |= 0xFF000000u;
    }
    return true;
}

// RLE8 and RLE4. Rows are filled from the first stored row on; every packet is clipped to its row
// and the image.
bool readRle(TxStream& s, TxReadContext& ctx, const BmpInfo& info, TxMip& mip) {
    const int width = mip.width, height = mip.height;
    const bool four = info.compression == BMP_RLE4;
    std::memset(mip.data[0], 0, size_t(mip.size));
    int64_t x = 0;
    int64_t y = 0;
    auto put = [&](int v) {
        if (x < width) mip.data[0][size_t(y) * size_t(width) + size_t(x)] = uint8_t(v);
        ++x;
    };
    for (;;) {
        if (y >= height) return true;
        const int count = s.getByte();
        const int value = s.getByte();
        if (value < 0) return fail(ctx, "BMP Image: Unexpected end of file.");
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k)
                put(four ? ((k & 1) ? (value & 15) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0:  // end of row
            x = 0;
            ++y;
            break;
        case 1: return true;  // end of image
        case 2: {
            const int dx = s.getByte();
            const int dy = s.getByte();
            if (dy < 0) return fail(ctx, "BMP Image: Unexpected end of file.");
            x += dx;
            y += dy;
            break;
        }
        default: {
            const int n = value;
            const size_t bytes = four ? size_t(n + 1) / 2 : size_t(n);
            if (s.remaining() < bytes) return fail(ctx, "BMP Image: Unexpected end of file.");
            const uint8_t* p = s.current();
            for (int k = 0; k < n && x < width; ++k)
                put(four ? ((k & 1) ? (p[k >> 1] & 15) : (p[k >> 1] >> 4)) : p[k]);
            s.skip(bytes);
            // Literal runs are padded to a 16-bit boundary.
            if (bytes & 1) s.skip(1);
            break;
        }
        }
    }
}

}  // namespace

bool bmpBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<BmpInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    const BmpInfo info = *ip;

    size_t paletteEnd = info.paletteStart;
    if (info.bits <= 8) {
        // Never trust the declared count: the table is zeroed, at most 256 entries are kept, and
        // indices beyond the table read as 0.
        std::memset(mip.pal, 0, sizeof mip.pal);
        const uint64_t count = info.colorsUsed ? info.colorsUsed : (1u << info.bits);
        const uint64_t keep = count < 256 ? count : 256;
        if (!s.seek(info.paletteStart) || s.remaining() < keep * uint64_t(info.paletteEntryBytes))
            return fail(ctx, "Unexpected end of file.");
        const uint8_t* p = s.current();
        // The fourth byte of an entry is reserved: writers leave 0 or junk in it (a white entry
        // of 0xFFFFFFFF is common), so taken as alpha it would hide parts of the picture. Palette
        // colours are opaque.
        for (uint64_t k = 0; k < keep; ++k, p += info.paletteEntryBytes)
            mip.pal[k] =
                0xFF000000u | (info.paletteEntryBytes == 4
                                   ? getLe32(p)
                                   : (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0]);
        const uint64_t tableBytes = count * uint64_t(info.paletteEntryBytes);
        paletteEnd = tableBytes < s.size() ? info.paletteStart + size_t(tableBytes) : s.size();
    }
    // The data offset of the file header is used when it points past the headers; files whose
    // offset is missing or wrong have their data right after the palette.
    size_t dataStart = paletteEnd;
    if (info.dataOffset >= info.paletteStart && info.dataOffset < s.size())
        dataStart = info.dataOffset;
    if (dataStart > s.size()) dataStart = s.size();

    if (info.compression == BMP_RLE8 || info.compression == BMP_RLE4) {
        s.seek(dataStart);
        if (!readRle(s, ctx, info, mip)) return false;
        // Rows were placed first stored row at the top; bottom-up files are turned round.
        if (!info.topDown) txMipFlip(mip);
        return true;
    }
    return readUncompressed(s, ctx, info, mip, dataStart);
}

namespace {

// File and information header of a bottom-up uncompressed BMP.
void bmpHeaders(uint8_t* h, int width, int height, int bits, uint32_t fileSize, uint32_t offset,
                uint32_t colours) {
    std::memset(h, 0, 54);
    h[0] = 'B';
    h[1] = 'M';
    putLe32(h + 2, fileSize);
    putLe32(h + 10, offset);
    txBmpInfoHeader(h + 14, width, height, bits, colours);
}

int finish(TxFileWriter& f, std::string* error) {
    if (!f.commit()) {
        if (error) *error = f.error();
        return TX_BMP_WRITE_ERROR;
    }
    return TX_BMP_OK;
}

}  // namespace

void txBmpInfoHeader(uint8_t* h, int width, int height, int bits, uint32_t colours) {
    std::memset(h, 0, 40);
    putLe32(h, 40);
    putLe32(h + 4, uint32_t(width));
    putLe32(h + 8, uint32_t(height));
    putLe16(h + 12, 1);
    putLe16(h + 14, uint32_t(bits));
    putLe32(h + 32, colours);
    putLe32(h + 36, colours);
}

bool txIndexImage(int width, int height, const uint32_t* texels, std::vector<uint8_t>& indices,
                  uint32_t* palette, const uint32_t* fixedPalette, std::string* error) {
    TxMip src, dst;
    const size_t n = size_t(width) * size_t(height);
    bool ok = txMipInit(src, width, height, 1, TX_FMT_ARGB8888) &&
              txMipInit(dst, width, height, 1, TX_FMT_P8);
    try {
        if (ok) indices.resize(n);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        if (error) *error = "out of memory";
        return false;
    }
    std::memcpy(src.data[0], texels, n * 4);
    if (fixedPalette) {
        for (int k = 0; k < 256; ++k) palette[k] = fixedPalette[k] & 0xFFFFFFu;
        _txPixTrueToFixedPal(dst, src, palette, 0);
    } else {
        txQuantize(dst, src, TX_FMT_P8, TX_DITHER_NONE, TX_NCC_STATISTIC);
        for (int k = 0; k < 256; ++k) palette[k] = dst.pal[k] & 0xFFFFFFu;
    }
    std::memcpy(indices.data(), dst.data[0], n);
    return true;
}

int txWriteBMPIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, std::string* error) {
    if (width <= 0 || height <= 0 || !indices || !palette) {
        if (error) *error = "no image to write";
        return TX_BMP_NO_IMAGE;
    }
    const size_t stride = (size_t(width) + 3) & ~size_t(3);
    const uint64_t fileSize = uint64_t(stride) * uint64_t(height) + 1078;
    if (fileSize > 0xFFFFFFFFu || height > 0x7FFFFFFF) {
        if (error) *error = "image is too large for a BMP file";
        return TX_BMP_TOO_LARGE;
    }
    TxFileWriter f;
    if (!f.open(path)) {
        if (error) *error = f.error();
        return TX_BMP_CANNOT_CREATE;
    }
    uint8_t h[54 + 1024];
    bmpHeaders(h, width, height, 8, uint32_t(fileSize), 1078, 256);
    for (int k = 0; k < 256; ++k) putLe32(h + 54 + 4 * k, palette[k] & 0xFFFFFFu);
    f.write(h, sizeof h);
    std::vector<uint8_t> row(stride, 0);
    for (int y = height - 1; y >= 0 && f.ok(); --y) {
        std::memcpy(row.data(), indices + size_t(y) * size_t(width), size_t(width));
        f.write(row.data(), stride);
    }
    return finish(f, error);
}

int txWriteBMP(const std::string& path, int width, int height, const uint32_t* texels, int depth,
               const uint32_t* palette, std::string* error) {
    if (width <= 0 || height <= 0 || !texels ||
        (depth != TX_BMP_DEPTH_24 && depth != TX_BMP_DEPTH_8 && depth != TX_BMP_DEPTH_8_GIVEN) ||
        (depth == TX_BMP_DEPTH_8_GIVEN && !palette)) {
        if (error) *error = "no image to write";
        return TX_BMP_NO_IMAGE;
    }
    if (depth != TX_BMP_DEPTH_24) {
        std::vector<uint8_t> indices;
        uint32_t pal[256] = {};
        if (!txIndexImage(width, height, texels, indices, pal,
                          depth == TX_BMP_DEPTH_8_GIVEN ? palette : nullptr, error))
            return TX_BMP_NO_MEMORY;
        return txWriteBMPIndexed(path, width, height, indices.data(), pal, error);
    }

    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const uint64_t fileSize = uint64_t(stride) * uint64_t(height) + 54;
    if (fileSize > 0xFFFFFFFFu) {
        if (error) *error = "image is too large for a BMP file";
        return TX_BMP_TOO_LARGE;
    }
    TxFileWriter f;
    if (!f.open(path)) {
        if (error) *error = f.error();
        return TX_BMP_CANNOT_CREATE;
    }
    uint8_t h[54];
    bmpHeaders(h, width, height, 24, uint32_t(fileSize), 54, 0);
    f.write(h, sizeof h);
    // Rows are gathered into pieces of about a megabyte, so the kernel gets large writes.
    const size_t rowsPerWrite = std::max<size_t>(1, (size_t(1) << 20) / stride);
    std::vector<uint8_t> buf(stride * std::min<size_t>(rowsPerWrite, size_t(height)), 0);
    size_t used = 0;
    for (int y = height - 1; y >= 0 && f.ok(); --y) {
        const uint32_t* src = texels + size_t(y) * size_t(width);
        uint8_t* d = buf.data() + used;
        for (int x = 0; x < width; ++x, d += 3) {
            const uint32_t c = src[x];
            d[0] = uint8_t(c);
            d[1] = uint8_t(c >> 8);
            d[2] = uint8_t(c >> 16);
        }
        used += stride;
        if (used == buf.size() || y == 0) {
            f.write(buf.data(), used);
            used = 0;
        }
    }
    return finish(f, error);
}
