#include "texlib/quantize.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "texlib/convert.h"
#include "texlib/ncc.h"
#include "texlib/read.h"

const int kTxDitherMatrix[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

namespace {

constexpr float kInv255 = 0.003921569f;

// Exploded values of 0..255: bit k of the value moves to bit 3k.
struct ExplodeTable {
    uint32_t v[256];
    ExplodeTable() {
        for (uint32_t d = 0; d < 256; ++d) {
            uint32_t e = 0;
            for (int k = 0; k < 8; ++k)
                if (d & (1u << k)) e |= 1u << (3 * k);
            v[d] = e;
        }
    }
};
const ExplodeTable kExplode;

inline uint32_t explodedDistance(int r, int g, int b, uint32_t p) {
    const int dr = r - int((p >> 16) & 0xFF);
    const int dg = g - int((p >> 8) & 0xFF);
    const int db = b - int(p & 0xFF);
    return kExplode.v[db < 0 ? -db : db] + 4 * kExplode.v[dg < 0 ? -dg : dg] +
           2 * kExplode.v[dr < 0 ? -dr : dr];
}

int nearestIndex(int r, int g, int b, const uint32_t* pal, int count) {
    int best = 0;
    uint32_t bestD = 0xFFFFFFFFu;
    for (int k = 0; k < count; ++k) {
        const uint32_t d = explodedDistance(r, g, b, pal[k]);
        if (d < bestD) {
            bestD = d;
            best = k;
            if (d == 0) break;
        }
    }
    return best;
}

// Nearest palette entry by exploded distance, found without visiting every entry: 4 x
// explode(|dG|) alone is a lower bound of the distance and grows with |dG|, so walking the entries
// in green order away from the colour can stop once that bound passes the best distance. Entries at
// equal distance are all visited and the lowest index wins, as in the plain scan.
class NearestFinder {
public:
    NearestFinder(const uint32_t* pal, int count) : pal_(pal) {
        for (int k = 0; k < count; ++k) order_.push_back(k);
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return ((pal[a] >> 8) & 0xFF) < ((pal[b] >> 8) & 0xFF);
        });
        for (int k : order_) green_.push_back(int((pal[k] >> 8) & 0xFF));
    }
    int find(int r, int g, int b) const {
        uint32_t best = 0xFFFFFFFFu;
        int bestIdx = 0;
        const int n = int(order_.size());
        const int start = int(std::lower_bound(green_.begin(), green_.end(), g) - green_.begin());
        auto visit = [&](int at) {
            const int k = order_[size_t(at)];
            const uint32_t d = explodedDistance(r, g, b, pal_[k]);
            if (d < best || (d == best && k < bestIdx)) {
                best = d;
                bestIdx = k;
            }
        };
        for (int at = start; at < n; ++at) {
            if (4 * kExplode.v[green_[size_t(at)] - g] > best) break;
            visit(at);
        }
        for (int at = start - 1; at >= 0; --at) {
            if (4 * kExplode.v[g - green_[size_t(at)]] > best) break;
            visit(at);
        }
        return bestIdx;
    }

private:
    const uint32_t* pal_;
    std::vector<int> order_;
    std::vector<int> green_;
};

// Per-channel tables of the ordered dither: round(C x 16 L / 255) for L = 3, 7, 15, 31, 63, and
// of the error diffusion: for n bits, the quantised value q in the low byte and its bit
// replication back to 8 bits in the high byte.
struct DitherTables {
    uint16_t ordered[7][256];  // indexed by bit count
    uint16_t diffuse[7][256];
    DitherTables() {
        for (int n = 2; n <= 6; ++n) {
            const int levels = (1 << n) - 1;
            const int scale = (1 << (n + 8)) - 1;
            for (int c = 0; c < 256; ++c) {
                ordered[n][c] = uint16_t(int(float(c * 16 * levels) * kInv255 + 0.5f));
                const int q = int(float(c * scale) * kInv255) / 256;
                diffuse[n][c] = uint16_t(q | (txWiden(uint32_t(q), n) << 8));
            }
        }
    }
};
const DitherTables kTables;

// Single-precision products of the luminance factors; summing them in order gives exactly the
// value of 0.3 R + 0.59 G + 0.11 B evaluated in single precision.
struct LumTables {
    float r[256], g[256], b[256];
    LumTables() {
        for (int c = 0; c < 256; ++c) {
            r[c] = 0.3f * float(c);
            g[c] = 0.59f * float(c);
            b[c] = 0.11f * float(c);
        }
    }
};
const LumTables kLum;

