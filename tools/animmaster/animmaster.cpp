#include "tools/animmaster/animmaster.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "model/settings_fields.h"

namespace {

constexpr uint32_t kAlpha = 0xFF000000u;
constexpr uint32_t kColour = 0x00FFFFFFu;

// A frame's pixel words with the frame's own size; empty when the frame holds no usable
// argb8888 block, so a frame of any other shape is never walked past its end.
struct Pixels {
    uint32_t* p = nullptr;
    int w = 0, h = 0;
};

Pixels pixelsOf(Frame* f) {
    Pixels out;
    if (!f || !f->hasPixels()) return out;
    const TxMip& m = f->mip();
    if (m.format != TX_FMT_ARGB8888 || m.width <= 0 || m.height <= 0 ||
        m.size < int64_t(m.width) * m.height * 4)
        return out;
    out.p = f->pixels();
    out.w = m.width;
    out.h = m.height;
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pass 3 for one frame against its reference (as it was before this pass).
void compareFrame(const Pixels& cur, const Pixels& ref, uint32_t key, bool keepAlpha) {
    const uint32_t key24 = key & kColour;
    const int cw = std::min(cur.w, ref.w), ch = std::min(cur.h, ref.h);
    for (int y = 0; y < cur.h; ++y) {
        uint32_t* row = cur.p + size_t(y) * size_t(cur.w);
        const uint32_t* refRow = y < ch ? ref.p + size_t(y) * size_t(ref.w) : nullptr;
        const int common = refRow ? cw : 0;
        for (int x = 0; x < cur.w; ++x) {
            const uint32_t v = row[x];
            const bool same = x < common && ((v ^ refRow[x]) & kColour) == 0;
            if (keepAlpha) {
                if (same) row[x] = key24 | (v & kAlpha);
            } else {
                row[x] = same ? key : (v & kColour);
            }
        }
    }
}

}  // namespace

int AnimMasterOptions::flags() const {
    return (cutoutAlpha ? AM_CUTOUT_ALPHA : 0) | (cutoutUnique ? AM_CUTOUT_UNIQUE : 0) |
           (keepAlpha ? AM_KEEP_ALPHA : 0);
}

namespace {

using Field = SettingsField<AnimMasterOptions>;
const Field kFields[] = {
    {"colorkey", nullptr, nullptr, nullptr, &AnimMasterOptions::colorKey},
    {"type", &AnimMasterOptions::bufferType},
    {"cutout_u", nullptr, nullptr, &AnimMasterOptions::cutoutUnique},
    {"cutout_a", nullptr, nullptr, &AnimMasterOptions::cutoutAlpha},
    {"keep_a", nullptr, nullptr, &AnimMasterOptions::keepAlpha},
};

}  // namespace

void AnimMasterOptions::load(const SettingsStore& store) {
    *this = AnimMasterOptions{};
    loadSettingsFields(store, kAnimMasterSection, kFields, *this);
}

void AnimMasterOptions::save(SettingsStore& store) const {
    saveSettingsFields(store, kAnimMasterSection, kFields, *this);
}

std::string animMasterKeyText(uint32_t key) {
    char buf[16];
    // "0x%08.8x": the precision alone already pads to eight digits.
    std::snprintf(buf, sizeof buf, "0x%.8x", unsigned(key));
    return buf;
}

uint32_t animMasterParseKey(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // "0x" counts as a prefix only when a hex digit follows; "0xg" reads as 0.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexValue(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && hexValue(text[i]) >= 0; ++i) {
        value = value * 16 + uint64_t(hexValue(text[i]));
        if (value > 0xFFFFFFFFull) overflow = true;
    }
    // Like "%x" into an unsigned int: too many digits saturate, a minus sign negates.
    uint32_t v = overflow ? 0xFFFFFFFFu : uint32_t(value);
    return negative ? uint32_t(0u - v) : v;
}

