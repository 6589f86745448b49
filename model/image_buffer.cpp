#include "model/image_buffer.h"

#include <cstring>
#include <new>

#include "texlib/mip.h"

int ImageBuffer::release() {
    header_ = Header{};
    width_ = height_ = 0;
    pixels_.reset();
    return 0;
}

int ImageBuffer::create(int width, int height) {
    release();
    if (!txSizeAllowed(width, height)) return 0;
    pixels_.reset(new (std::nothrow) uint32_t[size_t(width) * size_t(height)]);
    if (!pixels_) return 0;
    header_.size = 40;
    header_.width = width;
    header_.height = -height;
    header_.planes = 1;
    header_.bitCount = 32;
    header_.compression = 0;
    header_.sizeImage = uint32_t(width) * uint32_t(height) * 4;
    width_ = width;
    height_ = height;
    return 1;
}

void ImageBuffer::loadPixels(const uint32_t* s, uint32_t m) {
    const size_t n = size_t(width_) * size_t(height_);
    uint32_t* p = pixels_.get();
    if (!n || !s) return;
    if (m == 0x00FFFFFFu) {
        std::memcpy(p, s, n * 4);
    } else if (m == 0xFF000000u) {
        for (size_t k = 0; k < n; ++k) p[k] = (s[k] >> 24) * 0x010101u;
    } else {
        for (size_t k = 0; k < n; ++k) p[k] = s[k] & m;
    }
}

void ImageBuffer::copyFrom(const ImageBuffer& other) {
    const size_t n = size_t(width_) * size_t(height_);
    if (n && other.pixels_) std::memcpy(pixels_.get(), other.pixels_.get(), n * 4);
}

void ImageBuffer::averageWith(const ImageBuffer& other) {
    const size_t n = size_t(width_) * size_t(height_);
    uint32_t* p = pixels_.get();
    const uint32_t* o = other.pixels_.get();
    if (!o) return;
    for (size_t k = 0; k < n; ++k) p[k] = ((p[k] >> 1) & 0x007F7F7Fu) + ((o[k] >> 1) & 0x007F7F7Fu);
}

void ImageBuffer::andAll(uint32_t mask) {
    const size_t n = size_t(width_) * size_t(height_);
    uint32_t* p = pixels_.get();
    for (size_t k = 0; k < n; ++k) p[k] &= mask;
}

void ImageBuffer::xorAll(uint32_t value) {
    const size_t n = size_t(width_) * size_t(height_);
    uint32_t* p = pixels_.get();
    const uint32_t v = ~value;
    for (size_t k = 0; k < n; ++k) p[k] ^= v;
}

void ImageBuffer::blendLine(int x1, int y1, int x2, int y2, int red, int green, int blue,
                            int weight) {
    if (!pixels_) return;
    const int r = red & 0xFF, g = green & 0xFF, b = blue & 0xFF, w = weight & 0xFF;
    auto plot = [&](int x, int y) {
        // Callers keep both end points inside; anything outside is ignored rather than written.
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        uint32_t& px = at(x, y);
        auto mix = [w](int o, int c) { return uint32_t(((o * 256 + (c - o) * w) >> 8) & 0xFF); };
        const int ob = int(px & 0xFF), og = int((px >> 8) & 0xFF), orr = int((px >> 16) & 0xFF);
        px = (px & 0xFF000000u) | (mix(orr, r) << 16) | (mix(og, g) << 8) | mix(ob, b);
    };
    const int dx = x2 - x1, dy = y2 - y1;
    const int sx = dx >= 0 ? 1 : -1, sy = dy >= 0 ? 1 : -1;
    const int ax = 2 * (dx < 0 ? -dx : dx), ay = 2 * (dy < 0 ? -dy : dy);
    int x = x1, y = y1;
    if (ay >= ax) {
        int d = ax - ay / 2;
        while (y != y2) {
            plot(x, y);
            y += sy;
            if (d >= 0) {
                x += sx;
                d -= ay;
            }
            d += ax;
        }
    } else {
        if (x1 == x2) return;
        int d = ay - ax / 2;
        while (x != x2) {
            plot(x, y);
            if (d >= 0) {
                y += sy;
                d -= ax;
            }
            x += sx;
            d += ay;
        }
    }
}
