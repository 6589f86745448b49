// Conversion of argb8888 records into the texture formats, with dithering and NCC/palette tables.
#pragma once

#include <cstdint>

#include "texlib/mip.h"

// Dithering mode, low four bits of the mode argument.
enum TxDither { TX_DITHER_NONE = 0, TX_DITHER_ORDERED = 1, TX_DITHER_ERR_DIFFUSION = 2 };
// NCC mode argument values (bits 4 to 7).
enum TxNccMode { TX_NCC_STATISTIC = 0, TX_NCC_HEURISTIC = 16 };

// dst must already hold a block allocated for `format` with src's width, height and depth. src
// must be argb8888. Fills the table region for yiq, ayiq8422 (NCC table) and p8, ap88 (palette).
// Problems are reported through the library's error callback and leave dst unconverted.
void txQuantize(TxMip& dst, const TxMip& src, int format, int dither, int ncc);

// Flag of _txPixTrueToFixedPal: keep a 32x32x32 table of answers for the palette.
constexpr int TX_FIXED_PAL_CACHE = 0x100000;
// Writes one palette index per texel (smallest sum of squared channel differences) into the
// 8-bit record dst, for every level of the argb8888 record src. With TX_FIXED_PAL_CACHE texels
// are looked up in a table built once per palette content.
void _txPixTrueToFixedPal(TxMip& dst, const TxMip& src, const uint32_t* pal, int flags);

// --- Building blocks shared with the NCC tables (and handy for tests) ---

// Ordered dither matrix, indexed [y & 3][x & 3].
extern const int kTxDitherMatrix[4][4];

// Spreads the bits of |d| (d from -255 to 255) so that bit k lands on bit 3k.
uint32_t txExplode(int d);
// Distance whose order compares the bit planes of the channel differences from the top down,
// green before red before blue within a plane.
uint32_t txExplodedDistance(uint32_t a, uint32_t b);
// Index of the palette entry nearest to `colour` by exploded distance; first of equals wins.
int txNearestPaletteIndex(uint32_t colour, const uint32_t* pal, int count);

// Median cut over every level of src: fills pal (0x00RRGGBB, at most 256 entries, the rest 0),
// maps each texel to its box into dst (p8: one byte; ap88: index | alpha << 8) and returns the
// number of colours. dst must be allocated for the 1- or 2-byte format.
int txMedianCut(TxMip& dst, const TxMip& src, bool withAlpha, uint32_t pal[256]);

// Error diffusion of every level of src against `count` palette colours. Each row starts without
// carried error. Writes index bytes, or index | alpha << 8 words when withAlpha.
void txDiffusePalette(TxMip& dst, const TxMip& src, bool withAlpha, const uint32_t* pal, int count);
