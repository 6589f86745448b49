// PNG through libpng: probe and body reader for every colour type and bit depth (interlaced
// included), and the 8-bit RGBA writer.
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

// Writes argb8888 texels (top row first) as an 8-bit RGBA PNG without row filtering. The texels
// are not modified.
int txWritePNG(const std::string& path, int width, int height, const uint32_t* texels,
               std::string* error = nullptr);
