#include "app/frame_sequence.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/image_buffer.h"
#include "app/ports.h"
#include "texlib/read.h"
#include "texlib/tga.h"

Frame::Frame(const Frame& other) : fileType(other.fileType), fileName(other.fileName) {
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

uint32_t* Frame::pixels() { return hasPixels() ? reinterpret_cast<uint32_t*>(mip_.data[0]) : nullptr; }

const uint32_t* Frame::pixels() const {
    return hasPixels() ? reinterpret_cast<const uint32_t*>(mip_.data[0]) : nullptr;
}

int Frame::load(const std::string& path, const uint32_t* palette) {
    txMipFree(mip_);
    fileName = path;
    fileType = 0;
    loadError_.clear();
    loadedFrames_ = 1;
    TxReadContext ctx;
    ctx.palette = palette;
    if (!txMipReadFile(mip_, path, TX_PREFER_ARGB8888, ctx)) {
        txMipFree(mip_);
        loadError_ = ctx.lastError;
        return FE_LOAD_FAILED;
    }
    fileType = ctx.fileType;
    loadedFrames_ = ctx.frameCount;
    return FE_OK;
}

int Frame::writeTGA(const std::string& path, std::string* error) const {
    if (!hasPixels()) return TX_TGA_WRITE_ERROR;
    return txWriteTGA(path, mip_.width, mip_.height, pixels(), txTgaCompressionMode(), error);
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
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
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

int FrameSequence::fileType() const {
    const Frame* f = firstFrame();
    return f ? f->fileType : 0;
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

bool PlayMode::tick(FrameSequence& seq) {
    if (!playing || seq.count() < 2) return false;
    if (counter < 0 || counter >= seq.count()) counter = 0;
    seq.setCurrent(counter);
    ++counter;
    return true;
}
