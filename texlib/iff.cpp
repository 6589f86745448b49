#include "texlib/iff.h"

#include <cstring>
#include <vector>

#include "texlib/bytes.h"

namespace {

// Chunks are found by scanning the form in steps of two bytes (chunks are word-aligned), which
// also finds the first picture inside the nested forms of an ANIM. Returns the offset or 0.
size_t findChunk(const uint8_t* d, size_t from, size_t end, const char* id) {
    for (size_t o = from; o + 8 <= end; o += 2)
        if (std::memcmp(d + o, id, 4) == 0) return o;
    return 0;
}

// Chunk data start and a length cut to the bytes of the form really present.
void chunkData(const uint8_t* d, size_t at, size_t end, size_t& offset, size_t& length) {
    offset = at + 8;
    const uint64_t declared = getBe32(d + at + 4);
    length = size_t(declared < end - offset ? declared : end - offset);
}

// ByteRun1 into line[0..n): bytes beyond the line end are consumed and dropped.
void unpackLine(const uint8_t* src, size_t& pos, size_t end, uint8_t* line, size_t n) {
    size_t k = 0;
    while (k < n && pos < end) {
        const int c = int8_t(src[pos++]);
        if (c >= 0) {
            for (int j = 0; j <= c && pos < end; ++j) {
                const uint8_t b = src[pos++];
                if (k < n) line[k++] = b;
            }
        } else if (c != -128) {
            if (pos >= end) return;
            const uint8_t b = src[pos++];
            for (int j = 0; j < 1 - c && k < n; ++j) line[k++] = b;
        }
    }
}

void readLine(const uint8_t* src, size_t& pos, size_t end, bool byteRun, uint8_t* line, size_t n) {
    std::memset(line, 0, n);
    if (byteRun) {
        unpackLine(src, pos, end, line, n);
        return;
    }
    const size_t k = n < end - pos ? n : end - pos;
    std::memcpy(line, src + pos, k);
    pos += k;
}

// Rows from `y` on, once the body has no more data: cleared, as every row starts.
void clearRows(TxMip& mip, int y) {
    const size_t width = size_t(mip.width);
    std::memset(mip.data[0] + size_t(y) * width, 0, size_t(mip.height - y) * width);
}

bool fail(TxReadContext& ctx, const char* msg) {
    txReportError(ctx, msg, 0);
    return false;
}

const char* parseText(int code) {
    switch (code) {
    case TX_IFF_NOT_FORM: return "IFF Image: not an IFF FORM file.";
    case TX_IFF_BAD_FORM_TYPE: return "IFF Image: the form is neither ILBM nor PBM.";
    case TX_IFF_NO_BMHD: return "IFF Image: no BMHD chunk.";
    case TX_IFF_BAD_BMHD: return "IFF Image: bad BMHD chunk.";
    case TX_IFF_NO_CMAP: return "IFF Image: no CMAP chunk.";
    case TX_IFF_NO_BODY: return "IFF Image: no BODY chunk.";
    default: return "IFF Image: unreadable file.";
    }
}

}  // namespace

int txIffParse(const uint8_t* d, size_t size, TxIffInfo& info) {
    info = TxIffInfo{};
    if (size < 12 || std::memcmp(d, "FORM", 4) != 0) return TX_IFF_NOT_FORM;
    const uint64_t formEnd = 8 + uint64_t(getBe32(d + 4));
    const size_t end = size_t(formEnd < size ? formEnd : size);
    const bool ilbm = std::memcmp(d + 8, "ILBM", 4) == 0;
    info.pbm = std::memcmp(d + 8, "PBM ", 4) == 0;
    // An animation is read as ILBM: its first BMHD, CMAP and BODY are its first picture. A plain
    // PBM is never searched, since its pixel bytes could spell "ANIM" by chance.
    if (!ilbm && !info.pbm) {
        if (!findChunk(d, 8, end, "ANIM")) return TX_IFF_BAD_FORM_TYPE;
    }
    const size_t bmhd = findChunk(d, 12, end, "BMHD");
    if (!bmhd) return TX_IFF_NO_BMHD;
    if (getBe32(d + bmhd + 4) != 20 || end - (bmhd + 8) < 20) return TX_IFF_BAD_BMHD;
    const uint8_t* h = d + bmhd + 8;
    info.width = int(getBe16(h));
    info.height = int(getBe16(h + 2));
    info.planes = h[8];
    info.masking = h[9];
    info.compression = h[10];
    const size_t cmap = findChunk(d, 12, end, "CMAP");
    if (!cmap) return TX_IFF_NO_CMAP;
    chunkData(d, cmap, end, info.cmapOffset, info.cmapLength);
    const size_t body = findChunk(d, 12, end, "BODY");
    if (!body) return TX_IFF_NO_BODY;
    chunkData(d, body, end, info.bodyOffset, info.bodyLength);
    return TX_IFF_OK;
}

