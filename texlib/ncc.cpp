#include "texlib/ncc.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "texlib/convert.h"
#include "texlib/quantize.h"
#include "texlib/read.h"

namespace {

// Single-precision products of the YIQ factors per channel value; adding them in the order of
// the formula gives the same float result as evaluating it texel by texel.
struct YiqTables {
    float yr[256], yg[256], yb[256];
    float ir[256], ig[256], ib[256];
    float qr[256], qg[256], qb[256];
    YiqTables() {
        for (int c = 0; c < 256; ++c) {
            const float f = float(c);
            yr[c] = 0.3f * f;
            yg[c] = 0.59f * f;
            yb[c] = 0.11f * f;
            ir[c] = 0.6f * f;
            ig[c] = 0.28f * f;
            ib[c] = 0.32f * f;
            qr[c] = 0.21f * f;
            qg[c] = 0.52f * f;
            qb[c] = 0.31f * f;
        }
    }
};
const YiqTables kYiq;

inline int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline int lumOf(uint32_t p) {
    return clamp255(
        int(kYiq.yr[(p >> 16) & 0xFF] + kYiq.yg[(p >> 8) & 0xFF] + kYiq.yb[p & 0xFF] + 0.5f));
}
inline int iOf(uint32_t p, float offset) {
    const float v = kYiq.ir[(p >> 16) & 0xFF] - kYiq.ig[(p >> 8) & 0xFF] - kYiq.ib[p & 0xFF];
    return clamp255(int(v * 0.8333333f + offset));
}
inline int qOf(uint32_t p, float offset) {
    const float v = kYiq.qr[(p >> 16) & 0xFF] - kYiq.qg[(p >> 8) & 0xFF] + kYiq.qb[p & 0xFF];
    return clamp255(int(v * 0.9615385f + offset));
}

// Largest v whose count of texels at or below it stays under d (0 when none), and the smallest v
// whose count at or above it stays under d (255 when none).
void histogramRange(const int64_t* hist, int64_t d, int& lo, int& hi) {
    lo = 0;
    int64_t cum = 0;
    for (int v = 0; v < 256; ++v) {
        cum += hist[v];
        if (cum < d)
            lo = v;
        else
            break;
    }
    hi = 255;
    cum = 0;
    for (int v = 255; v >= 0; --v) {
        cum += hist[v];
        if (cum < d)
            hi = v;
        else
            break;
    }
    if (hi < lo) lo = hi;
}

int indexOf(int v, int lo, int hi, int top) {
    if (v <= lo) return 0;
    if (v >= hi) return top;
    const int range = hi - lo;
    return ((v - lo) * top * 2 + range) / (2 * range);
}

int orderedOf(int v, int lo, int hi, int top, int m) {
    int s;
    if (v <= lo)
        s = 0;
    else if (v >= hi)
        s = top * 16;
    else
        s = (v - lo) * top * 16 / (hi - lo);
    return (s + m) / 16;
}

template <typename Fn> void forTexels(TxMip& dst, const TxMip& src, bool withAlpha, Fn&& fn) {
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const size_t at = size_t(y) * size_t(w) + size_t(x);
                const uint32_t p = s[at];
                const uint32_t byte = uint32_t(fn(p, x, y)) & 0xFF;
                if (withAlpha)
                    reinterpret_cast<uint16_t*>(dst.data[level])[at] =
                        uint16_t(byte | ((p >> 24) << 8));
                else
                    dst.data[level][at] = uint8_t(byte);
            }
        }
    }
}

void storeTable(TxMip& dst, int format, const TxNccTable& t) {
    dst.format = format;
    std::memset(dst.pal, 0, sizeof dst.pal);
    txNccToPal(t, dst.pal);
}

// Fixed point of the heuristic's working table.
constexpr int kFrac = 22;
constexpr int64_t kYMax = (int64_t(1) << 30) - 1;
constexpr int64_t kIqMin = -(int64_t(1) << 30);
constexpr int64_t kIqMax = (int64_t(1) << 30) - 1;

struct WorkTable {
    int64_t y[16];
    int64_t i[4][3];
    int64_t q[4][3];
    uint32_t colours[256];

