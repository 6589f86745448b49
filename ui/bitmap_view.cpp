#include "ui/bitmap_view.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "document/document.h"

class CBitmapView::Canvas : public QWidget {
public:
    explicit Canvas(CBitmapView* view) : QWidget(view), view_(view) { setMouseTracking(true); }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        const Frame* f = view_->doc_->frames() ? view_->doc_->frames()->currentFrame() : nullptr;
        if (!f || !f->hasPixels()) return;
        // Chequer board under the image so transparent pixels are visible as such.
        const int cell = 8;
        for (int y = e->rect().top() / cell * cell; y <= e->rect().bottom(); y += cell)
            for (int x = e->rect().left() / cell * cell; x <= e->rect().right(); x += cell)
                p.fillRect(x, y, cell, cell,
                           ((x / cell + y / cell) & 1) ? QColor(204, 204, 204) : QColor(255, 255, 255));
        // Same word layout as the frame's pixels: the image wraps them without a copy.
        const QImage img(reinterpret_cast<const uchar*>(f->pixels()), f->width(), f->height(),
                         f->width() * 4, QImage::Format_ARGB32);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const int z = view_->zoom_;
        if (view_->showMask_) {
            // The mask as grey: it holds what the alpha holds.
            QImage grey(f->width(), f->height(), QImage::Format_Grayscale8);
            const uint32_t* px = f->pixels();
            for (int y = 0; y < f->height(); ++y) {
                uchar* line = grey.scanLine(y);
                for (int x = 0; x < f->width(); ++x)
                    line[x] = uchar(px[size_t(y) * size_t(f->width()) + size_t(x)] >> 24);
            }
            p.drawImage(QRect(0, 0, f->width() * z, f->height() * z), grey);
        } else {
            p.drawImage(QRect(0, 0, f->width() * z, f->height() * z), img);
        }
        const TxRect& s = view_->selection_;
        if (!s.empty()) {
            // Inverting outline: visible on any picture.
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(QPoint(s.left * z, s.top * z),
                             QPoint(s.right * z - 1, s.bottom * z - 1)));
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const QPoint d = e->position().toPoint();
        const QSize s = view_->imageSize() * view_->zoom_;
        // Clicks outside the picture never start a selection.
        if (s.isEmpty() || d.x() < 0 || d.y() < 0 || d.x() >= s.width() || d.y() >= s.height())
            return;
        view_->setFocus();
        if (view_->keyPick_) {
            // The pixel under the mouse itself, not the nearest pixel corner.
            view_->pickKeyAt(QPoint(d.x() / view_->zoom_, d.y() / view_->zoom_));
            return;
        }
        view_->beginDrag(view_->imagePoint(d));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint p = view_->imagePoint(e->position().toPoint());
        if (view_->dragging_ && (e->buttons() & Qt::LeftButton)) {
            // Dragging past the visible part scrolls the picture along.
            const QPoint d = e->position().toPoint();
            view_->ensureVisible(d.x(), d.y(), 12, 12);
            view_->dragTo(p, e->modifiers() & Qt::ShiftModifier);
        } else {
            view_->cursor_ = p;
            emit view_->selectionChanged();
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || view_->dragging_) return;
        view_->selectAt(view_->imagePoint(e->position().toPoint()));
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && view_->dragging_) {
            view_->dragTo(view_->imagePoint(e->position().toPoint()),
                          e->modifiers() & Qt::ShiftModifier);
            view_->endDrag();
        }
    }

private:
    CBitmapView* view_;
};

CBitmapView::CBitmapView(CBitmapDoc* doc, QWidget* parent)
    : QScrollArea(parent), doc_(doc), canvas_(new Canvas(this)) {
    setWidget(canvas_);
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    onUpdate(HINT_FULL);
}

QSize CBitmapView::imageSize() const {
    const Frame* f = doc_->frames() ? doc_->frames()->currentFrame() : nullptr;
    return f && f->hasPixels() ? QSize(f->width(), f->height()) : QSize();
}

void CBitmapView::setZoom(int zoom) {
    zoom_ = zoom < 1 ? 1 : (zoom > 8 ? 8 : zoom);
    onUpdate(HINT_FULL);
}

void CBitmapView::onUpdate(int hint, const TxRect* rect) {
    if (hint == HINT_SELECT) {
        if (rect) setSelection(*rect);
        return;
    }
    if (hint == HINT_POSITIONS) return;
    const QSize s = imageSize();
    canvas_->resize(s.isEmpty() ? QSize(1, 1) : s * zoom_);
    // A new size may leave the selection partly outside the picture.
    if (hint == HINT_FULL) setSelection(selection_);
    canvas_->update();
}

TxRect CBitmapView::clipped(TxRect r) const {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    const QSize s = imageSize();
    r.left = std::clamp(r.left, 0, std::max(0, s.width()));
    r.right = std::clamp(r.right, 0, std::max(0, s.width()));
    r.top = std::clamp(r.top, 0, std::max(0, s.height()));
    r.bottom = std::clamp(r.bottom, 0, std::max(0, s.height()));
    return r;
}

void CBitmapView::setSelection(const TxRect& r) {
    TxRect c = clipped(r);
    if (c.empty()) c = TxRect{};
    const bool changed = !(c == selection_);
    selection_ = c;
    if (changed) {
        canvas_->update();
        emit selectionChanged();
    }
}

void CBitmapView::selectAll() {
    dragging_ = false;
    const QSize s = imageSize();
    setSelection(TxRect{0, 0, s.width(), s.height()});
}

