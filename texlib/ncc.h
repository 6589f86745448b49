// Narrow channel compression: the YIQ 4:2:2 tables of the yiq and ayiq8422 formats, computed from
// the image's statistics or by an iterative heuristic, and the mapping of texels onto them.
#pragma once

#include <cstdint>

#include "texlib/mip.h"

// Ranges found by the statistic table (texels at the outer 1% of each histogram are ignored).
struct TxNccRanges {
    int yMin = 0, yMax = 255, iMin = 0, iMax = 255, qMin = 0, qMax = 255;
};

// Ranges and table of the statistic method over every level of the argb8888 record src.
TxNccRanges txNccStatisticRanges(const TxMip& src);
TxNccTable txNccStatisticTable(const TxNccRanges& r);

// Both fill dst (allocated for `format`, yiq or ayiq8422, with src's geometry) and write the
// table to the start of dst's table region. Called by txQuantize.
void txNccStatistic(TxMip& dst, const TxMip& src, int format, int dither);
void txNccHeuristic(TxMip& dst, const TxMip& src, int format, int dither);

// Seed of the heuristic's shuffle: fixed, so the same image always gives the same table.
constexpr uint32_t TX_NCC_SHUFFLE_SEED = 0x3DF11u;
