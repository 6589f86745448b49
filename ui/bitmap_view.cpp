#include "ui/bitmap_view.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "app/document.h"

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
        p.drawImage(QRect(0, 0, f->width() * z, f->height() * z), img);
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
        view_->beginDrag(view_->imagePoint(d));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint p = view_->imagePoint(e->position().toPoint());
        if (view_->dragging_ && (e->buttons() & Qt::LeftButton)) {
            view_->dragTo(p);
        } else {
            view_->cursor_ = p;
            emit view_->selectionChanged();
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && view_->dragging_) {
            view_->dragTo(view_->imagePoint(e->position().toPoint()));
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

void CBitmapView::dragTo(const QPoint& p) {
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

void CBitmapView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        dragging_ = false;
        clearSelection();
        return;
    }
    QScrollArea::keyPressEvent(e);
}
