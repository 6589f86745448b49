// SPR: animated 8-bit sprites (one palette per frame); probe and body reader, and the writer.
#pragma once

#include <cstdint>
#include <string>

#include "texlib/read.h"

bool sprProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool sprBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

enum TxSprWriteResult {
    TX_SPR_OK = 0,
    TX_SPR_CANNOT_CREATE = 1,
    TX_SPR_WRITE_ERROR = 2,
    TX_SPR_NO_MEMORY = 3,
    TX_SPR_NO_IMAGE = 4,
    TX_SPR_BAD_FRAME_COUNT = 5,  // below 1, or not a divisor of the height
    TX_SPR_TOO_LARGE = 6,        // width, frame height or count beyond the 16-bit header fields
};

// Writes `frames` frames stacked vertically in argb8888 texels (top row first) as an SPR file, with
// one median-cut palette for the whole image repeated in every frame. A single image is frame
// count 1.
int txWriteSPR(const std::string& path, int width, int height, const uint32_t* texels, int frames,
               std::string* error = nullptr);
// The same from palette indices and 256 palette words 0x00RRGGBB.
int txWriteSPRIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, int frames, std::string* error = nullptr);