inline int lumRounded(uint32_t p) {
    const float y = kLum.r[(p >> 16) & 0xFF] + kLum.g[(p >> 8) & 0xFF] + kLum.b[p & 0xFF] + 0.5f;
    const int v = int(y);
    return v > 255 ? 255 : v;
}

inline int chA(uint32_t p) { return int(p >> 24); }
inline int chR(uint32_t p) { return int((p >> 16) & 0xFF); }
inline int chG(uint32_t p) { return int((p >> 8) & 0xFF); }
inline int chB(uint32_t p) { return int(p & 0xFF); }

// Error diffusion step tables: the quantised value and the error handed to the next texel
// (trunc(0.25 err) + trunc(0.375 err)) depend only on v = C + incoming error, so one lookup
// replaces the clamp, quantisation and error arithmetic. |incoming| stays below 160 (it is at
// most 0.625 of an error that is at most 85 inside 0..255, or 0.625 of the overshoot outside),
// so v lies in -160..415; the index is masked anyway so no value can reach outside the table.
struct DiffuseStepTables {
    static constexpr int kBias = 256, kMask = 1023;
    int32_t step[7][kMask + 1];  // (incoming error << 8) | q, by bit count
    DiffuseStepTables() {
        for (int n = 2; n <= 6; ++n)
            for (int k = 0; k <= kMask; ++k) {
                const int v = k - kBias;
                const int w = v < 0 ? 0 : (v > 255 ? 255 : v);
                const unsigned t = kTables.diffuse[n][w];
                const int err = v - int(t >> 8);
                const int in = err / 4 + (3 * err) / 8;
                step[n][k] = int32_t(uint32_t(in) << 8 | (t & 0xFF));
            }
    }
};
const DiffuseStepTables kSteps;

// One channel of the error diffusion. Only E[0] survives from one row to the next: every other
// E[x] is overwritten by the texel to its left before it is read. So a texel receives
// trunc(0.375 err) + trunc(0.25 err) of its left neighbour's error (column 0: E[0]).
struct Diffuser {
    const uint16_t* tab;
    const int32_t* steps;
    int e0 = 0, in = 0;
    explicit Diffuser(int bits) : tab(kTables.diffuse[bits]), steps(kSteps.step[bits]) {}
    // Column 0 starts from E[0] and leaves 0.375 of its error there for the next row.
    inline int first(int c) {
        const int v = c + e0;
        const int w = v < 0 ? 0 : (v > 255 ? 255 : v);
        const unsigned t = tab[w];
        const int err = v - int(t >> 8);
        e0 = (3 * err) / 8;
        in = err / 4 + e0;
        return int(t & 0xFF);
    }
    inline int step(int c) {
        const int32_t t = steps[(c + DiffuseStepTables::kBias + in) & DiffuseStepTables::kMask];
        in = t >> 8;
        return int(t & 0xFF);
    }
};

// Walks every level of src row by row, handing each row to fn(srcRow, dstRow, width, y).
template <typename Out, typename Fn> void forLevels(TxMip& dst, const TxMip& src, Fn&& fn) {
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        auto* d = reinterpret_cast<Out*>(dst.data[level]);
        for (int y = 0; y < h; ++y) fn(s + size_t(y) * size_t(w), d + size_t(y) * size_t(w), w, y);
    }
}

// --- 3-channel colour formats -------------------------------------------------------------

uint32_t noAlpha(uint32_t) { return 0; }
uint32_t alphaByte(uint32_t p) { return (p >> 24) << 8; }
uint32_t alphaBit(uint32_t p) { return (p >> 24) ? 0x8000u : 0u; }
uint32_t alphaNibble(uint32_t p) { return (p >> 28) << 12; }

// Layout of a colour format: bits per channel and the position of each field.
struct ColourLayout {
    int rBits, gBits, bBits;
    int rShift, gShift, bShift;
};

template <typename Out, uint32_t (*alpha)(uint32_t)>
void colourNone(TxMip& dst, const TxMip& src, const ColourLayout& L) {
    forLevels<Out>(dst, src, [&](const uint32_t* s, Out* d, int w, int) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = s[x];
            d[x] = Out(alpha(p) | (uint32_t(chR(p) >> (8 - L.rBits)) << L.rShift) |
                       (uint32_t(chG(p) >> (8 - L.gBits)) << L.gShift) |
                       (uint32_t(chB(p) >> (8 - L.bBits)) << L.bShift));
        }
    });
}

