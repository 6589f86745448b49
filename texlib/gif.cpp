#include "texlib/gif.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct GifScreen {
    int width = 0, height = 0;
    int background = 0;
    bool hasGlobal = false;
    uint32_t global[256] = {};  // 0x00RRGGBB; entries the file does not give stay 0
};

struct GifImage {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    bool hasLocal = false;
    uint32_t local[256] = {};
    int transparent = -1;  // from the graphic control block that precedes the image
    int disposal = 0;
    int delayCs = 0;  // hundredths of a second, 0 when the file gives none
    int minCodeSize = 0;
    std::vector<uint8_t> data;  // the image's LZW sub-blocks joined
};

struct GifInfo {
    int frames = 0;
};

bool readTable(TxStream& s, uint32_t* table, int entries) {
    std::memset(table, 0, 256 * sizeof(uint32_t));
    for (int i = 0; i < entries; ++i) {
        uint8_t c[3];
        if (!s.readExact(c, 3)) return false;
        table[i] = (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
    }
    return true;
}

bool readScreen(TxStream& s, GifScreen& scr) {
    s.rewind();
    uint8_t h[13];
    if (!s.readExact(h, 13) || std::memcmp(h, "GIF8", 4) != 0) return false;
    scr.width = h[6] | (h[7] << 8);
    scr.height = h[8] | (h[9] << 8);
    scr.background = h[11];
    scr.hasGlobal = (h[10] & 0x80) != 0;
    if (scr.hasGlobal) return readTable(s, scr.global, 2 << (h[10] & 7));
    return true;
}

// Reads sub-blocks up to the zero-length terminator, appending them to `out` when given. False
// when the data end first.
bool readSubBlocks(TxStream& s, std::vector<uint8_t>* out) {
    for (;;) {
        const int n = s.getByte();
        if (n < 0) return false;
        if (n == 0) return true;
        if (s.remaining() < size_t(n)) {
            if (out) out->insert(out->end(), s.current(), s.current() + s.remaining());
            s.skip(s.remaining());
            return false;
        }
        if (out) out->insert(out->end(), s.current(), s.current() + n);
        s.skip(size_t(n));
    }
}

// Walks the blocks. next() returns each image with the graphic control values that apply to it;
// false when the trailer, an unknown block or the end of the data is reached. An image whose data
// are cut short is still returned (with what is there); the walk ends after it.
class GifWalker {
public:
    explicit GifWalker(TxStream& s) : s_(s) {}

    bool next(GifImage& img) {
        if (ended_) return false;
        int transparent = -1, disposal = 0, delay = 0;
        for (;;) {
            const int b = s_.getByte();
            if (b == 0x21) {
                const int label = s_.getByte();
                if (label < 0) return end();
                if (label == 0xF9) {
                    const int n = s_.getByte();
                    uint8_t g[4] = {};
                    if (n < 4 || !s_.readExact(g, 4) || !s_.skip(size_t(n - 4))) return end();
                    transparent = (g[0] & 1) ? g[3] : -1;
                    disposal = (g[0] >> 2) & 7;
                    delay = g[1] | (g[2] << 8);
                }
                if (!readSubBlocks(s_, nullptr)) return end();
            } else if (b == 0x2C) {
                uint8_t d[9];
                if (!s_.readExact(d, 9)) return end();
                img.left = d[0] | (d[1] << 8);
                img.top = d[2] | (d[3] << 8);
                img.width = d[4] | (d[5] << 8);
                img.height = d[6] | (d[7] << 8);
                img.interlaced = (d[8] & 0x40) != 0;
                img.hasLocal = (d[8] & 0x80) != 0;
                if (img.hasLocal && !readTable(s_, img.local, 2 << (d[8] & 7))) return end();
                img.transparent = transparent;
                img.disposal = disposal;
                img.delayCs = delay;
                const int m = s_.getByte();
                // Code sizes outside 1..8 cannot index a 256-colour table.
                if (m < 1 || m > 8) return end();
                img.minCodeSize = m;
                img.data.clear();
                if (!readSubBlocks(s_, &img.data)) ended_ = true;
                return true;
            } else {
                return end();  // trailer, unknown block or end of data
            }
        }
    }

private:
    bool end() {
        ended_ = true;
        return false;
    }
    TxStream& s_;
    bool ended_ = false;
};

// Row of the k-th stored row of an interlaced image: passes from rows 0, 4, 2, 1 in steps of
// 8, 8, 4, 2.
int interlacedRow(int k, int h) {
    const int pass1 = (h + 7) / 8, pass2 = (h + 3) / 8, pass3 = (h + 1) / 4;
    if (k < pass1) return k * 8;
    k -= pass1;
    if (k < pass2) return 4 + k * 8;
    k -= pass2;
    if (k < pass3) return 2 + k * 4;
    k -= pass3;
    return 1 + k * 2;
}

// Decodes the image's LZW data and draws its texels (clipped to the screen, transparent index
// left out) into `frame`. Decoding stops at the end code, at the end of the data, once every
// texel is filled, or at a code that is neither in the table nor the next one to be added.
void decodeAndDraw(const GifImage& img, const uint32_t* table, uint32_t* frame, int sw, int sh) {
    const uint64_t total = uint64_t(img.width) * uint64_t(img.height);
    if (total == 0) return;
    const int clear = 1 << img.minCodeSize, endCode = clear + 1;
    uint16_t prefix[4096];
    uint8_t suffix[4096];
    uint8_t first[4096];
    uint8_t stack[4096];
    for (int c = 0; c < clear; ++c) {
        prefix[c] = 0;
        suffix[c] = uint8_t(c);
        first[c] = uint8_t(c);
    }
    int codeSize = img.minCodeSize + 1, next = clear + 2, prev = -1;
    const uint8_t* data = img.data.data();
    const uint64_t bits = uint64_t(img.data.size()) * 8;
    uint64_t bitPos = 0;
    uint64_t n = 0;  // texels decoded
    int x = 0, row = 0;
    int y = img.interlaced ? interlacedRow(0, img.height) : 0;

    auto put = [&](uint8_t index) {
        const int sx = img.left + x, sy = img.top + y;
        if (sx < sw && sy < sh && int(index) != img.transparent)
            frame[size_t(sy) * size_t(sw) + size_t(sx)] = 0xFF000000u | table[index];
        ++n;
        if (++x == img.width) {
            x = 0;
            ++row;
            y = img.interlaced ? interlacedRow(row, img.height) : row;
        }
    };

    while (n < total) {
        if (bitPos + uint64_t(codeSize) > bits) return;
        int code = 0;
        for (int i = 0; i < codeSize; ++i, ++bitPos)
            code |= ((data[bitPos >> 3] >> (bitPos & 7)) & 1) << i;
        if (code == clear) {
            codeSize = img.minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == endCode) return;
        if (prev < 0) {
            if (code > clear) return;  // only a literal may follow a clear code
            put(uint8_t(code));
            prev = code;
            continue;
        }
        if (code > next || (code == next && next >= 4096)) return;  // not in the table
        // Unwind the string of `code` (or of prev plus its first byte for the entry being built).
        int sp = 0;
        int c = code;
        if (code == next) {
            stack[sp++] = first[prev];
            c = prev;
        }
        while (c >= clear) {
            stack[sp++] = suffix[c];
            c = prefix[c];
        }
        stack[sp++] = uint8_t(c);
        const uint8_t head = uint8_t(c);
        while (sp > 0 && n < total) put(stack[--sp]);
        if (next < 4096) {
            prefix[next] = uint16_t(prev);
            suffix[next] = head;
            first[next] = first[prev];
            ++next;
            if (next >= (1 << codeSize) && codeSize < 12) ++codeSize;
        }
        prev = code;
    }
}

void fillRect(uint32_t* frame, int sw, int sh, int left, int top, int w, int h, uint32_t value) {
    for (int y = top; y < top + h && y < sh; ++y)
        for (int x = left; x < left + w && x < sw; ++x)
            frame[size_t(y) * size_t(sw) + size_t(x)] = value;
}

void copyRect(uint32_t* dst, const uint32_t* src, int sw, int sh, int left, int top, int w, int h) {
    for (int y = top; y < top + h && y < sh; ++y)
        for (int x = left; x < left + w && x < sw; ++x) {
            const size_t i = size_t(y) * size_t(sw) + size_t(x);
            dst[i] = src[i];
        }
}

bool fail(TxReadContext& ctx, const char* msg) {
    txReportError(ctx, msg, 0);
    return false;
}

}  // namespace

