// The document window's view: draws the current frame at a zoom of 1 to 8 over a chequer board
// that shows transparency.
#pragma once

#include <QScrollArea>

class CBitmapDoc;

class CBitmapView : public QScrollArea {
    Q_OBJECT
public:
    explicit CBitmapView(CBitmapDoc* doc, QWidget* parent = nullptr);
    CBitmapDoc* document() const { return doc_; }
    int zoom() const { return zoom_; }
    void setZoom(int zoom);
    // The size of the image as shown at 1:1 (empty without a frame).
    QSize imageSize() const;
    // Refresh after a document change; hint as the document sends it.
    void onUpdate(int hint);

private:
    class Canvas;
    CBitmapDoc* doc_;
    Canvas* canvas_;
    int zoom_ = 1;
};