    TxNccTable integers() const {
        TxNccTable t;
        for (int k = 0; k < 16; ++k) t.y[k] = int32_t(y[k] >> kFrac);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) {
                t.i[r][c] = int32_t(i[r][c] >> kFrac);
                t.q[r][c] = int32_t(q[r][c] >> kFrac);
            }
        return t;
    }
    void refresh() { txNccPalette(integers(), colours); }
    // Moves entry k's Y, I row and Q row toward `target`; shift 0 for the full step, 1 for half.
    void move(int k, uint32_t target, int shift) {
        const uint32_t c = colours[k];
        const int64_t dr = int64_t((target >> 16) & 0xFF) - int64_t((c >> 16) & 0xFF);
        const int64_t dg = int64_t((target >> 8) & 0xFF) - int64_t((c >> 8) & 0xFF);
        const int64_t db = int64_t(target & 0xFF) - int64_t(c & 0xFF);
        // dX/8 and dX/4 are exact in 22 fraction bits.
        const int s8 = kFrac - 3 - shift, s4 = kFrac - 2 - shift;
        int64_t& yy = y[k >> 4];
        yy = std::clamp<int64_t>(yy + dr * (int64_t(1) << s8) + dg * (int64_t(1) << s4) +
                                     db * (int64_t(1) << s8),
                                 0, kYMax);
        const int64_t d[3] = {dr, dg, db};
        for (int c3 = 0; c3 < 3; ++c3) {
            int64_t& iv = i[(k >> 2) & 3][c3];
            iv = std::clamp<int64_t>(iv + d[c3] * (int64_t(1) << s8), kIqMin, kIqMax);
            int64_t& qv = q[k & 3][c3];
            qv = std::clamp<int64_t>(qv + d[c3] * (int64_t(1) << s8), kIqMin, kIqMax);
        }
        refresh();
    }
};

}  // namespace

TxNccRanges txNccStatisticRanges(const TxMip& src) {
    std::vector<int64_t> hy(256, 0), hi(256, 0), hq(256, 0);
    int64_t total = 0;
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        const size_t n = size_t(w) * size_t(h);
        for (size_t k = 0; k < n; ++k) {
            ++hy[size_t(lumOf(s[k]))];
            ++hi[size_t(iOf(s[k], 127.5f))];
            ++hq[size_t(qOf(s[k], 127.5f))];
        }
        total += int64_t(n);
    }
    const int64_t d = total / 100;
    TxNccRanges r;
    histogramRange(hy.data(), d, r.yMin, r.yMax);
    histogramRange(hi.data(), d, r.iMin, r.iMax);
    histogramRange(hq.data(), d, r.qMin, r.qMax);
    return r;
}

TxNccTable txNccStatisticTable(const TxNccRanges& r) {
    TxNccTable t{};
    for (int k = 0; k < 16; ++k)
        t.y[k] = int32_t(float(k * (r.yMax - r.yMin)) * 0.06666667f + float(r.yMin) + 0.5f);
    for (int k = 0; k < 4; ++k) {
        const float fi = float(k * (r.iMax - r.iMin)) * 0.33333334f + float(r.iMin);
        const double v = (double(fi * 0.003921569f) * 1.2 - 0.6) * 255;
        t.i[k][0] = int32_t(0.95 * v + 0.5);
        t.i[k][1] = int32_t(0.5 - 0.28 * v);
        t.i[k][2] = int32_t(0.5 - 1.11 * v);
        const float fq = float(k * (r.qMax - r.qMin)) * 0.33333334f + float(r.qMin);
        const float vq = float((double(fq * 0.003921569f) * 1.04 - 0.52) * 255);
        t.q[k][0] = int32_t(0.62 * double(vq) + 0.5);
        t.q[k][1] = int32_t(0.5 - 0.64 * double(vq));
        t.q[k][2] = int32_t(1.73 * double(vq) + 0.5);
    }
    return t;
}

