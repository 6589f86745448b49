#include "model/frame_sequence.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "model/image_buffer.h"
#include "model/ports.h"
#include "texlib/read.h"
#include "texlib/resample.h"
#include "texlib/tga.h"

Frame::Frame(const Frame& other)
    : fileType(other.fileType), fileName(other.fileName), durationMs(other.durationMs) {
    txMipAssign(mip_, other.mip_);
}

int Frame::createBlank(int width, int height) {
    txMipFree(mip_);
    fileName = "untitled";
    fileType = TX_TYPE_TGA;
    if (!txMipInit(mip_, width, height, 1, TX_FMT_ARGB8888)) return FE_BLANK_NO_MEMORY;
    txMipFill(mip_, 0);
    return FE_OK;
}

uint32_t* Frame::pixels() {
    return hasPixels() ? reinterpret_cast<uint32_t*>(mip_.data[0]) : nullptr;
}

const uint32_t* Frame::pixels() const {
    return hasPixels() ? reinterpret_cast<const uint32_t*>(mip_.data[0]) : nullptr;
}

int Frame::load(const std::string& path, const uint32_t* palette, int64_t maxBytes) {
    txMipFree(mip_);
    fileName = path;
    fileType = TX_TYPE_UNKNOWN;
    loadError_.clear();
    loadedFrames_ = 1;
    loadedDelays_.clear();
    loadNeeded_ = 0;
    TxReadContext ctx;
    ctx.palette = palette;
    ctx.maxBytes = maxBytes;
    if (!txMipReadFile(mip_, path, TX_PREFER_ARGB8888, ctx)) {
        txMipFree(mip_);
        loadError_ = ctx.lastError;
        loadNeeded_ = ctx.neededBytes;
        return ctx.overBudget ? FE_LOAD_OVER_BUDGET : FE_LOAD_FAILED;
    }
    fileType = ctx.fileType;
    loadedFrames_ = ctx.frameCount;
    loadedDelays_ = std::move(ctx.frameDelaysMs);
    durationMs = loadedDelays_.empty() ? 0 : loadedDelays_[0];
    return FE_OK;
}

int Frame::writeTGA(const std::string& path, int mode, std::string* error) const {
    if (!hasPixels()) return TX_TGA_WRITE_ERROR;
    return txWriteTGA(path, mip_.width, mip_.height, pixels(), mode, error);
}

bool Frame::hasOwnAlpha() const {
    switch (fileType) {
    case TX_TYPE_3DF:
    case TX_TYPE_IFF:
    case TX_TYPE_GIF:
    case TX_TYPE_PNG:
    case TX_TYPE_TGA: return true;
    default: return false;
    }
}

int Frame::copyRect(const Frame& src, const TxRect& a, const TxRect& b) {
    if (src.mip_.format != mip_.format) return FE_COPY_FORMAT;
    if (!hasPixels() || !src.hasPixels()) return FE_OK;
    // Clip the source rectangle to the source frame, then the destination to this frame.
    int sx = a.left, sy = a.top, w = a.width(), h = a.height();
    int dx = b.left, dy = b.top;
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    w = std::min({w, src.width() - sx, width() - dx});
    h = std::min({h, src.height() - sy, height() - dy});
    if (w <= 0 || h <= 0) return FE_OK;
    const uint32_t* s = src.pixels();
    uint32_t* d = pixels();
    for (int y = 0; y < h; ++y)
        std::memcpy(d + size_t(dy + y) * size_t(width()) + size_t(dx),
                    s + size_t(sy + y) * size_t(src.width()) + size_t(sx), size_t(w) * 4);
    return FE_OK;
}

int Frame::mirror(const TxRect* rect) {
    if (mip_.width == 0 || mip_.height == 0) return FE_MIRROR_EMPTY;
    txMipMirror(mip_, rect);
    return FE_OK;
}

int Frame::flip(const TxRect* rect) {
    if (mip_.width == 0 || mip_.height == 0) return FE_FLIP_EMPTY;
    txMipFlip(mip_, rect);
    return FE_OK;
}

void Frame::invertAlpha() {
    uint32_t* p = pixels();
    if (!p) return;
    const size_t n = size_t(width()) * size_t(height());
    for (size_t k = 0; k < n; ++k) p[k] ^= 0xFF000000u;
}

bool Frame::alphaAllZero() const {
    const uint32_t* p = pixels();
    if (!p) return true;
    const size_t n = size_t(width()) * size_t(height());
    uint32_t any = 0;
    for (size_t k = 0; k < n; ++k) any |= p[k];
    return (any & 0xFF000000u) == 0;
}