QPoint CBitmapView::imagePoint(const QPoint& pos) const {
    // Integer part of value + 0.5, also for negative positions left of the picture.
    auto conv = [this](int v) {
        const double d = double(v) / zoom_ + 0.5;
        return int(d < 0 ? d - 1 : d);
    };
    return QPoint(conv(pos.x()), conv(pos.y()));
}

void CBitmapView::beginDrag(const QPoint& p) {
    dragging_ = true;
    dragStart_ = p;
    cursor_ = p;
    // A bare click leaves no selection: the rectangle is empty until the mouse moves.
    setSelection(TxRect{p.x(), p.y(), p.x(), p.y()});
    emit selectionChanged();
}

void CBitmapView::setFrameSize(int width, int height) {
    frameWidth_ = std::max(1, width);
    frameHeight_ = std::max(1, height);
}

void CBitmapView::dragTo(const QPoint& p, bool frames) {
    if (!dragging_) return;
    TxRect r;
    if (p.x() < dragStart_.x()) {
        r.left = p.x();
        r.right = dragStart_.x() + 1;
    } else {
        r.left = dragStart_.x();
        r.right = p.x();
    }
    if (p.y() < dragStart_.y()) {
        r.top = p.y();
        r.bottom = dragStart_.y() + 1;
    } else {
        r.top = dragStart_.y();
        r.bottom = p.y();
    }
    if (frames) {
        const int w = std::max(1, r.width() / frameWidth_) * frameWidth_;
        const int h = std::max(1, r.height() / frameHeight_) * frameHeight_;
        if (p.x() < dragStart_.x())
            r.left = r.right - w;
        else
            r.right = r.left + w;
        if (p.y() < dragStart_.y())
            r.top = r.bottom - h;
        else
            r.bottom = r.top + h;
    }
    cursor_ = p;
    setSelection(r);
    emit selectionChanged();
}

void CBitmapView::endDrag() { dragging_ = false; }

uint32_t CBitmapView::colourAt(const QPoint& p) const {
    const Frame* f = doc_->frames() ? doc_->frames()->currentFrame() : nullptr;
    if (!f || !f->hasPixels() || p.x() < 0 || p.y() < 0 || p.x() >= f->width() ||
        p.y() >= f->height())
        return 0;
    return f->pixels()[size_t(p.y()) * size_t(f->width()) + size_t(p.x())] & 0x00FFFFFFu;
}

void CBitmapView::refreshMask() { doc_->rebuildMask(mask_, 0); }

void CBitmapView::setMaskShown(bool on) {
    showMask_ = on;
    canvas_->update();
}

void CBitmapView::beginKeyPick() {
    dragging_ = false;
    keyPick_ = true;
    // The colours must be visible to pick one.
    setMaskShown(false);
    canvas_->setCursor(Qt::CrossCursor);
}

void CBitmapView::pickKeyAt(const QPoint& p) {
    if (!keyPick_) return;
    keyPick_ = false;
    canvas_->unsetCursor();
    setMaskShown(true);
    emit keyColourPicked(colourAt(p));
}

bool CBitmapView::selectAt(const QPoint& p) {
    const Frame* f = doc_->frames() ? doc_->frames()->currentFrame() : nullptr;
    if (!f || !f->hasPixels()) return false;
    const int w = f->width(), h = f->height();
    if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) return false;

    // A listed rectangle wins; of several, the one whose centre is nearest, the first on ties.
    const PositionList& list = doc_->positions();
    int best = -1;
    int64_t bestDistance = 0;
    for (int i = 0; i < list.count(); ++i) {
        const TxRect& r = list.at(i).rect;
        if (p.x() < r.left || p.x() >= r.right || p.y() < r.top || p.y() >= r.bottom) continue;
        const int64_t d = std::abs(int64_t(r.left + r.right) / 2 - p.x()) +
                          std::abs(int64_t(r.top + r.bottom) / 2 - p.y());
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    if (best >= 0) {
        setSelection(list.at(best).rect);
        return true;
    }

    // Sprite search: pixels outside the picture read as 0.
    const uint32_t* px = f->pixels();
    auto at = [&](int x, int y) -> uint32_t {
        return x < 0 || y < 0 || x >= w || y >= h ? 0u : px[size_t(y) * size_t(w) + size_t(x)];
    };
    const uint32_t a = at(p.x(), p.y());
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
    int left = p.x() - 1, top = p.y() - 1, right = p.x() + 1, bottom = p.y() + 1;
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

bool CBitmapView::nudgeSelection(int key, bool shift, bool ctrl) {
    if (selection_.empty() || dragging_) return false;
    const QSize s = imageSize();
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
    case Qt::Key_Left: lower(r.left, r.right); break;
    case Qt::Key_Up: lower(r.top, r.bottom); break;
    case Qt::Key_Right: raise(r.left, r.right, s.width()); break;
    case Qt::Key_Down: raise(r.top, r.bottom, s.height()); break;
    default: return false;
    }
    setSelection(r);
    return true;
}

void CBitmapView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        if (keyPick_) {
            keyPick_ = false;
            canvas_->unsetCursor();
        }
        dragging_ = false;
        clearSelection();
        return;
    }
    if (nudgeSelection(e->key(), e->modifiers() & Qt::ShiftModifier,
                       e->modifiers() & Qt::ControlModifier))
        return;
    QScrollArea::keyPressEvent(e);
}
