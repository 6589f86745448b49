#include "texlib/pcx.h"

#include <cstring>
#include <new>
#include <vector>

#include "texlib/bmp.h"
#include "texlib/bytes.h"

namespace {

struct PcxInfo {
    bool rle = true;
    int bits = 8;
    int planes = 1;
    size_t bytesPerLine = 0;
    uint8_t egaPalette[48] = {};
};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

}  // namespace

bool pcxProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t h[128];
    if (!s.readExact(h, 128)) return fail(ctx, "Unexpected end of file.");
    const int64_t width = int64_t(getLe16(h + 8)) - getLe16(h + 4) + 1;
    const int64_t height = int64_t(getLe16(h + 10)) - getLe16(h + 6) + 1;
    if (width <= 0 || height <= 0) return fail(ctx, "PCX Image: width or height is 0.", 0);
    if (!txSizeAllowed(width, height)) return fail(ctx, "PCX Image: image is too large.", 0);
    PcxInfo info;
    info.rle = h[2] != 0;
    info.bits = h[3];
    info.planes = h[65];
    info.bytesPerLine = getLe16(h + 66);
    std::memcpy(info.egaPalette, h + 16, 48);
    int format = 0;
    if (info.bits == 8 && info.planes == 1)
        format = TX_FMT_P8;
    else if (info.bits == 8 && info.planes == 3)
        format = TX_FMT_RGB888;
    else if (info.bits == 8 && info.planes == 4)
        format = TX_FMT_ARGB8888;
    else if (info.bits == 1 && (info.planes == 1 || info.planes == 4))
        format = TX_FMT_P8;
    else
        return fail(ctx, "PCX Image: unsupported bits per pixel and planes.", 0);
    // Each plane line must hold a whole row.
    if (int64_t(info.bytesPerLine) * 8 < width * info.bits)
        return fail(ctx, "PCX Image: bytes per line is smaller than the width.", 0);
    mip.format = format;
    mip.width = int(width);
    mip.height = int(height);
    mip.depth = 1;
    mip.size = width * height * txBytesPerTexel(format);
    ctx.state = info;
    return true;
}