template <typename Out, uint32_t (*alpha)(uint32_t)>
void colourOrdered(TxMip& dst, const TxMip& src, const ColourLayout& L) {
    const uint16_t* tr = kTables.ordered[L.rBits];
    const uint16_t* tg = kTables.ordered[L.gBits];
    const uint16_t* tb = kTables.ordered[L.bBits];
    forLevels<Out>(dst, src, [&](const uint32_t* s, Out* d, int w, int y) {
        const int* m = kTxDitherMatrix[y & 3];
        for (int x = 0; x < w; ++x) {
            const uint32_t p = s[x];
            const int mv = m[x & 3];
            d[x] = Out(alpha(p) | (uint32_t((mv + tr[chR(p)]) >> 4) << L.rShift) |
                       (uint32_t((mv + tg[chG(p)]) >> 4) << L.gShift) |
                       (uint32_t((mv + tb[chB(p)]) >> 4) << L.bShift));
        }
    });
}

template <typename Out, uint32_t (*alpha)(uint32_t)>
void colourDiffused(TxMip& dst, const TxMip& src, const ColourLayout& L) {
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        Diffuser dr(L.rBits), dg(L.gBits), db(L.bBits);
        auto* d = reinterpret_cast<Out*>(dst.data[level]);
        for (int y = 0; y < h; ++y, s += w, d += w) {
            uint32_t p = s[0];
            d[0] = Out(alpha(p) | (uint32_t(dr.first(chR(p))) << L.rShift) |
                       (uint32_t(dg.first(chG(p))) << L.gShift) |
                       (uint32_t(db.first(chB(p))) << L.bShift));
            for (int x = 1; x < w; ++x) {
                p = s[x];
                const uint32_t r = uint32_t(dr.step(chR(p)));
                const uint32_t g = uint32_t(dg.step(chG(p)));
                const uint32_t b = uint32_t(db.step(chB(p)));
                d[x] = Out(alpha(p) | (r << L.rShift) | (g << L.gShift) | (b << L.bShift));
            }
        }
    }
}

template <typename Out, uint32_t (*alpha)(uint32_t)>
void colour(TxMip& dst, const TxMip& src, const ColourLayout& L, int dither) {
    if (dither == TX_DITHER_ORDERED)
        colourOrdered<Out, alpha>(dst, src, L);
    else if (dither == TX_DITHER_ERR_DIFFUSION)
        colourDiffused<Out, alpha>(dst, src, L);
    else
        colourNone<Out, alpha>(dst, src, L);
}

// Compile-time specialisations of the hot 16-bit formats, so the shifts and alpha are constants.
template <int RB, int GB, int BB, int RS, int GS, int BS, uint32_t (*Alpha)(uint32_t)>
void colour16(TxMip& dst, const TxMip& src, int dither) {
    const ColourLayout L{RB, GB, BB, RS, GS, BS};
    if (dither == TX_DITHER_ORDERED) {
        const uint16_t* tr = kTables.ordered[RB];
        const uint16_t* tg = kTables.ordered[GB];
        const uint16_t* tb = kTables.ordered[BB];
        forLevels<uint16_t>(dst, src, [&](const uint32_t* s, uint16_t* d, int w, int y) {
            const int* m = kTxDitherMatrix[y & 3];
            for (int x = 0; x < w; ++x) {
                const uint32_t p = s[x];
                const int mv = m[x & 3];
                d[x] = uint16_t(Alpha(p) | (uint32_t((mv + tr[chR(p)]) >> 4) << RS) |
                                (uint32_t((mv + tg[chG(p)]) >> 4) << GS) |
                                (uint32_t((mv + tb[chB(p)]) >> 4) << BS));
            }
        });
    } else if (dither == TX_DITHER_ERR_DIFFUSION) {
        colourDiffused<uint16_t, Alpha>(dst, src, L);
    } else {
        colourNone<uint16_t, Alpha>(dst, src, L);
    }
}

// --- intensity formats ----------------------------------------------------------------------

