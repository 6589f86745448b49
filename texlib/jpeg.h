// JPEG through libjpeg: probe (which decodes the whole image) and body reader.
#pragma once

#include "texlib/read.h"

bool jpegProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool jpegBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
