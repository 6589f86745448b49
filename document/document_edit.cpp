// The document's image operations and mask commands: the undo snapshot, the position items, the
// modified flag and the view hints around the pixel work of view/.
#include <algorithm>

#include "document/document.h"
#include "edit/image_ops.h"
#include "edit/mask_ops.h"
#include "edit/size_model.h"
#include "model/image_buffer.h"

int CBitmapDoc::crop(const TxRect& rect, Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_CROP_NO_PIXELS;
    const TxRect r = normalizedRect(rect);
    int w = 0, h = 0;
    frames_->currentSize(w, h);
    // The item records what the shown frame was cropped to; a rectangle that misses it changes
    // nothing at all (no snapshot, no item).
    const TxRect shown{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w),
                       std::min(r.bottom, h)};
    if (shown.empty()) return FE_CROP_EMPTY;
    takeSnapshot("Crop");
    const int code = frames_->crop(r, progress);
    positions_.append(shown, "crop");
    updateAllViews(HINT_FULL);
    return code;
}

int CBitmapDoc::autoCrop(Prompts& prompts, Progress* progress) {
    if (!frames_) return FE_AUTOCROP_EMPTY;
    TxRect rect;
    int found, code = FE_OK;
    {
        BusyCursor busy(prompts);
        found = autoCropBounds(*frames_, rect);
        if (found == FE_OK) {
            takeSnapshot("Auto Crop");
            code = frames_->crop(rect, progress);
            positions_.append(rect, "autocrop");
        }
    }
    if (found != FE_OK) {
        prompts.message("Autocrop failed", MsgIcon::Warning, MsgButtons::Ok);
        return found;
    }
    updateAllViews(HINT_FULL);
    return code;
}

int CBitmapDoc::scale(int width, int height, Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_SCALE_NO_PIXELS;
    // Refused before the undo step, so that a size no frame can take leaves no step behind.
    if (!sizeFieldValid(width) || !sizeFieldValid(height) ||
        !pictureSizeRefusal(width, height).empty())
        return FE_SCALE_NO_MEMORY;
    takeSnapshot("Scale");
    const int code = scaleFrames(*frames_, positions_, width, height, progress);
    updateAllViews(HINT_FULL);
    return code;
}

int CBitmapDoc::resizeCanvas(int width, int height, bool centre, Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_CANVAS_NO_PIXELS;
    // Refused before the undo step, so that a size no frame can take leaves no step behind.
    if (!sizeFieldValid(width) || !sizeFieldValid(height) ||
        !pictureSizeRefusal(width, height).empty())
        return FE_CANVAS_NO_MEMORY;
    takeSnapshot("Resize");
    const int code = frames_->resizeCanvas(width, height, centre, progress);
    updateAllViews(HINT_FULL);
    return code;
}

int CBitmapDoc::flipHorizontal(const TxRect* rect, Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_MIRROR_EMPTY;
    TxRect r;
    if (rect) r = normalizedRect(*rect);
    beforeFlip("Flip Horizontal");
    const int code = frames_->mirror(rect ? &r : nullptr, progress);
    updateAllViews(HINT_FRAME);
    return code;
}

int CBitmapDoc::flipVertical(const TxRect* rect, Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_FLIP_EMPTY;
    TxRect r;
    if (rect) r = normalizedRect(*rect);
    beforeFlip("Flip Vertical");
    const int code = frames_->flip(rect ? &r : nullptr, progress);
    updateAllViews(HINT_FRAME);
    return code;
}

int CBitmapDoc::isoFlip(Progress* progress) {
    if (!frames_ || !frames_->currentFrame()) return FE_ISO_EMPTY;
    takeSnapshot("Flip Isometric");
    const int code = ::isoFlip(*frames_, progress);
    updateAllViews(HINT_FULL);
    return code;
}

bool CBitmapDoc::writeMaskToAlpha(const ImageBuffer& mask) {
    Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    if (!f || !f->pixels() || mask.empty()) return false;
    takeSnapshot("Mask");
    return f->alphaFromMask(&mask) == FE_OK;
}

bool CBitmapDoc::rebuildMask(ImageBuffer& mask, int kind) const {
    const Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    return f && ::rebuildMask(mask, *f, kind, alphaBias);
}

bool CBitmapDoc::maskOneBit(ImageBuffer& mask, uint8_t bias) {
    alphaBias = bias;
    if (!rebuildMask(mask, MASK_ONE_BIT)) return false;
    maskModified = true;
    return writeMaskToAlpha(mask);
}

bool CBitmapDoc::maskEightBit(ImageBuffer& mask) {
    if (!rebuildMask(mask, MASK_ALPHA)) return false;
    maskModified = true;
    return writeMaskToAlpha(mask);
}

bool CBitmapDoc::maskIntensity(ImageBuffer& mask) {
    if (!rebuildMask(mask, MASK_INTENSITY)) return false;
    maskModified = true;
    return writeMaskToAlpha(mask);
}

bool CBitmapDoc::maskBorder(ImageBuffer& mask) {
    if (!rebuildMask(mask, MASK_BORDER)) return false;
    maskModified = true;
    return writeMaskToAlpha(mask);
}

namespace {

// Clear and invert work on the surface as the view shows it; one that does not match the current
// frame (never built, or left from another frame) is first rebuilt from the alpha.
bool surfaceForFrame(ImageBuffer& mask, const Frame& f) {
    if (!mask.empty() && mask.width() == f.width() && mask.height() == f.height()) return true;
    return maskFromAlphaGrey(mask, f);
}

}  // namespace

bool CBitmapDoc::maskClear(ImageBuffer& mask) {
    Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    if (play_.playing || !f || !surfaceForFrame(mask, *f)) return false;
    ::maskClear(mask);
    maskModified = true;
    return writeMaskToAlpha(mask);
}

bool CBitmapDoc::maskInvert(ImageBuffer& mask) {
    Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    if (play_.playing || !f || !surfaceForFrame(mask, *f)) return false;
    ::maskInvert(mask);
    maskModified = true;
    return writeMaskToAlpha(mask);
}

bool CBitmapDoc::keyColour(ImageBuffer& mask, uint32_t key, Progress* progress) {
    Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    if (play_.playing || !f || !f->pixels()) return false;
    key &= 0x00FFFFFFu;
    if (frames_->count() > 1) {
        takeSnapshot("Key Colour");
        const int current = frames_->currentIndex();
        keyColourAllFrames(*frames_, key, progress);
        frames_->setCurrent(current);
        // The refresh rebuilds the mask from the new alpha. Writing that mask back would change
        // no value but take a second snapshot, and undo would then only return to the keyed
        // frames; the one snapshot above keeps the whole change a single undo step.
        maskFromAlphaGrey(mask, *frames_->currentFrame());
        updateAllViews(HINT_FULL);
        maskModified = true;
        return true;
    }
    if (!maskFromKeyColour(mask, *f, key)) return false;
    maskModified = true;
    return writeMaskToAlpha(mask);
}
