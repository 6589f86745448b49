#include "texlib/mip.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "texlib/convert.h"
#include "texlib/quantize.h"

namespace {

const char* const kFormatNames[17] = {
    "rgb332",   "yiq",    "a8",       "i8",       "ai44", "p8",   "rsvd1", "rsvd2",    "argb8332",
    "ayiq8422", "rgb565", "argb1555", "argb4444", "ai88", "ap88", "rsvd4", "argb8888",
};

void moveFrom(TxMip& to, TxMip& from) {
    to.format = from.format;
    to.width = from.width;
    to.height = from.height;
    to.depth = from.depth;
    to.size = from.size;
    std::memcpy(to.data, from.data, sizeof to.data);
    std::memcpy(to.pal, from.pal, sizeof to.pal);
    txMipClear(from);
}

}  // namespace

// A picture of a few MiB is faulted in 2 MiB pages where the kernel allows it: a 16 MiB image
// then costs eight page faults instead of four thousand (some 13% of a 2048 x 2048 PNG to TGA
// conversion). Far larger blocks are left to small pages: there the kernel's compaction and
// clearing of huge pages cost more than the faults they save (a third more at 8192 x 8192).
void txAdviseHugePages(void* block, size_t bytes) {
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes < 2 * kHuge || bytes > 32 * kHuge) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

TxMip::~TxMip() { txMipFree(*this); }

TxMip::TxMip(TxMip&& other) noexcept { moveFrom(*this, other); }

TxMip& TxMip::operator=(TxMip&& other) noexcept {
    if (this != &other) {
        txMipFree(*this);
        moveFrom(*this, other);
    }
    return *this;
}

int txBytesPerTexel(int format) {
    if (format >= 0 && format <= 7) return 1;
    if (format >= 8 && format <= 15) return 2;
    if (format == TX_FMT_RGB888) return 3;
    return 4;
}

const char* txFormatName(int format) {
    return (format >= 0 && format <= 16) ? kFormatNames[format] : nullptr;
}

int txFormatFromName(const char* name) {
    if (!name) return -1;
    for (int k = 0; k <= 16; ++k)
        if (std::strcmp(name, kFormatNames[k]) == 0) return k;
    return -1;
}

bool txSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= TX_MAX_SIDE && height <= TX_MAX_SIDE &&
           width * height * 4 <= TX_MAX_PIXEL_BYTES;
}

std::string txSizeRefusal(int64_t width, int64_t height) {
    if (txSizeAllowed(width, height)) return "";
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0) return size + " has no pixels";
    if (width > TX_MAX_SIDE || height > TX_MAX_SIDE)
        return size + " is over the limit of " + std::to_string(TX_MAX_SIDE) + " pixels a side";
    return size + " is over the limit of 1 GiB of pixels (" +
           std::to_string(TX_MAX_PIXEL_BYTES / 4) + " pixels, e.g. 16384 x 16384)";
}

int64_t txMipLevelBytes(int format, int64_t width, int64_t height, int depth) {
    if (!txSizeAllowed(width, height) || depth < 1 || depth > TX_MAX_LEVELS) return -1;
    int64_t texels = 0;
    for (int i = 0; i < depth; ++i) {
        texels += width * height;
        if (width >= 2) width /= 2;
        if (height >= 2) height /= 2;
    }
    return texels * txBytesPerTexel(format);
}

void txMipLevelSize(const TxMip& mip, int level, int& w, int& h) {
    w = mip.width;
    h = mip.height;
    for (int i = 0; i < level; ++i) {
        if (w >= 2) w /= 2;
        if (h >= 2) h /= 2;
    }
}

void txMipClear(TxMip& mip) {
    mip.format = mip.width = mip.height = mip.depth = 0;
    mip.size = 0;
    for (auto& p : mip.data) p = nullptr;
}

void txMipSetupLevels(TxMip& mip) {
    uint8_t* p = mip.data[0];
    int64_t w = mip.width, h = mip.height;
    const int bpt = txBytesPerTexel(mip.format);
    for (int i = 0; i < TX_MAX_LEVELS; ++i) {
        if (i < mip.depth && p) {
            mip.data[i] = p;
            p += w * h * bpt;
            if (w >= 2) w /= 2;
            if (h >= 2) h /= 2;
        } else {
            mip.data[i] = nullptr;
        }
    }
}

bool txMipAllocLevels(TxMip& mip) {
    for (auto& p : mip.data) p = nullptr;
    const int64_t bytes = txMipLevelBytes(mip.format, mip.width, mip.height, mip.depth);
    mip.size = bytes < 0 ? 0 : bytes;
    if (bytes <= 0) return false;
    // Zeroed so that a reader that fills less than the whole image never exposes old heap bytes.
    auto* block = static_cast<uint8_t*>(std::calloc(size_t(bytes), 1));
    if (!block) return false;
    txAdviseHugePages(block, size_t(bytes));
    mip.data[0] = block;
    txMipSetupLevels(mip);
    return true;
}

void txMipAdoptBlock(TxMip& mip, uint8_t* block, int64_t size) {
    std::free(mip.data[0]);
    mip.data[0] = block;
    mip.size = size;
    txMipSetupLevels(mip);
}

bool txMipInit(TxMip& mip, int width, int height, int depth, int format) {
    txMipFree(mip);
    mip.width = width;
    mip.height = height;
    mip.depth = depth;
    mip.format = format;
    if (!txMipAllocLevels(mip)) {
        mip.format = mip.width = mip.height = mip.depth = 0;
        return false;
    }
    return true;
}

void txMipFree(TxMip& mip) {
    std::free(mip.data[0]);
    txMipClear(mip);
}

