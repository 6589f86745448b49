// BMP: probe and body reader (1, 4, 8, 16, 24 and 32 bits; uncompressed, RLE8, RLE4 and bit
// fields), and the 24-bit and 8-bit writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "texlib/read.h"

bool bmpProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool bmpBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

// The depth setting of the BMP writer.
enum TxBmpDepth {
    TX_BMP_DEPTH_8 = 8,        // 8-bit, palette made from the image by median cut
    TX_BMP_DEPTH_8_GIVEN = 9,  // 8-bit, colours mapped onto a palette the caller gives
    TX_BMP_DEPTH_24 = 24,      // 24-bit true colour
};

enum TxBmpWriteResult {
    TX_BMP_OK = 0,
    TX_BMP_NO_IMAGE = 1,  // no pixels, or depth 9 without a palette, or an unknown depth
    TX_BMP_CANNOT_CREATE = 2,
    TX_BMP_NO_MEMORY = 3,
    TX_BMP_WRITE_ERROR = 4,
    TX_BMP_TOO_LARGE = 5,  // the file size does not fit the 32-bit header field
};

// Writes a bottom-up BMP from argb8888 texels (top row first, alpha dropped). For
// TX_BMP_DEPTH_8_GIVEN, `palette` holds 256 words 0x00RRGGBB and each texel takes the index of the
// nearest entry; callers holding colours red-first (Windows COLORREF order) swap red and blue
// first.
int txWriteBMP(const std::string& path, int width, int height, const uint32_t* texels,
               int depth = TX_BMP_DEPTH_24, const uint32_t* palette = nullptr,
               std::string* error = nullptr);

// Reduces argb8888 texels to at most 256 colours: by median cut without dithering (the quantiser's
// p8 conversion), or, with `fixedPalette` (256 words 0x00RRGGBB), to the nearest of its entries.
// Fills `indices` with one index per texel and `palette` with 256 words 0x00RRGGBB. False (with
// `error` set) when out of memory.
// The 40-byte information header of an uncompressed bottom-up picture (positive height), as BMP
// files and clipboard blocks carry it; `colours` is the colour-table size (0 for none).
void txBmpInfoHeader(uint8_t* h, int width, int height, int bits, uint32_t colours);

bool txIndexImage(int width, int height, const uint32_t* texels, std::vector<uint8_t>& indices,
                  uint32_t* palette, const uint32_t* fixedPalette = nullptr,
                  std::string* error = nullptr);

// Writes an 8-bit BMP from palette indices (top row first) and 256 palette words 0x00RRGGBB.
int txWriteBMPIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, std::string* error = nullptr);