void quantizeAi44(TxMip& dst, const TxMip& src, int dither) {
    if (dither == TX_DITHER_ERR_DIFFUSION) {
        for (int level = 0; level < src.depth; ++level) {
            int w = 0, h = 0;
            const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
            Diffuser di(4);
            uint8_t* d = dst.data[level];
            for (int y = 0; y < h; ++y, s += w, d += w) {
                d[0] = uint8_t(((s[0] >> 28) << 4) | uint32_t(di.first(lumRounded(s[0]))));
                for (int x = 1; x < w; ++x)
                    d[x] = uint8_t(((s[x] >> 28) << 4) | uint32_t(di.step(lumRounded(s[x]))));
            }
        }
        return;
    }
    const uint16_t* t15 = kTables.ordered[4];
    const bool ordered = dither == TX_DITHER_ORDERED;
    forLevels<uint8_t>(dst, src, [&](const uint32_t* s, uint8_t* d, int w, int y) {
        const int* m = kTxDitherMatrix[y & 3];
        for (int x = 0; x < w; ++x) {
            const int i = lumRounded(s[x]);
            const int v = ordered ? (m[x & 3] + t15[i]) >> 4 : i / 16;
            d[x] = uint8_t(((s[x] >> 28) << 4) | uint32_t(v));
        }
    });
}

// --- palette formats --------------------------------------------------------------------------

struct Box {
    int lo[3] = {0, 0, 0}, hi[3] = {32, 32, 32};
    int64_t n = 0;
    int64_t hist[3][32] = {};
    int mean[3] = {0, 0, 0};
    double err = 0;
};

// Fills a box's per-axis histograms, count, means and error from the 32x32x32 histogram.
void boxStats(Box& b, const std::vector<uint32_t>& cube, int64_t total) {
    std::memset(b.hist, 0, sizeof b.hist);
    for (int r = b.lo[0]; r < b.hi[0]; ++r)
        for (int g = b.lo[1]; g < b.hi[1]; ++g) {
            const uint32_t* row = &cube[size_t((r << 10) | (g << 5))];
            int64_t rg = 0;
            for (int bl = b.lo[2]; bl < b.hi[2]; ++bl) {
                const uint32_t c = row[bl];
                if (!c) continue;
                rg += c;
                b.hist[2][bl] += c;
            }
            b.hist[0][r] += rg;
            b.hist[1][g] += rg;
        }
    b.n = 0;
    for (int k = 0; k < 32; ++k) b.n += b.hist[0][k];
    b.err = 0;
    for (int a = 0; a < 3; ++a) {
        int64_t s1 = 0, s2 = 0;
        for (int k = b.lo[a]; k < b.hi[a]; ++k) {
            s1 += k * b.hist[a][k];
            s2 += int64_t(k) * k * b.hist[a][k];
        }
        b.mean[a] = b.n ? int(s1 / b.n) : 0;
        if (b.n) b.err += double(s2 - int64_t(b.mean[a]) * b.mean[a] * b.n) / double(total);
    }
}