void txNccStatistic(TxMip& dst, const TxMip& src, int format, int dither) {
    const bool withAlpha = format == TX_FMT_AYIQ8422;
    const TxNccRanges r = txNccStatisticRanges(src);
    const TxNccTable table = txNccStatisticTable(r);
    if (dither == TX_DITHER_ERR_DIFFUSION) {
        uint32_t pal[256];
        txNccPalette(table, pal);
        txDiffusePalette(dst, src, withAlpha, pal, 256);
    } else if (dither == TX_DITHER_ORDERED) {
        forTexels(dst, src, withAlpha, [&](uint32_t p, int x, int y) {
            const int m = kTxDitherMatrix[y & 3][x & 3];
            const int yi = orderedOf(lumOf(p), r.yMin, r.yMax, 15, m);
            const int ii = orderedOf(iOf(p, 128.0f), r.iMin, r.iMax, 3, m);
            const int qi = orderedOf(qOf(p, 128.0f), r.qMin, r.qMax, 3, m);
            return (yi << 4) | (ii << 2) | qi;
        });
    } else {
        forTexels(dst, src, withAlpha, [&](uint32_t p, int, int) {
            const int yi = indexOf(lumOf(p), r.yMin, r.yMax, 15);
            const int ii = indexOf(iOf(p, 128.0f), r.iMin, r.iMax, 3);
            const int qi = indexOf(qOf(p, 128.0f), r.qMin, r.qMax, 3);
            return (yi << 4) | (ii << 2) | qi;
        });
    }
    storeTable(dst, format, table);
}

void txNccHeuristic(TxMip& dst, const TxMip& src, int format, int dither) {
    const bool withAlpha = format == TX_FMT_AYIQ8422;
    uint32_t pal[256];
    const int n = txMedianCut(dst, src, withAlpha, pal);

    WorkTable work{};
    for (int k = 0; k < 16; ++k) work.y[k] = int64_t(int(float(k * 255) * 0.06666667f)) << kFrac;
    work.refresh();

    // Fisher-Yates with a fixed seed: the same image always gives the same table, and the order
    // is a true permutation (a sort with a random comparison is not).
    std::vector<int> order(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) order[size_t(k)] = k;
    std::mt19937 rng(TX_NCC_SHUFFLE_SEED);
    for (int k = n - 1; k > 0; --k)
        std::swap(order[size_t(k)], order[size_t(rng() % uint32_t(k + 1))]);

    TxNccTable saved = work.integers();
    uint32_t best = 0xFFFFFFFFu;
    int stall = 0, processed = 0;
    for (;;) {
        uint32_t passMax = 0;
        for (int idx : order) {
            const uint32_t c = pal[idx];
            int first = 0, second = -1;
            uint32_t d1 = 0xFFFFFFFFu, d2 = 0xFFFFFFFFu;
            for (int k = 0; k < 256; ++k) {
                const uint32_t d = txExplodedDistance(c, work.colours[k]);
                if (d < d1) {
                    d2 = d1;
                    second = first;
                    d1 = d;
                    first = k;
                } else if (d < d2) {
                    d2 = d;
                    second = k;
                }
            }
            if (d1 > passMax) passMax = d1;
            work.move(first, c, 0);
            if (second >= 0 && second != first) work.move(second, c, 1);
            ++processed;
        }
        if (passMax < best) {
            best = passMax;
            saved = work.integers();
            for (int k = 0; k < 16; ++k)
                if (saved.y[k] < 0 || saved.y[k] > 255) txReportError("Bad Y!\n", 1);
            for (int r = 0; r < 4; ++r)
                for (int c3 = 0; c3 < 3; ++c3) {
                    if (saved.i[r][c3] < -256 || saved.i[r][c3] > 255) txReportError("Bad A!\n", 1);
                    if (saved.q[r][c3] < -256 || saved.q[r][c3] > 255) txReportError("Bad B!\n", 1);
                }
            stall = 0;
        } else {
            stall += n;
        }
        if (stall >= 2000 || passMax == 0 || processed > 3999) break;
    }

    uint32_t tablePal[256];
    txNccPalette(saved, tablePal);
    if (dither == TX_DITHER_ORDERED || dither == TX_DITHER_ERR_DIFFUSION) {
        txDiffusePalette(dst, src, withAlpha, tablePal, 256);
    } else {
        uint8_t map[256] = {};
        for (int k = 0; k < n; ++k) map[k] = uint8_t(txNearestPaletteIndex(pal[k], tablePal, 256));
        for (int level = 0; level < src.depth; ++level) {
            int w = 0, h = 0;
            if (withAlpha) {
                for (uint16_t& t : txMipLevelTexels<uint16_t>(dst, level, w, h))
                    t = uint16_t((t & 0xFF00) | map[t & 0xFF]);
            } else {
                for (uint8_t& t : txMipLevelTexels<uint8_t>(dst, level, w, h)) t = map[t];
            }
        }
    }
    storeTable(dst, format, saved);
}
