#include "ui/bitmap_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "document/document.h"
#include "model/preferences.h"
#include "ui/main_window.h"
#include "ui/view_commands.h"
#include "view/inactive_window.h"
#include "view/view_render.h"

namespace {

// The picture as a screen reader sees it: Qt's widget interface with "ShowMenu" added, so that
// the context menu can be opened without a mouse, and with that menu as its last child. Qt
// lists no popup menu among the application's windows: a menu bar's menus are found below
// their entries, and this one below the picture it belongs to.
class AccessibleView : public QAccessibleWidget {
public:
    explicit AccessibleView(CBitmapView* view) : QAccessibleWidget(view, QAccessible::Client) {}
    int childCount() const override { return QAccessibleWidget::childCount() + (menu() ? 1 : 0); }
    QAccessibleInterface* child(int index) const override {
        if (menu() && index == QAccessibleWidget::childCount())
            return QAccessible::queryAccessibleInterface(menu());
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (menu() && child && child->object() == menu()) return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction())
            view()->showContextMenu();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    CBitmapView* view() const { return static_cast<CBitmapView*>(widget()); }
    QMenu* menu() const { return view()->contextMenu(); }
};

QAccessibleInterface* accessibleViewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CBitmapView") && object && object->isWidgetType())
        return new AccessibleView(static_cast<CBitmapView*>(object));
    return nullptr;
}

}  // namespace

CBitmapView::CBitmapView(CBitmapDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), state_(doc, ViewPreferences{}),
      autoScrollTimer_(new QTimer(this)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleViewFactory);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Picture"));
    autoScrollTimer_->setInterval(ViewState::kAutoScrollMs);
    connect(autoScrollTimer_, &QTimer::timeout, this, [this] { state_.autoScrollTick(); });
    state_.setHost(this);
    frame_ = qobject_cast<QMdiSubWindow*>(parent);
    if (frame_) {
        connect(frame_, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates before, Qt::WindowStates now) {
                    if ((before ^ now) & Qt::WindowActive) frameActivated(now & Qt::WindowActive);
                });
        frame_->installEventFilter(this);
    }
    onUpdate(HINT_FULL);
}

CBitmapView::~CBitmapView() {
    state_.setHost(nullptr);
    if (frame_) frame_->removeEventFilter(this);
}

QSize CBitmapView::imageSize() const {
    const int w = state_.imageWidth(), h = state_.imageHeight();
    return w > 0 && h > 0 ? QSize(w, h) : QSize();
}

void CBitmapView::onUpdate(DocHint hint, const TxRect* rect) { state_.documentUpdate(hint, rect); }

void CBitmapView::setPreferences(const ViewPreferences& prefs) {
    state_.setPreferences(prefs);
    viewport()->update();
}

uint32_t CBitmapView::colourAt(const QPoint& p) const {
    const ImageBuffer& c = state_.colourSurface();
    if (c.empty() || p.x() < 0 || p.y() < 0 || p.x() >= c.width() || p.y() >= c.height()) return 0;
    return c.at(p.x(), p.y()) & 0x00FFFFFFu;
}

void CBitmapView::refreshMask() {
    if (CBitmapDoc* d = document()) d->rebuildMask(state_.mask(), 0);
}

QPoint CBitmapView::logical(const QPointF& pos) const {
    const QPoint d = pos.toPoint();
    return QPoint(d.x() + horizontalScrollBar()->value(), d.y() + verticalScrollBar()->value());
}

void CBitmapView::syncViewport() {
    state_.setViewport(horizontalScrollBar()->value(), verticalScrollBar()->value(),
                       viewport()->width(), viewport()->height());
}

// ---- ViewHost ----

void CBitmapView::invalidate(bool) {
    retakeSnapshotLater();
    viewport()->update();
}

void CBitmapView::statusChanged() { emit selectionChanged(); }

void CBitmapView::scrollSizesChanged() {
    int vw = viewport()->width(), vh = viewport()->height();
    // Scroll bars shown for an earlier, smaller window take room the picture now fits in
    // without them: measure without them, or they would keep each other up.
    const QScrollBar* hb = horizontalScrollBar();
    const QScrollBar* vb = verticalScrollBar();
    const int fullW = vw + (vb->isVisibleTo(this) ? vb->width() : 0);
    const int fullH = vh + (hb->isVisibleTo(this) ? hb->height() : 0);
    if (state_.totalWidth() <= fullW && state_.totalHeight() <= fullH) {
        vw = fullW;
        vh = fullH;
    }
    horizontalScrollBar()->setRange(0, std::max(0, state_.totalWidth() - vw));
    verticalScrollBar()->setRange(0, std::max(0, state_.totalHeight() - vh));
    horizontalScrollBar()->setPageStep(std::max(1, vw));
    verticalScrollBar()->setPageStep(std::max(1, vh));
    horizontalScrollBar()->setSingleStep(state_.lineSize());
    verticalScrollBar()->setSingleStep(state_.lineSize());
    syncViewport();
    viewport()->update();
}

