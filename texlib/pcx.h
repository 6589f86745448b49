// PCX: probe and body reader (8-bit with a 256-colour palette, 24 and 32-bit planar, 1-bit mono
// and 16-colour planar), and the 8-bit run-length writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "texlib/read.h"

bool pcxProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool pcxBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

enum TxPcxWriteResult {
    TX_PCX_OK = 0,
    TX_PCX_CANNOT_CREATE = 1,
    TX_PCX_WRITE_ERROR = 2,
    TX_PCX_NO_MEMORY = 3,
    TX_PCX_NO_IMAGE = 4,
    TX_PCX_TOO_LARGE = 5,  // sides beyond the 16-bit header fields
};

// Writes an 8-bit run-length PCX from argb8888 texels (top row first), reduced to 256 colours by
// median cut without dithering.
int txWritePCX(const std::string& path, int width, int height, const uint32_t* texels,
               std::string* error = nullptr);
// Writes an 8-bit PCX from palette indices and 256 palette words 0x00RRGGBB.
int txWritePCXIndexed(const std::string& path, int width, int height, const uint8_t* indices,
                      const uint32_t* palette, std::string* error = nullptr);

// Run-length encodes one line of PCX bytes; `out` holds at least 2 x n bytes. Returns the bytes
// produced.
size_t txPcxEncodeLine(const uint8_t* line, size_t n, uint8_t* out);