int Frame::alphaFromMask(const ImageBuffer* mask) {
    if (!mask || mask->empty()) return FE_MASK_MISSING;
    uint32_t* p = pixels();
    if (!p) return FE_MASK_NO_PIXELS;
    // A mask of another size (a frame of a mixed-size series) is applied where both overlap.
    const int w = std::min(width(), mask->width()), h = std::min(height(), mask->height());
    if (w <= 0 || h <= 0) return FE_MASK_NOTHING;
    for (int y = 0; y < h; ++y) {
        uint32_t* row = p + size_t(y) * size_t(width());
        const uint32_t* m = mask->pixels() + size_t(y) * size_t(mask->width());
        for (int x = 0; x < w; ++x) row[x] = (row[x] & 0x00FFFFFFu) | ((m[x] & 0xFFu) << 24);
    }
    return FE_OK;
}

int Frame::maskFromAlpha(uint32_t* mask, int bias) const {
    const uint32_t* p = pixels();
    if (!p || !mask) return FE_MASK_FROM_ALPHA_NO_PIXELS;
    const size_t n = size_t(width()) * size_t(height());
    for (size_t k = 0; k < n; ++k) {
        const uint32_t keep = (int(p[k] >> 24) >= bias) ? 0x00FFFFFFu : 0u;
        mask[k] = (mask[k] & 0xFF000000u) | keep;
    }
    return FE_OK;
}

TxRect normalizedRect(const TxRect& r) {
    TxRect n = r;
    if (n.left > n.right) std::swap(n.left, n.right);
    if (n.top > n.bottom) std::swap(n.top, n.bottom);
    return n;
}

namespace {

// A w x h block of pixel words from malloc (zeroed on request), or null when the size is refused
// or memory runs out. Frames own their pixels through a malloc'ed TxMip block.
uint32_t* newPixels(int w, int h, bool zero) {
    if (!txSizeAllowed(w, h)) return nullptr;
    const size_t n = size_t(w) * size_t(h);
    return static_cast<uint32_t*>(zero ? std::calloc(n, 4) : std::malloc(n * 4));
}

// The record drops its old block and takes a single-level w x h argb8888 one.
void adoptPixels(TxMip& mip, uint32_t* block, int w, int h) {
    mip.format = TX_FMT_ARGB8888;
    mip.width = w;
    mip.height = h;
    mip.depth = 1;
    txMipAdoptBlock(mip, reinterpret_cast<uint8_t*>(block), int64_t(w) * int64_t(h) * 4);
}

// The record keeps its own block, which now holds w x h words at its start; a block larger than
// that is shrunk when the allocator can do so.
void setPixels(TxMip& mip, uint32_t* block, int w, int h) {
    const size_t bytes = size_t(w) * size_t(h) * 4;
    if (void* shrunk = std::realloc(block, bytes)) block = static_cast<uint32_t*>(shrunk);
    mip.data[0] = reinterpret_cast<uint8_t*>(block);
    mip.format = TX_FMT_ARGB8888;
    mip.width = w;
    mip.height = h;
    mip.depth = 1;
    mip.size = int64_t(bytes);
    txMipSetupLevels(mip);
}

// Index of the first pixel in [from, to) whose masked value is not the background, or `to`.
// Blocks of eight are tested with one branch, so long runs of border cost little more than a read.
int firstContent(const uint32_t* row, int from, int to, uint32_t background, uint32_t mask) {
    int x = from;
    for (; x + 8 <= to; x += 8) {
        uint32_t diff = 0;
        for (int k = 0; k < 8; ++k) diff |= (row[x + k] & mask) ^ background;
        if (diff) break;
    }
    for (; x < to; ++x)
        if ((row[x] & mask) != background) return x;
    return to;
}

// Index of the last pixel in [from, to) whose masked value is not the background, or from - 1.
int lastContent(const uint32_t* row, int from, int to, uint32_t background, uint32_t mask) {
    int x = to;
    for (; x - 8 >= from; x -= 8) {
        uint32_t diff = 0;
        for (int k = 1; k <= 8; ++k) diff |= (row[x - k] & mask) ^ background;
        if (diff) break;
    }
    for (; x > from; --x)
        if ((row[x - 1] & mask) != background) return x - 1;
    return from - 1;
}

}  // namespace