void CBitmapView::scrollTo(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
    syncViewport();
}

void CBitmapView::autoScrollTimer(bool run) {
    if (run)
        autoScrollTimer_->start();
    else
        autoScrollTimer_->stop();
}

void CBitmapView::captionDrag() {
    if (!frame_) return;
    movingWindow_ = true;
    moveStart_ = QCursor::pos();
    frameStart_ = frame_->pos();
}

void CBitmapView::message(const std::string& text) {
    if (auto* main = qobject_cast<CMainFrame*>(window()))
        main->prompts().message(text, MsgIcon::Warning, MsgButtons::Ok);
}

void CBitmapView::keyColourApplied() { emit selectionChanged(); }

Progress* CBitmapView::progress() {
    auto* main = qobject_cast<CMainFrame*>(window());
    return main ? &main->progress() : nullptr;
}

// ---- Events ----

void CBitmapView::showEvent(QShowEvent* e) {
    QAbstractScrollArea::showEvent(e);
    if (prefsRead_) return;
    // The first time the view is shown its window sits in the main window: take the preferences.
    if (auto* main = qobject_cast<CMainFrame*>(window())) {
        prefsRead_ = true;
        const ViewPreferences p = viewPreferences(main->preferences());
        state_.startFrom(p);
        // A window that lost the focus before it was first shown is dimmed now.
        if (p.grayInactive && frame_)
            QTimer::singleShot(0, this, [this] {
                if (!(frame_->windowState() & Qt::WindowActive) && snapshot_.isNull())
                    frameActivated(false);
            });
    }
}

void CBitmapView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    scrollSizesChanged();
}

void CBitmapView::scrollContentsBy(int, int) {
    syncViewport();
    viewport()->update();
}

void CBitmapView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (snapshotShown()) {
        // Inactive and dimmed: this part of the frame's snapshot.
        p.drawImage(-viewport()->mapTo(frame_, QPoint(0, 0)), snapshot_);
        return;
    }
    syncViewport();
    renderView(state_, rendered_);
    if (rendered_.empty()) return;
    // The rendered words are opaque 0xFFRRGGBB: painted as they are, without a copy.
    const QImage img(reinterpret_cast<const uchar*>(rendered_.pixels()), rendered_.width(),
                     rendered_.height(), rendered_.pitch(), QImage::Format_RGB32);
    p.drawImage(0, 0, img);
}

void CBitmapView::frameActivated(bool on) {
    state_.activate(on);
    if (on || !state_.preferences().grayInactive || !frame_) {
        snapshotPending_ = false;
        if (!snapshot_.isNull()) {
            snapshot_ = QImage();
            frame_->update();
            viewport()->update();
        }
        return;
    }
    takeSnapshot();
}

void CBitmapView::takeSnapshot() {
    snapshotPending_ = false;
    // The frame paints itself as it is while it is grabbed: the old snapshot is no part of it.
    snapshot_ = QImage();
    const QImage shot = frame_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shot.isNull() || !snapshotBuffer_.create(shot.width(), shot.height())) return;
    for (int y = 0; y < shot.height(); ++y)
        std::memcpy(&snapshotBuffer_.at(0, y), shot.constScanLine(y), size_t(shot.width()) * 4);
    greySnapshot(snapshotBuffer_);
    snapshot_ =
        QImage(reinterpret_cast<const uchar*>(snapshotBuffer_.pixels()), snapshotBuffer_.width(),
               snapshotBuffer_.height(), snapshotBuffer_.pitch(), QImage::Format_RGB32);
    frame_->update();
    viewport()->update();
}

void CBitmapView::retakeSnapshotLater() {
    // Resized (Window > Tile) or changed through another window while inactive: taken anew once
    // the frame has its new size and picture, never painted stretched or stale meanwhile.
    if (snapshot_.isNull() || snapshotPending_) return;
    snapshotPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (!snapshotPending_) return;
        if (frame_ && state_.preferences().grayInactive &&
            !(frame_->windowState() & Qt::WindowActive))
            takeSnapshot();
        else
            snapshotPending_ = false;
    });
}

bool CBitmapView::snapshotShown() const {
    return !snapshot_.isNull() && frame_ && snapshot_.size() == frame_->size();
}

bool CBitmapView::eventFilter(QObject* o, QEvent* e) {
    if (o == frame_ && e->type() == QEvent::Resize) retakeSnapshotLater();
    if (o == frame_ && e->type() == QEvent::Paint && snapshotShown()) {
        // The platform's own frame painting is replaced by the snapshot.
        QPainter p(frame_);
        p.drawImage(0, 0, snapshot_);
        return true;
    }
    return QAbstractScrollArea::eventFilter(o, e);
}

