// GIF: still images and animations. Every image is composed over the previous frame (with its
// transparency and disposal) and the frames are stacked vertically, one logical screen each.
#pragma once

#include "texlib/read.h"

bool gifProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool gifBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
