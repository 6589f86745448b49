#include "view/view_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "document/document.h"
#include "edit/mask_ops.h"

namespace {

// Floor division, so that points left of or above the picture round the same way as inside.
int floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return int(q);
}

const Frame* currentFrame(const CBitmapDoc* doc) {
    if (!doc || !doc->frames()) return nullptr;
    const Frame* f = doc->frames()->currentFrame();
    return f && f->hasPixels() ? f : nullptr;
}

}  // namespace

ViewState::ViewState(CBitmapDoc* doc, const ViewPreferences& prefs, ViewHost* host)
    : doc_(doc), host_(host), prefs_(prefs) {
    startFrom(prefs);
    refreshSurfaces();
}

void ViewState::startFrom(const ViewPreferences& prefs) {
    prefs_ = prefs;
    setGridMode(prefs.startMode ? GridMode::Isometric : GridMode::Normal);
    grid_.xSize = frameW_;
    grid_.ySize = frameH_;
}

void ViewState::setPreferences(const ViewPreferences& prefs) {
    prefs_ = prefs;
    setGridMode(gridMode_);
}

int ViewState::imageWidth() const {
    const Frame* f = currentFrame(doc_);
    return f ? f->width() : 0;
}

int ViewState::imageHeight() const {
    const Frame* f = currentFrame(doc_);
    return f ? f->height() : 0;
}

void ViewState::changed(bool erase) {
    if (host_) host_->invalidate(erase);
}

void ViewState::status() {
    if (host_) host_->statusChanged();
}

// ---- Document and surfaces ----

void ViewState::documentUpdate(DocHint hint, const TxRect* rect) {
    switch (hint) {
    case HINT_FULL:
        // A new size may leave the selection partly outside the picture; a paste being placed
        // may stick out until the mouse moves.
        if (mode_ != ViewMode::PastePlacement) {
            selection_ = clipped(selection_);
            if (selection_.empty()) selection_ = TxRect{};
        }
        status();
        if (host_) host_->scrollSizesChanged();
        refreshSurfaces();
        changed(true);
        break;
    case HINT_SELECT:
        if (rect) setSelection(*rect);
        status();
        break;
    case HINT_POSITIONS: status(); break;
    default:
        refreshSurfaces();
        changed();
        break;
    }
}

uint32_t ViewState::channelMask() const {
    uint32_t m = 0;
    if (channels_ & CHANNEL_RED) m |= 0x00FF0000u;
    if (channels_ & CHANNEL_GREEN) m |= 0x0000FF00u;
    if (channels_ & CHANNEL_BLUE) m |= 0x000000FFu;
    return m;
}

void ViewState::reloadColour() {
    const Frame* f = currentFrame(doc_);
    if (!f) {
        colour_.release();
        return;
    }
    if (colour_.width() != f->width() || colour_.height() != f->height() || colour_.empty())
        if (!colour_.create(f->width(), f->height())) return;
    colour_.loadPixels(f->pixels(), channelMask());
}

void ViewState::refreshSurfaces() {
    reloadColour();
    if (doc_) {
        if (currentFrame(doc_))
            doc_->rebuildMask(mask_, MASK_ALPHA);
        else
            mask_.release();
        doc_->maskModified = false;
    }
}

// ---- Zoom and scrolling ----

bool ViewState::isZoomStep(int percent) {
    return percent == 25 || percent == 50 ||
           (percent % 100 == 0 && percent >= 100 && percent <= 800);
}

void ViewState::applyZoom(int zoom, int shrink) {
    const bool in = zoom * shrink_ > zoom_ * shrink;
    zoom_ = zoom;
    shrink_ = shrink;
    if (host_) host_->scrollSizesChanged();
    changed(!in);
    status();
}

void ViewState::setZoom(int zoom) {
    if (zoom < 1 || zoom > 8) return;
    applyZoom(zoom, 1);
}

void ViewState::setZoomPercent(int percent) {
    if (!isZoomStep(percent)) return;
    if (percent < 100)
        applyZoom(1, 100 / percent);
    else
        setZoom(percent / 100);
}

void ViewState::zoomIn() {
    if (shrink_ > 1)
        applyZoom(1, shrink_ / 2);
    else if (zoom_ < 8)
        setZoom(zoom_ + 1);
}