void CBitmapView::updateCursorShape() {
    switch (state_.cursorShape()) {
    case ViewCursor::Arrow: viewport()->setCursor(Qt::ArrowCursor); break;
    case ViewCursor::Image: viewport()->setCursor(Qt::CrossCursor); break;
    case ViewCursor::KeyPick: viewport()->setCursor(Qt::PointingHandCursor); break;
    }
}

void CBitmapView::mousePressEvent(QMouseEvent* e) {
    setFocus();
    syncViewport();
    if (e->button() == Qt::RightButton) {
        emit contextMenuWanted(e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    const QPoint l = logical(e->position());
    state_.leftDown(l.x(), l.y(), e->modifiers() & Qt::ShiftModifier);
}

void CBitmapView::setContextMenu(QMenu* menu) { contextMenu_ = menu; }

QMenu* CBitmapView::contextMenu() const { return contextMenu_; }

void CBitmapView::showContextMenu() {
    const QPoint local = viewport()->mapFromGlobal(QCursor::pos());
    const QPoint at = viewport()->rect().contains(local) ? local : viewport()->rect().center();
    emit contextMenuWanted(viewport()->mapToGlobal(at));
}

void CBitmapView::contextMenuEvent(QContextMenuEvent* e) {
    // The right button has opened the menu on its press already.
    if (e->reason() == QContextMenuEvent::Mouse) return;
    showContextMenu();
}

void CBitmapView::mouseMoveEvent(QMouseEvent* e) {
    if (movingWindow_ && frame_) {
        frame_->move(frameStart_ + QCursor::pos() - moveStart_);
        return;
    }
    syncViewport();
    const QPoint l = logical(e->position());
    state_.mouseMove(l.x(), l.y(), e->buttons() & Qt::LeftButton,
                     e->modifiers() & Qt::ShiftModifier);
    updateCursorShape();
}

void CBitmapView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (movingWindow_) {
        movingWindow_ = false;
        return;
    }
    const QPoint l = logical(e->position());
    state_.leftUp(l.x(), l.y());
}

void CBitmapView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint l = logical(e->position());
    state_.doubleClick(l.x(), l.y());
}

namespace {

ViewKey viewKey(int key) {
    switch (key) {
    case Qt::Key_Left: return ViewKey::Left;
    case Qt::Key_Up: return ViewKey::Up;
    case Qt::Key_Right: return ViewKey::Right;
    case Qt::Key_Down: return ViewKey::Down;
    case Qt::Key_Escape: return ViewKey::Escape;
    default: return ViewKey::Other;
    }
}

// The editing keys of the view: the Edit menu's commands.
int editCommand(char32_t c) {
    switch (c) {
    case U's':
    case U'S': return CMD_SCALE;
    case U'r':
    case U'R': return CMD_RESIZE;
    case U'x':
    case U'X': return CMD_FLIP_HORIZONTAL;
    case U'y':
    case U'Y': return CMD_FLIP_VERTICAL;
    default: return 0;
    }
}

// The character a key press types, with Ctrl+G as the control code 7.
char32_t typed(const QKeyEvent* e) {
    if (e->key() == Qt::Key_G && (e->modifiers() & Qt::ControlModifier)) return 7;
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return 0;
    const QString t = e->text();
    return t.size() == 1 ? char32_t(t.at(0).unicode()) : 0;
}

}  // namespace

bool CBitmapView::event(QEvent* e) {
    // Keys of the view win over window-wide shortcuts while the view has the focus.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        const char32_t c = typed(k);
        if (viewKey(k->key()) != ViewKey::Other || ViewState::handlesCharacter(c) ||
            editCommand(c)) {
            e->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void CBitmapView::wheelEvent(QWheelEvent* e) {
    // The view decides: Ctrl zooms at the mouse, Shift scrolls sideways, else down and up.
    const QPoint d = e->angleDelta();
    if (e->modifiers() & Qt::ControlModifier) {
        const QPoint at = e->position().toPoint();
        if (state_.wheelZoom(d.y(), at.x(), at.y())) emit zoomedByWheel();
    } else {
        state_.wheelScroll(d.x(), d.y(), (e->modifiers() & Qt::ShiftModifier) != 0);
    }
    e->accept();
}

void CBitmapView::keyPressEvent(QKeyEvent* e) {
    const ViewKey k = viewKey(e->key());
    if (k != ViewKey::Other) {
        if (state_.keyDown(k, e->modifiers() & Qt::ShiftModifier,
                           e->modifiers() & Qt::ControlModifier))
            return;
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    const char32_t c = typed(e);
    if (c == 0) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    if (e->isAutoRepeat()) return;
    if (state_.character(c, false)) {
        emit selectionChanged();
        return;
    }
    if (const int id = editCommand(c))
        if (auto* main = qobject_cast<CMainFrame*>(window())) main->trigger(id);
    if (c < 0x10000) emit characterTyped(QChar(char16_t(c)));
}
