// Exact area-averaging resampling of argb8888 records, mipmap generation and the size rules of
// the texture export.
#pragma once

#include "texlib/mip.h"

// Scales every level of src into the matching level of dst (both argb8888; dst allocated with its
// own level-0 size and at least src's depth). Every source texel hands out exactly as many weight
// units as every destination texel collects, in integer arithmetic, so nothing drifts.
void txImageResize(TxMip& dst, const TxMip& src);

// Recomputes levels 1 to depth-1 of an argb8888 record from level 0, each by 2x2 (or pair)
// averaging of the level above. Levels whose parent is not a power of two are skipped; a level
// below a 1x1 level copies it.
void txMipGenerateMipmaps(TxMip& mip);

// Target size of the export's resampling of a w x h image. automatic: the largest powers of two
// not above the sides (at most maxSide), shaped by the forced aspect aw:ah (aw or ah <= 0 for
// none) or, with limitRatio, kept within 8:1; otherwise aw x ah is the explicit target.
void txExportResampleSize(int w, int h, bool automatic, int aw, int ah, int& outW, int& outH,
                          int maxSide = 256, bool limitRatio = true);

// Number of levels of the export's mipmaps for a w x h image (powers of two). allLevels: down to
// 1x1, or limitOrSize levels when it is 1 or more and smaller. Otherwise add a level for each
// halving of the larger side while it is above limitOrSize (taken as at least 1). At most 16.
int txExportLevelCount(int w, int h, bool allLevels, int limitOrSize);