// Last cell of the lower half of a cut of box b along `axis`, or -1 when it cannot be cut.
int cutPosition(const Box& b, int axis) {
    const int a = b.lo[axis], e = b.hi[axis], m = b.mean[axis];
    if (e == a + 1 || b.n == 0) return -1;
    const int start = (a + m) / 2, end = (m + e) / 2;
    int64_t count = 0;
    for (int k = a; k < start; ++k) count += b.hist[axis][k];
    double s = 0, bestScore = -1;
    int best = -1;
    for (int i = start; i <= end; ++i) {
        count += b.hist[axis][i];
        s += double(int64_t(i) * b.hist[axis][i]) / double(b.n);
        if (count >= b.n) break;
        const double diff = double(m) - s;
        const double score = diff * diff * double(count) / double(b.n - count);
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

}  // namespace

uint32_t txExplode(int d) {
    if (d < 0) d = -d;
    if (d > 255) {
        txReportError("Bad explode\n", 1);
        d = 255;
    }
    return kExplode.v[d];
}

uint32_t txExplodedDistance(uint32_t a, uint32_t b) {
    return explodedDistance(chR(a), chG(a), chB(a), b);
}

int txNearestPaletteIndex(uint32_t colour, const uint32_t* pal, int count) {
    return nearestIndex(chR(colour), chG(colour), chB(colour), pal, count);
}

int txMedianCut(TxMip& dst, const TxMip& src, bool withAlpha, uint32_t pal[256]) {
    std::vector<uint32_t> cube(32 * 32 * 32, 0);
    int64_t total = 0;
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        const size_t n = size_t(w) * size_t(h);
        for (size_t k = 0; k < n; ++k) {
            const uint32_t p = s[k];
            ++cube[((p >> 9) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 3) & 0x1F)];
        }
        total += int64_t(n);
    }
    std::vector<Box> boxes(1);
    boxes.reserve(256);
    boxStats(boxes[0], cube, total);
    while (boxes.size() < 256) {
        size_t pick = 0;
        for (size_t k = 1; k < boxes.size(); ++k)
            if (boxes[k].err > boxes[pick].err) pick = k;
        if (boxes[pick].err == 0 || boxes[pick].n == 0) break;
        double bestScore = 0;
        int bestAxis = -1;
        Box bestLow, bestHigh;
        for (int axis = 0; axis < 3; ++axis) {
            const int cut = cutPosition(boxes[pick], axis);
            double score = 1e38;
            Box low = boxes[pick], high = boxes[pick];
            if (cut >= 0) {
                low.hi[axis] = cut + 1;
                high.lo[axis] = cut + 1;
                boxStats(low, cube, total);
                boxStats(high, cube, total);
                score = low.err + high.err;
            }
            if (bestAxis < 0 || score < bestScore) {
                bestScore = score;
                bestAxis = axis;
                bestLow = low;
                bestHigh = high;
            }
        }
        // A box with error has spread on some axis, which can always be cut; this guards the rest.
        if (bestScore >= 1e38) break;
        boxes[pick] = bestLow;
        boxes.push_back(bestHigh);
    }
    std::vector<uint8_t> cellIndex(32 * 32 * 32, 0);
    std::memset(pal, 0, 256 * sizeof(uint32_t));
    for (size_t k = 0; k < boxes.size(); ++k) {
        const Box& b = boxes[k];
        uint32_t rgb = 0;
        for (int a = 0; a < 3; ++a) {
            int v = int(float(b.mean[a]) * 8.225806f + 0.5f);
            if (v > 255) v = 255;
            rgb = (rgb << 8) | uint32_t(v);
        }
        pal[k] = rgb;
        for (int r = b.lo[0]; r < b.hi[0]; ++r)
            for (int g = b.lo[1]; g < b.hi[1]; ++g)
                for (int bl = b.lo[2]; bl < b.hi[2]; ++bl)
                    cellIndex[size_t((r << 10) | (g << 5) | bl)] = uint8_t(k);
    }
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        const size_t n = size_t(w) * size_t(h);
        if (withAlpha) {
            auto* d = reinterpret_cast<uint16_t*>(dst.data[level]);
            for (size_t k = 0; k < n; ++k) {
                const uint32_t p = s[k];
                d[k] = uint16_t(
                    ((p >> 24) << 8) |
                    cellIndex[((p >> 9) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 3) & 0x1F)]);
            }
        } else {
            uint8_t* d = dst.data[level];
            for (size_t k = 0; k < n; ++k) {
                const uint32_t p = s[k];
                d[k] = cellIndex[((p >> 9) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 3) & 0x1F)];
            }
        }
    }
    return int(boxes.size());
}

void txDiffusePalette(TxMip& dst, const TxMip& src, bool withAlpha, const uint32_t* pal,
                      int count) {
    if (count < 1) count = 1;
    if (count > 256) count = 256;
    // The nearest-colour search is the expensive part; neighbouring texels often ask again for
    // the same colour, so a small direct-mapped cache of answers pays off.
    constexpr size_t kCache = 1u << 14;
    std::vector<uint32_t> keys(kCache, 0xFFFFFFFFu);
    std::vector<uint8_t> answers(kCache, 0);
    const NearestFinder nearest(pal, count);
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        for (int y = 0; y < h; ++y, s += w) {
            int carry[3] = {0, 0, 0}, next[3] = {0, 0, 0};
            for (int x = 0; x < w; ++x) {
                const uint32_t p = s[x];
                const int c[3] = {chR(p), chG(p), chB(p)};
                int v[3], cl[3];
                for (int k = 0; k < 3; ++k) {
                    v[k] = c[k] + carry[k] + next[k];
                    cl[k] = v[k] < 0 ? 0 : (v[k] > 255 ? 255 : v[k]);
                }
                const uint32_t key = uint32_t((cl[0] << 16) | (cl[1] << 8) | cl[2]);
                const size_t slot = (key ^ (key >> 10) ^ (key >> 17)) & (kCache - 1);
                int idx;
                if (keys[slot] == key) {
                    idx = answers[slot];
                } else {
                    idx = nearest.find(cl[0], cl[1], cl[2]);
                    keys[slot] = key;
                    answers[slot] = uint8_t(idx);
                }
                const uint32_t chosen = pal[idx];
                const int pc[3] = {chR(chosen), chG(chosen), chB(chosen)};
                for (int k = 0; k < 3; ++k) {
                    const int err = v[k] - pc[k];
                    next[k] = err / 4;
                    carry[k] = (3 * err) / 8;
                }
                const size_t at = size_t(y) * size_t(w) + size_t(x);
                if (withAlpha)
                    reinterpret_cast<uint16_t*>(dst.data[level])[at] =
                        uint16_t(((p >> 24) << 8) | uint32_t(idx));
                else
                    dst.data[level][at] = uint8_t(idx);
            }
        }
    }
}