const uint32_t* Frame::argb() const {
    if (mip_.format != TX_FMT_ARGB8888 || !hasPixels() || mip_.width <= 0 || mip_.height <= 0)
        return nullptr;
    if (mip_.size < int64_t(mip_.width) * int64_t(mip_.height) * 4) return nullptr;
    return reinterpret_cast<const uint32_t*>(mip_.data[0]);
}

int Frame::crop(const TxRect& rect) {
    if (width() <= 0 || height() <= 0) return FE_CROP_NO_PIXELS;
    const TxRect r = normalizedRect(rect);
    if (r.right > width()) return FE_CROP_RIGHT;
    if (r.bottom > height()) return FE_CROP_BOTTOM;
    if (r.left < 0 || r.top < 0) return FE_CROP_NEGATIVE;
    if (r.empty()) return FE_CROP_EMPTY;
    if (!argb()) return FE_CROP_NO_MEMORY;
    const int w = r.width(), h = r.height();
    uint32_t* p = reinterpret_cast<uint32_t*>(mip_.data[0]);
    const size_t pitch = size_t(width());
    // Every row moves to a place at or before its source and after the rows already moved, so
    // the frame is cropped where it lies: no second pixel array, no first touch of new pages.
    for (int y = 0; y < h; ++y) {
        uint32_t* dst = p + size_t(y) * size_t(w);
        const uint32_t* src = p + size_t(r.top + y) * pitch + size_t(r.left);
        if (dst != src) std::memmove(dst, src, size_t(w) * 4);
    }
    setPixels(mip_, p, w, h);
    return FE_OK;
}

int Frame::resizeCanvas(int newWidth, int newHeight, bool centre) {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return FE_CANVAS_NO_PIXELS;
    const uint32_t* src = argb();
    if (!src) return FE_CANVAS_NO_BLOCK;
    if (newWidth < 1 || newHeight < 1) return FE_CANVAS_NO_MEMORY;
    if (newWidth == w && newHeight == h) return FE_OK;
    if (newWidth < w && newHeight < h) {
        TxRect r{0, 0, newWidth, newHeight};
        if (centre) {
            const int ox = (w - newWidth) / 2, oy = (h - newHeight) / 2;
            r = {ox, oy, ox + newWidth, oy + newHeight};
        }
        return crop(r);
    }
    if (!txSizeAllowed(newWidth, newHeight)) return FE_CANVAS_NO_MEMORY;
    int dx = centre ? (newWidth - w) / 2 : 0, dy = centre ? (newHeight - h) / 2 : 0;
    if (newWidth >= w && newHeight >= h) {
        // A larger canvas on both sides: the block grows (the allocator can often extend it
        // without copying) and the rows move back to their new places, last row first, since
        // each goes to a place at or after its source.
        const size_t bytes = size_t(newWidth) * size_t(newHeight) * 4;
        auto* p = static_cast<uint32_t*>(std::realloc(mip_.data[0], bytes));
        if (!p) return FE_CANVAS_NO_MEMORY;
        mip_.data[0] = reinterpret_cast<uint8_t*>(p);
        const size_t pitch = size_t(newWidth);
        for (int y = h - 1; y >= 0; --y) {
            uint32_t* dst = p + size_t(dy + y) * pitch + size_t(dx);
            const uint32_t* from = p + size_t(y) * size_t(w);
            if (dst != from) std::memmove(dst, from, size_t(w) * 4);
        }
        // Everything the picture does not cover becomes transparent black.
        for (int y = 0; y < newHeight; ++y) {
            uint32_t* row = p + size_t(y) * pitch;
            if (y < dy || y >= dy + h) {
                std::memset(row, 0, pitch * 4);
            } else {
                std::memset(row, 0, size_t(dx) * 4);
                std::memset(row + dx + w, 0, size_t(newWidth - dx - w) * 4);
            }
        }
        setPixels(mip_, p, newWidth, newHeight);
        return FE_OK;
    }
    // One side grows and the other shrinks: a new canvas.
    uint32_t* block = newPixels(newWidth, newHeight, true);
    if (!block) return FE_CANVAS_NO_MEMORY;
    int sx = 0, sy = 0;
    if (dx < 0) {
        sx = -dx;
        dx = 0;
    }
    if (dy < 0) {
        sy = -dy;
        dy = 0;
    }
    const int cw = std::min(w - sx, newWidth - dx), ch = std::min(h - sy, newHeight - dy);
    for (int y = 0; y < ch; ++y)
        std::memcpy(block + size_t(dy + y) * size_t(newWidth) + size_t(dx),
                    src + size_t(sy + y) * size_t(w) + size_t(sx), size_t(cw) * 4);
    adoptPixels(mip_, block, newWidth, newHeight);
    return FE_OK;
}

