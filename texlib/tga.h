// TGA: probe and body reader for colour-mapped, true-colour and mono images (raw or run-length),
// and the 32-bit writer with its three compression modes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "texlib/read.h"

bool tgaProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool tgaBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

enum TxTgaCompression { TX_TGA_NONE = 0, TX_TGA_RLE = 1, TX_TGA_RLE_ROWS = 2 };

// Result codes of the writer.
enum TxTgaWriteResult {
    TX_TGA_OK = 0,
    TX_TGA_CANNOT_CREATE = 1,
    TX_TGA_WRITE_ERROR = 2,
    TX_TGA_TOO_LARGE = 3,  // sides above 65535 do not fit the 16-bit header fields
};

// Writes a 32-bit top-down TGA from argb8888 texels in one of the compression modes (the
// preferences' default is TX_TGA_RLE). Written through a temporary file.
int txWriteTGA(const std::string& path, int width, int height, const uint32_t* texels,
               int mode = TX_TGA_RLE, std::string* error = nullptr);

// Worst-case encoded size of n texels.
size_t txTGARleBound(size_t texels);
// Run-length encodes n 4-byte pixels into out (at least txTGARleBound(n) bytes); returns bytes.
size_t txEncodeTGARle(const uint32_t* px, size_t n, uint8_t* out);
