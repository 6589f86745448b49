#include "texlib/convert.h"

#include <algorithm>
#include <cstring>

uint8_t txWiden(uint32_t v, int bits) {
    switch (bits) {
    case 1: return v ? 255 : 0;
    case 2: return uint8_t(v * 85);
    case 3: return uint8_t((v << 5) | (v << 2) | (v >> 1));
    case 4: return uint8_t(v * 17);
    case 5: return uint8_t((v << 3) | (v >> 2));
    case 6: return uint8_t((v << 2) | (v >> 4));
    default: return uint8_t(v);
    }
}

namespace {

struct WidenTables {
    uint8_t w2[4], w3[8], w4[16], w5[32], w6[64];
    WidenTables() {
        for (uint32_t v = 0; v < 4; ++v) w2[v] = txWiden(v, 2);
        for (uint32_t v = 0; v < 8; ++v) w3[v] = txWiden(v, 3);
        for (uint32_t v = 0; v < 16; ++v) w4[v] = txWiden(v, 4);
        for (uint32_t v = 0; v < 32; ++v) w5[v] = txWiden(v, 5);
        for (uint32_t v = 0; v < 64; ++v) w6[v] = txWiden(v, 6);
    }
};
const WidenTables kW;

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline uint32_t from332(uint32_t v) {
    return (uint32_t(kW.w3[(v >> 5) & 7]) << 16) | (uint32_t(kW.w3[(v >> 2) & 7]) << 8) |
           kW.w2[v & 3];
}

// Sums are taken in 64 bits: a table read from a file may hold any 32-bit values.
int clamp255(int64_t v) { return v < 0 ? 0 : (v > 255 ? 255 : int(v)); }

}  // namespace

void txNccPalette(const TxNccTable& ncc, uint32_t out[256]) {
    for (int k = 0; k < 256; ++k) {
        const int64_t y = ncc.y[k >> 4];
        const int32_t* i = ncc.i[(k >> 2) & 3];
        const int32_t* q = ncc.q[k & 3];
        const int r = clamp255(y + i[0] + q[0]);
        const int g = clamp255(y + i[1] + q[1]);
        const int b = clamp255(y + i[2] + q[2]);
        out[k] = argb(0, uint32_t(r), uint32_t(g), uint32_t(b));
    }
}

bool txConvertLevelToArgb8888(const TxMip& src, int level, uint32_t* dst) {
    if (level < 0 || level >= TX_MAX_LEVELS || !src.data[level]) return false;
    int w = 0, h = 0;
    txMipLevelSize(src, level, w, h);
    const size_t n = size_t(w) * size_t(h);
    const uint8_t* s8 = src.data[level];
    const uint16_t* s16 = reinterpret_cast<const uint16_t*>(s8);
    uint32_t table[256];
    switch (src.format) {
    case TX_FMT_RGB332:
        for (size_t k = 0; k < n; ++k) dst[k] = 0xFF000000u | from332(s8[k]);
        return true;
    case TX_FMT_YIQ:
        txNccPalette(txNccFromPal(src.pal), table);
        for (size_t k = 0; k < n; ++k) dst[k] = 0xFF000000u | table[s8[k]];
        return true;
    case TX_FMT_A8:
        for (size_t k = 0; k < n; ++k) dst[k] = s8[k] * 0x01010101u;
        return true;
    case TX_FMT_I8:
        for (size_t k = 0; k < n; ++k) dst[k] = 0xFF000000u | (s8[k] * 0x010101u);
        return true;
    case TX_FMT_AI44:
        for (size_t k = 0; k < n; ++k)
            dst[k] = (uint32_t(kW.w4[s8[k] >> 4]) << 24) | (kW.w4[s8[k] & 15] * 0x010101u);
        return true;
    case TX_FMT_P8:
        for (size_t k = 0; k < n; ++k) dst[k] = src.pal[s8[k]];
        return true;
    case TX_FMT_ARGB8332:
        for (size_t k = 0; k < n; ++k)
            dst[k] = (uint32_t(s16[k] >> 8) << 24) | from332(s16[k] & 0xFF);
        return true;
    case TX_FMT_AYIQ8422:
        txNccPalette(txNccFromPal(src.pal), table);
        for (size_t k = 0; k < n; ++k)
            dst[k] = (uint32_t(s16[k] >> 8) << 24) | (table[s16[k] & 0xFF] & 0xFFFFFFu);
        return true;
    case TX_FMT_RGB565:
        for (size_t k = 0; k < n; ++k) {
            uint32_t v = s16[k];
            dst[k] = argb(255, kW.w5[v >> 11], kW.w6[(v >> 5) & 63], kW.w5[v & 31]);
        }
        return true;
    case TX_FMT_ARGB1555:
        for (size_t k = 0; k < n; ++k) {
            uint32_t v = s16[k];
            dst[k] = argb((v & 0x8000) ? 255 : 0, kW.w5[(v >> 10) & 31], kW.w5[(v >> 5) & 31],
                          kW.w5[v & 31]);
        }
        return true;
    case TX_FMT_ARGB4444:
        for (size_t k = 0; k < n; ++k) {
            uint32_t v = s16[k];
            dst[k] =
                argb(kW.w4[v >> 12], kW.w4[(v >> 8) & 15], kW.w4[(v >> 4) & 15], kW.w4[v & 15]);
        }
        return true;
    case TX_FMT_AI88:
        for (size_t k = 0; k < n; ++k)
            dst[k] = (uint32_t(s16[k] >> 8) << 24) | ((s16[k] & 0xFFu) * 0x010101u);
        return true;
    case TX_FMT_AP88:
        for (size_t k = 0; k < n; ++k)
            dst[k] = (uint32_t(s16[k] >> 8) << 24) | (src.pal[s16[k] & 0xFF] & 0xFFFFFFu);
        return true;
    case TX_FMT_ARGB8888: std::memcpy(dst, s8, n * 4); return true;
    case TX_FMT_RGB888:
        for (size_t k = 0; k < n; ++k) dst[k] = argb(255, s8[3 * k], s8[3 * k + 1], s8[3 * k + 2]);
        return true;
    default: return false;
    }
}
