#include "texlib/tga.h"

#include <algorithm>
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

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

}  // namespace

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

size_t txTGARleBound(size_t texels) { return texels * 4 + texels / 128 + 1; }

namespace {

// Worst case of one packet: a header and 128 raw pixels.
constexpr size_t kMaxPacket = 1 + 128 * 4;

// Pixels looked at together: their neighbour bits and the packets that start among them.
constexpr size_t kBlock = 4096;
constexpr size_t kBlockWords = kBlock / 64 + 1;

// Bit k of bits[k / 64] tells whether pixel from + k equals its successor, for the `count` pixels
// from `from` on; the last of the n pixels, which has none, and the words' bits beyond give 0.
void equalNeighbours(const uint32_t* px, size_t n, size_t from, size_t count, uint64_t* bits) {
    size_t k = 0;
    for (size_t word = 0; word < kBlockWords; ++word) {
        uint64_t b = 0;
        size_t bit = 0;
#if defined(__SSE2__)
        for (; bit < 64 && k + 4 < count && from + k + 4 < n; bit += 4, k += 4) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + from + k));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + from + k + 1));
            b |= uint64_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, c)))) << bit;
        }
#endif
        for (; bit < 64; ++bit, ++k)
            if (k < count && from + k + 1 < n)
                b |= uint64_t(px[from + k] == px[from + k + 1]) << bit;
        bits[word] = b;
    }
}

// One packet from pixel i, found pixel by pixel: for stretches longer than a packet.
uint8_t* onePacket(const uint32_t* px, size_t n, size_t& i, uint8_t* o) {
    const size_t left = std::min<size_t>(n - i, 128);
    if (left >= 2 && px[i] == px[i + 1]) {
        size_t run = 2;
        while (run < left && px[i + run - 1] == px[i + run]) ++run;
        *o++ = uint8_t(0x80 | (run - 1));
        std::memcpy(o, px + i, 4);
        i += run;
        return o + 4;
    }
    size_t count = 1;
    while (count < left && !(i + count + 1 < n && px[i + count] == px[i + count + 1])) ++count;
    *o++ = uint8_t(count - 1);
    std::memcpy(o, px + i, 4 * count);
    i += count;
    return o + 4 * count;
}

// Encodes whole packets from pixel `i` on while `cap` leaves room for the largest packet, so a
// stream can be encoded piece by piece into a small buffer with exactly the bytes one call over
// all pixels gives (each packet depends only on the pixels from its start on).
//
// Packets are a few pixels long in sprites and photos alike, and their kinds follow no pattern,
// so they are not found one after another: where each begins is worked out for a block of pixels
// at once from the neighbour bits b. A run is a stretch of set bits and the pixel after it; a raw
// packet a stretch of clear bits not so taken. So pixel p begins a packet when b(p - 1) is clear
// and b(p - 2) or b(p) is set: the pixel before ended a run, or ended raw pixels before a run.
size_t encodePackets(const uint32_t* px, size_t n, size_t& i, uint8_t* out, size_t cap) {
    if (cap < kMaxPacket) return 0;
    uint8_t* o = out;
    uint8_t* const last = out + (cap - kMaxPacket);  // the last place a packet may start
    // Below this, pixels are copied 32 bytes at a time whatever the packet's length: the bytes
    // past its end are overwritten by the next packet, and stay within `cap` less a packet.
    constexpr size_t kWide = 32;
    uint8_t* const wideLast = cap >= 2 * kMaxPacket ? out + (cap - 2 * kMaxPacket) : nullptr;
    uint64_t eq[kBlockWords], starts[kBlockWords];
    while (i < n && o <= last) {
        const size_t base = i, count = std::min(kBlock, n - base);
        const bool final = base + count == n;
        equalNeighbours(px, n, base, count, eq);
        uint64_t before = 0;  // the block begins a packet: as if after raw pixels
        for (size_t w = 0; w < kBlockWords; ++w) {
            const uint64_t b = eq[w];
            const uint64_t b1 = (b << 1) | (before >> 63), b2 = (b << 2) | (before >> 62);
            starts[w] = ~b1 & (b2 | b);
            before = b;
        }
        // Only starts up to the block's end count; the pixels' own end is one.
        const size_t endWord = count / 64;
        starts[endWord] &= (uint64_t(1) << (count % 64)) - 1;
        for (size_t w = endWord + 1; w < kBlockWords; ++w) starts[w] = 0;
        if (final) starts[endWord] |= uint64_t(1) << (count % 64);
        starts[0] &= ~uint64_t(1);
        size_t cur = 0;
        bool restart = false;
        for (size_t w = 0; w <= endWord && !restart; ++w) {
            for (uint64_t s = starts[w]; s; s &= s - 1) {
                const size_t next = w * 64 + size_t(std::countr_zero(s));
                const size_t len = next - cur;
                if (o > last) {
                    restart = true;
                    break;
                }
                if (len > 128) {
                    // Split by the greedy rule, which may join the last pixel of a long run to
                    // the raw pixels after it: packets one by one, then a new block.
                    size_t at = base + cur;
                    while (at < base + next && o <= last) o = onePacket(px, n, at, o);
                    cur = at - base;
                    restart = true;
                    break;
                }
                const uint64_t run = (eq[cur / 64] >> (cur % 64)) & 1;
                *o = uint8_t((run << 7) | (len - 1));
                // Chosen by masks: a branch on the kind would be mispredicted half the time.
                const size_t runMask = 0 - size_t(run);
                const size_t bytes = 4 * ((len & ~runMask) | (1 & runMask));
                const uint32_t* from = px + base + cur;
                if (o <= wideLast && n - (base + cur) >= kWide / 4) {
                    std::memcpy(o + 1, from, kWide);
                    if (bytes > kWide) std::memcpy(o + 1 + kWide, from + kWide / 4, bytes - kWide);
                } else {
                    std::memcpy(o + 1, from, bytes);
                }
                o += 1 + bytes;
                cur = next;
            }
        }
        // A packet that reaches past the block is looked at again from its start, unless it
        // began the block: then it is a stretch longer than the block (a transparent border,
        // say), found pixel by pixel to the block's end before the bits are worked out again.
        if (cur == 0) {
            size_t at = base;
            while (at < base + count && o <= last) o = onePacket(px, n, at, o);
            cur = at - base;
        }
        i = base + cur;
    }
    return size_t(o - out);
}

// Output is handed to the file in pieces of about this size.
constexpr size_t kWriteChunk = size_t(1) << 20;

}  // namespace

size_t txEncodeTGARle(const uint32_t* px, size_t n, uint8_t* out) {
    size_t i = 0;
    return encodePackets(px, n, i, out, txTGARleBound(n) + kMaxPacket);
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
        const size_t rowBound = txTGARleBound(size_t(width)) + kMaxPacket;
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
