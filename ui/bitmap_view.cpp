#include "ui/bitmap_view.h"

#include <QImage>
#include <QPainter>
#include <QPaintEvent>

#include "app/document.h"

class CBitmapView::Canvas : public QWidget {
public:
    explicit Canvas(CBitmapView* view) : QWidget(view), view_(view) {}

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
        p.drawImage(QRect(0, 0, f->width() * view_->zoom_, f->height() * view_->zoom_), img);
    }

private:
    CBitmapView* view_;
};

CBitmapView::CBitmapView(CBitmapDoc* doc, QWidget* parent)
    : QScrollArea(parent), doc_(doc), canvas_(new Canvas(this)) {
    setWidget(canvas_);
    setBackgroundRole(QPalette::Dark);
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

void CBitmapView::onUpdate(int) {
    const QSize s = imageSize();
    canvas_->resize(s.isEmpty() ? QSize(1, 1) : s * zoom_);
    canvas_->update();
}