bool gifProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int /*cookie*/) {
    GifScreen scr;
    s.rewind();
    // Other files start with "GI" too (GIMP palettes): only the whole signature makes a refusal
    // ours to explain.
    const bool signature = s.size() >= 6 && (std::memcmp(s.data(), "GIF87a", 6) == 0 ||
                                             std::memcmp(s.data(), "GIF89a", 6) == 0);
    if (signature) ctx.matched = 3;
    const bool screenRead = readScreen(s, scr);
    if (signature && s.size() >= 10 &&
        ((s.data()[6] | s.data()[7]) == 0 || (s.data()[8] | s.data()[9]) == 0))
        return fail(ctx, "GIF Image: width or height is 0.");
    if (!screenRead) {
        if (signature) return fail(ctx, "GIF Image: bad header.");
        txReportError("GIF Image: bad header.", 0);
        return false;
    }
    if (scr.width == 0 || scr.height == 0) return fail(ctx, "GIF Image: width or height is 0.");
    GifWalker walk(s);
    GifImage img;
    int count = 0;
    std::vector<int> delays;
    while (walk.next(img)) {
        ++count;
        delays.push_back(img.delayCs * 10);
    }
    if (count == 0) return fail(ctx, "GIF Image: no image found.");
    if (!txSizeAllowed(scr.width, int64_t(scr.height) * count))
        return fail(ctx, "GIF Image: image is too large.");
    mip.format = TX_FMT_ARGB8888;
    mip.width = scr.width;
    mip.height = scr.height * count;
    mip.depth = 1;
    mip.size = int64_t(mip.width) * mip.height * 4;
    ctx.frameCount = count;
    // A delay of 0 means "as fast as the viewer likes": no duration of the file's own.
    bool anyDelay = false;
    for (int d : delays) anyDelay |= d > 0;
    if (anyDelay) ctx.frameDelaysMs = std::move(delays);
    ctx.state = GifInfo{count};
    return true;
}

