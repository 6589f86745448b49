#include "texlib/resample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "texlib/read.h"

namespace {

// Channels are carried two to a 64-bit word (alpha with green, red with blue), 32 bits each: a
// channel sum never exceeds 255 x 32768, so the lanes cannot spill into each other.
inline uint64_t laneAG(uint32_t p) { return (uint64_t(p >> 24) << 32) | ((p >> 8) & 0xFF); }
inline uint64_t laneRB(uint32_t p) { return (uint64_t((p >> 16) & 0xFF) << 32) | (p & 0xFF); }

// Division by a fixed divisor d <= 32768 through one multiplication: exact (the same as integer
// division) for every dividend below 2^25, far above the 255 x 32768 that a sum can reach.
struct Divider {
    uint64_t m;
    explicit Divider(uint32_t d) : m(((uint64_t(1) << 40) + d - 1) / d) {}
    inline uint32_t operator()(uint64_t x) const { return uint32_t((x * m) >> 40); }
};

inline uint32_t packDivided(uint64_t ag, uint64_t rb, const Divider& div) {
    return (div(ag >> 32) << 24) | (div(rb >> 32) << 16) | (div(ag & 0xFFFFFFFFu) << 8) |
           div(rb & 0xFFFFFFFFu);
}

// One row, S texels to D texels, into the lane pair arrays outAG / outRB (divided values).
bool scaleRow(const uint32_t* src, int S, int D, uint64_t* outAG, uint64_t* outRB,
              const Divider& div) {
    uint64_t sumAG = 0, sumRB = 0;
    int64_t p = 0;
    int out = 0;
    for (int x = 0; x < S; ++x) {
        const uint64_t ag = laneAG(src[x]), rb = laneRB(src[x]);
        int64_t w = D;
        while (p + w >= S) {
            const uint64_t u = uint64_t(S - p);
            sumAG += ag * u;
            sumRB += rb * u;
            outAG[out] = (uint64_t(div(sumAG >> 32)) << 32) | div(sumAG & 0xFFFFFFFFu);
            outRB[out] = (uint64_t(div(sumRB >> 32)) << 32) | div(sumRB & 0xFFFFFFFFu);
            ++out;
            sumAG = sumRB = 0;
            w -= int64_t(u);
            p = 0;
        }
        sumAG += ag * uint64_t(w);
        sumRB += rb * uint64_t(w);
        p += w;
    }
    return p == 0 && out == D;
}

void resizeLevel(uint32_t* dst, int Dw, int Dh, const uint32_t* src, int Sw, int Sh) {
    if (Dw == Sw && Dh == Sh) {
        std::memcpy(dst, src, size_t(Dw) * size_t(Dh) * 4);
        return;
    }
    const size_t n = static_cast<size_t>(Dw);
    std::vector<uint64_t> rowAG(n), rowRB(n), accAG(n, 0), accRB(n, 0);
    const Divider divW(static_cast<uint32_t>(Sw)), divH(static_cast<uint32_t>(Sh));
    int64_t p = 0;
    int outRow = 0;
    bool rowsOk = true;
    for (int y = 0; y < Sh; ++y) {
        const uint32_t* s = src + size_t(y) * size_t(Sw);
        if (Dw == Sw) {
            for (int x = 0; x < Dw; ++x) {
                rowAG[size_t(x)] = laneAG(s[x]);
                rowRB[size_t(x)] = laneRB(s[x]);
            }
        } else if (!scaleRow(s, Sw, Dw, rowAG.data(), rowRB.data(), divW)) {
            rowsOk = false;
        }
        int64_t w = Dh;
        while (p + w >= Sh) {
            const uint64_t u = uint64_t(Sh - p);
            uint32_t* d = dst + size_t(outRow) * size_t(Dw);
            for (int x = 0; x < Dw; ++x) {
                const uint64_t ag = accAG[size_t(x)] + rowAG[size_t(x)] * u;
                const uint64_t rb = accRB[size_t(x)] + rowRB[size_t(x)] * u;
                d[x] = packDivided(ag, rb, divH);
            }
            std::fill(accAG.begin(), accAG.end(), 0);
            std::fill(accRB.begin(), accRB.end(), 0);
            ++outRow;
            w -= int64_t(u);
            p = 0;
        }
        if (w > 0) {
            const uint64_t u = uint64_t(w);
            for (int x = 0; x < Dw; ++x) {
                accAG[size_t(x)] += rowAG[size_t(x)] * u;
                accRB[size_t(x)] += rowRB[size_t(x)] * u;
            }
            p += w;
        }
    }
    if (!rowsOk) txReportError("Row resampling: accf != 0!\n", 1);
    if (p != 0 || outRow != Dh) txReportError("Img resampling: accf != 0!\n", 1);
}

}  // namespace

