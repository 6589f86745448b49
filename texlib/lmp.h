// LMP lumps (raw 8-bit with a width/height prefix, or a bare 768-byte palette), GIMP brushes,
// patterns and animated brushes, and the recognised-but-unreadable Windows icon.
#pragma once

#include "texlib/read.h"

bool lmpProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool lmpBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
bool gbrProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool gbrBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
bool gihProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool gihBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
bool icoProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
