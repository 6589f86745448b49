// PNG: probe and body reader for every colour type and bit depth (interlaced included), the common
// layouts read directly with libdeflate and the rest through libpng, and the writer (8-bit RGBA, or
// a palette for pictures of few colours).
#pragma once

#include <cstdint>
#include <string>

#include "texlib/read.h"

bool pngProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool pngBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

enum TxPngWriteResult {
    TX_PNG_OK = 0,
    TX_PNG_CANNOT_CREATE = 1,
    TX_PNG_NO_WRITE_STRUCT = 2,
    TX_PNG_NO_INFO_STRUCT = 3,
    TX_PNG_NO_IMAGE = 4,
    TX_PNG_WRITE_ERROR = 5,  // libpng reported an error or a write failed
};

// Writes argb8888 texels (top row first) as an 8-bit RGBA PNG. Every row gets the same filter,
// the one of None, Sub and Up that compresses a sample of the picture best (Sub for photo-like
// pictures, None or Up for flat sprite art). A picture of at most 256 colours (alpha included),
// with at least eight pixels a colour, is written as a palette image instead (1, 2, 4 or 8 bits an
// index, alpha in the transparency chunk, rows unfiltered), which reads back to the same texels.
// The texels are not modified.
int txWritePNG(const std::string& path, int width, int height, const uint32_t* texels,
               std::string* error = nullptr);

// Row filter types of PNG.
enum TxPngFilter { TX_PNG_FILTER_NONE = 0, TX_PNG_FILTER_SUB = 1, TX_PNG_FILTER_UP = 2 };
// The filter txWritePNG would choose for these texels.
int txPngChooseFilter(int width, int height, const uint32_t* texels);

// Sends every read through libpng, which otherwise judges only the files the direct reader does
// not take on; for tests and benchmarks that compare the two.
void txPngUseLibpngOnly(bool on);