int Frame::scale(int newWidth, int newHeight) {
    if (width() <= 0 || height() <= 0 || !argb()) return FE_SCALE_NO_PIXELS;
    if (!txSizeAllowed(newWidth, newHeight)) return FE_SCALE_NO_MEMORY;
    TxMip dst;
    // The resampler wants the destination at least as deep as the source.
    if (!txMipInit(dst, newWidth, newHeight, std::max(1, mip_.depth), TX_FMT_ARGB8888))
        return FE_SCALE_NO_MEMORY;
    txImageResize(dst, mip_);
    mip_ = std::move(dst);
    return FE_OK;
}

int Frame::isoTransform() {
    const int w = width(), h = height();
    const uint32_t* src = argb();
    if (w <= 0 || h <= 0 || !src) return FE_ISO_EMPTY;
    const int n = std::max(w, h);
    uint32_t* block = newPixels(2 * n, n, true);
    if (!block) return FE_ISO_NO_MEMORY;
    // (x, y) goes to (n + x - y, (x + y) / 2): along a source row the column advances by one and
    // the canvas row after every pixel with x + y odd. With n >= w, h every target is inside.
    const size_t pitch = size_t(2 * n);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = src + size_t(y) * size_t(w);
        uint32_t* out = block + size_t(y / 2) * pitch + size_t(n - y);
        int parity = y & 1;
        for (int x = 0; x < w; ++x) {
            out[x] = row[x];
            if (parity) out += pitch;
            parity ^= 1;
        }
    }
    adoptPixels(mip_, block, 2 * n, n);
    return FE_OK;
}

void Frame::boundingBox(TxRect& box, uint32_t background, uint32_t mask) const {
    const uint32_t* p = argb();
    if (!p) return;
    const int w = width(), h = height();
    auto row = [&](int y) { return p + size_t(y) * size_t(w); };
    int top = 0;
    while (top < h && firstContent(row(top), 0, w, background, mask) == w) ++top;
    if (top == h) return;  // nothing but border
    int bottom = h;
    while (bottom > top + 1 && firstContent(row(bottom - 1), 0, w, background, mask) == w) --bottom;
    // Rows outside [top, bottom) hold only border, so the columns are decided by the rows inside;
    // each row is searched only where it could still widen the box.
    int left = w, right = 0;
    for (int y = top; y < bottom; ++y) {
        const uint32_t* r = row(y);
        const int l = firstContent(r, 0, left, background, mask);
        if (l < left) left = l;
        const int last = lastContent(r, std::max(right, left), w, background, mask);
        if (last >= right) right = last + 1;
    }
    const TxRect found{left, top, right, bottom};
    if (box.empty()) {
        box = found;
    } else {
        box.left = std::min(box.left, found.left);
        box.top = std::min(box.top, found.top);
        box.right = std::max(box.right, found.right);
        box.bottom = std::max(box.bottom, found.bottom);
    }
}

FrameSequence::FrameSequence(const FrameSequence& other)
    : current_(other.current_), step_(other.step_) {
    for (const auto& f : other.frames_) {
        auto copy = std::unique_ptr<Frame>(new (std::nothrow) Frame(*f));
        if (!copy || (f->hasPixels() && !copy->hasPixels())) {
            // A partial copy would look like a shorter sequence; hand back nothing instead.
            frames_.clear();
            current_ = 0;
            return;
        }
        frames_.push_back(std::move(copy));
    }
}

Frame* FrameSequence::append() {
    auto f = std::unique_ptr<Frame>(new (std::nothrow) Frame());
    if (!f) return nullptr;
    frames_.push_back(std::move(f));
    return frames_.back().get();
}

void FrameSequence::removeLast() {
    if (frames_.empty()) return;
    frames_.pop_back();
    if (current_ >= count()) current_ = count() > 0 ? count() - 1 : 0;
}

int FrameSequence::addBlankFrames(int width, int height, int n) {
    if (n < 1) n = 1;
    for (int k = 0; k < n; ++k) {
        Frame* f = append();
        if (!f) return FE_ADD_BLANK_FAILED;
        if (f->createBlank(width, height) != FE_OK) {
            frames_.pop_back();
            return FE_ADD_BLANK_FAILED;
        }
    }
    return FE_OK;
}

Frame* FrameSequence::frameAt(int i) {
    return (i >= 0 && i < count()) ? frames_[size_t(i)].get() : nullptr;
}

