#include "edit/image_ops.h"

#include <algorithm>

#include "model/position_list.h"

uint32_t autoCropCompareMask(const Frame& frame) {
    const uint32_t* p = frame.pixels();
    if (!p) return AUTOCROP_COLOUR_MASK;
    const size_t n = size_t(frame.width()) * size_t(frame.height());
    bool notClear = false, notOpaque = false;
    for (size_t k = 0; k < n && !(notClear && notOpaque); ++k) {
        const uint32_t a = p[k] >> 24;
        notClear |= a != 0;
        notOpaque |= a != 255;
    }
    return notClear && notOpaque ? AUTOCROP_ALPHA_MASK : AUTOCROP_COLOUR_MASK;
}

bool autoCropReference(const FrameSequence& seq, uint32_t mark, Frame& out) {
    const Frame* first = seq.firstFrame();
    if (!first || !first->pixels()) return false;
    const int w = first->width(), h = first->height();
    if (out.createBlank(w, h) != FE_OK) return false;
    uint32_t* ref = out.pixels();
    const uint32_t* f0 = first->pixels();
    for (int k = 1; k < seq.count(); ++k) {
        const Frame* f = seq.frameAt(k);
        const uint32_t* p = f->pixels();
        if (!p) continue;
        // Frames of a mixed-size series are compared where they overlap frame 0 only.
        const int cw = std::min(w, f->width()), ch = std::min(h, f->height());
        for (int y = 0; y < ch; ++y) {
            const uint32_t* a = f0 + size_t(y) * size_t(w);
            const uint32_t* b = p + size_t(y) * size_t(f->width());
            uint32_t* r = ref + size_t(y) * size_t(w);
            for (int x = 0; x < cw; ++x)
                if (a[x] != b[x]) r[x] = mark;
        }
    }
    return true;
}

bool autoCropPass(const Frame& picture, uint32_t background, uint32_t mask, TxRect& rect) {
    TxRect box;
    picture.boundingBox(box, background, mask);
    if (box.empty() || box == TxRect{0, 0, picture.width(), picture.height()}) return false;
    rect = box;
    return true;
}

int autoCropBounds(const FrameSequence& seq, TxRect& rect) {
    const Frame* first = seq.firstFrame();
    if (!first || !first->pixels()) return FE_AUTOCROP_EMPTY;
    const uint32_t mask = autoCropCompareMask(*first);
    if (seq.count() == 1) {
        if (autoCropPass(*first, 0, mask, rect)) return FE_OK;
        const uint32_t corner = first->pixels()[0] & 0x00FFFFFFu;
        if (autoCropPass(*first, corner, mask, rect)) return FE_OK;
        return FE_AUTOCROP_NONE;
    }
    // An animation is cropped to the area in which its frames differ. Every differing position is
    // marked as content: frame 0's own value there is often background (the place a sprite moves
    // to later), and taken as it stands it would cut the later frames' content away. A corner
    // colour means nothing in this picture, so the second pass has nothing to add.
    Frame reference;
    if (!autoCropReference(seq, mask, reference)) return FE_AUTOCROP_NONE;
    if (autoCropPass(reference, 0, mask, rect)) return FE_OK;
    return FE_AUTOCROP_NONE;
}

int isoFlip(FrameSequence& seq, Progress* progress) {
    const int r = seq.isoTransform(progress);
    if (r != FE_OK) return r;
    TxRect rect;
    if (autoCropBounds(seq, rect) != FE_OK) return FE_OK;
    return seq.crop(rect, progress);
}

int scaleFrames(FrameSequence& seq, PositionList& positions, int width, int height,
                Progress* progress) {
    int oldW = 0, oldH = 0;
    seq.currentSize(oldW, oldH);
    if (oldW <= 0 || oldH <= 0) return FE_SCALE_NO_PIXELS;
    // The edge rounding moves left and top by a pixel even at factor 1, so an unchanged size
    // must not touch the items (nor resample the frames to themselves).
    if (width == oldW && height == oldH) {
        bool allSame = true;
        for (int k = 0; k < seq.count(); ++k)
            allSame &= seq.frameAt(k)->width() == width && seq.frameAt(k)->height() == height;
        if (allSame) return FE_OK;
    }
    const int r = seq.scale(width, height, progress);
    // Items are rescaled once the current frame has its new size (a later frame may have failed).
    int newW = 0, newH = 0;
    seq.currentSize(newW, newH);
    if (newW == width && newH == height && (width != oldW || height != oldH))
        positions.scale(double(width) / double(oldW), double(height) / double(oldH));
    return r;
}
