#include "texlib/mip_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "texlib/resample.h"

namespace {

// sRGB decoding of every byte, and the linear values where the rounded encoding steps from one
// byte to the next: encoding is then a search in a monotonic table, exact and without pow().
constexpr int kBuckets = 1024;

struct SrgbTables {
    float toLinear[256];
    float step[257];  // step[b]: the smallest linear value that encodes to b or more (b >= 1)
    uint8_t start[kBuckets + 1];  // the byte of the lowest value in each bucket of [0, 1]
    SrgbTables() {
        auto decode = [](double s) {
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        for (int b = 0; b < 256; ++b) toLinear[b] = float(decode(b / 255.0));
        step[0] = -1.0f;
        for (int b = 1; b < 256; ++b) step[b] = float(decode((b - 0.5) / 255.0));
        step[256] = 2.0f;  // above any clamped value
        for (int k = 0; k <= kBuckets; ++k) {
            const float v = float(k) / kBuckets;
            int b = 0;
            while (step[b + 1] <= v) ++b;
            start[k] = uint8_t(b);
        }
    }
};

const SrgbTables& srgb() {
    static const SrgbTables t;
    return t;
}

uint8_t encodeLinear(float v) {
    const float x = std::round(v * 255.0f);
    return uint8_t(x <= 0.0f ? 0 : x >= 255.0f ? 255 : int(x));
}

uint8_t encodeSrgb(float v) {
    const SrgbTables& t = srgb();
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    // Start at the bucket's lowest byte and walk up the few steps inside the bucket.
    int b = t.start[int(v * kBuckets)];
    while (t.step[b + 1] <= v) ++b;
    return uint8_t(b);
}

// Taps of a reduction by two: output texel i reads source texels 2i + first + k.
struct Kernel {
    int first = 0;
    std::vector<float> weights;
};

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-12) break;
    }
    return sum;
}

Kernel makeKernel(int filter, bool halve) {
    Kernel k;
    if (!halve) {
        k.weights = {1.0f};
        return k;
    }
    switch (filter) {
    case TX_MIP_FILTER_TRIANGLE:
        // A tent one destination texel wide on each side: 1 3 3 1 over four source texels.
        k.first = -1;
        k.weights = {0.125f, 0.375f, 0.375f, 0.125f};
        break;
    case TX_MIP_FILTER_KAISER: {
        // Windowed sinc, three destination texels each side, Kaiser window with alpha 4: sharper
        // than the tent, with small lobes that the encoding clamps.
        constexpr double kWidth = 3.0, kAlpha = 4.0, kPi = 3.14159265358979323846;
        k.first = -5;
        double sum = 0.0;
        std::vector<double> w;
        for (int t = -5; t <= 6; ++t) {
            const double x = (t - 0.5) / 2.0;  // distance in destination texels
            const double sinc = std::sin(kPi * x) / (kPi * x);
            const double r = x / kWidth;
            const double window =
                besselI0(kAlpha * std::sqrt(std::max(0.0, 1.0 - r * r))) / besselI0(kAlpha);
            w.push_back(sinc * window);
            sum += sinc * window;
        }
        for (double v : w) k.weights.push_back(float(v / sum));
        break;
    }
    default:
        k.first = 0;
        k.weights = {0.5f, 0.5f};
        break;
    }
    return k;
}

// One level from the level above, in floats. Source texels are decoded to linear light when
// `srgbData`; rows are filtered horizontally once each and kept in a small ring for the
// vertical taps, so that only a few rows are ever held in floating point.
void reduceLevel(const uint32_t* src, int sw, int sh, uint32_t* dst, int dw, int dh, int filter,
                 bool srgbData) {
    const Kernel kx = makeKernel(filter, dw < sw);
    const Kernel ky = makeKernel(filter, dh < sh);
    const float* lin = srgb().toLinear;
    float plain[256];
    for (int b = 0; b < 256; ++b) plain[b] = b / 255.0f;
    const float* decode = srgbData ? lin : plain;

    const int taps = int(ky.weights.size());
    const int ringSize = taps + 2;
    std::vector<float> ring(size_t(ringSize) * size_t(dw) * 4);
    std::vector<int> ringRow(size_t(ringSize), -1);
    const int step = dw < sw ? 2 : 1;
    auto clampIndex = [](int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; };

    auto filteredRow = [&](int r) -> const float* {
        const int slot = r % ringSize;
        float* out = ring.data() + size_t(slot) * size_t(dw) * 4;
        if (ringRow[size_t(slot)] == r) return out;
        ringRow[size_t(slot)] = r;
        const uint32_t* row = src + size_t(r) * size_t(sw);
        for (int x = 0; x < dw; ++x) {
            float a = 0, cr = 0, cg = 0, cb = 0;
            for (size_t t = 0; t < kx.weights.size(); ++t) {
                const uint32_t p = row[clampIndex(step * x + kx.first + int(t), sw)];
                const float w = kx.weights[t];
                a += w * float(p >> 24) * (1.0f / 255.0f);
                cr += w * decode[(p >> 16) & 0xFF];
                cg += w * decode[(p >> 8) & 0xFF];
                cb += w * decode[p & 0xFF];
            }
            out[4 * x] = a;
            out[4 * x + 1] = cr;
            out[4 * x + 2] = cg;
            out[4 * x + 3] = cb;
        }
        return out;
    };

    std::vector<float> acc(size_t(dw) * 4);
    const int vstep = dh < sh ? 2 : 1;
    for (int y = 0; y < dh; ++y) {
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int t = 0; t < taps; ++t) {
            const float* row = filteredRow(clampIndex(vstep * y + ky.first + t, sh));
            const float w = ky.weights[size_t(t)];
            for (size_t k = 0; k < acc.size(); ++k) acc[k] += w * row[k];
        }
        uint32_t* out = dst + size_t(y) * size_t(dw);
        for (int x = 0; x < dw; ++x) {
            const float* v = &acc[size_t(4 * x)];
            auto colour = [&](float c) {
                return uint32_t(srgbData ? encodeSrgb(c) : encodeLinear(c));
            };
            out[x] = uint32_t(encodeLinear(v[0])) << 24 | colour(v[1]) << 16 | colour(v[2]) << 8 |
                     colour(v[3]);
        }
    }
}

