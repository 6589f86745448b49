// Frames (one argb8888 image with its file type and name) and the ordered, owned list of them that
// every document holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "texlib/mip.h"
#include "texlib/read.h"
#include "texlib/tga.h"

class ImageBuffer;
class Progress;

// Result codes of frame and sequence operations; 0 is success.
enum FrameError : int {
    FE_OK = 0,
    FE_BLANK_NO_MEMORY = 110,
    FE_CROP_NO_PIXELS = 121,
    FE_CROP_RIGHT = 124,
    FE_CROP_BOTTOM = 125,
    FE_CROP_NEGATIVE = 126,
    FE_CROP_EMPTY = 128,
    FE_ADD_BLANK_FAILED = 131,
    FE_CROP_NO_MEMORY = 132,
    FE_CROP_ALLOC = 138,
    FE_MIRROR_EMPTY = 177,
    FE_ISO_EMPTY = 188,
    FE_FLIP_EMPTY = 244,
    FE_AUTOCROP_EMPTY = 506,
    FE_COPY_FORMAT = 505,
    FE_CANVAS_NO_PIXELS = 530,
    FE_CANVAS_NO_BLOCK = 569,
    FE_AUTOCROP_NONE = 620,
    FE_LOAD_FAILED = 651,
    FE_LOAD_OVER_BUDGET = 652,  // the image is larger than the bytes the load was allowed
    FE_SCALE_NO_PIXELS = 671,
    FE_MASK_MISSING = 719,
    FE_MASK_NO_PIXELS = 720,
    FE_MASK_NOTHING = 723,
    FE_MASK_FROM_ALPHA_NO_PIXELS = 886,
    // Memory for the new pixels of a canvas resize, scale or isometric projection could not be
    // had (or the new size lies beyond the allocation limits).
    FE_CANVAS_NO_MEMORY = 531,
    FE_SCALE_NO_MEMORY = 672,
    FE_ISO_NO_MEMORY = 189,
};

// The rectangle with left <= right and top <= bottom (edges swapped where reversed).
TxRect normalizedRect(const TxRect& r);

class Frame {
public:
    Frame() = default;
    Frame(const Frame& other);
    Frame& operator=(const Frame&) = delete;
    virtual ~Frame() = default;

    int createBlank(int width, int height);
    uint32_t* pixels();
    const uint32_t* pixels() const;
    int width() const { return mip_.width; }
    int height() const { return mip_.height; }
    bool hasPixels() const { return mip_.data[0] != nullptr && mip_.size > 0; }

    // Reads a file as argb8888; 0 or FE_LOAD_FAILED. On failure loadError() says why. `palette`
    // (256 words) is the current palette for readers that need one. With `maxBytes` above 0 a
    // larger image is refused before it is allocated (FE_LOAD_OVER_BUDGET; loadNeededBytes() says
    // what it would have taken).
    int load(const std::string& path, const uint32_t* palette = nullptr, int64_t maxBytes = 0);
    const std::string& loadError() const { return loadError_; }
    int64_t loadNeededBytes() const { return loadNeeded_; }
    // Bytes the frame's pixels take.
    int64_t byteSize() const { return hasPixels() ? mip_.size : 0; }
    // Frame count the reader reported for the last load (multi-frame files stack frames).
    int loadedFrameCount() const { return loadedFrames_; }
    // The stacked frames' durations the file gave (milliseconds), empty when it gave none.
    const std::vector<int>& loadedDelaysMs() const { return loadedDelays_; }

    int writeTGA(const std::string& path, int mode = TX_TGA_RLE,
                 std::string* error = nullptr) const;

    bool hasOwnAlpha() const;

    // Copies rectangle a of src to the top-left corner of b in this frame, clipped to both frames.
    int copyRect(const Frame& src, const TxRect& a, const TxRect& b);
    int mirror(const TxRect* rect = nullptr);
    int flip(const TxRect* rect = nullptr);
    void invertAlpha();
    bool alphaAllZero() const;
    int alphaFromMask(const ImageBuffer* mask);
    int maskFromAlpha(uint32_t* mask, int bias) const;

