#include "texlib/rgt.h"

namespace {

struct RgtInfo {
    bool bigEndian = false;  // the 0x01 0xDA form
    int flags = 0;
};

enum { RGT_RLE = 1, RGT_NCC = 2 };

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

}  // namespace

bool rgtProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie) {
    if (!s.data()) return fail(ctx, "RGT file: Bad file handle.");
    s.seek(2);
    uint8_t h[10];
    if (!s.readExact(h, 10)) return fail(ctx, "RGT file: Unexpected end of file.");
    RgtInfo info;
    info.bigEndian = cookie == 0x01DA;
    uint16_t w[5];
    for (int k = 0; k < 5; ++k)
        w[k] = info.bigEndian ? uint16_t((h[2 * k] << 8) | h[2 * k + 1])
                              : uint16_t(h[2 * k] | (h[2 * k + 1] << 8));
    info.flags = w[0] >> 8;
    const int width = w[2], height = w[3];
    if (width <= 0 || height <= 0) return fail(ctx, "RGT file: width or height is 0.", 0);
    if (!txSizeAllowed(width, height)) return fail(ctx, "RGT file: image is too large.", 0);
    mip.format = TX_FMT_ARGB8888;
    mip.width = width;
    mip.height = height;
    mip.depth = 1;
    mip.size = int64_t(width) * height * 4;
    ctx.state = info;
    return true;
}

bool rgtBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<RgtInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    if (ip->flags & RGT_NCC) return fail(ctx, "RGT file: RGT NCC files not supported.");
    if (ip->flags & RGT_RLE) return fail(ctx, "RGT file: RGT RLE files not supported.");
    const int width = mip.width, height = mip.height;
    const size_t rowBytes = size_t(width) * 4;
    s.seek(12);
    if (s.remaining() < rowBytes * size_t(height))
        return fail(ctx, "RGT file: Unexpected End of File.");
    // The first stored row is the bottom row of the image.
    for (int r = 0; r < height; ++r) {
        const uint8_t* p = s.current() + size_t(r) * rowBytes;
        uint32_t* d =
            reinterpret_cast<uint32_t*>(mip.data[0]) + size_t(height - 1 - r) * size_t(width);
        for (int x = 0; x < width; ++x, p += 4) {
            const uint32_t red = ip->bigEndian ? p[2] : p[0];
            const uint32_t blue = ip->bigEndian ? p[0] : p[2];
            d[x] = (uint32_t(p[3]) << 24) | (red << 16) | (uint32_t(p[1]) << 8) | blue;
        }
    }
    s.skip(rowBytes * size_t(height));
    return true;
}
