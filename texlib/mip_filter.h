// Colour-correct mipmaps for today's texture containers: a choice of reduction filter, averaging
// in linear light for sRGB images, premultiplied alpha, and alpha bleeding against dark fringes.
#pragma once

#include "texlib/mip.h"

enum TxMipFilter { TX_MIP_FILTER_BOX = 0, TX_MIP_FILTER_TRIANGLE = 1, TX_MIP_FILTER_KAISER = 2 };

// "box", "triangle" or "kaiser"; nullptr for other values.
const char* txMipFilterName(int filter);
// The filter of a name, or -1.
int txMipFilterFromName(const char* name);

struct TxMipChainOptions {
    int filter = TX_MIP_FILTER_BOX;
    bool srgb = false;         // texels are sRGB-encoded: filter in linear light
    bool premultiply = false;  // multiply colour by alpha (level 0 included) before filtering
};

// Fills levels 1 to depth-1 of an argb8888 record from level 0, and premultiplies level 0 first
// when asked. With the box filter, no sRGB and no premultiplication this is exactly
// txMipGenerateMipmaps. Levels whose parent has a side that is not a power of two are left as
// they are, as there.
void txMipBuildChain(TxMip& mip, const TxMipChainOptions& options);

// Gives every fully transparent texel of level 0 the average colour of its visible 8-neighbours,
// ring by ring outwards from the visible texels, so that filtering and bilinear sampling do not
// pull in the black (or stray) colour hidden under alpha 0. Alpha stays 0. An image without any
// visible texel is left as it is.
void txAlphaBleed(TxMip& mip);

// sRGB transfer: byte to linear light (0..1) and back (rounded, clamped).
float txSrgbToLinear(uint8_t v);
uint8_t txLinearToSrgb(float v);
