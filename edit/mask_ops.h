// The Mask menu's work on the view's mask surface: a grey ImageBuffer of the current frame's size
// whose blue byte is the mask value (green and red carry the same value so it shows as grey).
// Building a mask never changes the frame; the document writes the mask into the alpha channel.
#pragma once

#include <cstdint>

#include "model/frame_sequence.h"
#include "model/image_buffer.h"

// The kinds of rebuild: 0 the alpha as grey (what every view refresh shows), 1 the 1-bit mask
// from the alpha with a bias, 2 the luminance, 4 the luminance with the 1-pixel border rule.
enum MaskKind : int {
    MASK_ALPHA = 0,
    MASK_ONE_BIT = 1,
    MASK_INTENSITY = 2,
    MASK_BORDER = 4,
};

// Integer part of 0.11 b + 0.5 + 0.3 r + 0.59 g, the factors in single precision and the sum in
// double precision; 0 to 255.
uint8_t maskLuminance(uint32_t pixel);

// Re-creates the surface when its size differs from width x height. A new surface starts all
// zero (its fourth bytes take part in the border rule). False when it cannot be created.
bool ensureMaskSurface(ImageBuffer& mask, int width, int height);

// Each returns false (mask untouched) for a frame without pixels or a surface that cannot be made.
// Alpha as grey: blue = green = red = alpha, fourth byte 0.
bool maskFromAlphaGrey(ImageBuffer& mask, const Frame& frame);
// Blue, green and red 255 where alpha >= bias, else 0; the fourth byte stays.
bool maskOneBit(ImageBuffer& mask, const Frame& frame, uint8_t bias);
// Blue, green and red = luminance; the fourth byte stays.
bool maskIntensity(ImageBuffer& mask, const Frame& frame);
// Intensity, then every interior pixel of which neither it nor any of its eight neighbours equals
// the whole word at (0, 0) becomes 0xFFFFFFFF. Surfaces under 3 x 3 stay luminance.
bool maskBorder(ImageBuffer& mask, const Frame& frame);
// The border rule alone, in place on the surface as it stands.
void applyBorderRule(ImageBuffer& mask);
// 0 where the frame pixel's red, green and blue equal the key, else 0x00FFFFFF.
bool maskFromKeyColour(ImageBuffer& mask, const Frame& frame, uint32_t key);
// Every word ANDed with 0 / blue, green and red inverted with the fourth byte kept.
void maskClear(ImageBuffer& mask);
void maskInvert(ImageBuffer& mask);
// Dispatches a rebuild of the given kind (bias is used by MASK_ONE_BIT only).
bool rebuildMask(ImageBuffer& mask, const Frame& frame, int kind, uint8_t bias);

// The key picked at point (x, y) of the view's colour surface: its colour without the alpha byte,
// or 0 outside the surface.
uint32_t pickKeyColour(const ImageBuffer& colour, int x, int y);
// Alpha 0 where red, green and blue equal the key (colour kept), alpha 255 everywhere else.
void keyColourToAlpha(Frame& frame, uint32_t key);
// The same for every frame, one progress step per frame when there are several.
int keyColourAllFrames(FrameSequence& seq, uint32_t key, Progress* progress = nullptr);
