// The texture record: one pixel format, up to sixteen levels in one owned block, and a 256-word
// table that holds a palette or an NCC table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

enum TxFormat : int32_t {
    TX_FMT_RGB332 = 0,
    TX_FMT_YIQ = 1,
    TX_FMT_A8 = 2,
    TX_FMT_I8 = 3,
    TX_FMT_AI44 = 4,
    TX_FMT_P8 = 5,
    TX_FMT_RSVD1 = 6,
    TX_FMT_RSVD2 = 7,
    TX_FMT_ARGB8332 = 8,
    TX_FMT_AYIQ8422 = 9,
    TX_FMT_RGB565 = 10,
    TX_FMT_ARGB1555 = 11,
    TX_FMT_ARGB4444 = 12,
    TX_FMT_AI88 = 13,
    TX_FMT_AP88 = 14,
    TX_FMT_RSVD4 = 15,
    TX_FMT_ARGB8888 = 16,
    TX_FMT_RGB888 = 17,
};

constexpr int TX_MAX_LEVELS = 16;
// Limits every reader and allocator enforces, so hostile headers cannot ask for absurd memory.
constexpr int64_t TX_MAX_SIDE = 32768;
constexpr int64_t TX_MAX_PIXEL_BYTES = int64_t(1) << 30;

// Rectangle in texels; right and bottom are exclusive.
struct TxRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const TxRect&) const = default;
};

// YIQ table laid over the first 40 words of a record's table region.
struct TxNccTable {
    int32_t y[16];
    int32_t i[4][3];
    int32_t q[4][3];
};

struct TxMip {
    int32_t format = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    int64_t size = 0;  // bytes of all levels; 64 bits so header arithmetic cannot wrap
    uint8_t* data[TX_MAX_LEVELS] = {};
    uint32_t pal[256] = {};

    TxMip() = default;
    ~TxMip();
    TxMip(const TxMip&) = delete;
    TxMip& operator=(const TxMip&) = delete;
    // Moving passes ownership of the block, as copying the header with the pointer does in C.
    TxMip(TxMip&& other) noexcept;
    TxMip& operator=(TxMip&& other) noexcept;
};

int txBytesPerTexel(int format);
// Name as written in 3DF headers; nullptr for codes without a name (17 and out of range).
const char* txFormatName(int format);
// Code for a 3DF header name, or -1.
int txFormatFromName(const char* name);

// Size in bytes of `depth` levels of a w x h texture, or -1 when the values are invalid or the
// block would exceed the allocation limits.
int64_t txMipLevelBytes(int format, int64_t width, int64_t height, int depth);
// True when w x h is within the limits every reader enforces.
bool txSizeAllowed(int64_t width, int64_t height);
// Why a picture of width x height is refused, naming the limit it passes ("" when allowed).
std::string txSizeRefusal(int64_t width, int64_t height);
// Width and height of level `level` of a record.
void txMipLevelSize(const TxMip& mip, int level, int& w, int& h);
// The texels of level `level` as words of type T (const uint32_t for an argb8888 level, uint8_t
// or uint16_t for the 8- and 16-bit formats), row after row; `w` and `h` receive its size.
template <class T = const uint32_t>
std::span<T> txMipLevelTexels(const TxMip& mip, int level, int& w, int& h) {
    txMipLevelSize(mip, level, w, h);
    return {reinterpret_cast<T*>(mip.data[level]), size_t(w) * size_t(h)};
}

void txMipClear(TxMip& mip);
bool txMipAllocLevels(TxMip& mip);
// Asks for 2 MiB pages over the whole 2 MiB pages of a fresh block of `bytes`.
void txAdviseHugePages(void* block, size_t bytes);
bool txMipInit(TxMip& mip, int width, int height, int depth, int format);
void txMipFree(TxMip& mip);
void txMipFill(TxMip& mip, uint8_t value);
// Sets data[1..depth-1] from data[0] following the level geometry; entries beyond depth null.
void txMipSetupLevels(TxMip& mip);
// Takes ownership of a malloc'ed block for the record's current header.
void txMipAdoptBlock(TxMip& mip, uint8_t* block, int64_t size);

std::unique_ptr<TxMip> txMipConvertedCopy(const TxMip& mip, int format);
void txMipAssign(TxMip& dst, const TxMip& src);
void txMipMirror(TxMip& mip, const TxRect* rect = nullptr);
void txMipFlip(TxMip& mip, const TxRect* rect = nullptr);

int txLargestPowerOfTwo(int n);
bool txIsPowerOfTwo(int n);
int txAspectCode(int w, int h);
const char* txAspectText(int code);
// 8 - log2(side) for sides 1..256, -1 otherwise.
int txLodCode(int side);

TxNccTable txNccFromPal(const uint32_t* pal);
void txNccToPal(const TxNccTable& ncc, uint32_t* pal);
