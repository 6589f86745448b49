// Palette files: JASC-PAL and GIMP palette text, RIFF PAL, the colour table of an 8-bit Windows
// bitmap and raw 768- or 772-byte RGB tables (Adobe ACT, Quake palette lumps). The parser serves
// two callers: the application's palette loader, which shows a message for each failure, and the
// swatch probe of the reader framework (type 519), which shows a palette file as a 16x16 image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "texlib/read.h"

enum TxPaletteStatus {
    TX_PAL_OK = 0,
    TX_PAL_BAD_JASC,      // "Invalid JASC PAL data"
    TX_PAL_BAD_GIMP,      // "Invalid GIMP PAL data"
    TX_PAL_BAD_RIFF,      // "Invalid RIFF Pal data"
    TX_PAL_BAD_BMP,       // "BMP invalid header"
    TX_PAL_BAD_BMP_BITS,  // "BMP wrong bitsize, expected 8bit Pal BMP"
    TX_PAL_BAD_SIZE,      // "Wrong filesize, invalid palette file"
};

enum TxPaletteKind {
    TX_PAL_KIND_NONE = 0,
    TX_PAL_KIND_JASC,
    TX_PAL_KIND_GIMP,
    TX_PAL_KIND_RIFF,
    TX_PAL_KIND_BMP,
    TX_PAL_KIND_RAW,
};

struct TxPaletteResult {
    TxPaletteStatus status = TX_PAL_OK;
    TxPaletteKind kind = TX_PAL_KIND_NONE;
    int entries = 0;  // entries stored (also on failure: those read before it)
};

// Parses the bytes of a palette file into `entries`, each a Windows colour value (red in bits 0-7,
// green 8-15, blue 16-23; the flags byte of RIFF entries in 24-31, otherwise 0). Entries the file
// does not set are left as they are. The first four bytes choose JASC, GIMP or RIFF; otherwise a
// bitmap colour table when `asBitmap` is set (the caller decides that from the file name), else a
// raw table when the size is 768 or 772 bytes. Colour components of text palettes outside 0..255
// are clamped to that range.
TxPaletteResult txParsePalette(const uint8_t* data, size_t size, uint32_t entries[256],
                               bool asBitmap);

// The message shown for a failure status (empty text for TX_PAL_OK).
const char* txPaletteStatusText(TxPaletteStatus status);

// A Windows colour value as a 0xAARRGGBB word (red and blue exchanged, the top byte kept).
inline uint32_t txColorRefToArgb(uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

// Swatch type 519: the probe parses the file without messages (no bitmap case; any failure, even
// after some colours, rejects the file) and the body makes a 16x16 p8 image whose texel i is index
// i and whose palette is the file's table as 0xAARRGGBB words.
bool paletteProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool paletteBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
