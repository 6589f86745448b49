// File type detection and the single entry through which every image file is read.
#pragma once

#include <any>
#include <cstdint>
#include <string>
#include <vector>

#include "texlib/mip.h"
#include "texlib/stream.h"

// File type codes (kept by frames as their type).
enum TxFileType : int {
    TX_TYPE_UNKNOWN = 0,
    TX_TYPE_3DF = 256,
    TX_TYPE_PPM = 257,
    TX_TYPE_BMP = 258,
    TX_TYPE_IFF = 259,
    TX_TYPE_PCX = 260,
    TX_TYPE_P9 = 261,
    TX_TYPE_RGT = 262,
    TX_TYPE_JPEG = 263,
    TX_TYPE_GIF = 264,
    TX_TYPE_PNG = 265,
    TX_TYPE_TGA = 512,
    TX_TYPE_TEX = 513,
    TX_TYPE_SPR = 514,
    TX_TYPE_LMP = 515,
    TX_TYPE_PSD = 516,
    TX_TYPE_GBR = 517,
    TX_TYPE_GIH = 518,
    TX_TYPE_PALETTE = 519,
    TX_TYPE_AVI = 520,
    TX_TYPE_ICO = 521,
};

constexpr int TX_PREFER_ARGB8888 = 16;
constexpr int TX_PREFER_OWN = 0x7FFFFFFF;

// Everything one read shares between probe and body and hands back to the caller. One context per
// read keeps reads independent, so several may run on different threads.
struct TxReadContext {
    // The detected type; unknown when nothing matched or the read failed.
    TxFileType fileType = TX_TYPE_UNKNOWN;
    int frameCount = 1;  // frames stacked vertically by multi-frame readers
    // How long each stacked frame is shown, in milliseconds, where the file says (GIF delays, an
    // AVI's frame rate); empty when it does not.
    std::vector<int> frameDelaysMs;
    std::string fileName;
    std::string lastError;  // the last text a reader reported
    // How surely the probe that ran last found the file to be of its type: 0 not at all, 1 a
    // plausible header of a type without magic (TGA), 2 a type picked by its two-byte magic (set
    // by the detection), 3 a full magic (PSD's "8BPS", a GIMP brush's "GIMP", a JASC palette's
    // "JASC-PAL", ...). A refused file is reported with the text of the surest probe, else
    // "Unrecognised file format".
    int matched = 0;
    const uint32_t* palette = nullptr;  // current application palette (256 words) for LMP
    // Set by txMipRead when the caller wants argb8888: a reader that can lay its pixels out that
    // way at once may do so, sparing the conversion and its second image-sized buffer.
    bool wantArgb8888 = false;
    // When above 0, the most bytes the image read may keep (in the format it is returned in): a
    // larger one is refused before its pixels are allocated, with overBudget set and neededBytes
    // telling what it would have taken. A sequence hands each frame what is left of its budget.
    int64_t maxBytes = 0;
    int64_t neededBytes = 0;
    bool overBudget = false;
    std::any state;  // a reader's header values between probe and body
};

using TxErrorCallback = void (*)(const char* message, int fatal);
// The library's replaceable error callback; the default ignores the text. Set it once at start-up,
// before any read runs; reads on several threads (tarquil-cli convert --out-dir) call it from each
// of them, so a callback of its own must be safe for that. The text of a read also stays in its
// context's lastError, which is what the batch reports.
extern TxErrorCallback TxReadError;
// The library's error path: records the text in the context and calls the callback.
void txReportError(TxReadContext& ctx, const char* message, int fatal);
// For code that has no read context (quantiser, resampler, writers).
void txReportError(const char* message, int fatal);

// The text of a file that no probe recognised.
constexpr const char* TX_UNRECOGNISED = "Unrecognised file format";

// Called by a reader right before it uses ctx.palette, so that an application can fill its palette
// on first use (e.g. read its palette file only when a palette is needed). Null: nothing is done.
using TxPaletteNeededFn = void (*)(const uint32_t* palette);
extern TxPaletteNeededFn TxPaletteNeeded;

using TxProbeFn = bool (*)(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
using TxBodyFn = bool (*)(TxStream& s, TxReadContext& ctx, TxMip& mip);

// Type name for display ("TGA", "PNG", ...); "unknown" for TX_TYPE_UNKNOWN.
const char* txFileTypeName(TxFileType type);

// Detects the type of the bytes in `s`, filling format/width/height/depth (and usually size).
TxFileType txDetectType(TxStream& s, TxReadContext& ctx, TxMip& mip);
// Reads an image from memory; `fileName` is remembered for readers that need it (AVI).
bool txMipRead(TxMip& mip, const char* fileName, TxStream& s, int preferredFormat,
               TxReadContext& ctx);
// Detects the type of a file and fills format, width, height, depth and the frame count as the
// read would, from the headers only: no pixels are decoded and no block is allocated. A file whose
// header is sound but whose data are damaged passes here and fails in txMipReadFile.
bool txMipProbeFile(TxMip& mip, const std::string& path, TxReadContext& ctx);
// Opens and reads a file (a regular file only; mapped, so probes touch only the headers).
bool txMipReadFile(TxMip& mip, const std::string& path, int preferredFormat, TxReadContext& ctx);