void ViewState::zoomOut() {
    if (zoom_ > 1) setZoom(zoom_ - 1);
}

int ViewState::fitPercent(int w, int h, int availW, int availH) {
    for (int p : {800, 700, 600, 500, 400, 300, 200, 100, 50}) {
        const int64_t sw = p >= 100 ? int64_t(w) * (p / 100) : (int64_t(w) * p + 99) / 100;
        const int64_t sh = p >= 100 ? int64_t(h) * (p / 100) : (int64_t(h) * p + 99) / 100;
        if (sw <= availW && sh <= availH) return p;
    }
    return 25;
}

bool ViewState::wheelZoom(int delta, int mx, int my) {
    static constexpr int kSteps[] = {25, 50, 100, 200, 300, 400, 500, 600, 700, 800};
    const int notches = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : delta < 0 ? -1 : 0);
    if (notches == 0) return false;
    int at = 0;
    for (int i = 0; i < 10; ++i)
        if (kSteps[i] == zoomPercent()) at = i;
    const int to = std::clamp(at + notches, 0, 9);
    if (to == at) return false;
    // The image point under the mouse, in units of 1/4 pixel so that 25% keeps it exactly.
    const int64_t qx = (int64_t(scrollX_) + mx) * 4 * shrink_ / zoom_;
    const int64_t qy = (int64_t(scrollY_) + my) * 4 * shrink_ / zoom_;
    setZoomPercent(kSteps[to]);
    const int64_t lx = qx * zoom_ / (4 * shrink_), ly = qy * zoom_ / (4 * shrink_);
    scrollToClamped(int(std::max<int64_t>(0, lx - mx)), int(std::max<int64_t>(0, ly - my)));
    return true;
}

void ViewState::wheelScroll(int deltaX, int deltaY, bool shift) {
    if (shift && deltaX == 0) std::swap(deltaX, deltaY);
    const int dx = -deltaX * kWheelStep / 120, dy = -deltaY * kWheelStep / 120;
    if (dx == 0 && dy == 0) return;
    scrollToClamped(scrollX_ + dx, scrollY_ + dy);
}

int ViewState::toLogical(int image) const { return int(floorDiv(int64_t(image) * zoom_, shrink_)); }

int ViewState::toLogicalCeil(int image) const {
    return int((int64_t(image) * zoom_ + shrink_ - 1) / shrink_);
}

int ViewState::toImageFloor(int logical) const {
    return floorDiv(int64_t(logical) * shrink_, zoom_);
}

void ViewState::zoomKey(bool in) {
    if (in)
        zoomIn();
    else
        zoomOut();
    centreOnCursor();
}

void ViewState::centreOnCursor() {
    int x = toLogical(cursor_.x) - clientW_ / 2;
    int y = toLogical(cursor_.y) - clientH_ / 2;
    // A client area that holds the whole picture needs no scrolling in that direction.
    const ViewPoint client = toImage(clientW_, clientH_);
    if (client.x >= imageWidth()) x = 0;
    if (client.y >= imageHeight()) y = 0;
    scrollToClamped(std::max(0, x), std::max(0, y));
}

void ViewState::scrollToClamped(int x, int y) {
    x = std::clamp(x, 0, std::max(0, totalWidth() - clientW_));
    y = std::clamp(y, 0, std::max(0, totalHeight() - clientH_));
    scrollX_ = x;
    scrollY_ = y;
    if (host_) host_->scrollTo(x, y);
}

void ViewState::setViewport(int scrollX, int scrollY, int clientWidth, int clientHeight) {
    scrollX_ = std::max(0, scrollX);
    scrollY_ = std::max(0, scrollY);
    clientW_ = std::max(0, clientWidth);
    clientH_ = std::max(0, clientHeight);
}

ViewPoint ViewState::toImage(int x, int y) const {
    // Integer part of value + 0.5: (2v + z) / 2z, floored so negatives round the same way.
    const int64_t s = shrink_;
    return ViewPoint{floorDiv(2 * int64_t(x) * s + zoom_, 2 * int64_t(zoom_)),
                     floorDiv(2 * int64_t(y) * s + zoom_, 2 * int64_t(zoom_))};
}

