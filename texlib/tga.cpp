#include "texlib/tga.h"

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "texlib/bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(std::endian::native == std::endian::little, "pixel words are stored little-endian");

namespace {

struct TgaHeader {
    uint8_t idLength, mapType, imageType;
    uint16_t mapFirst, mapLength;
    uint8_t mapEntryBits;
    uint16_t width, height;
    uint8_t pixelBits, descriptor;
};

std::atomic<int> gCompressionMode{TX_TGA_RLE};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

}  // namespace

int txTgaCompressionMode() { return gCompressionMode.load(std::memory_order_relaxed); }
void txSetTgaCompressionMode(int mode) { gCompressionMode.store(mode, std::memory_order_relaxed); }

bool tgaProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t h[18];
    if (!s.readExact(h, 18)) return fail(ctx, "Unexpected end of file.");
    TgaHeader hd{
        h[0],  h[1], h[2], getLe16(h + 3), getLe16(h + 5), h[7], getLe16(h + 12), getLe16(h + 14),
        h[16], h[17]};
    if (!s.skip(hd.idLength)) return fail(ctx, "Unexpected EOF.");
    // Only "no map" and "map present" exist; anything else is another format's header (a PPM's
    // "P6\n..." would otherwise pass for a run-length true-colour image).
    if (hd.mapType > 1) return fail(ctx, "TGA Image: unsupported format", 0);
    if (hd.width == 0 || hd.height == 0) return fail(ctx, "TGA Image: width or height is 0.", 0);
    int format = 0;
    switch (hd.imageType) {
    case 1:
    case 9:
        if (hd.mapType != 1)
            return fail(ctx, "TGA Image: Color-mapped TGA image has no palette", 0);
        if (int(hd.mapFirst) + int(hd.mapLength) > 256)
            return fail(ctx, "TGA Image: Color-mapped image has > 256 colors", 0);
        // Indices are stored one byte a texel, so only 8-bit colour-mapped images are readable.
        if (hd.pixelBits != 8)
            return fail(ctx, "TGA Image: Color-mapped image is not 8 bits/pixel.", 0);
        format = TX_FMT_P8;
        break;
    case 2:
    case 10:
        if (hd.pixelBits == 15 || hd.pixelBits == 16)
            format = TX_FMT_ARGB1555;
        else if (hd.pixelBits == 24 || hd.pixelBits == 32)
            format = TX_FMT_ARGB8888;
        else
            return fail(ctx, "TGA Image: True color image is not 24/32 bits/pixel.", 0);
        break;
    case 3:
    case 11:
        if (hd.pixelBits != 8) return fail(ctx, "TGA Image: Mono image is not 8 bits/pixel.", 0);
        format = TX_FMT_I8;
        break;
    default: return fail(ctx, "TGA Image: unsupported format", 0);
    }
    ctx.matched = 1;  // a header that holds together: its faults are the file's reason
    if (!txSizeAllowed(hd.width, hd.height)) return fail(ctx, "TGA Image: image is too large.", 0);
    // The pixels must be there before the image is allocated: all of them when stored as they
    // are, and with run-length packets at least one packet per 128 pixels.
    const uint64_t mapBytes =
        hd.mapType == 1 ? uint64_t(hd.mapLength) * ((hd.mapEntryBits + 1u) / 8) : 0;
    const uint64_t bps = (hd.pixelBits + 1u) / 8, texels = uint64_t(hd.width) * hd.height;
    const uint64_t least = hd.imageType >= 9 ? (texels + 127) / 128 * (1 + bps) : texels * bps;
    if (uint64_t(s.remaining()) < mapBytes + least)
        return fail(ctx, "TGA Image: Unexpected end of file.", 1);
    mip.format = format;
    mip.width = hd.width;
    mip.height = hd.height;
    mip.depth = 1;
    mip.size = int64_t(hd.width) * hd.height * txBytesPerTexel(format);
    ctx.state = hd;
    return true;
}

