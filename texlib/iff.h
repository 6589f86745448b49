// IFF pictures: ILBM (planar) and PBM (chunky) forms, and the first picture of an ANIM, read as
// 8-bit palette images. ByteRun1 or uncompressed bodies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "texlib/read.h"

// What the header parse found; offsets and lengths are bounded by the bytes present.
struct TxIffInfo {
    bool pbm = false;
    int width = 0, height = 0;
    int planes = 0, masking = 0, compression = 0;
    size_t cmapOffset = 0, cmapLength = 0;
    size_t bodyOffset = 0, bodyLength = 0;
};

// Failure codes of the header parse, in the order of its checks; 0 on success.
enum TxIffParseResult {
    TX_IFF_OK = 0,
    TX_IFF_NOT_FORM = 1,
    TX_IFF_BAD_FORM_TYPE = 2,
    TX_IFF_NO_BMHD = 3,
    TX_IFF_BAD_BMHD = 4,
    TX_IFF_NO_CMAP = 5,
    TX_IFF_NO_BODY = 6,
};

int txIffParse(const uint8_t* data, size_t size, TxIffInfo& info);

bool iffProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool iffBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
