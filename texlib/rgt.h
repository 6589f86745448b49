// RGT: probe and body reader for uncompressed 32-bit RGT textures in either byte order.
#pragma once

#include "texlib/read.h"

bool rgtProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool rgtBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
