// Conversion of any readable pixel format to argb8888.
#pragma once

#include "texlib/mip.h"

// Widening of an n-bit field to 8 bits by bit replication.
uint8_t txWiden(uint32_t v, int bits);
// Builds the 256-entry colour table of an NCC table (alpha 0).
void txNccPalette(const TxNccTable& ncc, uint32_t out[256]);
// Converts level `level` of src into dst (w x h words). False for formats without a conversion.
bool txConvertLevelToArgb8888(const TxMip& src, int level, uint32_t* dst);
