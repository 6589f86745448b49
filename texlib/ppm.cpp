#include "texlib/ppm.h"

#include <cstdlib>
#include <cstring>

namespace {

struct PpmInfo {
    bool colour = false;
    size_t dataStart = 0;
};

bool fail(TxReadContext& ctx, const char* msg, int fatal = 1) {
    txReportError(ctx, msg, fatal);
    return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool ppmProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie) {
    if (!s.data()) return fail(ctx, "PPM file: Bad file handle.");
    // The two magic bytes have been consumed; the header is read line by line.
    s.seek(2);
    int64_t values[3] = {};
    int have = 0;
    char line[256];
    while (have < 3) {
        if (!s.readLine(line, sizeof line))
            return fail(ctx, "PPM file: Read error before end of header.");
        if (line[0] == '#') continue;
        char* p = line;
        while (*p) {
            while (*p && isBlank(*p)) ++p;
            if (!*p) break;
            // A comment runs to the end of the line.
            if (*p == '#') break;
            char* tokenStart = p;
            while (*p && !isBlank(*p)) ++p;
            if (have == 3) return fail(ctx, "PPM file: parse error\n");
            char* end = nullptr;
            const long long v = std::strtoll(tokenStart, &end, 10);
            if (end != p) return fail(ctx, "PPM file: parse error\n");
            values[have++] = v;
            if (have == 3) {
                // Nothing but blanks may follow the maximum on its line.
                while (*p && isBlank(*p)) ++p;
                if (*p) return fail(ctx, "PPM file: parse error\n");
            }
        }
    }
    if (values[2] != 255) return fail(ctx, "Unsupported PPM format: max != 255\n");
    const int64_t width = values[0], height = values[1];
    if (width <= 0 || height <= 0) return fail(ctx, "PPM Image: width or height is 0.", 0);
    if (!txSizeAllowed(width, height)) return fail(ctx, "PPM Image: image is too large.", 0);
    PpmInfo info;
    info.colour = cookie == 0x5036;
    info.dataStart = s.tell();
    mip.format = info.colour ? TX_FMT_ARGB8888 : TX_FMT_I8;
    mip.width = int(width);
    mip.height = int(height);
    mip.depth = 1;
    mip.size = width * height * (info.colour ? 4 : 1);
    ctx.state = info;
    return true;
}

bool ppmBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<PpmInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    s.seek(ip->dataStart);
    const size_t n = size_t(mip.width) * size_t(mip.height);
    // A short file still reads: the missing texels are white, and the shortage is reported once.
    if (!ip->colour) {
        const size_t got = s.read(mip.data[0], n);
        if (got < n) {
            std::memset(mip.data[0] + got, 0xFF, n - got);
            txReportError(ctx, "PPM file: Unexpected End of File.", 1);
        }
        return true;
    }
    uint32_t* d = reinterpret_cast<uint32_t*>(mip.data[0]);
    const size_t whole = s.remaining() / 3 < n ? s.remaining() / 3 : n;
    const uint8_t* p = s.current();
    for (size_t k = 0; k < whole; ++k, p += 3)
        d[k] = 0xFF000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    if (whole < n) {
        for (size_t k = whole; k < n; ++k) d[k] = 0xFFFFFFFFu;
        txReportError(ctx, "PPM file: Unexpected End of File.", 1);
    }
    s.skip(whole * 3);
    return true;
}
