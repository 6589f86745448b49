// Photoshop PSD: the merged composite of 8-bit indexed and RGB images (raw or PackBits). Layers
// are not read; their section is skipped by its length.
#pragma once

#include "texlib/read.h"

bool psdProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool psdBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
