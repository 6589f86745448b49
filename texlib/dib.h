// The clipboard picture block (CF_DIB): a bitmap information header, an optional colour table and
// the rows, laid out as a BMP file holds them after its 14-byte file header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "texlib/mip.h"

// Clipboard pictures wider or higher than this are not taken.
constexpr int TX_DIB_MAX_SIDE = 2048;
constexpr size_t TX_DIB_HEADER_SIZE = 40;

// What a block's header says, once it has been checked against the block.
struct TxDibInfo {
    int width = 0;
    int height = 0;
    int bits = 0;
    uint32_t headerSize = 0;
    uint32_t colours = 0;    // colour table entries the block holds
    size_t pixelOffset = 0;  // first byte of the bottom row
    size_t stride = 0;       // bytes of one row with its padding
};

// The 24-bit block of width x height argb8888 texels (top row first): a 40-byte header, then the
// rows bottom row first, blue, green, red per pixel (alpha dropped), each padded with zero bytes
// to a multiple of 4. With `bits` 32 every pixel keeps its alpha as the fourth byte. Empty when
// there are no texels, `bits` is neither, or the size is beyond the reader limits.
std::vector<uint8_t> txDibWrite(int width, int height, const uint32_t* texels, int bits = 24);

// The block behind a 14-byte BMP file header, as image/bmp carries it; empty for a block whose
// header size or colour table does not fit it.
std::vector<uint8_t> txDibToBmpFile(const std::vector<uint8_t>& block);

// Checks a block before anything of it is decoded: a header of 40 to 124 bytes inside the block,
// uncompressed, 1, 4, 8, 16, 24 or 32 bits, sides 1 to TX_DIB_MAX_SIDE (a negative, top-down
// height is refused), a colour table of at most 2^bits entries (1 to 8 bits) that fits the
// block, and every row present. False with the reason in `error`.
bool txDibInfo(const uint8_t* block, size_t size, TxDibInfo& info, std::string* error = nullptr);

// Decodes a checked block into an argb8888 record, top row first. Pixels of 1 to 24 bits are
// opaque; indices beyond the colour table take entry 0. In 32-bit pixels the fourth byte is the
// alpha, except that a picture whose fourth bytes are all 0 (the byte the format leaves unused)
// reads opaque. False (record left empty) when the block is refused or memory runs out.
bool txDibRead(const uint8_t* block, size_t size, TxMip& mip, std::string* error = nullptr);