bool gifBody(TxStream& s, TxReadContext& ctx, TxMip& mip) {
    const auto* info = std::any_cast<GifInfo>(&ctx.state);
    GifScreen scr;
    if (!info || !mip.data[0] || !readScreen(s, scr)) return false;
    const int sw = scr.width, sh = scr.height, frames = info->frames;
    const size_t frameTexels = size_t(sw) * size_t(sh);
    uint32_t* out = reinterpret_cast<uint32_t*>(mip.data[0]);
    std::vector<uint32_t> saved;  // the frame before an image whose disposal restores it

    GifWalker walk(s);
    GifImage img, prevImg;
    uint32_t background = 0;
    int j = 0;
    for (; j < frames && walk.next(img); ++j) {
        uint32_t* frame = out + size_t(j) * frameTexels;
        if (j == 0) {
            // The background is transparent, in the colour of the first image's transparent
            // index, or of the screen's background index when it has none.
            const int bg = img.transparent >= 0 ? img.transparent : scr.background;
            background = scr.global[bg] & 0x00FFFFFFu;
            for (size_t i = 0; i < frameTexels; ++i) frame[i] = background;
        } else {
            // The previous image's disposal says what becomes of its area before the next one.
            std::memcpy(frame, frame - frameTexels, frameTexels * sizeof(uint32_t));
            if (prevImg.disposal == 2)
                fillRect(frame, sw, sh, prevImg.left, prevImg.top, prevImg.width, prevImg.height,
                         background);
            else if (prevImg.disposal == 3 && !saved.empty())
                copyRect(frame, saved.data(), sw, sh, prevImg.left, prevImg.top, prevImg.width,
                         prevImg.height);
        }
        if (img.disposal == 3) saved.assign(frame, frame + frameTexels);
        // A local table serves its own image only.
        decodeAndDraw(img, img.hasLocal ? img.local : scr.global, frame, sw, sh);
        std::swap(prevImg, img);
    }
    // Frames the walk did not reach repeat the last one.
    for (; j < frames; ++j) {
        uint32_t* frame = out + size_t(j) * frameTexels;
        if (j == 0)
            std::fill(frame, frame + frameTexels, 0u);
        else
            std::memcpy(frame, frame - frameTexels, frameTexels * sizeof(uint32_t));
    }
    ctx.frameCount = frames;
    return true;
}
