// The document window's view widget: mouse, keys, timers and scrolling go into the ViewState,
// and the picture it renders is painted as it is. The rules themselves live in view/.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include "model/image_buffer.h"
#include "texlib/mip.h"
#include "view/view_state.h"

class CBitmapDoc;
enum DocHint : int;
class QMenu;
class QMdiSubWindow;
class QTimer;

class CBitmapView : public QAbstractScrollArea, private ViewHost {
    Q_OBJECT
public:
    explicit CBitmapView(CBitmapDoc* doc, QWidget* parent = nullptr);
    ~CBitmapView() override;

    ViewState& state() { return state_; }
    const ViewState& state() const { return state_; }
    CBitmapDoc* document() const { return state_.document(); }
    int zoom() const { return state_.zoom(); }
    void setZoom(int zoom) { state_.setZoom(zoom); }
    // The size of the image as shown at 1:1 (empty without a frame).
    QSize imageSize() const;
    // Refresh after a document change; hint as the document sends it (HINT_SELECT with rect).
    void onUpdate(DocHint hint, const TxRect* rect = nullptr);
    void setPreferences(const ViewPreferences& prefs);

    const TxRect& selection() const { return state_.selection(); }
    void setSelection(const TxRect& r) { state_.setSelection(r); }
    void clearSelection() { state_.clearSelection(); }
    void selectAll() { state_.selectAll(); }
    bool dragging() const { return state_.dragging(); }
    void setFrameSize(int width, int height) { state_.setFrameSize(width, height); }
    QPoint cursorPos() const { return QPoint(state_.cursorPos().x, state_.cursorPos().y); }
    uint32_t colourAt(const QPoint& imagePos) const;

    // The mask surface of the mask commands; it mirrors the current frame's alpha.
    ImageBuffer& mask() { return state_.mask(); }
    void refreshMask();
    bool maskShown() const { return state_.maskShown(); }
    void setMaskShown(bool on) { state_.setMaskShown(on); }
    void beginKeyPick() { state_.beginKeyPick(); }
    bool pickingKey() const { return state_.pickingKey(); }
    void pickKeyAt(const QPoint& imagePos) {
        state_.pickKeyAt(ViewPoint{imagePos.x(), imagePos.y()});
    }

    // Asks for the context menu under the mouse when it is over the picture, else at the
    // middle of the view: the Menu key, Shift+F10 and the accessible "ShowMenu" action.
    void showContextMenu();
    // The menu that contextMenuWanted opens; a screen reader finds it below the picture.
    void setContextMenu(QMenu* menu);
    QMenu* contextMenu() const;

    // The last picture painted (tests and screenshots).
    const ImageBuffer& rendered() const { return rendered_; }
    // Gray inactive view: the greyed picture of the whole window while it is inactive (null
    // otherwise).
    const QImage& inactiveSnapshot() const { return snapshot_; }

signals:
    // The selection, cursor position, zoom or another status text changed.
    void selectionChanged();
    // A character the view does not handle itself (the editing keys x, y, s, r, ...).
    void characterTyped(QChar c);
    // The right button asks for the context menu at a global position.
    void contextMenuWanted(const QPoint& globalPos);
    // Ctrl+wheel changed the zoom (the window may grow or shrink).
    void zoomedByWheel();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // ViewHost
    void invalidate(bool erase) override;
    void statusChanged() override;
    void scrollSizesChanged() override;
    void scrollTo(int x, int y) override;
    void autoScrollTimer(bool run) override;
    void captionDrag() override;
    void message(const std::string& text) override;
    void keyColourApplied() override;
    Progress* progress() override;

    void syncViewport();
    void updateCursorShape();
    void frameActivated(bool on);
    void takeSnapshot();
    void retakeSnapshotLater();
    // The snapshot is shown only at the frame's own size.
    bool snapshotShown() const;
    QPoint logical(const QPointF& devicePos) const;

    ViewState state_;
    ImageBuffer rendered_;
    QTimer* autoScrollTimer_;
    QMdiSubWindow* frame_ = nullptr;
    // Gray inactive view: the dimmed picture of the whole document window.
    QImage snapshot_;
    ImageBuffer snapshotBuffer_;
    bool snapshotPending_ = false;
    // A press outside the picture moves the document window.
    bool movingWindow_ = false;
    bool prefsRead_ = false;
    QPoint moveStart_, frameStart_;
    QPointer<QMenu> contextMenu_;
};