    // Geometric operations of the Edit menu (all frames get them in turn through FrameSequence).
    // Crop to rect (normalised first); the rectangle must lie inside the frame.
    int crop(const TxRect& rect);
    // New canvas of width x height; the picture stays at the top-left corner or, with centre, in
    // the middle. Uncovered canvas is transparent black.
    int resizeCanvas(int width, int height, bool centre);
    // Resamples the pixels to width x height by area averaging.
    int scale(int width, int height);
    // Projects the frame onto a 2N x N isometric diamond (N the larger side).
    int isoTransform();
    // Merges the tightest rectangle holding every pixel p with (p & mask) != background into box;
    // an empty box is replaced. A frame made only of such border pixels leaves box as it was.
    void boundingBox(TxRect& box, uint32_t background, uint32_t mask) const;

    TxFileType fileType = TX_TYPE_UNKNOWN;
    std::string fileName;
    // How long the frame is shown while playing, in milliseconds; 0 when not known.
    int durationMs = 0;
    static constexpr int kDefaultDurationMs = 100;
    int shownDurationMs() const { return durationMs > 0 ? durationMs : kDefaultDurationMs; }

    TxMip& mip() { return mip_; }
    const TxMip& mip() const { return mip_; }

private:
    // The pixel words when the record really holds width x height argb8888 words, else null;
    // the geometric operations never read a record of another layout.
    const uint32_t* argb() const;

    TxMip mip_;
    std::string loadError_;
    int loadedFrames_ = 1;
    std::vector<int> loadedDelays_;
    int64_t loadNeeded_ = 0;
};

class FrameSequence {
public:
    FrameSequence() = default;
    // Deep copy. An incomplete copy (out of memory) is left empty, so it can never pass for the
    // whole sequence; check count() against the source when that matters.
    FrameSequence(const FrameSequence& other);
    FrameSequence& operator=(const FrameSequence&) = delete;
    ~FrameSequence() = default;

    Frame* append();
    // Drops the last frame (a frame whose load failed).
    void removeLast();
    int addBlankFrames(int width, int height, int n);
    Frame* frameAt(int i);
    const Frame* frameAt(int i) const;
    Frame* currentFrame() { return frameAt(current_); }
    const Frame* currentFrame() const { return frameAt(current_); }
    Frame* firstFrame() { return frameAt(0); }
    const Frame* firstFrame() const { return frameAt(0); }
    int count() const { return int(frames_.size()); }
    int currentIndex() const { return current_; }
    void currentSize(int& w, int& h) const;
    TxFileType fileType() const;

    void setCurrent(int i);
    void goFirst();
    void goLast();
    void goNext();
    void goPrevious();
    void goNextWrapping();

    int step() const { return step_; }
    void setStep(int s) { step_ = s; }

    // Applies op to every frame in order, stopping at the first non-zero code; with more than one
    // frame the progress gets the count first and a step after each frame that succeeds.
    int forEveryFrame(const std::function<int(Frame&)>& op, Progress* progress = nullptr);

    int mirror(const TxRect* rect, Progress* progress = nullptr);
    int flip(const TxRect* rect, Progress* progress = nullptr);
    // Frames of a numbered series may differ in size: each frame is cropped to the part of rect
    // that lies inside it, and frames that rect misses altogether are left as they are.
    int crop(const TxRect& rect, Progress* progress = nullptr);
    int resizeCanvas(int width, int height, bool centre, Progress* progress = nullptr);
    int scale(int width, int height, Progress* progress = nullptr);
    int isoTransform(Progress* progress = nullptr);

    void clear();
    // Takes the frames of another sequence (used by loaders that build into a scratch sequence).
    void swap(FrameSequence& other) noexcept;

private:
    std::vector<std::unique_ptr<Frame>> frames_;
    int current_ = 0;
    int step_ = 1;
};

// "%-24.24s Frame %d:%d": the first 24 characters of the title, padded, then the 1-based position.
std::string frameTitle(const std::string& title, int currentIndex, int count);

// Play mode of a document: the flag and the counter of the next frame to show.
struct PlayMode {
    bool playing = false;
    int counter = 0;
    // While not playing, every state update copies the current index so play starts there.
    void syncIdle(const FrameSequence& seq) {
        if (!playing) counter = seq.currentIndex();
    }
    // One animation tick; true when the current frame changed (and the title needs rebuilding).
    bool tick(FrameSequence& seq);
    // Timed play: `ms` more milliseconds have passed; the current frame gives way to the next
    // once its duration is over. True when the current frame changed.
    bool elapse(FrameSequence& seq, int ms);
    // Milliseconds until the current frame gives way (at least 1), for the play timer.
    int remainingMs(const FrameSequence& seq) const;
    int shownMs = 0;  // how long the current frame has been shown
};