namespace {

bool readColourMap(TxStream& s, TxReadContext& ctx, const TgaHeader& hd, TxMip& mip) {
    const int entryBytes = (hd.mapEntryBits + 1) / 8;
    if (hd.mapEntryBits < 7 || hd.mapEntryBits > 38)
        return fail(ctx, "TGA Image: Bad Color Map depth.");
    const bool mapped = hd.imageType == 1 || hd.imageType == 9;
    if (!mapped) {
        if (!s.skip(size_t(hd.mapLength) * size_t(entryBytes)))
            return fail(ctx, "TGA Image: Unexpected EOF reading Color Map.");
        return true;
    }
    if (int(hd.mapFirst) + int(hd.mapLength) > 256)
        return fail(ctx, "TGA Image: Color Map > 256 entries.");
    if (entryBytes == 0 || entryBytes > 4) return fail(ctx, "TGA Image: Bad Color Map depth.");
    for (int slot = 0; slot < 256; ++slot) {
        if (slot < hd.mapFirst || slot >= hd.mapFirst + hd.mapLength) {
            mip.pal[slot] = 0;
            continue;
        }
        uint8_t e[4];
        if (!s.readExact(e, size_t(entryBytes)))
            return fail(ctx, "TGA Image: Unexpected End of File.");
        uint32_t v = 0;
        switch (entryBytes) {
        case 1: v = e[0] * 0x01010101u; break;
        case 2: {
            // The 5-bit fields are shifted, not replicated, as the format's old readers did.
            uint32_t w = getLe16(e);
            v = 0xFF000000u | (((w >> 10) & 31) << 19) | (((w >> 5) & 31) << 11) | ((w & 31) << 3);
            break;
        }
        case 3: v = 0xFF000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0]; break;
        default: v = (uint32_t(e[3]) << 24) | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
        }
        mip.pal[slot] = v;
    }
    return true;
}

// Stores one stored row (bps bytes a pixel) into the record's row in its own format.
inline void storeRow(const uint8_t* src, uint8_t* dst, int width, int bps) {
    if (bps != 3) {
        std::memcpy(dst, src, size_t(width) * size_t(bps));
        return;
    }
    uint32_t* d = reinterpret_cast<uint32_t*>(dst);
    for (int x = 0; x < width; ++x, src += 3)
        d[x] = 0xFF000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
}

}  // namespace