// ---- Channels ----

void ViewState::toggleChannel(int bit) {
    channels_ ^= bit;
    if (channels_ == 0) channels_ = 7 & ~bit;
    reloadColour();
    changed();
}

void ViewState::setChannels(int set) {
    channels_ = set & 7;
    if (channels_ == 0) channels_ = 7;
    reloadColour();
    changed();
}

void ViewState::toggleAlpha() { setMaskShown(!maskShown()); }

void ViewState::setMaskShown(bool on) {
    if (on == maskShown()) return;
    channels_ ^= CHANNEL_MASK;
    // A playing animation moved on since the last refresh: show the current frame at once.
    if (doc_ && doc_->playing()) {
        if (maskShown()) {
            if (currentFrame(doc_)) doc_->rebuildMask(mask_, MASK_ALPHA);
        } else {
            reloadColour();
        }
    }
    changed();
}

// ---- Grid ----

void ViewState::toggleGrid() {
    gridVisible_ = !gridVisible_;
    changed(!gridVisible_);
}

void ViewState::setGridMode(GridMode mode) {
    gridMode_ = mode;
    if (mode == GridMode::Isometric)
        setFrameSize(prefs_.isoFrameWidth, prefs_.isoFrameHeight);
    else
        setFrameSize(prefs_.frameWidth, prefs_.frameHeight);
    changed();
}

void ViewState::setGridOptions(const GridOptions& o) {
    grid_.xOffset = std::clamp(o.xOffset, 0, 1023);
    grid_.yOffset = std::clamp(o.yOffset, 0, 1023);
    grid_.xSize = std::clamp(o.xSize, 4, 1024);
    grid_.ySize = std::clamp(o.ySize, 4, 1024);
    grid_.dottedLine = o.dottedLine;
    grid_.colour = o.colour & 0x00FFFFFFu;
    if (gridVisible_) changed();
}

bool ViewState::makeGrid() {
    if (selection_.empty()) {
        if (host_) host_->message("Make a selection first");
        return false;
    }
    grid_.xSize = selection_.width();
    grid_.ySize = selection_.height();
    grid_.xOffset = selection_.left % grid_.xSize;
    grid_.yOffset = selection_.top % grid_.ySize;
    gridVisible_ = true;
    changed();
    return true;
}

void ViewState::toggleSnap() { snap_ = !snap_; }

void ViewState::setFrameSize(int width, int height) {
    // A frame of no size would make every frame step divide by zero.
    frameW_ = std::max(1, width);
    frameH_ = std::max(1, height);
}

ViewPoint ViewState::snapNormal(ViewPoint p) const {
    const int xs = std::max(1, grid_.xSize), ys = std::max(1, grid_.ySize);
    return ViewPoint{grid_.xOffset + xs * ((p.x + xs / 2 - grid_.xOffset) / xs),
                     grid_.yOffset + ys * ((p.y + ys / 2 - grid_.yOffset) / ys)};
}

ViewPoint ViewState::snapDown(ViewPoint p) const {
    if (gridMode_ == GridMode::Normal) return snapNormal(p);
    return ViewPoint{grid_.xOffset + 32 * ((p.x - grid_.xOffset) / 32),
                     grid_.yOffset + 16 * ((p.y - grid_.yOffset) / 16)};
}

ViewPoint ViewState::snapMove(ViewPoint p) const {
    if (gridMode_ == GridMode::Normal) return snapNormal(p);
    return ViewPoint{grid_.xOffset + 16 * ((p.x - grid_.xOffset) / 16),
                     grid_.yOffset + 16 * ((p.y - grid_.yOffset) / 16)};
}

// ---- Selection ----

TxRect ViewState::clipped(TxRect r) const {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    const int w = imageWidth(), h = imageHeight();
    r.left = std::clamp(r.left, 0, w);
    r.right = std::clamp(r.right, 0, w);
    r.top = std::clamp(r.top, 0, h);
    r.bottom = std::clamp(r.bottom, 0, h);
    return r;
}

void ViewState::setSelection(const TxRect& r) {
    TxRect c = clipped(r);
    if (c.empty()) c = TxRect{};
    if (c == selection_) return;
    selection_ = c;
    changed();
    status();
}