void txQuantize(TxMip& dst, const TxMip& src, int format, int dither, int ncc) {
    if ((format >= TX_FMT_RSVD1 && format <= TX_FMT_RSVD2) || format == TX_FMT_RSVD4 ||
        format < 0 || format > TX_FMT_RGB888) {
        txReportError("Bad data format in Quantize\n", 1);
        return;
    }
    if (src.format != TX_FMT_ARGB8888 || !src.data[0] || src.depth < 1) {
        txReportError("txQuantize: source is not an argb8888 image\n", 1);
        return;
    }
    // The destination must hold every level of the target format; anything less would be
    // written past its end.
    const int64_t need = txMipLevelBytes(format, src.width, src.height, src.depth);
    if (need < 0 || !dst.data[0] || dst.size < need) {
        txReportError("txQuantize: destination block is missing or too small\n", 1);
        return;
    }
    TxMip view;  // level pointers of dst laid out for the target format, without owning them
    view.format = format;
    view.width = src.width;
    view.height = src.height;
    view.depth = src.depth;
    view.data[0] = dst.data[0];
    txMipSetupLevels(view);
    dst.format = format;
    dst.width = src.width;
    dst.height = src.height;
    // The block holds every source level, so the record describes them all.
    if (dst.depth < src.depth) dst.depth = src.depth;
    for (int k = 0; k < src.depth; ++k) dst.data[k] = view.data[k];
    view.data[0] = nullptr;

    dither &= 0xF;
    if (dither != TX_DITHER_ORDERED && dither != TX_DITHER_ERR_DIFFUSION) dither = TX_DITHER_NONE;

    switch (format) {
    case TX_FMT_RGB332:
        colour<uint8_t, noAlpha>(dst, src, ColourLayout{3, 3, 2, 5, 2, 0}, dither);
        break;
    case TX_FMT_ARGB8332:
        colour<uint16_t, alphaByte>(dst, src, ColourLayout{3, 3, 2, 5, 2, 0}, dither);
        break;
    case TX_FMT_RGB565: colour16<5, 6, 5, 11, 5, 0, noAlpha>(dst, src, dither); break;
    case TX_FMT_ARGB1555: colour16<5, 5, 5, 10, 5, 0, alphaBit>(dst, src, dither); break;
    case TX_FMT_ARGB4444: colour16<4, 4, 4, 8, 4, 0, alphaNibble>(dst, src, dither); break;
    case TX_FMT_A8:
        forLevels<uint8_t>(dst, src, [](const uint32_t* s, uint8_t* d, int w, int) {
            for (int x = 0; x < w; ++x) d[x] = uint8_t(s[x] >> 24);
        });
        break;
    case TX_FMT_I8:
        forLevels<uint8_t>(dst, src, [](const uint32_t* s, uint8_t* d, int w, int) {
            for (int x = 0; x < w; ++x) d[x] = uint8_t(lumRounded(s[x]));
        });
        break;
    case TX_FMT_AI88:
        forLevels<uint16_t>(dst, src, [](const uint32_t* s, uint16_t* d, int w, int) {
            for (int x = 0; x < w; ++x)
                d[x] = uint16_t(((s[x] >> 24) << 8) | uint32_t(lumRounded(s[x])));
        });
        break;
    case TX_FMT_AI44: quantizeAi44(dst, src, dither); break;
    case TX_FMT_ARGB8888: std::memcpy(dst.data[0], src.data[0], size_t(need)); break;
    case TX_FMT_RGB888:
        for (int level = 0; level < src.depth; ++level) {
            int w = 0, h = 0;
            const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
            uint8_t* d = dst.data[level];
            const size_t n = size_t(w) * size_t(h);
            for (size_t k = 0; k < n; ++k) {
                d[3 * k] = uint8_t(chR(s[k]));
                d[3 * k + 1] = uint8_t(chG(s[k]));
                d[3 * k + 2] = uint8_t(chB(s[k]));
            }
        }
        break;
    case TX_FMT_P8:
    case TX_FMT_AP88: {
        const bool withAlpha = format == TX_FMT_AP88;
        const int n = txMedianCut(dst, src, withAlpha, dst.pal);
        // Ordered dithering has no palette variant and maps like no dithering.
        if (dither == TX_DITHER_ERR_DIFFUSION) txDiffusePalette(dst, src, withAlpha, dst.pal, n);
        break;
    }
    case TX_FMT_YIQ:
    case TX_FMT_AYIQ8422:
        if ((ncc & 0xF0) == TX_NCC_HEURISTIC)
            txNccHeuristic(dst, src, format, dither);
        else
            txNccStatistic(dst, src, format, dither);
        break;
    default: break;
    }
}

