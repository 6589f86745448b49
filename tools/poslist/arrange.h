// Sheet arrangement: packs the named rectangles of a position list tightly into a new sheet. Two
// methods: the row packer of the position list window (items sorted by size, laid out in rows
// inside the maximum width and height) and MaxRects with the best-short-side-fit rule, which wastes
// far less space when the sprites differ in size. Both keep each item's old rectangle as its
// source rectangle.
#pragma once

#include <cstdint>
#include <vector>

#include "model/frame_sequence.h"
#include "model/position_list.h"

enum ArrangeMethod : int {
    ARRANGE_ROWS = 0,      // the row packer (the default)
    ARRANGE_MAXRECTS = 1,  // MaxRects, best short side fit, optional padding
};

// The message when fixed limits leave no room for the next item.
inline constexpr const char* kArrangeFailedText = "failed\ntry automatic";
// The message when the new sheet cannot be made at the canvas size.
inline constexpr const char* kArrangeNewDocumentFailedText = "Create NewDocument failed";

struct ArrangeResult {
    // false: an item found no room inside the fixed limits, or would reach past one of them
    bool ok = false;
    // The items in placement order: `rect` is the new place, `source` the old rectangle.
    std::vector<PositionItem> placed;
    // The size of the new sheet: the used area, or the fixed limit on a fixed side.
    int64_t canvasWidth = 0;
    int64_t canvasHeight = 0;
    // On failure, the item that found no room, where one can be named: the next one the rows
    // could not place or one that reaches past a fixed side, or with MaxRects one larger than a
    // fixed limit. Its rect is its old rectangle, normalised.
    bool hasMisfit = false;
    PositionItem misfit;
};

// The sort key of the row packer: the width when only the width is fixed (maxWidth != 0,
// maxHeight == 0), the height when only the height is fixed, the area otherwise.
int64_t arrangeSortKey(const PositionItem& item, int maxWidth, int maxHeight);
// Largest key first; items with equal keys keep their order (the result of the exchange sort that
// swaps neighbours only when the first key is strictly smaller).
void arrangeSort(std::vector<PositionItem>& items, int maxWidth, int maxHeight);

// The row packer over a sorted work list; placed items move from `work` to `placed`. maxWidth or
// maxHeight 0 means automatic. `usedRight` and `usedBottom` receive the used area. False when both
// limits are fixed and the next item fits neither right of nor below the used area (`work` then
// holds the items not yet placed).
bool packRows(std::vector<PositionItem>& work, int64_t maxWidth, int64_t maxHeight,
              std::vector<PositionItem>& placed, int64_t& usedRight, int64_t& usedBottom);

// MaxRects best short side fit, without rotation. Each item keeps `padding` pixels of space to
// the next one (not at the sheet's edges). An automatic side is chosen by trying several sheet
// shapes and keeping the smallest sheet that holds everything. False when an item does not fit
// inside fixed limits.
bool packMaxRects(const std::vector<PositionItem>& items, int maxWidth, int maxHeight, int padding,
                  std::vector<PositionItem>& placed, int64_t& canvasWidth, int64_t& canvasHeight);

// The whole arrangement of a list: work list (edges normalised), sort, pack and the canvas.
// maxWidth / maxHeight 0 mean automatic; padding is used by MaxRects only. Every placed item lies
// inside the canvas: a layout that would put one past a fixed side fails.
ArrangeResult arrangeItems(const PositionList& list, int maxWidth, int maxHeight,
                           int method = ARRANGE_ROWS, int padding = 0);

// True when the canvas can be made as a frame (at least 1 x 1 and within the image limits).
bool arrangeCanvasAllowed(const ArrangeResult& r);

// Copies every placed item's pixels from its source rectangle in `src` to its new rectangle in
// `dst`. Both rectangles are clipped to their frames: an item that sticks out of the new sheet (a
// fixed limit smaller than the item) or whose source reaches past the old image is cut, never
// written or read outside a frame.
void copyArrangedPixels(const Frame& src, Frame& dst, const std::vector<PositionItem>& placed);

// Used area of the items divided by the canvas area (0 for an empty canvas).
double arrangeOccupancy(const ArrangeResult& r);
