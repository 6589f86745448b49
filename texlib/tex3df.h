// Hardware texture export (3DF with its text header, TEX with its binary header, bare data, or the
// DDS and KTX2 containers) and the 3DF and TEX readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "texlib/read.h"

enum TxExportOutput {
    TX_OUTPUT_RAW = 0,
    TX_OUTPUT_3DF = 1,
    TX_OUTPUT_TEX = 2,
    TX_OUTPUT_DDS = 3,
    TX_OUTPUT_KTX2 = 4,
};

// Largest side of a DDS or KTX2 export (3DF and TEX keep their own limits).
constexpr int TX_CONTAINER_MAX_SIDE = 16384;

// True for the containers of today's engines (DDS, KTX2), which take any side up to
// TX_CONTAINER_MAX_SIDE, any aspect ratio and sides that are not powers of two.
bool txExportIsContainer(int output);
// True when the output can hold the pixel format; false with `formats` set to the ones it can.
bool txExportOutputHolds(int output, int format, std::string* formats = nullptr);
// True when the output can mark the format as sRGB; false with `formats` set to the ones it can.
bool txExportOutputMarksSrgb(int output, int format, std::string* formats = nullptr);

// What the export does with an image.
struct TxExportOptions {
    int32_t resample = 0;     // 0 off, 1 on
    int32_t automatic = 1;    // 1: to powers of two (aspect below), 0: explicit width x height
    int32_t width = -1;       // explicit width, or the forced aspect's width part (-1: none)
    int32_t height = -1;      // explicit height, or the forced aspect's height part
    int32_t mipmap = 0;       // 0 off, 1 on
    int32_t allLevels = 1;    // 1: all levels (limited by levelLimit), 0: size mode
    int32_t levelLimit = -1;  // all-levels mode: limit or -1; size mode: the size
    int32_t dither = 0;       // TxDither
    int32_t ncc = 0;          // TxNccMode
    int32_t format = TX_FMT_RGB565;
    int32_t swap = 0;     // 1: 16-bit texels little-endian
    int32_t comment = 0;  // 1: comment lines in the 3DF header
    std::string commentText;
    int32_t output = TX_OUTPUT_3DF;
    // Colour-correct mipmaps (texlib/mip_filter.h); all off by default, which is the path above.
    int32_t mipFilter = 0;    // TxMipFilter
    int32_t srgb = 0;         // 1: the image is sRGB: linear-light mipmaps, container marked sRGB
    int32_t premultiply = 0;  // 1: colour multiplied by alpha before the mipmaps
    int32_t alphaBleed = 0;   // 1: fully transparent texels take their neighbours' colour
    // TEX files of the YIQ formats carry 112 table bytes (Y and I), the layout other readers
    // expect. 1 writes all 160 (Q too) with 160 in the header: the Q rows survive, but a reader
    // built to the 112-byte layout then takes the texels from 48 bytes too early.
    int32_t fullYiqTable = 0;
};

// Results of txMipWrite3df. Nothing is written unless the result is TX_EXPORT_OK.
enum TxExportResult {
    TX_EXPORT_OK = 0,
    TX_EXPORT_NOT_POW2 = 100,   // "Abort: Not power of 2 on a side"
    TX_EXPORT_BAD_INPUT = 101,  // not argb8888, no pixels, or options out of range
    TX_EXPORT_NO_MEMORY = 102,
    TX_EXPORT_CANNOT_CREATE = 103,  // "Unable to open output file."
    TX_EXPORT_WRITE_ERROR = 104,
    TX_EXPORT_TOO_LARGE = 105,   // TEX sides above 256 have no level-of-detail code
    TX_EXPORT_BAD_ASPECT = 106,  // beyond 8:1 a header cannot describe the levels
    TX_EXPORT_BAD_FORMAT = 107,  // the container cannot hold the pixel format (or mark it sRGB)
};

// Texts for the person at the screen: warnings (export continues) and the reason of a failure.
struct TxExportReport {
    std::vector<std::string> warnings;
    std::string error;
};

// Exports the level 0 of an argb8888 image (the caller's record is never changed): resampling,
// mipmaps, conversion to opt.format, then the file through a temporary beside `path`.
int txMipWrite3df(const TxMip& mip, const TxExportOptions& opt, const std::string& path,
                  TxExportReport* report = nullptr);

// The steps before writing: the converted texture with all its levels, as it would be written.
int txExportTexture(const TxMip& mip, const TxExportOptions& opt, TxMip& out,
                    TxExportReport* report = nullptr);

// The file bytes of a converted texture for opt.output, opt.swap and the comment options.
int txEncodeTexture(const TxMip& tex, const TxExportOptions& opt, std::vector<uint8_t>& bytes,
                    TxExportReport* report = nullptr);

// The 3DF text header of a converted texture.
std::string tx3dfHeader(const TxMip& tex, bool comment, const std::string& commentText);

// Comment text split into the 3DF header's lines: at CR LF (or a lone LF), at most 20 lines.
std::vector<std::string> tx3dfCommentLines(const std::string& text);

// Readers (types 256 and 513).
bool tdfProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool tdfBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
bool texProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool texBody(TxStream& s, TxReadContext& ctx, TxMip& mip);