void ViewState::selectAll() {
    endDragInternal();
    setSelection(imageBounds());
    status();
}

void ViewState::beginDrag(ViewPoint p) {
    mode_ = ViewMode::RubberBand;
    dragStart_ = p;
    cursor_ = p;
    // A bare click leaves no selection: the rectangle is empty until the mouse moves.
    selection_ = TxRect{};
    if (!captured_) {
        captured_ = true;
        if (host_) host_->captureMouse(true);
    }
    changed();
    status();
}

void ViewState::dragTo(ViewPoint p, bool frames) {
    if (mode_ != ViewMode::RubberBand) return;
    const ViewPoint s = dragStart_;
    TxRect r;
    if (p.x < s.x) {
        r.left = p.x;
        r.right = s.x + 1;
    } else {
        r.left = s.x;
        r.right = p.x;
    }
    if (p.y < s.y) {
        r.top = p.y;
        r.bottom = s.y + 1;
    } else {
        r.top = s.y;
        r.bottom = p.y;
    }
    if (frames || gridMode_ == GridMode::Isometric) {
        // Whole frames, at least one; the edge at the start point stays.
        const int w = std::max(1, r.width() / frameW_) * frameW_;
        const int h = std::max(1, r.height() / frameH_) * frameH_;
        if (p.x < s.x)
            r.left = r.right - w;
        else
            r.right = r.left + w;
        if (p.y < s.y)
            r.top = r.bottom - h;
        else
            r.bottom = r.top + h;
    }
    cursor_ = p;
    TxRect c = clipped(r);
    if (c.empty()) c = TxRect{};
    selection_ = c;
    changed();
    status();
}

void ViewState::endDragInternal() {
    if (captured_) {
        captured_ = false;
        if (host_) host_->captureMouse(false);
        // A placement ended by anything but its drop is cancelled.
        if (mode_ == ViewMode::PastePlacement && paste_) {
            PasteTarget* target = paste_;
            paste_ = nullptr;
            target->pasteCancelled();
        }
        mode_ = ViewMode::Idle;
    }
    if (autoScroll_) {
        autoScroll_ = false;
        if (host_) host_->autoScrollTimer(false);
    }
}

void ViewState::endDrag() {
    endDragInternal();
    if (mode_ == ViewMode::RubberBand) mode_ = ViewMode::Idle;
    status();
}

bool ViewState::nudgeSelection(ViewKey key, bool shift, bool ctrl) {
    if (selection_.empty() || mode_ != ViewMode::Idle) return false;
    TxRect r = selection_;
    // Shift grows towards the arrow, Ctrl shrinks from the far side, neither moves; nothing
    // ever leaves the picture or gets narrower than one pixel.
    auto lower = [&](int32_t& low, int32_t& high) {
        if (low > 0 && shift) {
            --low;
        } else if (low > 0 && !ctrl) {
            --low;
            --high;
        } else if (ctrl && low + 1 < high) {
            --high;
        }
    };
    auto raise = [&](int32_t& low, int32_t& high, int limit) {
        if (high < limit && shift) {
            ++high;
        } else if (high < limit && !ctrl) {
            ++low;
            ++high;
        } else if (ctrl && low < high - 1) {
            ++low;
        }
    };
    switch (key) {
    case ViewKey::Left: lower(r.left, r.right); break;
    case ViewKey::Up: lower(r.top, r.bottom); break;
    case ViewKey::Right: raise(r.left, r.right, imageWidth()); break;
    case ViewKey::Down: raise(r.top, r.bottom, imageHeight()); break;
    default: return false;
    }
    setSelection(r);
    status();
    return true;
}