bool animMasterParseKeyStrict(const std::string& text, uint32_t& key) {
    size_t i = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
    const size_t digits = text.size() - i;
    if (digits < 1 || digits > 8) return false;
    uint32_t v = 0;
    for (; i < text.size(); ++i) {
        const int d = hexValue(text[i]);
        if (d < 0) return false;
        v = v * 16 + uint32_t(d);
    }
    key = v;
    return true;
}

uint32_t animMasterKeyFromColour(uint32_t colourRef) {
    return ((colourRef & 0xFFu) << 16) | (colourRef & 0xFF00u) | ((colourRef >> 16) & 0xFFu);
}

int animMasterOptimize(FrameSequence& seq, int bufferType, uint32_t key, int flags,
                       Progress* progress) {
    const int n = seq.count();
    if (n < 1) return AM_NO_FRAMES;
    const bool keepAlpha = (flags & AM_KEEP_ALPHA) != 0;
    const bool unique = (flags & AM_CUTOUT_UNIQUE) != 0 && n > 1;
    const bool zeroAlpha = (flags & AM_CUTOUT_ALPHA) != 0;
    const bool difference = bufferType >= AM_BUFFER_SINGLE && bufferType <= AM_BUFFER_UNI;

    std::vector<Pixels> frames(static_cast<size_t>(n));
    // Pass 1 looks only where every frame has a pixel.
    int commonW = 0, commonH = 0;
    for (int j = 0; j < n; ++j) {
        frames[size_t(j)] = pixelsOf(seq.frameAt(j));
        commonW = j == 0 ? frames[0].w : std::min(commonW, frames[size_t(j)].w);
        commonH = j == 0 ? frames[0].h : std::min(commonH, frames[size_t(j)].h);
    }

    if (progress) {
        const int total = (unique ? commonH : 0) + (zeroAlpha ? n : 0) + (difference ? n - 1 : 0);
        progress->begin(total);
    }

    // Pass 1: a pixel word identical in all frames becomes the key in all frames but the first.
    if (unique) {
        for (int y = 0; y < commonH; ++y) {
            const uint32_t* first = frames[0].p + size_t(y) * size_t(frames[0].w);
            for (int x = 0; x < commonW; ++x) {
                const uint32_t v = first[x];
                bool all = true;
                for (int j = 1; j < n && all; ++j) {
                    const Pixels& f = frames[size_t(j)];
                    all = f.p[size_t(y) * size_t(f.w) + size_t(x)] == v;
                }
                if (!all) continue;
                const uint32_t keyed = keepAlpha ? key | (v & kAlpha) : key;
                for (int j = 1; j < n; ++j) {
                    const Pixels& f = frames[size_t(j)];
                    f.p[size_t(y) * size_t(f.w) + size_t(x)] = keyed;
                }
            }
            if (progress) progress->step();
        }
    }

    // Pass 2: zero alpha becomes the whole key word, in every frame.
    if (zeroAlpha) {
        for (const Pixels& f : frames) {
            const size_t count = size_t(f.w) * size_t(f.h);
            for (size_t k = 0; k < count; ++k)
                if ((f.p[k] & kAlpha) == 0) f.p[k] = key;
            if (progress) progress->step();
        }
    }

    // Pass 3: from the last frame back (single and double buffer), so each reference frame is
    // still as passes 1 and 2 left it.
    switch (bufferType) {
    case AM_BUFFER_SINGLE:
        for (int j = n - 1; j >= 1; --j) {
            compareFrame(frames[size_t(j)], frames[size_t(j - 1)], key, keepAlpha);
            if (progress) progress->step();
        }
        break;
    case AM_BUFFER_DOUBLE:
        for (int j = n - 1; j >= 1; --j) {
            compareFrame(frames[size_t(j)], frames[size_t(j >= 2 ? j - 2 : 0)], key, keepAlpha);
            if (progress) progress->step();
        }
        break;
    case AM_BUFFER_UNI:
        for (int j = 1; j < n; ++j) {
            compareFrame(frames[size_t(j)], frames[0], key, keepAlpha);
            if (progress) progress->step();
        }
        break;
    default: break;
    }
    if (progress) progress->end();
    return difference ? AM_OK : AM_NO_DIFFERENCE;
}
