// DirectDraw Surface (DDS) files of the export's converted textures: the legacy uncompressed
// layouts D3D9-era readers know (DDS_HEADER with its DDS_PIXELFORMAT masks), and the DX10
// extension header for what the legacy header cannot say (sRGB, premultiplied alpha).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "texlib/byte_sink.h"
#include "texlib/mip.h"

// True when a DDS file can hold the pixel format.
bool txDdsCanHold(int format);
// True when a DDS file can mark the format as sRGB (through a DXGI *_SRGB format).
bool txDdsCanMarkSrgb(int format);
// The formats a DDS file holds (or marks sRGB), as "a8, i8, ..." for messages.
std::string txDdsFormatList(bool srgbOnly = false);

struct TxDdsOptions {
    bool srgb = false;           // texels are sRGB-encoded (argb8888 only: DX10 header)
    bool premultiplied = false;  // colour is multiplied by alpha (argb8888: DX10 alpha mode)
};

// Everything before the texel data: magic, DDS_HEADER, the DX10 header when one is needed, and
// the 256-entry palette of p8. Empty for a texture the container cannot hold.
std::vector<uint8_t> txDdsHeader(const TxMip& tex, const TxDdsOptions& options);

// The whole file through `sink`; false when the format cannot be held or the sink fails.
bool txDdsWrite(const TxMip& tex, const TxDdsOptions& options, const TxByteSink& sink);
