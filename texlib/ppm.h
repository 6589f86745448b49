// PPM: probe and body reader for binary greyscale ("P5") and colour ("P6") files with a maximum
// of 255.
#pragma once

#include "texlib/read.h"

bool ppmProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool ppmBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
