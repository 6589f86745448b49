// KTX 2.0 files of the export's converted textures: the formats that have a VkFormat, with the
// data format descriptor, the level index (levels stored smallest first) and the key/value data
// (KTXswizzle for the alpha, luminance and luminance-alpha formats, KTXwriter).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "texlib/byte_sink.h"
#include "texlib/mip.h"

// True when a KTX2 file can hold the pixel format.
bool txKtx2CanHold(int format);
// True when the file can mark the format as sRGB (a *_SRGB VkFormat, or the descriptor's sRGB
// transfer where Vulkan has no sRGB variant).
bool txKtx2CanMarkSrgb(int format);
// The formats a KTX2 file holds (or marks sRGB), as "a8, i8, ..." for messages.
std::string txKtx2FormatList(bool srgbOnly = false);
// The VkFormat a pixel format is written as (0 when there is none).
uint32_t txKtx2VkFormat(int format, bool srgb);

struct TxKtx2Options {
    bool srgb = false;
    bool premultiplied = false;
};

// The texels of one level as the file stores them (the VkFormat's byte order).
std::vector<uint8_t> txKtx2LevelBytes(const TxMip& tex, int level);

// The whole file through `sink`; false when the format cannot be held or the sink fails.
bool txKtx2Write(const TxMip& tex, const TxKtx2Options& options, const TxByteSink& sink);
