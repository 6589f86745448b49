#include "texlib/lmp.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "texlib/bytes.h"

namespace {

bool fail(TxReadContext& ctx, const char* msg, int fatal = 0) {
    txReportError(ctx, msg, fatal);
    return false;
}

// Grey ramp used when the caller supplies no current palette.
const uint32_t* greyPalette() {
    static uint32_t pal[256];
    static bool init = [] {
        for (uint32_t k = 0; k < 256; ++k) pal[k] = 0xFF000000u | (k * 0x010101u);
        return true;
    }();
    (void)init;
    return pal;
}

struct GbrInfo {
    uint32_t headerSize;
    int format;
};

// Parses one GIMP brush/pattern header at the stream position without moving it.
bool parseGbr(TxStream& s, TxReadContext& ctx, size_t start, size_t end, TxMip& mip, GbrInfo& info,
              size_t& dataBytes) {
    if (end < start || end - start < 29) return fail(ctx, "GIMP brush: file too short");
    const uint8_t* h = s.data() + start;
    const uint32_t headerSize = getBe32(h), width = getBe32(h + 8), height = getBe32(h + 12),
                   bytes = getBe32(h + 16);
    const bool magic = std::memcmp(h + 20, "GIMP", 4) == 0 || std::memcmp(h + 20, "GPAT", 4) == 0;
    // Without the magic (version 1 brushes) nothing says "brush" until the sizes add up: the texts
    // below then describe no file of this type.
    if (magic) ctx.matched = 3;
    if (int32_t(width) <= 0 || int32_t(height) <= 0) return fail(ctx, "GIMP brush: bad size");
    if (!txSizeAllowed(width, height)) return fail(ctx, "GIMP brush: image is too large");
    if (headerSize < 24 || headerSize > end - start)
        return fail(ctx, "GIMP brush: bad header size");
    const uint64_t texels = uint64_t(width) * height;
    if (!magic) {
        const uint64_t rest = (end - start) - headerSize;
        if (rest != texels && rest != texels * 4) return fail(ctx, "GIMP brush: bad data size");
    }
    int format;
    switch (bytes) {
    case 1: format = TX_FMT_I8; break;
    case 2: format = TX_FMT_AI88; break;
    case 3: format = TX_FMT_RGB888; break;
    case 4: format = TX_FMT_ARGB8888; break;
    default: return fail(ctx, "Unsupported format");
    }
    dataBytes = size_t(texels) * size_t(txBytesPerTexel(format));
    if (dataBytes > (end - start) - headerSize) return fail(ctx, "GIMP brush: data truncated");
    mip.format = format;
    mip.width = int32_t(width);
    mip.height = int32_t(height);
    mip.depth = 1;
    mip.size = int64_t(dataBytes);
    info = {headerSize, format};
    return true;
}

struct GihInfo {
    std::vector<size_t> dataOffsets;  // start of each brush's texels
    size_t frameBytes = 0;
};

}  // namespace

bool lmpProbe(TxStream& s, TxReadContext& /*ctx*/, TxMip& mip, int /*cookie*/) {
    s.rewind();
    if (s.size() == 768) {
        mip.format = TX_FMT_RGB888;
        mip.width = 16;
        mip.height = 16;
        mip.depth = 1;
        mip.size = 768;
        return true;
    }
    if (s.size() < 8) return false;
    const int64_t w = int32_t(getLe32(s.data())), h = int32_t(getLe32(s.data() + 4));
    if (w <= 0 || h <= 0 || !txSizeAllowed(w, h)) return false;
    if (int64_t(s.size()) != w * h + 8) return false;
    mip.format = TX_FMT_P8;
    mip.width = int32_t(w);
    mip.height = int32_t(h);
    mip.depth = 1;
    mip.size = w * h;
    s.seek(8);
    return true;
}

bool lmpBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    if (mip.format == TX_FMT_P8) {
        if (ctx.palette && TxPaletteNeeded) TxPaletteNeeded(ctx.palette);
        std::memcpy(mip.pal, ctx.palette ? ctx.palette : greyPalette(), sizeof mip.pal);
        s.seek(8);
    } else {
        s.rewind();
    }
    if (!s.readExact(mip.data[0], size_t(mip.size))) return fail(ctx, "Unexpected end of file", 1);
    return true;
}

bool gbrProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    GbrInfo info{};
    size_t bytes = 0;
    if (!parseGbr(s, ctx, 0, s.size(), mip, info, bytes)) return false;
    s.seek(info.headerSize);
    return true;
}

bool gbrBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    if (!s.readExact(mip.data[0], size_t(mip.size))) return fail(ctx, "Unexpected end of file", 1);
    return true;
}

bool gihProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    s.rewind();
    char line[256];
    if (!s.readLine(line, sizeof line) || !s.readLine(line, sizeof line)) return false;
    char* end = nullptr;
    const long count = std::strtol(line, &end, 10);
    if (end == line || count < 0 || count > 1024) return false;
    // Every brush must have the same format; the frames are stacked vertically, so also one size.
    GihInfo info;
    int format = -1, width = 0, height = 0;
    size_t pos = s.tell();
    for (long k = 0; k < count; ++k) {
        TxMip one;
        GbrInfo g{};
        size_t bytes = 0;
        if (!parseGbr(s, ctx, pos, s.size(), one, g, bytes)) return false;
        if (format < 0) {
            format = g.format;
            width = one.width;
            height = one.height;
        } else if (g.format != format || one.width != width || one.height != height) {
            return fail(ctx, "GIMP animated brush: brushes differ in format or size");
        }
        info.dataOffsets.push_back(pos + g.headerSize);
        info.frameBytes = bytes;
        pos += g.headerSize + bytes;
    }
    if (count == 0) return fail(ctx, "GIMP animated brush: no brushes");
    if (!txSizeAllowed(width, int64_t(height) * count))
        return fail(ctx, "GIMP animated brush: image is too large");
    mip.format = format;
    mip.width = width;
    mip.height = int32_t(height * count);
    mip.depth = 1;
    mip.size = int64_t(info.frameBytes) * count;
    ctx.frameCount = int(count);
    ctx.state = info;
    return true;
}

bool gihBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* info = std::any_cast<GihInfo>(&ctx.state);
    if (!info) return false;
    uint8_t* out = mip.data[0];
    for (size_t off : info->dataOffsets) {
        if (!s.seek(off) || !s.readExact(out, info->frameBytes))
            return fail(ctx, "Unexpected end of file", 1);
        out += info->frameBytes;
    }
    ctx.frameCount = int(info->dataOffsets.size());
    return true;
}

bool icoProbe(TxStream& s, TxReadContext& /*ctx*/, TxMip& mip, int /*cookie*/) {
    s.rewind();
    uint8_t h[6];
    if (!s.readExact(h, 6)) return false;
    const int reserved = h[0] | (h[1] << 8), type = h[2] | (h[3] << 8), count = h[4] | (h[5] << 8);
    if (reserved != 0 || type != 1 || count == 0) return false;
    mip.format = TX_FMT_ARGB8888;
    mip.width = 1;
    mip.height = 1;
    mip.depth = 1;
    return true;
}
