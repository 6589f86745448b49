#include "texlib/dib.h"

#include <cstring>

#include "texlib/bmp.h"
#include "texlib/bytes.h"

namespace {

bool refuse(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

// Bytes of one row of `width` pixels at `bits` per pixel, padded to a multiple of 4.
size_t dibStride(int64_t width, int bits) { return size_t((width * bits + 31) / 32 * 4); }

}  // namespace

std::vector<uint8_t> txDibWrite(int width, int height, const uint32_t* texels, int bits) {
    if (!texels || width <= 0 || height <= 0 || !txSizeAllowed(width, height)) return {};
    if (bits != 24 && bits != 32) return {};
    const size_t stride = dibStride(width, bits);
    std::vector<uint8_t> block(TX_DIB_HEADER_SIZE + stride * size_t(height), 0);
    txBmpInfoHeader(block.data(), width, height, bits, 0);  // positive height: bottom row first
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = texels + size_t(height - 1 - y) * size_t(width);
        uint8_t* dst = block.data() + TX_DIB_HEADER_SIZE + size_t(y) * stride;
        if (bits == 32) {
            for (int x = 0; x < width; ++x) putLe32(dst + 4 * x, src[x]);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const uint32_t p = src[x];
            dst[3 * x] = uint8_t(p);
            dst[3 * x + 1] = uint8_t(p >> 8);
            dst[3 * x + 2] = uint8_t(p >> 16);
        }
    }
    return block;
}

std::vector<uint8_t> txDibToBmpFile(const std::vector<uint8_t>& block) {
    if (block.size() < TX_DIB_HEADER_SIZE || block.size() > 0xFFFFFFFFu - 14) return {};
    const uint32_t headerSize = getLe32(block.data());
    const int bits = getLe16(block.data() + 14);
    uint64_t colours = getLe32(block.data() + 32);
    if (colours == 0 && bits >= 1 && bits <= 8) colours = uint64_t(1) << bits;
    const uint64_t offset = uint64_t(headerSize) + 4 * colours;
    if (headerSize < TX_DIB_HEADER_SIZE || offset > block.size()) return {};
    std::vector<uint8_t> file(14 + block.size());
    file[0] = 'B';
    file[1] = 'M';
    putLe32(file.data() + 2, uint32_t(file.size()));
    putLe32(file.data() + 10, uint32_t(14 + offset));
    std::memcpy(file.data() + 14, block.data(), block.size());
    return file;
}

bool txDibInfo(const uint8_t* block, size_t size, TxDibInfo& info, std::string* error) {
    info = TxDibInfo{};
    if (!block || size < TX_DIB_HEADER_SIZE) return refuse(error, "Clipboard picture: no header.");
    const uint32_t headerSize = getLe32(block);
    // 40 is the information header; 52 to 124 its later versions. The 12-byte core header has
    // 16-bit fields and is not a clipboard picture.
    if (headerSize < TX_DIB_HEADER_SIZE || headerSize > 124 || headerSize > size)
        return refuse(error, "Clipboard picture: bad header size.");
    const int32_t width = int32_t(getLe32(block + 4));
    const int32_t height = int32_t(getLe32(block + 8));
    const int bits = getLe16(block + 14);
    const uint32_t compression = getLe32(block + 16);
    const uint32_t coloursUsed = getLe32(block + 32);
    if (compression != 0) return refuse(error, "Clipboard picture: compressed.");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return refuse(error, "Clipboard picture: unsupported bits per pixel.");
    if (height < 0) return refuse(error, "Clipboard picture: top-down rows.");
    if (width < 0) return refuse(error, "Clipboard picture: negative width.");
    if (width > TX_DIB_MAX_SIDE || height > TX_DIB_MAX_SIDE)
        return refuse(error, "Clipboard picture: larger than 2048 pixels.");
    // A picture without pixels cannot become a frame.
    if (width == 0 || height == 0) return refuse(error, "Clipboard picture: no pixels.");

    uint64_t colours = coloursUsed;
    if (bits <= 8) {
        const uint64_t most = uint64_t(1) << bits;
        if (colours > most) return refuse(error, "Clipboard picture: too many colours.");
        if (colours == 0) colours = most;
    }
    const uint64_t pixelOffset = uint64_t(headerSize) + 4 * colours;
    if (pixelOffset > size) return refuse(error, "Clipboard picture: colour table cut short.");
    const size_t stride = dibStride(width, bits);
    if (uint64_t(stride) * uint64_t(height) > size - pixelOffset)
        return refuse(error, "Clipboard picture: rows cut short.");

    info.width = width;
    info.height = height;
    info.bits = bits;
    info.headerSize = headerSize;
    info.colours = uint32_t(colours);
    info.pixelOffset = size_t(pixelOffset);
    info.stride = stride;
    return true;
}

bool txDibRead(const uint8_t* block, size_t size, TxMip& mip, std::string* error) {
    txMipFree(mip);
    TxDibInfo info;
    if (!txDibInfo(block, size, info, error)) return false;
    if (!txMipInit(mip, info.width, info.height, 1, TX_FMT_ARGB8888))
        return refuse(error, "Clipboard picture: out of memory.");

    // Colour table as opaque words; indices beyond it take entry 0 (or black without a table).
    uint32_t table[256] = {};
    const uint32_t entries = info.bits <= 8 ? info.colours : 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* e = block + info.headerSize + 4 * size_t(i);
        table[i] = 0xFF000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
    }
    for (uint32_t i = entries; i < 256; ++i) table[i] = table[0] | 0xFF000000u;

    uint32_t* out = reinterpret_cast<uint32_t*>(mip.data[0]);
    const int w = info.width;
    bool anyAlpha = false;
    for (int r = 0; r < info.height; ++r) {
        const uint8_t* src = block + info.pixelOffset + size_t(r) * info.stride;
        uint32_t* dst = out + size_t(info.height - 1 - r) * size_t(w);
        switch (info.bits) {
        case 1:
            for (int x = 0; x < w; ++x) dst[x] = table[(src[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        case 4:
            for (int x = 0; x < w; ++x)
                dst[x] = table[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)];
            break;
        case 8:
            for (int x = 0; x < w; ++x) dst[x] = table[src[x]];
            break;
        case 16:
            // 5 bits each of blue (0-4), green (5-9) and red (10-14), widened by bit replication.
            for (int x = 0; x < w; ++x) {
                const uint32_t p = getLe16(src + 2 * x);
                const uint32_t b = p & 31, g = (p >> 5) & 31, red = (p >> 10) & 31;
                dst[x] = 0xFF000000u | (((red << 3) | (red >> 2)) << 16) |
                         (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
            }
            break;
        case 24:
            for (int x = 0; x < w; ++x)
                dst[x] = 0xFF000000u | (uint32_t(src[3 * x + 2]) << 16) |
                         (uint32_t(src[3 * x + 1]) << 8) | src[3 * x];
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                dst[x] = getLe32(src + 4 * x);
                anyAlpha |= (dst[x] >> 24) != 0;
            }
            break;
        }
    }
    if (info.bits == 32 && !anyAlpha) {
        const size_t n = size_t(w) * size_t(info.height);
        for (size_t i = 0; i < n; ++i) out[i] |= 0xFF000000u;
    }
    return true;
}
