// Conversion of argb8888 records into the texture formats, with dithering and NCC/palette tables.
#pragma once

#include "texlib/mip.h"

// Dithering mode, low four bits of the mode argument.
enum TxDither { TX_DITHER_NONE = 0, TX_DITHER_ORDERED = 1, TX_DITHER_ERR_DIFFUSION = 2 };
// NCC mode argument values (bits 4 to 7).
enum TxNccMode { TX_NCC_STATISTIC = 0, TX_NCC_HEURISTIC = 16 };

// dst must already hold a block allocated for `format` with src's width, height and depth.
void txQuantize(TxMip& dst, const TxMip& src, int format, int dither, int ncc);
