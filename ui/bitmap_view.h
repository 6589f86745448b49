// The document window's view: draws the current frame at a zoom of 1 to 8 over a chequer board
// that shows transparency, and keeps the rectangle selection made with the mouse.
#pragma once

#include <QScrollArea>

#include "model/image_buffer.h"
#include "texlib/mip.h"

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
    // Refresh after a document change; hint as the document sends it (HINT_SELECT with rect).
    void onUpdate(int hint, const TxRect* rect = nullptr);

    // The selection in image pixels (right and bottom exclusive); empty means none.
    const TxRect& selection() const { return selection_; }
    // Normalised and clipped to the image; an empty result clears the selection.
    void setSelection(const TxRect& r);
    void clearSelection() { setSelection(TxRect{}); }
    void selectAll();
    // True while the mouse drags a rubber band.
    bool dragging() const { return dragging_; }
    // Image pixel under a point of the canvas (device position divided by the zoom, rounded).
    QPoint imagePoint(const QPoint& canvasPos) const;
    // The rubber band as the mouse makes it: press at p starts it, moves and the release extend
    // it; the start column/row is kept inside the rectangle whichever way the mouse goes.
    void beginDrag(const QPoint& imagePos);
    // With `frames` (Shift held) the size becomes a whole number of frames, at least one; the
    // edge at the start point stays.
    void dragTo(const QPoint& imagePos, bool frames = false);
    // The frame size of Shift drags (the preferences' "Frame" width and height).
    void setFrameSize(int width, int height);
    void endDrag();
    // The mouse position over the image and the colour there (0x00RRGGBB), for the status texts.
    QPoint cursorPos() const { return cursor_; }
    uint32_t colourAt(const QPoint& imagePos) const;
    // Double click at an image point: the position item under it (the one whose centre is
    // nearest), else the sprite around it, found by growing a rectangle until each edge meets a
    // uniform row or column of another value. False when p is outside the picture.
    bool selectAt(const QPoint& imagePos);
    // Arrow keys on a selection: move it by a pixel, with Shift grow it towards the arrow, with
    // Ctrl shrink it from the other side. False when the key does not act on the selection.
    bool nudgeSelection(int key, bool shift, bool ctrl);

    // The mask surface of the mask commands; it mirrors the current frame's alpha.
    ImageBuffer& mask() { return mask_; }
    void refreshMask();
    // Shows the mask (the alpha as grey) instead of the colours.
    bool maskShown() const { return showMask_; }
    void setMaskShown(bool on);
    // "Pick key color": the next left click picks the key from the colours.
    void beginKeyPick();
    bool pickingKey() const { return keyPick_; }
    // The click of a key pick at an image point (also reached by the mouse).
    void pickKeyAt(const QPoint& imagePos);

signals:
    // The selection or the cursor position changed.
    void selectionChanged();
    // A key colour (0x00RRGGBB) was picked.
    void keyColourPicked(uint32_t key);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    class Canvas;
    TxRect clipped(TxRect r) const;
    CBitmapDoc* doc_;
    Canvas* canvas_;
    int zoom_ = 1;
    TxRect selection_;
    QPoint dragStart_, cursor_;
    bool dragging_ = false;
    int frameWidth_ = 32, frameHeight_ = 32;
    ImageBuffer mask_;
    bool showMask_ = false;
    bool keyPick_ = false;
};