void txMipFill(TxMip& mip, uint8_t value) {
    if (mip.data[0] && mip.size > 0) std::memset(mip.data[0], value, size_t(mip.size));
}

std::unique_ptr<TxMip> txMipConvertedCopy(const TxMip& mip, int format) {
    // A missing block, not format 0 (which is rgb332), marks a cleared record.
    if (!mip.data[0] || mip.size <= 0) return nullptr;
    auto out = std::make_unique<TxMip>();
    out->format = format;
    out->width = mip.width;
    out->height = mip.height;
    out->depth = mip.depth;
    if (!txMipAllocLevels(*out)) return nullptr;
    if (mip.format == TX_FMT_ARGB8888) {
        txQuantize(*out, mip, format, TX_DITHER_NONE, TX_NCC_STATISTIC);
        return out;
    }
    // Other sources go through argb8888 first; the quantiser only reads 32-bit texels.
    TxMip wide;
    txMipAssign(wide, mip);
    if (!wide.data[0]) return nullptr;
    txQuantize(*out, wide, format, TX_DITHER_NONE, TX_NCC_STATISTIC);
    return out;
}

void txMipAssign(TxMip& dst, const TxMip& src) {
    if (&dst == &src) return;
    txMipFree(dst);
    dst.format = TX_FMT_ARGB8888;
    dst.width = src.width;
    dst.height = src.height;
    dst.depth = src.depth;
    if (!src.data[0] || !txMipAllocLevels(dst)) {
        txMipClear(dst);
        return;
    }
    if (src.format == TX_FMT_ARGB8888) {
        std::memcpy(dst.data[0], src.data[0], size_t(dst.size));
        return;
    }
    for (int level = 0; level < dst.depth; ++level) {
        if (!txConvertLevelToArgb8888(src, level, reinterpret_cast<uint32_t*>(dst.data[level]))) {
            txMipFree(dst);
            return;
        }
    }
}

namespace {

template <typename T>
void mirrorRows(uint8_t* base, int width, int left, int right, int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
        T* row = reinterpret_cast<T*>(base) + size_t(y) * size_t(width);
        T* a = row + left;
        T* b = row + right - 1;
        while (a < b) std::swap(*a++, *b--);
    }
}

struct Rgb {
    uint8_t c[3];
};

bool clipRect(const TxMip& mip, const TxRect* rect, TxRect& out) {
    out = rect ? *rect : TxRect{0, 0, mip.width, mip.height};
    if (out.left < 0) out.left = 0;
    if (out.top < 0) out.top = 0;
    if (out.right > mip.width) out.right = mip.width;
    if (out.bottom > mip.height) out.bottom = mip.height;
    return !out.empty();
}

}  // namespace

void txMipMirror(TxMip& mip, const TxRect* rect) {
    TxRect r;
    if (mip.width < 2 || !mip.data[0] || !clipRect(mip, rect, r)) return;
    switch (txBytesPerTexel(mip.format)) {
    case 1: mirrorRows<uint8_t>(mip.data[0], mip.width, r.left, r.right, r.top, r.bottom); break;
    case 2: mirrorRows<uint16_t>(mip.data[0], mip.width, r.left, r.right, r.top, r.bottom); break;
    case 3: mirrorRows<Rgb>(mip.data[0], mip.width, r.left, r.right, r.top, r.bottom); break;
    default: mirrorRows<uint32_t>(mip.data[0], mip.width, r.left, r.right, r.top, r.bottom);
    }
}

void txMipFlip(TxMip& mip, const TxRect* rect) {
    TxRect r;
    if (mip.height < 2 || !mip.data[0] || !clipRect(mip, rect, r)) return;
    const size_t bpt = size_t(txBytesPerTexel(mip.format));
    const size_t pitch = size_t(mip.width) * bpt;
    const size_t len = size_t(r.width()) * bpt;
    std::vector<uint8_t> tmp(len);
    const int rows = r.height() / 2;
    for (int k = 0; k < rows; ++k) {
        uint8_t* a = mip.data[0] + size_t(r.top + k) * pitch + size_t(r.left) * bpt;
        uint8_t* b = mip.data[0] + size_t(r.bottom - 1 - k) * pitch + size_t(r.left) * bpt;
        std::memcpy(tmp.data(), a, len);
        std::memcpy(a, b, len);
        std::memcpy(b, tmp.data(), len);
    }
}

bool txIsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int txLargestPowerOfTwo(int n) {
    if (n < 1) return 0;
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

int txAspectCode(int w, int h) {
    if (w <= 0 || h <= 0) return 0;
    int key = (w < h) ? ((h / w) | 16) : (16 * (w / h) + 1);
    if (key <= 16 || key >= 130) return 0;
    switch (key) {
    case 17: return 3;
    case 18: return 4;
    case 20: return 5;
    case 24: return 6;
    case 33: return 2;
    case 65: return 1;
    default: return 0;
    }
}

const char* txAspectText(int code) {
    static const char* const kText[7] = {"8 1", "4 1", "2 1", "1 1", "1 2", "1 4", "1 8"};
    return (code >= 0 && code <= 6) ? kText[code] : nullptr;
}

int txLodCode(int side) {
    if (!txIsPowerOfTwo(side) || side > 256) return -1;
    int lg = 0;
    while ((1 << lg) < side) ++lg;
    return 8 - lg;
}

TxNccTable txNccFromPal(const uint32_t* pal) {
    TxNccTable t;
    static_assert(sizeof(TxNccTable) == 40 * 4);
    std::memcpy(&t, pal, sizeof t);
    return t;
}

void txNccToPal(const TxNccTable& ncc, uint32_t* pal) { std::memcpy(pal, &ncc, sizeof ncc); }
