// Image operations of the Edit menu that look at a whole sequence at once: auto crop's rectangle
// search (with the reference picture of an animation), the isometric flip and the scale with its
// position list. The per-frame pixel work lives in Frame; the document adds undo and hints.
#pragma once

#include <cstdint>

#include "model/frame_sequence.h"

class PositionList;
class Progress;

// Compare masks of auto crop.
constexpr uint32_t AUTOCROP_ALPHA_MASK = 0xFF000000u;
constexpr uint32_t AUTOCROP_COLOUR_MASK = 0x00FFFFFFu;

// Only alpha decides when the frame has a pixel with alpha other than 0 and one with alpha other
// than 255 (a sprite on a transparent ground); otherwise only colour decides.
uint32_t autoCropCompareMask(const Frame& frame);

// The picture that auto crop searches in an animation: the size of frame 0, 0 wherever every frame
// that has the position holds the same value there, and `mark` wherever they differ. False when
// memory runs out or frame 0 has no pixels.
bool autoCropReference(const FrameSequence& seq, uint32_t mark, Frame& out);

// One pass of the search over one picture: the box of the pixels that are not border
// ((p & mask) != background). True when that box is not empty and smaller than the picture.
bool autoCropPass(const Frame& picture, uint32_t background, uint32_t mask, TxRect& rect);

// The rectangle auto crop would crop the whole sequence to: FE_OK with rect, FE_AUTOCROP_EMPTY
// for a sequence without pixels, FE_AUTOCROP_NONE when neither pass finds a smaller rectangle.
int autoCropBounds(const FrameSequence& seq, TxRect& rect);

// Projects every frame onto the isometric diamond, then crops all of them to the rectangle auto
// crop's search finds (nothing more when it finds none). First frame code, or FE_OK.
int isoFlip(FrameSequence& seq, Progress* progress = nullptr);

// Resamples every frame to width x height and rescales the position items by the current
// frame's factors. A scale to the current size changes neither frames nor items.
int scaleFrames(FrameSequence& seq, PositionList& positions, int width, int height,
                Progress* progress = nullptr);