bool tgaBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* hdp = std::any_cast<TgaHeader>(&ctx.state);
    if (!hdp || !mip.data[0]) return false;
    const TgaHeader hd = *hdp;
    if (hd.mapType != 0 && !readColourMap(s, ctx, hd, mip)) return false;

    const bool rle = hd.imageType >= 9;
    const int bps = (hd.pixelBits + 1) / 8;
    const int width = mip.width, height = mip.height;
    const size_t outPitch = size_t(width) * size_t(txBytesPerTexel(mip.format));
    const size_t rowBytes = size_t(width) * size_t(bps);
    const bool topDown = (hd.descriptor & 0x20) != 0;
    std::vector<uint8_t> row(bps == 3 ? rowBytes : 0);

    int pending = 0;
    bool isRun = false;
    uint8_t runValue[4] = {};
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        uint8_t* out = mip.data[0] + size_t(y) * outPitch;
        uint8_t* dst = bps == 3 ? row.data() : out;
        if (!rle) {
            if (s.remaining() < rowBytes) {
                txReportError(ctx, "TGA Image: Unexpected End of File\n", 1);
                return fail(ctx, "TGA Image: Unexpected end of file.");
            }
            if (bps == 3)
                storeRow(s.current(), out, width, bps);
            else
                std::memcpy(out, s.current(), rowBytes);
            s.skip(rowBytes);
            continue;
        }
        // The pending packet carries over from one row to the next.
        int x = 0;
        while (x < width) {
            if (pending == 0) {
                int h = s.getByte();
                if (h < 0) {
                    txReportError(ctx, "TGA Image: Unexpected End of File.", 1);
                    return fail(ctx, "TGA Image: Unexpected end of file.");
                }
                pending = (h & 127) + 1;
                isRun = (h & 128) != 0;
                if (isRun) {
                    if (s.remaining() < size_t(bps)) {
                        txReportError(ctx, "TGA Image: Unexpected End of File\n", 1);
                        return fail(ctx, "TGA Image: Unexpected end of file.");
                    }
                    if (bps == 4)
                        std::memcpy(runValue, s.current(), 4);
                    else
                        for (int k = 0; k < bps && k < 4; ++k) runValue[k] = s.current()[k];
                    s.skip(size_t(bps));
                }
            }
            const int n = pending < width - x ? pending : width - x;
            uint8_t* p = dst + size_t(x) * size_t(bps);
            if (isRun) {
                if (bps == 4) {
                    uint32_t v;
                    std::memcpy(&v, runValue, 4);
                    uint32_t* q = reinterpret_cast<uint32_t*>(p);
                    for (int k = 0; k < n; ++k) q[k] = v;
                } else if (bps == 1) {
                    std::memset(p, runValue[0], size_t(n));
                } else {
                    for (int k = 0; k < n; ++k) std::memcpy(p + k * bps, runValue, size_t(bps));
                }
            } else {
                // Packets are a few pixels long on average: copied here word by word rather than
                // through a library call each.
                const size_t bytes = size_t(n) * size_t(bps);
                if (s.remaining() < bytes) {
                    txReportError(ctx, "TGA Image: Unexpected End of File\n", 1);
                    return fail(ctx, "TGA Image: Unexpected end of file.");
                }
                const uint8_t* src = s.current();
                if (bps == 4)
                    for (int k = 0; k < n; ++k) std::memcpy(p + 4 * k, src + 4 * k, 4);
                else
                    std::memcpy(p, src, bytes);
                s.skip(bytes);
            }
            x += n;
            pending -= n;
        }
        if (bps == 3) storeRow(row.data(), out, width, bps);
    }
    return true;
}

size_t txTgaRleBound(size_t texels) { return texels * 4 + texels / 128 + 1; }

namespace {

// Worst case of one packet: a header and 128 raw pixels.
constexpr size_t kMaxPacket = 1 + 128 * 4;

// Bit k of a window tells whether pixel base + k equals its successor. Sprites and photos alike
// give packets of a few pixels on average, so packet lengths are read off these bits with bit
// counts instead of comparing pixel by pixel.
class EqualNeighbours {
public:
    EqualNeighbours(const uint32_t* px, size_t n) : px_(px), n_(n) {}

    // Length of the stretch from i on whose bits are all `value`, at most max.
    size_t stretch(size_t i, bool value, size_t max) {
        size_t k = 0;
        while (k < max) {
            const size_t at = i + k;
            if (at < base_ || at >= base_ + 64) load(at);
            const size_t off = at - base_, avail = 64 - off;
            const uint64_t w = bits_ >> off;
            size_t len = size_t(value ? std::countr_one(w) : std::countr_zero(w));
            if (len > avail) len = avail;
            k += len;
            if (len < avail) break;
        }
        return k < max ? k : max;
    }
    bool at(size_t i) {
        if (i < base_ || i >= base_ + 64) load(i);
        return (bits_ >> (i - base_)) & 1;
    }

private:
    void load(size_t from) {
        base_ = from;
        uint64_t b = 0;
        size_t k = 0;
#if defined(__SSE2__)
        for (; k < 64 && from + k + 4 < n_; k += 4) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px_ + from + k));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px_ + from + k + 1));
            b |= uint64_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, c)))) << k;
        }
#endif
        for (; k < 64 && from + k + 1 < n_; ++k)
            b |= uint64_t(px_[from + k] == px_[from + k + 1]) << k;
        bits_ = b;  // positions without a successor stay 0
    }

    const uint32_t* px_;
    size_t n_;
    size_t base_ = SIZE_MAX - 64;
    uint64_t bits_ = 0;
};

