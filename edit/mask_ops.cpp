#include "edit/mask_ops.h"

#include <cstring>
#include <vector>

namespace {

// The luminance in fixed point. The single-precision factors are 0.11f = 14763950 / 2^27,
// 0.3f = 40265320 / 2^27 and 0.59f = 79188456 / 2^27; every product with a byte, the 0.5 and every
// partial sum is then a multiple of 2^-27 below 2^8, which a double holds exactly, so the double
// arithmetic of the formula has no rounding and equals this integer sum bit for bit.
constexpr uint64_t kLumBlue = 14763950, kLumRed = 40265320, kLumGreen = 79188456;
constexpr uint64_t kLumHalf = uint64_t(1) << 26;

inline uint32_t luminanceOf(uint32_t p) {
    const uint64_t s = kLumBlue * (p & 0xFF) + kLumHalf + kLumRed * ((p >> 16) & 0xFF) +
                       kLumGreen * ((p >> 8) & 0xFF);
    return uint32_t(s >> 27);
}

// The frame's pixels and a surface of its size, or false.
bool prepare(ImageBuffer& mask, const Frame& frame, const uint32_t*& pixels, size_t& n) {
    pixels = frame.pixels();
    if (!pixels || !ensureMaskSurface(mask, frame.width(), frame.height())) return false;
    n = size_t(frame.width()) * size_t(frame.height());
    return true;
}

}  // namespace

uint8_t maskLuminance(uint32_t pixel) { return uint8_t(luminanceOf(pixel)); }

bool ensureMaskSurface(ImageBuffer& mask, int width, int height) {
    if (!mask.empty() && mask.width() == width && mask.height() == height) return true;
    if (!mask.create(width, height)) return false;
    std::memset(mask.pixels(), 0, size_t(width) * size_t(height) * 4);
    return true;
}

bool maskFromAlphaGrey(ImageBuffer& mask, const Frame& frame) {
    const uint32_t* p;
    size_t n;
    if (!prepare(mask, frame, p, n)) return false;
    mask.loadPixels(p, 0xFF000000u);
    return true;
}

bool maskOneBit(ImageBuffer& mask, const Frame& frame, uint8_t bias) {
    const uint32_t* p;
    size_t n;
    if (!prepare(mask, frame, p, n)) return false;
    return frame.maskFromAlpha(mask.pixels(), bias) == FE_OK;
}

bool maskIntensity(ImageBuffer& mask, const Frame& frame) {
    const uint32_t* p;
    size_t n;
    if (!prepare(mask, frame, p, n)) return false;
    uint32_t* m = mask.pixels();
    for (size_t k = 0; k < n; ++k) m[k] = (m[k] & 0xFF000000u) | luminanceOf(p[k]) * 0x010101u;
    return true;
}

void applyBorderRule(ImageBuffer& mask) {
    const int w = mask.width(), h = mask.height();
    if (w < 3 || h < 3) return;
    uint32_t* m = mask.pixels();
    const uint32_t ref = m[0];
    const size_t pitch = size_t(w);
    if (ref == 0xFFFFFFFFu) {
        // A full pixel equals the reference here, so each change steers the later neighbours:
        // visit row by row in place, as the rule is defined.
        for (int y = 1; y < h - 1; ++y) {
            uint32_t* above = m + size_t(y - 1) * pitch;
            uint32_t* row = above + pitch;
            uint32_t* below = row + pitch;
            for (int x = 1; x < w - 1; ++x) {
                if (above[x - 1] == ref || above[x] == ref || above[x + 1] == ref ||
                    row[x - 1] == ref || row[x] == ref || row[x + 1] == ref ||
                    below[x - 1] == ref || below[x] == ref || below[x + 1] == ref)
                    continue;
                row[x] = 0xFFFFFFFFu;
            }
        }
        return;
    }
    // Otherwise a pixel made full never equals the reference and one that equals it stays, so
    // which pixels match is fixed before the pass: three rows of match flags, ORed down the
    // columns and then across, decide each pixel without nine word compares.
    std::vector<uint8_t> flags(3 * pitch), column(pitch);
    uint8_t* up = flags.data();
    uint8_t* mid = up + pitch;
    uint8_t* down = mid + pitch;
    auto match = [&](uint8_t* f, const uint32_t* row) {
        for (size_t x = 0; x < pitch; ++x) f[x] = row[x] == ref;
    };
    match(up, m);
    match(mid, m + pitch);
    for (int y = 1; y < h - 1; ++y) {
        match(down, m + size_t(y + 1) * pitch);
        for (size_t x = 0; x < pitch; ++x) column[x] = up[x] | mid[x] | down[x];
        uint32_t* row = m + size_t(y) * pitch;
        for (size_t x = 1; x + 1 < pitch; ++x)
            row[x] = (column[x - 1] | column[x] | column[x + 1]) ? row[x] : 0xFFFFFFFFu;
        uint8_t* spare = up;
        up = mid;
        mid = down;
        down = spare;
    }
}

bool maskBorder(ImageBuffer& mask, const Frame& frame) {
    if (!maskIntensity(mask, frame)) return false;
    applyBorderRule(mask);
    return true;
}

bool maskFromKeyColour(ImageBuffer& mask, const Frame& frame, uint32_t key) {
    const uint32_t* p;
    size_t n;
    if (!prepare(mask, frame, p, n)) return false;
    key &= 0x00FFFFFFu;
    uint32_t* m = mask.pixels();
    for (size_t k = 0; k < n; ++k) m[k] = (p[k] & 0x00FFFFFFu) == key ? 0u : 0x00FFFFFFu;
    return true;
}

void maskClear(ImageBuffer& mask) { mask.andAll(0); }

void maskInvert(ImageBuffer& mask) { mask.xorAll(0xFF000000u); }

bool rebuildMask(ImageBuffer& mask, const Frame& frame, int kind, uint8_t bias) {
    switch (kind) {
    case MASK_ALPHA: return maskFromAlphaGrey(mask, frame);
    case MASK_ONE_BIT: return maskOneBit(mask, frame, bias);
    case MASK_INTENSITY: return maskIntensity(mask, frame);
    case MASK_BORDER: return maskBorder(mask, frame);
    default: return false;
    }
}

uint32_t pickKeyColour(const ImageBuffer& colour, int x, int y) {
    if (colour.empty() || x < 0 || y < 0 || x >= colour.width() || y >= colour.height()) return 0;
    return colour.at(x, y) & 0x00FFFFFFu;
}

void keyColourToAlpha(Frame& frame, uint32_t key) {
    uint32_t* p = frame.pixels();
    if (!p) return;
    key &= 0x00FFFFFFu;
    const size_t n = size_t(frame.width()) * size_t(frame.height());
    for (size_t k = 0; k < n; ++k) {
        const uint32_t c = p[k] & 0x00FFFFFFu;
        p[k] = c == key ? c : c | 0xFF000000u;
    }
}

int keyColourAllFrames(FrameSequence& seq, uint32_t key, Progress* progress) {
    return seq.forEveryFrame(
        [key](Frame& f) {
            keyColourToAlpha(f, key);
            return int(FE_OK);
        },
        progress);
}
