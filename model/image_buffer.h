// The displayable 32-bit surface: a heap array of 0xAARRGGBB words, top row first, no padding.
// The GUI paints it through a QImage of the same layout; everything here is plain arithmetic.
#pragma once

#include <cstdint>
#include <memory>

class ImageBuffer {
public:
    // The 40-byte bitmap information header plus one colour-table slot, as the surface describes
    // itself to the platform (and as the clipboard block starts).
    struct Header {
        uint32_t size = 0;
        int32_t width = 0;
        int32_t height = 0;  // negative: top-down
        uint16_t planes = 0;
        uint16_t bitCount = 0;
        uint32_t compression = 0;
        uint32_t sizeImage = 0;
        int32_t xPelsPerMeter = 0;
        int32_t yPelsPerMeter = 0;
        uint32_t clrUsed = 0;
        uint32_t clrImportant = 0;
        uint32_t colourSlot = 0;
    };

    ImageBuffer() = default;
    ~ImageBuffer() = default;
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    int release();
    // 1 on success; 0 (buffer left empty) when the size is refused or memory runs out.
    int create(int width, int height);

    void loadPixels(const uint32_t* source, uint32_t channelMask);
    void copyFrom(const ImageBuffer& other);
    void averageWith(const ImageBuffer& other);
    void andAll(uint32_t mask);
    void xorAll(uint32_t value);
    void blendLine(int x1, int y1, int x2, int y2, int red, int green, int blue, int weight);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_ == nullptr; }
    uint32_t* pixels() { return pixels_.get(); }
    const uint32_t* pixels() const { return pixels_.get(); }
    uint32_t& at(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    uint32_t at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    const Header& header() const { return header_; }
    int pitch() const { return width_ * 4; }
    // Source y for stretched drawing in the platform's bottom-up convention.
    int stretchSourceY(int ys, int hs) const { return height_ - ys - hs; }

private:
    Header header_;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<uint32_t[]> pixels_;
};