// Encodes whole packets from pixel `i` on while `cap` leaves room for the largest packet, so a
// stream can be encoded piece by piece into a small buffer with exactly the bytes one call over
// all pixels gives (each packet depends only on the pixels from its start on).
size_t encodePackets(const uint32_t* px, size_t n, size_t& i, uint8_t* out, size_t cap) {
    uint8_t* o = out;
    EqualNeighbours eq(px, n);
    while (i < n && size_t(o - out) + kMaxPacket <= cap) {
        const size_t left = n - i < 128 ? n - i : 128;
        if (eq.at(i)) {
            // Two or more equal pixels: a run of up to 128.
            const size_t run = eq.stretch(i, true, left - 1) + 1;
            *o++ = uint8_t(0x80 | (run - 1));
            std::memcpy(o, &px[i], 4);
            o += 4;
            i += run;
            continue;
        }
        // Pixels that differ from their successor, until a run begins or 128 are held.
        const size_t count = eq.stretch(i, false, left);
        *o++ = uint8_t(count - 1);
        std::memcpy(o, &px[i], count * 4);
        o += count * 4;
        i += count;
    }
    return size_t(o - out);
}

// Output is handed to the file in pieces of about this size.
constexpr size_t kWriteChunk = size_t(1) << 20;

}  // namespace

size_t txTgaRleEncode(const uint32_t* px, size_t n, uint8_t* out) {
    size_t i = 0;
    return encodePackets(px, n, i, out, txTgaRleBound(n) + kMaxPacket);
}

int txWriteTGA(const std::string& path, int width, int height, const uint32_t* texels, int mode,
               std::string* error) {
    auto setError = [&](const std::string& e) {
        if (error) *error = e;
    };
    if (width <= 0 || height <= 0 || !texels) {
        setError("no image to write");
        return TX_TGA_WRITE_ERROR;
    }
    if (width > 65535 || height > 65535) {
        setError("image is larger than 65535 pixels, which TGA cannot store");
        return TX_TGA_TOO_LARGE;
    }
    TxFileWriter f;
    if (!f.open(path)) {
        setError(f.error());
        return TX_TGA_CANNOT_CREATE;
    }
    uint8_t hdr[18] = {};
    hdr[2] = mode > 0 ? 10 : 2;
    hdr[12] = uint8_t(width);
    hdr[13] = uint8_t(width >> 8);
    hdr[14] = uint8_t(height);
    hdr[15] = uint8_t(height >> 8);
    hdr[16] = 32;
    hdr[17] = 0x28;
    f.write(hdr, 18);
    const size_t texelCount = size_t(width) * size_t(height);
    if (mode <= 0) {
        f.write(texels, texelCount * 4);
    } else {
        // Encoded a megabyte at a time: no image-sized buffer, and large writes.
        const size_t rowBound = txTgaRleBound(size_t(width)) + kMaxPacket;
        std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[kWriteChunk + rowBound]);
        if (!buf) {
            setError("out of memory");
            return TX_TGA_WRITE_ERROR;
        }
        size_t used = 0;
        if (mode == TX_TGA_RLE) {
            // One pixel stream: packets may cross row ends.
            for (size_t i = 0; i < texelCount && f.ok();) {
                used = encodePackets(texels, texelCount, i, buf.get(), kWriteChunk + kMaxPacket);
                f.write(buf.get(), used);
            }
            used = 0;
        } else {
            for (int y = 0; y < height && f.ok(); ++y) {
                size_t i = 0;
                used += encodePackets(texels + size_t(y) * size_t(width), size_t(width), i,
                                      buf.get() + used, rowBound);
                if (used >= kWriteChunk) {
                    f.write(buf.get(), used);
                    used = 0;
                }
            }
        }
        if (used) f.write(buf.get(), used);
    }
    if (!f.commit()) {
        setError(f.error());
        return TX_TGA_WRITE_ERROR;
    }
    return TX_TGA_OK;
}