bool ViewState::selectAt(ViewPoint p) {
    const int w = imageWidth(), h = imageHeight();
    if (w <= 0 || h <= 0 || p.x < 0 || p.y < 0 || p.x >= w || p.y >= h) return false;

    // A listed rectangle wins; of several, the one whose centre is nearest, the first on ties.
    const PositionList& list = doc_->positions();
    int best = -1;
    int64_t bestDistance = 0;
    for (int i = 0; i < list.count(); ++i) {
        const TxRect& r = list.at(i).rect;
        if (p.x < r.left || p.x >= r.right || p.y < r.top || p.y >= r.bottom) continue;
        const int64_t d = std::abs((int64_t(r.left) + r.right) / 2 - p.x) +
                          std::abs((int64_t(r.top) + r.bottom) / 2 - p.y);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    if (best >= 0) {
        setSelection(list.at(best).rect);
        return true;
    }

    if (gridVisible_) {
        const int xs = std::max(1, grid_.xSize), ys = std::max(1, grid_.ySize);
        const int left = grid_.xOffset + xs * ((p.x - grid_.xOffset) / xs);
        const int top = grid_.yOffset + ys * ((p.y - grid_.yOffset) / ys);
        setSelection(TxRect{left, top, left + xs, top + ys});
        return true;
    }

    // Sprite search on the shown surface; pixels outside it read as 0.
    const ImageBuffer& s = shownSurface();
    const int sw = s.width(), sh = s.height();
    const uint32_t* px = s.pixels();
    auto at = [&](int x, int y) -> uint32_t {
        return x < 0 || y < 0 || x >= sw || y >= sh ? 0u : px[size_t(y) * size_t(sw) + size_t(x)];
    };
    const uint32_t a = at(p.x, p.y);
    // A boundary is a row or column segment of one value other than the clicked one.
    auto rowBoundary = [&](int y, int x0, int x1) {
        const uint32_t first = at(x0, y);
        if (first == a) return false;
        for (int x = x0 + 1; x < x1; ++x)
            if (at(x, y) != first) return false;
        return true;
    };
    auto columnBoundary = [&](int x, int y0, int y1) {
        const uint32_t first = at(x, y0);
        if (first == a) return false;
        for (int y = y0 + 1; y < y1; ++y)
            if (at(x, y) != first) return false;
        return true;
    };
    int left = p.x - 1, top = p.y - 1, right = p.x + 1, bottom = p.y + 1;
    int settledRounds = 0;
    for (int round = 0; round < 256 && settledRounds < 4; ++round) {
        bool settled = true;
        int i = top;
        if (i >= 0) {
            while (i >= 0 && !rowBoundary(i, left, right)) --i;
            if (i < 0) settled = false;
        }
        top = i + 1 < 0 ? 0 : i + 1;
        i = right;
        while (i < w && !columnBoundary(i, top, bottom)) ++i;
        if (i >= w) settled = false;
        right = std::min(i, w);
        i = bottom;
        while (i < h && !rowBoundary(i, left, right)) ++i;
        if (i >= h) settled = false;
        bottom = std::min(i, h);
        i = left;
        while (i >= 0 && !columnBoundary(i, top, bottom)) --i;
        if (i < 0) settled = false;
        left = i + 1 < 0 ? 0 : i + 1;
        if (settled) ++settledRounds;
    }
    setSelection(TxRect{left, top, right, bottom});
    return true;
}

// ---- Mouse, keys and timers ----

void ViewState::leftDown(int x, int y, bool /*shift*/) {
    ViewPoint p = toImage(x, y);
    if (mode_ == ViewMode::PastePlacement) {
        PasteTarget* target = paste_;
        const TxRect at = selection_;
        paste_ = nullptr;
        changed();
        if (target) target->pasteDrop(at);
        selection_ = TxRect{};
        endDragInternal();
        mode_ = ViewMode::Idle;
        refreshSurfaces();
        changed();
        status();
        return;
    }
    if (mode_ == ViewMode::KeyPick) {
        // The pixel under the mouse itself, not the nearest pixel corner.
        pickKeyAt(ViewPoint{toImageFloor(x), toImageFloor(y)});
        return;
    }
    const int w = imageWidth(), h = imageHeight();
    if (mode_ == ViewMode::Idle && (p.x < 0 || p.y < 0 || p.x >= w || p.y >= h)) {
        if (host_) host_->captionDrag();
        return;
    }
    if (snap_) p = snapDown(p);
    beginDrag(p);
}

void ViewState::autoScrollCheck(ViewPoint d, ViewPoint p) {
    if (p.x > imageWidth() - 2 || p.y > imageHeight() - 2) return;
    ViewPoint step;
    if (d.x <= 0 && scrollX_ > 0)
        step.x = scrollX_ < kAutoScrollStep ? -scrollX_ : -kAutoScrollStep;
    else if (d.x >= clientW_ - 1)
        step.x = kAutoScrollStep;
    if (d.y <= 0 && scrollY_ > 0)
        step.y = scrollY_ < kAutoScrollStep ? -scrollY_ : -kAutoScrollStep;
    else if (d.y >= clientH_ - 1)
        step.y = kAutoScrollStep;
    if (step.x == 0 && step.y == 0) {
        if (autoScroll_) {
            autoScroll_ = false;
            if (host_) host_->autoScrollTimer(false);
        }
        return;
    }
    step_ = step;
    if (!autoScroll_) {
        autoScroll_ = true;
        if (host_) host_->autoScrollTimer(true);
    }
}

void ViewState::autoScrollTick() {
    if (mode_ != ViewMode::RubberBand && mode_ != ViewMode::PastePlacement) {
        if (autoScroll_) {
            autoScroll_ = false;
            if (host_) host_->autoScrollTimer(false);
        }
        return;
    }
    scrollToClamped(scrollX_ + step_.x, scrollY_ + step_.y);
}

void ViewState::mouseMove(int x, int y, bool leftButton, bool shift) {
    ViewPoint p = toImage(x, y);
    if (leftButton || mode_ == ViewMode::PastePlacement)
        autoScrollCheck(ViewPoint{x - scrollX_, y - scrollY_}, p);
    const bool inside = p.x >= 0 && p.y >= 0 && p.x < imageWidth() && p.y < imageHeight();
    cursorShape_ = !inside ? ViewCursor::Arrow
                           : (mode_ == ViewMode::KeyPick ? ViewCursor::KeyPick : ViewCursor::Image);
    if (snap_ && (gridMode_ == GridMode::Isometric || mode_ != ViewMode::PastePlacement))
        p = snapMove(p);
    if (mode_ == ViewMode::PastePlacement) {
        moveTo(p, false);
    } else if (mode_ == ViewMode::RubberBand) {
        dragTo(p, shift);
    }
    cursor_ = p;
    status();
}

void ViewState::moveTo(ViewPoint p, bool) {
    TxRect r = selection_;
    const int w = r.width(), h = r.height();
    int left = r.left + p.x - (r.left + r.right) / 2;
    int top = r.top + p.y - (r.top + r.bottom) / 2;
    if (snap_) {
        const ViewPoint g = snapNormal(ViewPoint{left, top});
        left = g.x;
        top = g.y;
    }
    r = TxRect{left, top, left + w, top + h};
    // Pushed back inside the picture, right and bottom first.
    const int iw = imageWidth(), ih = imageHeight();
    if (r.right > iw) {
        r.left -= r.right - iw;
        r.right = iw;
    }
    if (r.bottom > ih) {
        r.top -= r.bottom - ih;
        r.bottom = ih;
    }
    if (r.left < 0) {
        r.right -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        r.bottom -= r.top;
        r.top = 0;
    }
    selection_ = r;
    changed();
}

void ViewState::leftUp(int, int) {
    if (mode_ == ViewMode::RubberBand) {
        endDrag();
        return;
    }
    // Ends a key pick; the outline is repainted.
    if (mode_ != ViewMode::PastePlacement) mode_ = ViewMode::Idle;
    changed();
}

void ViewState::doubleClick(int x, int y) {
    if (mode_ != ViewMode::Idle) return;
    selectAt(toImage(x, y));
}

bool ViewState::keyDown(ViewKey key, bool shift, bool ctrl) {
    if (key == ViewKey::Escape) {
        if (mode_ == ViewMode::Idle) return false;
        PasteTarget* target = mode_ == ViewMode::PastePlacement ? paste_ : nullptr;
        paste_ = nullptr;
        selection_ = TxRect{};
        endDragInternal();
        mode_ = ViewMode::Idle;
        if (target) target->pasteCancelled();
        changed(true);
        status();
        return true;
    }
    const bool handled = nudgeSelection(key, shift, ctrl);
    status();
    return handled;
}

bool ViewState::character(char32_t c, bool autoRepeat) {
    if (autoRepeat) return false;
    switch (c) {
    case U'1': setChannels(CHANNEL_RED); return true;
    case U'2': setChannels(CHANNEL_GREEN); return true;
    case U'3': setChannels(CHANNEL_BLUE); return true;
    case U'4': toggleAlpha(); return true;
    case U'5': setChannels(7); return true;
    case U'm':
    case U'M': zoomKey(true); return true;
    case U'n':
    case U'N': zoomKey(false); return true;
    case U'p':
    case U'P': centreOnCursor(); return true;
    case U'g': toggleGrid(); return true;
    case U'G': makeGrid(); return true;
    case 7: toggleSnap(); return true;  // Ctrl+G
    default: return false;
    }
}

bool ViewState::handlesCharacter(char32_t c) {
    switch (c) {
    case U'1':
    case U'2':
    case U'3':
    case U'4':
    case U'5':
    case U'm':
    case U'M':
    case U'n':
    case U'N':
    case U'p':
    case U'P':
    case U'g':
    case U'G':
    case 7: return true;
    default: return false;
    }
}

void ViewState::activate(bool on) {
    if (!on) {
        endDragInternal();
        if (mode_ == ViewMode::RubberBand) mode_ = ViewMode::Idle;
    }
    active_ = on;
    status();
}

// ---- Key colour pick ----

void ViewState::beginKeyPick() {
    endDragInternal();
    mode_ = ViewMode::KeyPick;
    // The colours must be visible to pick one.
    if (maskShown()) {
        channels_ &= ~CHANNEL_MASK;
        changed();
    }
}

void ViewState::pickKeyAt(ViewPoint p) {
    if (mode_ != ViewMode::KeyPick) return;
    channels_ |= CHANNEL_MASK;
    const uint32_t key = pickKeyColour(colour_, p.x, p.y);
    if (doc_ && currentFrame(doc_)) {
        refreshSurfaces();
        doc_->keyColour(mask_, key, host_ ? host_->progress() : nullptr);
        doc_->updateAllViews(HINT_FRAME);
    }
    // The button up that follows returns to idle; a pick without a mouse ends here.
    mode_ = ViewMode::Idle;
    changed();
    if (host_) host_->keyColourApplied();
}

// ---- Paste placement ----

void ViewState::beginPastePlacement(int width, int height, PasteTarget* target) {
    endDragInternal();
    paste_ = target;
    mode_ = ViewMode::PastePlacement;
    const int left = cursor_.x - width / 2, top = cursor_.y - height / 2;
    selection_ = TxRect{left, top, left + width, top + height};
    captured_ = true;
    if (host_) host_->captureMouse(true);
    changed();
    status();
}

// ---- Status texts ----

std::string ViewState::statusSize() const {
    const int w = imageWidth(), h = imageHeight();
    if (w <= 0 || h <= 0) return "Size=(1x1)";
    return "Size=(" + std::to_string(w) + "x" + std::to_string(h) + ")";
}

std::string ViewState::statusRect() const {
    const TxRect& r = selection_;
    return "Rect=(" + std::to_string(r.left) + ":" + std::to_string(r.top) + "-" +
           std::to_string(r.right) + ":" + std::to_string(r.bottom) + ") Size=(" +
           std::to_string(r.width()) + "x" + std::to_string(r.height()) + ")";
}

std::string ViewState::statusZoom() const { return std::to_string(zoomPercent()) + "%"; }

std::string ViewState::statusCursor() const {
    return std::to_string(cursor_.x) + ":" + std::to_string(cursor_.y);
}

uint32_t ViewState::colourUnderCursor() const {
    return pickKeyColour(colour_, cursor_.x, cursor_.y);
}

std::string ViewState::statusColour() const {
    const Frame* f = currentFrame(doc_);
    if (!f || !f->pixels() || cursor_.x < 0 || cursor_.y < 0 || cursor_.x >= f->width() ||
        cursor_.y >= f->height())
        return std::string();
    const uint32_t c = f->pixels()[size_t(cursor_.y) * size_t(f->width()) + size_t(cursor_.x)];
    char text[24];
    std::snprintf(text, sizeof text, "#%06X A=%u", c & 0xFFFFFFu, c >> 24);
    return text;
}