bool pcxBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<PcxInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    const PcxInfo info = *ip;
    const int width = mip.width, height = mip.height;
    const size_t bpl = info.bytesPerLine;
    const size_t lineBytes = bpl * size_t(info.planes);
    std::vector<uint8_t> line(lineBytes);
    const size_t pitch = size_t(width) * size_t(txBytesPerTexel(mip.format));
    s.seek(128);
    for (int y = 0; y < height; ++y) {
        if (!info.rle) {
            if (!s.readExact(line.data(), lineBytes))
                return fail(ctx, "PCX Image: Unexpected end of file.");
        } else {
            size_t n = 0;
            while (n < lineBytes) {
                int b = s.getByte();
                if (b < 0) return fail(ctx, "PCX Image: Unexpected end of file.");
                size_t count = 1;
                if ((b & 0xC0) == 0xC0) {
                    count = size_t(b & 0x3F);
                    b = s.getByte();
                    if (b < 0) return fail(ctx, "PCX Image: Unexpected end of file.");
                }
                // A run past the end of the line is cut off there.
                if (count > lineBytes - n) count = lineBytes - n;
                std::memset(line.data() + n, b, count);
                n += count;
            }
        }
        uint8_t* dst = mip.data[0] + size_t(y) * pitch;
        const uint8_t* l = line.data();
        if (info.bits == 8 && info.planes == 1) {
            std::memcpy(dst, l, size_t(width));
        } else if (info.bits == 8 && info.planes == 3) {
            for (int x = 0; x < width; ++x, dst += 3) {
                dst[0] = l[x];
                dst[1] = l[bpl + size_t(x)];
                dst[2] = l[2 * bpl + size_t(x)];
            }
        } else if (info.bits == 8) {
            uint32_t* d = reinterpret_cast<uint32_t*>(dst);
            for (int x = 0; x < width; ++x)
                d[x] = (uint32_t(l[3 * bpl + size_t(x)]) << 24) | (uint32_t(l[x]) << 16) |
                       (uint32_t(l[bpl + size_t(x)]) << 8) | l[2 * bpl + size_t(x)];
        } else {
            for (int x = 0; x < width; ++x) {
                int v = 0;
                for (int p = 0; p < info.planes; ++p)
                    v |= ((l[size_t(p) * bpl + size_t(x >> 3)] >> (7 - (x & 7))) & 1) << p;
                dst[x] = uint8_t(v);
            }
        }
    }

    // PCX colours carry no alpha; they are opaque.
    constexpr uint32_t kOpaque = 0xFF000000u;
    std::memset(mip.pal, 0, sizeof mip.pal);
    if (info.bits == 8 && info.planes == 1) {
        // The 256-colour palette is the last 768 bytes, introduced by the byte 12.
        if (s.size() < 769 + 128 || s.data()[s.size() - 769] != 12)
            return fail(ctx, "PCX Image: no 256-colour palette at the end of the file.");
        const uint8_t* p = s.data() + s.size() - 768;
        for (int k = 0; k < 256; ++k, p += 3)
            mip.pal[k] = kOpaque | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    } else if (info.bits == 1 && info.planes == 1) {
        mip.pal[0] = kOpaque;
        mip.pal[1] = 0xFFFFFFFFu;
    } else if (info.bits == 1) {
        for (int k = 0; k < 16; ++k) {
            const uint8_t* p = info.egaPalette + 3 * k;
            mip.pal[k] = kOpaque | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    return true;
}

size_t txPcxEncodeLine(const uint8_t* line, size_t n, uint8_t* out) {
    uint8_t* o = out;
    size_t i = 0;
    while (i < n) {
        const uint8_t v = line[i];
        size_t run = 1;
        while (i + run < n && run < 63 && line[i + run] == v) ++run;
        if (run >= 2) {
            *o++ = uint8_t(0xC0 | run);
            *o++ = v;
        } else if (v >= 0xC0) {
            *o++ = 0xC1;
            *o++ = v;
        } else {
            *o++ = v;
        }
        i += run;
    }
    return size_t(o - out);
}

int txWritePCXIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, std::string* error) {
    if (width <= 0 || height <= 0 || !indices || !palette) {
        if (error) *error = "no image to write";
        return TX_PCX_NO_IMAGE;
    }
    const size_t bpl = (size_t(width) + 1) & ~size_t(1);
    // xmax, ymax and bytes per line are 16-bit fields.
    if (width > 65536 || height > 65536 || bpl > 65535) {
        if (error) *error = "image is larger than a PCX file can hold";
        return TX_PCX_TOO_LARGE;
    }
    TxFileWriter f;
    if (!f.open(path)) {
        if (error) *error = f.error();
        return TX_PCX_CANNOT_CREATE;
    }
    uint8_t h[128] = {};
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = 8;
    h[8] = uint8_t(width - 1);
    h[9] = uint8_t((width - 1) >> 8);
    h[10] = uint8_t(height - 1);
    h[11] = uint8_t((height - 1) >> 8);
    h[12] = 72;
    h[14] = 72;
    h[65] = 1;
    h[66] = uint8_t(bpl);
    h[67] = uint8_t(bpl >> 8);
    f.write(h, sizeof h);
    std::vector<uint8_t> line, packed;
    try {
        line.assign(bpl, 0);
        packed.resize(bpl * 2);
    } catch (const std::bad_alloc&) {
        if (error) *error = "out of memory";
        return TX_PCX_NO_MEMORY;
    }
    for (int y = 0; y < height && f.ok(); ++y) {
        std::memcpy(line.data(), indices + size_t(y) * size_t(width), size_t(width));
        f.write(packed.data(), txPcxEncodeLine(line.data(), bpl, packed.data()));
    }
    uint8_t tail[769];
    tail[0] = 12;
    for (int k = 0; k < 256; ++k) {
        tail[1 + 3 * k] = uint8_t(palette[k] >> 16);
        tail[2 + 3 * k] = uint8_t(palette[k] >> 8);
        tail[3 + 3 * k] = uint8_t(palette[k]);
    }
    f.write(tail, sizeof tail);
    if (!f.commit()) {
        if (error) *error = f.error();
        return TX_PCX_WRITE_ERROR;
    }
    return TX_PCX_OK;
}

int txWritePCX(const std::string& path, int width, int height, const uint32_t* texels,
               std::string* error) {
    if (width <= 0 || height <= 0 || !texels) {
        if (error) *error = "no image to write";
        return TX_PCX_NO_IMAGE;
    }
    if (width > 65534 || height > 65536) {
        if (error) *error = "image is larger than a PCX file can hold";
        return TX_PCX_TOO_LARGE;
    }
    std::vector<uint8_t> indices;
    uint32_t pal[256] = {};
    if (!txIndexImage(width, height, texels, indices, pal, nullptr, error)) return TX_PCX_NO_MEMORY;
    return txWritePCXIndexed(path, width, height, indices.data(), pal, error);
}