// --- fixed palette ------------------------------------------------------------------------------

namespace {

int nearestSquared(int r, int g, int b, const uint32_t* pal) {
    int best = 0, bestD = 0x30000;
    for (int k = 0; k < 256; ++k) {
        const int dr = r - chR(pal[k]), dg = g - chG(pal[k]), db = b - chB(pal[k]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = k;
        }
    }
    return best;
}

// The lookup table is reused while the palette's contents stay the same; keying it by content
// (not by address) means a palette refilled in place never meets stale answers.
struct FixedPalCache {
    std::mutex lock;
    bool valid = false;
    uint32_t pal[256] = {};
    uint8_t table[32 * 32 * 32] = {};
};
FixedPalCache gFixedPal;

}  // namespace

void _txPixTrueToFixedPal(TxMip& dst, const TxMip& src, const uint32_t* pal, int flags) {
    if (!pal || !src.data[0] || !dst.data[0] || src.format != TX_FMT_ARGB8888 ||
        txBytesPerTexel(dst.format) != 1) {
        txReportError("_txPixTrueToFixedPal: bad arguments\n", 1);
        return;
    }
    const int64_t need = txMipLevelBytes(dst.format, src.width, src.height, src.depth);
    if (need < 0 || dst.size < need) {
        txReportError("_txPixTrueToFixedPal: destination block is too small\n", 1);
        return;
    }
    TxMip view;
    view.format = dst.format;
    view.width = src.width;
    view.height = src.height;
    view.depth = src.depth;
    view.data[0] = dst.data[0];
    txMipSetupLevels(view);
    const bool cached = (flags & TX_FIXED_PAL_CACHE) != 0;
    std::unique_lock<std::mutex> guard(gFixedPal.lock, std::defer_lock);
    if (cached) {
        guard.lock();
        if (!gFixedPal.valid || std::memcmp(gFixedPal.pal, pal, sizeof gFixedPal.pal) != 0) {
            std::memcpy(gFixedPal.pal, pal, sizeof gFixedPal.pal);
            for (int i = 0; i < 32; ++i)
                for (int j = 0; j < 32; ++j)
                    for (int k = 0; k < 32; ++k)
                        gFixedPal.table[(i << 10) | (j << 5) | k] =
                            uint8_t(nearestSquared(8 * i, 8 * j, 8 * k, pal));
            gFixedPal.valid = true;
        }
    }
    for (int level = 0; level < src.depth; ++level) {
        int w = 0, h = 0;
        const uint32_t* s = txMipLevelTexels(src, level, w, h).data();
        uint8_t* d = view.data[level];
        const size_t n = size_t(w) * size_t(h);
        for (size_t k = 0; k < n; ++k) {
            const uint32_t p = s[k];
            d[k] =
                cached
                    ? gFixedPal.table[((p >> 9) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 3) & 0x1F)]
                    : uint8_t(nearestSquared(chR(p), chG(p), chB(p), pal));
        }
    }
    view.data[0] = nullptr;
}