bool iffProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    // The whole file is parsed: a 256-colour map alone pushes the BODY past the first few hundred
    // bytes, so a short header window would refuse ordinary pictures.
    TxIffInfo info;
    const int code = txIffParse(s.data(), s.size(), info);
    if (code != TX_IFF_OK) return fail(ctx, parseText(code));
    if (info.width <= 0 || info.height <= 0) return fail(ctx, "IFF Image: width or height is 0.");
    if (!txSizeAllowed(info.width, info.height)) return fail(ctx, "IFF Image: image is too large.");
    // Indices are one byte; deeper (true-colour) pictures have no colour map to index.
    if (!info.pbm && (info.planes < 1 || info.planes > 8))
        return fail(ctx, "IFF Image: unsupported number of planes.");
    mip.format = TX_FMT_P8;
    mip.width = info.width;
    mip.height = info.height;
    mip.depth = 1;
    mip.size = int64_t(info.width) * info.height;
    ctx.state = info;
    return true;
}

bool iffBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* ip = std::any_cast<TxIffInfo>(&ctx.state);
    if (!ip || !mip.data[0]) return false;
    const TxIffInfo& info = *ip;
    const uint8_t* d = s.data();

    // At most 256 entries; entries the map does not give stay 0.
    std::memset(mip.pal, 0, sizeof mip.pal);
    const size_t colours = info.cmapLength / 3 < 256 ? info.cmapLength / 3 : 256;
    for (size_t i = 0; i < colours; ++i) {
        const uint8_t* c = d + info.cmapOffset + 3 * i;
        // Opaque: a picture's colours must stay visible once saved with alpha (PNG, TGA).
        mip.pal[i] = 0xFF000000u | (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
    }

    const size_t width = size_t(mip.width);
    const bool byteRun = info.compression == 1;
    size_t pos = info.bodyOffset;
    const size_t end = info.bodyOffset + info.bodyLength;
    if (info.pbm) {
        // Chunky rows are padded to an even byte count like every IFF row.
        std::vector<uint8_t> line((width + 1) & ~size_t(1));
        for (int y = 0; y < mip.height; ++y) {
            if (pos >= end) {
                clearRows(mip, y);
                break;
            }
            readLine(d, pos, end, byteRun, line.data(), line.size());
            std::memcpy(mip.data[0] + size_t(y) * width, line.data(), width);
        }
        return true;
    }
    const size_t lineBytes = ((width + 15) / 16) * 2;
    // A mask plane (masking 1) follows the colour planes in every row; it is read over.
    const int lines = info.planes + (info.masking == 1 ? 1 : 0);
    std::vector<uint8_t> line(lineBytes);
    for (int y = 0; y < mip.height; ++y) {
        if (pos >= end) {
            clearRows(mip, y);
            break;
        }
        uint8_t* row = mip.data[0] + size_t(y) * width;
        std::memset(row, 0, width);
        for (int p = 0; p < lines; ++p) {
            readLine(d, pos, end, byteRun, line.data(), lineBytes);
            if (p >= info.planes) continue;
            const uint8_t bit = uint8_t(1u << p);
            for (size_t b = 0; b < lineBytes && b * 8 < width; ++b) {
                const unsigned v = line[b];
                if (!v) continue;
                const size_t n = width - b * 8 < 8 ? width - b * 8 : 8;
                for (size_t k = 0; k < n; ++k)
                    if (v & (0x80u >> k)) row[b * 8 + k] |= bit;
            }
        }
    }
    return true;
}
