#include "texlib/psd.h"

#include <cstring>

#include "texlib/bytes.h"

namespace {

struct PsdHeader {
    int channels;
    int mode;  // 2 indexed, 3 RGB
};

bool fail(TxReadContext& ctx, const char* msg) {
    txReportError(ctx, msg, 1);
    return false;
}

// PackBits into every `stride`-th byte of out until n bytes are filled or the data end. A literal
// run that would pass the end still consumes its bytes, so the next plane starts where it should.
void unpackBits(TxStream& s, uint8_t* out, size_t n, size_t stride) {
    size_t k = 0;
    while (k < n) {
        const int c = s.getByte();
        if (c < 0) return;
        if (c < 128) {
            for (int j = 0; j <= c; ++j) {
                const int b = s.getByte();
                if (b < 0) return;
                if (k < n) out[k++ * stride] = uint8_t(b);
            }
        } else if (c > 128) {
            const int b = s.getByte();
            if (b < 0) return;
            for (int j = 0; j < 257 - c && k < n; ++j) out[k++ * stride] = uint8_t(b);
        }
    }
}

bool skipSection(TxStream& s, TxReadContext& ctx) {
    uint32_t len;
    if (!s.be32(len) || !s.skip(len)) return fail(ctx, "Unexpected end of file.");
    return true;
}

}  // namespace

bool psdProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t h[26];
    // Most files tried here are no PSD at all: those texts go to the callback only, so they do not
    // stand in the read's error in place of the real type's.
    if (!s.readExact(h, sizeof h)) {
        // A file that has the signature is a PSD cut short, and says so.
        if (s.size() >= 4 && std::memcmp(s.data(), "8BPS", 4) == 0) {
            ctx.matched = 3;
            return fail(ctx, "Unexpected end of file.");
        }
        txReportError("Unexpected end of file.", 1);
        return false;
    }
    if (std::memcmp(h, "8BPS", 4) != 0) {
        txReportError("Incorrect PSD Header.", 1);
        return false;
    }
    ctx.matched = 3;
    // Version 2 is the large-document variant, whose section lengths are 64 bits wide.
    if (getBe16(h + 4) != 1) return fail(ctx, "Incorrect PSD Header.");
    if (getBe16(h + 22) != 8) return fail(ctx, "Incorrect BitDepth");
    const unsigned mode = getBe16(h + 24);
    if (mode != 2 && mode != 3) return fail(ctx, "Unsupported Colormode");
    const int channels = int(getBe16(h + 12));
    const int64_t height = getBe32(h + 14), width = getBe32(h + 18);
    if (width <= 0 || height <= 0) return fail(ctx, "PSD Image: width or height is 0.");
    if (!txSizeAllowed(width, height)) return fail(ctx, "PSD Image: image is too large.");
    if (channels < (mode == 3 ? 3 : 1)) return fail(ctx, "PSD Image: too few channels.");
    {
        // The sections before the pixels are skipped to see that the pixels are there: stored as
        // they are, every plane read must be present before the image is allocated.
        TxStream t(s.data(), s.size());
        t.seek(26);
        uint32_t len = 0;
        uint16_t compression = 0;
        for (int k = 0; k < 3; ++k)
            if (!t.be32(len) || !t.skip(len)) return fail(ctx, "Unexpected end of file.");
        if (!t.be16(compression)) return fail(ctx, "Unexpected end of file.");
        const uint64_t texels = uint64_t(width) * uint64_t(height);
        const uint64_t planes = mode == 2 ? 1 : uint64_t(channels < 4 ? channels : 4);
        if (compression != 1 && uint64_t(t.remaining()) < texels * planes)
            return fail(ctx, "Unexpected end of file.");
        if (compression == 1 && uint64_t(t.remaining()) < uint64_t(height) * uint64_t(channels) * 2)
            return fail(ctx, "Unexpected end of file.");
    }
    mip.format = mode == 2 ? TX_FMT_P8 : TX_FMT_ARGB8888;
    mip.width = int32_t(width);
    mip.height = int32_t(height);
    mip.depth = 1;
    mip.size = width * height * txBytesPerTexel(mip.format);
    ctx.state = PsdHeader{channels, int(mode)};
    return true;
}

bool psdBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* hd = std::any_cast<PsdHeader>(&ctx.state);
    if (!hd || !mip.data[0] || !s.seek(26)) return false;
    const size_t texels = size_t(mip.width) * size_t(mip.height);
    uint8_t* out = mip.data[0];

    uint32_t modeDataLen;
    if (!s.be32(modeDataLen)) return fail(ctx, "Unexpected end of file.");
    std::memset(mip.pal, 0, sizeof mip.pal);
    if (hd->mode == 2) {
        if (modeDataLen > 768) return fail(ctx, "Invalid colormodedatablock.");
        // A shorter table leaves the missing components 0.
        uint8_t planes[768] = {};
        if (!s.readExact(planes, modeDataLen)) return fail(ctx, "Unexpected end of file.");
        // Opaque: indexed pictures have no alpha, and alpha 0 would hide them once saved.
        for (int i = 0; i < 256; ++i)
            mip.pal[i] = 0xFF000000u | (uint32_t(planes[i]) << 16) |
                         (uint32_t(planes[256 + i]) << 8) | planes[512 + i];
    } else if (modeDataLen != 0) {
        return fail(ctx, "Invalid colormodedatablock.");
    }
    if (!skipSection(s, ctx) || !skipSection(s, ctx)) return false;  // resources, layers
    uint16_t compression;
    if (!s.be16(compression)) return fail(ctx, "Unexpected end of file.");
    const bool packBits = compression == 1;
    if (packBits && !s.skip(size_t(mip.height) * size_t(hd->channels) * 2))  // row byte counts
        return fail(ctx, "Unexpected end of file.");

    if (hd->mode == 2) {
        if (packBits) {
            std::memset(out, 0, texels);
            unpackBits(s, out, texels, 1);
        } else if (!s.readExact(out, texels)) {
            return fail(ctx, "Unexpected end of file.");
        }
        return true;
    }

    // Planes red, green, blue and alpha go to their byte of the 0xAARRGGBB word; without a fourth
    // channel every texel is opaque.
    static const int kLane[4] = {2, 1, 0, 3};
    const int planes = hd->channels < 4 ? hd->channels : 4;
    const uint32_t fill = planes == 3 ? 0xFF000000u : 0;
    uint32_t* words = reinterpret_cast<uint32_t*>(out);
    for (size_t i = 0; i < texels; ++i) words[i] = fill;
    for (int p = 0; p < planes; ++p) {
        uint8_t* lane = out + kLane[p];
        if (packBits) {
            unpackBits(s, lane, texels, 4);
        } else {
            if (s.remaining() < texels) return fail(ctx, "Unexpected end of file.");
            const uint8_t* src = s.current();
            for (size_t i = 0; i < texels; ++i) lane[i * 4] = src[i];
            s.skip(texels);
        }
    }
    return true;
}