void txImageResize(TxMip& dst, const TxMip& src) {
    if (dst.format != TX_FMT_ARGB8888 || src.format != TX_FMT_ARGB8888) {
        txReportError("Bad image format in txMipResample.", 1);
        return;
    }
    if (dst.width == src.width && dst.height == src.height && dst.data[0] == src.data[0]) return;
    if (!dst.data[0] || !src.data[0]) {
        txReportError("txImageResize: Null buffer\n", 1);
        return;
    }
    // Resampling in place would read texels it has already overwritten.
    if (dst.data[0] == src.data[0]) {
        txReportError("txImageResize: source and destination share their block\n", 1);
        return;
    }
    const int64_t need = txMipLevelBytes(TX_FMT_ARGB8888, dst.width, dst.height, src.depth);
    const int64_t have = txMipLevelBytes(TX_FMT_ARGB8888, src.width, src.height, src.depth);
    if (need < 0 || have < 0 || dst.size < need || src.size < have) {
        txReportError("txImageResize: no miplevel present\n", 1);
        return;
    }
    for (int level = 0; level < src.depth; ++level) {
        int sw = 0, sh = 0, dw = 0, dh = 0;
        txMipLevelSize(src, level, sw, sh);
        txMipLevelSize(dst, level, dw, dh);
        if (!dst.data[level] || !src.data[level]) {
            txReportError("txImageResize: no miplevel present\n", 1);
            continue;
        }
        resizeLevel(reinterpret_cast<uint32_t*>(dst.data[level]), dw, dh,
                    reinterpret_cast<const uint32_t*>(src.data[level]), sw, sh);
    }
}

void txMipGenerateMipmaps(TxMip& mip) {
    if (mip.format != TX_FMT_ARGB8888) return;
    for (int level = 1; level < mip.depth && level < TX_MAX_LEVELS; ++level) {
        int w = 0, h = 0;
        txMipLevelSize(mip, level - 1, w, h);
        const auto* s = reinterpret_cast<const uint32_t*>(mip.data[level - 1]);
        auto* d = reinterpret_cast<uint32_t*>(mip.data[level]);
        if (!s || !d || !txIsPowerOfTwo(w) || !txIsPowerOfTwo(h)) continue;
        // Two channels per word in 16-bit lanes: four 8-bit values sum to at most 1020.
        constexpr uint32_t kMask = 0x00FF00FFu;
        if (w > 1 && h > 1) {
            const int dw = w / 2, dh = h / 2;
            for (int y = 0; y < dh; ++y) {
                const uint32_t* r0 = s + size_t(2 * y) * size_t(w);
                const uint32_t* r1 = r0 + w;
                uint32_t* o = d + size_t(y) * size_t(dw);
                for (int x = 0; x < dw; ++x) {
                    const uint32_t a = r0[2 * x], b = r0[2 * x + 1], c = r1[2 * x],
                                   e = r1[2 * x + 1];
                    const uint32_t lo =
                        (a & kMask) + (b & kMask) + (c & kMask) + (e & kMask) + 0x00020002u;
                    const uint32_t hi = ((a >> 8) & kMask) + ((b >> 8) & kMask) +
                                        ((c >> 8) & kMask) + ((e >> 8) & kMask) + 0x00020002u;
                    o[x] = ((lo >> 2) & kMask) | (((hi >> 2) & kMask) << 8);
                }
            }
        } else if (w > 1 || h > 1) {
            // A single row or column: average neighbouring pairs.
            const int n = (w > 1 ? w : h) / 2;
            for (int x = 0; x < n; ++x) {
                const uint32_t a = s[2 * x], b = s[2 * x + 1];
                const uint32_t lo = (a & kMask) + (b & kMask) + 0x00010001u;
                const uint32_t hi = ((a >> 8) & kMask) + ((b >> 8) & kMask) + 0x00010001u;
                d[x] = ((lo >> 1) & kMask) | (((hi >> 1) & kMask) << 8);
            }
        } else {
            d[0] = s[0];
        }
    }
}

void txExportResampleSize(int w, int h, bool automatic, int aw, int ah, int& outW, int& outH,
                          int maxSide, bool limitRatio) {
    if (!automatic) {
        outW = aw;
        outH = ah;
        return;
    }
    int W = std::min(maxSide, txLargestPowerOfTwo(w));
    int H = std::min(maxSide, txLargestPowerOfTwo(h));
    if (W < 1) W = 1;
    if (H < 1) H = 1;
    if (aw > 0 && ah > 0) {
        int tw = aw, th = ah;
        while (tw < W && th < H) {
            tw *= 2;
            th *= 2;
        }
        outW = tw;
        outH = th;
        return;
    }
    if (limitRatio) {
        if (W < H) {
            while (H / W >= 9) H /= 2;
        } else {
            while (W / H >= 9) W /= 2;
        }
    }
    outW = W;
    outH = H;
}

int txExportLevelCount(int w, int h, bool allLevels, int limitOrSize) {
    int side = std::max(w, h);
    if (side < 1) return 1;
    int count = 1;
    if (allLevels) {
        while (side > 1) {
            side /= 2;
            ++count;
        }
        if (limitOrSize >= 1 && limitOrSize < count) count = limitOrSize;
    } else {
        // A size below 1 would never be reached; it counts as 1, and the 16 level slots cap it.
        const int size = std::max(1, limitOrSize);
        while (side > size && count < TX_MAX_LEVELS) {
            side /= 2;
            ++count;
        }
    }
    return std::min(count, TX_MAX_LEVELS);
}
