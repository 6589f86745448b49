#include <algorithm>

#include "document/document.h"

namespace {

// Copies the w x h block at the top-left of src to (x, y) of dst, clipped to both frames;
// transparent source pixels leave the target as it was.
void pasteFrame(const Frame& src, Frame& dst, int x, int y, int w, int h) {
    const uint32_t* s = src.pixels();
    uint32_t* d = dst.pixels();
    if (!s || !d) return;
    w = std::min({w, src.width(), dst.width() - x});
    h = std::min({h, src.height(), dst.height() - y});
    for (int row = 0; row < h; ++row) {
        const uint32_t* sr = s + size_t(row) * size_t(src.width());
        uint32_t* dr = d + size_t(y + row) * size_t(dst.width()) + size_t(x);
        for (int col = 0; col < w; ++col)
            if (sr[col] >> 24) dr[col] = sr[col];
    }
}

}  // namespace

bool CBitmapDoc::paste(const FrameSequence& buffer, int x, int y) {
    FrameSequence* seq = frames_.get();
    const Frame* target = seq ? seq->currentFrame() : nullptr;
    if (!target || !target->hasPixels() || buffer.count() == 0) return false;
    int w = 0, h = 0;
    buffer.currentSize(w, h);
    if (x + int64_t(w) > target->width()) w = target->width() - x;
    if (y + int64_t(h) > target->height()) h = target->height() - y;
    if (w <= 0 || h <= 0 || x < 0 || y < 0) return false;

    takeSnapshot("Paste");
    seq = frames_.get();
    if (seq->count() > 1) {
        const int first = seq->currentIndex();
        for (int k = 0; k < buffer.count(); ++k) {
            const Frame* src = buffer.frameAt(k);
            Frame* dst = seq->frameAt((first + k) % seq->count());
            if (src && dst) pasteFrame(*src, *dst, x, y, w, h);
        }
    } else {
        pasteFrame(*buffer.currentFrame(), *seq->currentFrame(), x, y, w, h);
    }
    setModified(true);
    updateAllViews(HINT_FULL);
    return true;
}

bool CBitmapDoc::fill(uint32_t colour, const TxRect& rect, const std::string& label) {
    const Frame* f = frames_ ? frames_->currentFrame() : nullptr;
    if (!f || !f->hasPixels()) return false;
    const TxRect n = normalizedRect(rect);
    const int left = std::max(0, n.left), top = std::max(0, n.top);
    const int right = std::min(f->width(), n.right), bottom = std::min(f->height(), n.bottom);
    if (left >= right || top >= bottom) return false;
    takeSnapshot(label);
    Frame* frame = frames_->currentFrame();
    for (int y = top; y < bottom; ++y) {
        uint32_t* row = frame->pixels() + size_t(y) * size_t(frame->width());
        std::fill(row + left, row + right, colour);
    }
    setModified(true);
    updateAllViews(HINT_FULL);
    return true;
}