void premultiplyLevel0(TxMip& mip, bool srgbData) {
    auto* p = reinterpret_cast<uint32_t*>(mip.data[0]);
    const size_t n = size_t(mip.width) * size_t(mip.height);
    const float* lin = srgb().toLinear;
    for (size_t k = 0; k < n; ++k) {
        const uint32_t v = p[k];
        const uint32_t a = v >> 24;
        if (a == 255) continue;
        uint32_t c[3] = {(v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF};
        for (uint32_t& x : c)
            x = srgbData ? encodeSrgb(lin[x] * float(a) * (1.0f / 255.0f)) : (x * a + 127) / 255;
        p[k] = (a << 24) | (c[0] << 16) | (c[1] << 8) | c[2];
    }
}

}  // namespace

const char* txMipFilterName(int filter) {
    switch (filter) {
    case TX_MIP_FILTER_BOX: return "box";
    case TX_MIP_FILTER_TRIANGLE: return "triangle";
    case TX_MIP_FILTER_KAISER: return "kaiser";
    default: return nullptr;
    }
}

int txMipFilterFromName(const char* name) {
    for (int f = TX_MIP_FILTER_BOX; f <= TX_MIP_FILTER_KAISER; ++f)
        if (name && std::strcmp(name, txMipFilterName(f)) == 0) return f;
    return -1;
}

float txSrgbToLinear(uint8_t v) { return srgb().toLinear[v]; }
uint8_t txLinearToSrgb(float v) { return encodeSrgb(v); }

void txMipBuildChain(TxMip& mip, const TxMipChainOptions& o) {
    if (mip.format != TX_FMT_ARGB8888 || !mip.data[0]) return;
    if (o.premultiply) premultiplyLevel0(mip, o.srgb);
    if (o.filter == TX_MIP_FILTER_BOX && !o.srgb) {
        // The integer 2x2 average: byte for byte the path 3DF and TEX files have always had.
        txMipGenerateMipmaps(mip);
        return;
    }
    for (int level = 1; level < mip.depth && level < TX_MAX_LEVELS; ++level) {
        int sw = 0, sh = 0, dw = 0, dh = 0;
        txMipLevelSize(mip, level - 1, sw, sh);
        txMipLevelSize(mip, level, dw, dh);
        const auto* s = reinterpret_cast<const uint32_t*>(mip.data[level - 1]);
        auto* d = reinterpret_cast<uint32_t*>(mip.data[level]);
        if (!s || !d || !txIsPowerOfTwo(sw) || !txIsPowerOfTwo(sh)) continue;
        if (sw == 1 && sh == 1) {
            d[0] = s[0];
            continue;
        }
        reduceLevel(s, sw, sh, d, dw, dh, o.filter, o.srgb);
    }
}

void txAlphaBleed(TxMip& mip) {
    if (mip.format != TX_FMT_ARGB8888 || !mip.data[0]) return;
    const int w = mip.width, h = mip.height;
    auto* px = reinterpret_cast<uint32_t*>(mip.data[0]);
    const size_t n = size_t(w) * size_t(h);
    enum : uint8_t { kUnknown = 0, kKnown = 1, kQueued = 2 };
    std::vector<uint8_t> state(n, kUnknown);
    size_t known = 0;
    for (size_t k = 0; k < n; ++k)
        if (px[k] >> 24) state[k] = kKnown, ++known;
    if (known == 0 || known == n) return;

    auto forNeighbours = [&](size_t k, auto&& fn) {
        const int x = int(k % size_t(w)), y = int(k / size_t(w));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (!dx && !dy) continue;
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                fn(size_t(ny) * size_t(w) + size_t(nx));
            }
    };
    std::vector<size_t> ring;
    for (size_t k = 0; k < n; ++k) {
        if (state[k] != kUnknown) continue;
        bool touches = false;
        forNeighbours(k, [&](size_t j) { touches = touches || state[j] == kKnown; });
        if (touches) state[k] = kQueued, ring.push_back(k);
    }
    std::vector<uint32_t> colours;
    std::vector<size_t> next;
    while (!ring.empty()) {
        // A ring takes its colours only from texels known before it, so the fill does not depend
        // on the order in which the ring is walked.
        colours.assign(ring.size(), 0);
        for (size_t i = 0; i < ring.size(); ++i) {
            uint32_t r = 0, g = 0, b = 0, count = 0;
            forNeighbours(ring[i], [&](size_t j) {
                if (state[j] != kKnown) return;
                r += (px[j] >> 16) & 0xFF;
                g += (px[j] >> 8) & 0xFF;
                b += px[j] & 0xFF;
                ++count;
            });
            if (count)
                colours[i] = ((r + count / 2) / count) << 16 | ((g + count / 2) / count) << 8 |
                             ((b + count / 2) / count);
        }
        next.clear();
        for (size_t i = 0; i < ring.size(); ++i) {
            px[ring[i]] = (px[ring[i]] & 0xFF000000u) | colours[i];
            state[ring[i]] = kKnown;
        }
        for (size_t k : ring)
            forNeighbours(k, [&](size_t j) {
                if (state[j] == kUnknown) state[j] = kQueued, next.push_back(j);
            });
        ring.swap(next);
    }
}