const Frame* FrameSequence::frameAt(int i) const {
    return (i >= 0 && i < count()) ? frames_[size_t(i)].get() : nullptr;
}

void FrameSequence::currentSize(int& w, int& h) const {
    const Frame* f = currentFrame();
    w = f ? f->width() : 0;
    h = f ? f->height() : 0;
}

TxFileType FrameSequence::fileType() const {
    const Frame* f = firstFrame();
    return f ? f->fileType : TX_TYPE_UNKNOWN;
}

void FrameSequence::setCurrent(int i) {
    if (i >= 0 && i < count()) current_ = i;
}
void FrameSequence::goFirst() { current_ = 0; }
void FrameSequence::goLast() { current_ = count() > 0 ? count() - 1 : 0; }
void FrameSequence::goNext() {
    if (current_ < count() - 1) ++current_;
}
void FrameSequence::goPrevious() {
    if (current_ > 0) --current_;
}
void FrameSequence::goNextWrapping() { current_ = current_ < count() - 1 ? current_ + 1 : 0; }

int FrameSequence::forEveryFrame(const std::function<int(Frame&)>& op, Progress* progress) {
    const bool show = progress && count() > 1;
    if (show) progress->begin(count());
    int result = FE_OK;
    for (auto& f : frames_) {
        result = op(*f);
        if (result != FE_OK) break;
        if (show) progress->step();
    }
    if (show) progress->end();
    return result;
}

int FrameSequence::mirror(const TxRect* rect, Progress* progress) {
    return forEveryFrame([rect](Frame& f) { return f.mirror(rect); }, progress);
}

int FrameSequence::flip(const TxRect* rect, Progress* progress) {
    return forEveryFrame([rect](Frame& f) { return f.flip(rect); }, progress);
}

int FrameSequence::crop(const TxRect& rect, Progress* progress) {
    const TxRect r = normalizedRect(rect);
    if (r.empty()) return FE_CROP_EMPTY;
    return forEveryFrame(
        [&r](Frame& f) {
            if (f.width() <= 0 || f.height() <= 0) return f.crop(r);
            const TxRect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, f.width()),
                           std::min(r.bottom, f.height())};
            return c.empty() ? int(FE_OK) : f.crop(c);
        },
        progress);
}

int FrameSequence::resizeCanvas(int width, int height, bool centre, Progress* progress) {
    return forEveryFrame([=](Frame& f) { return f.resizeCanvas(width, height, centre); }, progress);
}

int FrameSequence::scale(int width, int height, Progress* progress) {
    return forEveryFrame([=](Frame& f) { return f.scale(width, height); }, progress);
}

int FrameSequence::isoTransform(Progress* progress) {
    return forEveryFrame([](Frame& f) { return f.isoTransform(); }, progress);
}

void FrameSequence::clear() {
    frames_.clear();
    current_ = 0;
}

void FrameSequence::swap(FrameSequence& other) noexcept {
    frames_.swap(other.frames_);
    std::swap(current_, other.current_);
    std::swap(step_, other.step_);
}

std::string frameTitle(const std::string& title, int currentIndex, int count) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%-24.24s Frame %d:%d", title.c_str(), currentIndex + 1, count);
    return buf;
}

bool PlayMode::elapse(FrameSequence& seq, int ms) {
    if (!playing || seq.count() < 2 || ms <= 0) return false;
    int at = seq.currentIndex();
    if (at < 0 || at >= seq.count()) at = 0;
    shownMs += ms;
    bool moved = false;
    // A long stall skips frames rather than showing each for no time; bounded by one lap.
    for (int n = 0; n < seq.count(); ++n) {
        const Frame* f = seq.frameAt(at);
        const int d = f ? f->shownDurationMs() : Frame::kDefaultDurationMs;
        if (shownMs < d) break;
        shownMs -= d;
        at = (at + 1) % seq.count();
        moved = true;
    }
    if (shownMs > 60000) shownMs = 0;
    if (moved) {
        seq.setCurrent(at);
        counter = at + 1;
    }
    return moved;
}

int PlayMode::remainingMs(const FrameSequence& seq) const {
    const Frame* f = seq.currentFrame();
    const int d = f ? f->shownDurationMs() : Frame::kDefaultDurationMs;
    return std::max(1, d - shownMs);
}

bool PlayMode::tick(FrameSequence& seq) {
    if (!playing || seq.count() < 2) return false;
    if (counter < 0 || counter >= seq.count()) counter = 0;
    seq.setCurrent(counter);
    ++counter;
    return true;
}
