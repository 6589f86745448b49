// The shown picture of a view rendered into an ImageBuffer the size of the client area: the
// shown surface (colours through the channel mask, or the mask), the grid blended over it, only
// the visible part magnified to whole zoom x zoom blocks, the selection outline inverted, and
// the view's background colour outside the picture. The widget paints this buffer and nothing
// else; tarquil-cli render writes it.
#pragma once

#include "model/image_buffer.h"
#include "view/view_state.h"

// Draws the grid of a picture of imageWidth x imageHeight into `overlay`, which holds the part of
// the picture whose top-left pixel is (originX, originY). Every line is blended at weight 128 in
// the grid colour, without its end point; lines outside the part leave it unchanged, so a part
// gets exactly the pixels the whole picture would.
void drawGrid(ImageBuffer& overlay, int originX, int originY, int imageWidth, int imageHeight,
              const GridOptions& grid, GridMode mode);

// Fills `out` (re-created at the client size when needed) with what the view shows at its
// viewport. Every word is opaque (alpha 0xFF): the view shows colours whatever their alpha.
void renderView(const ViewState& view, ImageBuffer& out);
