// Writing one frame in one of the writable file types, and the settings those writers share.
#pragma once

#include <cstdint>
#include <string>

#include "model/frame_sequence.h"
#include "texlib/bmp.h"
#include "texlib/tga.h"

// How the writers write, passed with each write: the TGA compression mode the preferences choose
// (TX_TGA_NONE, TX_TGA_RLE or TX_TGA_RLE_ROWS) and the BMP depth: 24 (true colour), 8 (palette
// made from the image) or 9 (8-bit with the fixed palette below, chosen in the palette options,
// as 0x00RRGGBB words).
struct WriteOptions {
    int tgaCompression = TX_TGA_RLE;
    int bmpDepth = TX_BMP_DEPTH_24;
    uint32_t fixedPalette[256] = {};
};

// True for the types that have a writer: 258 BMP, 260 PCX, 265 PNG, 512 TGA, 514 SPR.
bool isWritableType(TxFileType fileType);
// The writable type a file name's extension names (any case): TGA, PNG, BMP, PCX or SPR; unknown
// for any other extension or none.
TxFileType writableTypeForPath(const std::string& path);
// The extension the sequence writer forces for a type ("" keeps the given one).
const char* forcedExtension(TxFileType fileType);

constexpr int FRAME_WRITE_NO_WRITER = -1;

// Writes pixels as the given type. `frameCount` is the number of frames stacked in the image
// (used by the SPR writer). 0 on success, the writer's code otherwise (FRAME_WRITE_NO_WRITER when
// the type has no writer); `error` receives the reason.
int writeImageAs(const TxMip& image, TxFileType fileType, const std::string& path, int frameCount,
                 const WriteOptions& options, std::string* error = nullptr);
int writeFrameAs(const Frame& frame, TxFileType fileType, const std::string& path, int frameCount,
                 const WriteOptions& options, std::string* error = nullptr);
