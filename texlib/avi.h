// AVI through FFmpeg: the probe opens the first video stream of a RIFF AVI file, the body decodes
// its frames (up to 256, whatever the codec) and stacks them vertically as argb8888.
#pragma once

#include "texlib/read.h"

constexpr int TX_AVI_MAX_FRAMES = 256;

bool aviProbe(TxStream& s, TxReadContext& ctx, TxMip& mip, int cookie);
bool aviBody(TxStream& s, TxReadContext& ctx, TxMip& mip);

// FFmpeg is opened with dlopen on the first AVI read, by the sonames of the headers built against.
extern const char* const kTxFfmpegSonames[4];
// Whether the four libraries named (avutil, swscale, avcodec, avformat) load and hold every
// function the reader uses; false with `error` naming what is missing.
bool txAviFfmpegLoadable(const char* const sonames[4], std::string* error);
