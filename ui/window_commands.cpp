#include "ui/window_commands.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "document/document.h"
#include "model/preferences.h"
#include "model/window_placement.h"
#include "ui/bitmap_view.h"
#include "ui/main_window.h"
#include "ui/position_list_window.h"
#include "ui/view_commands.h"
#include "view/inactive_window.h"

namespace {

void showAbout(CMainFrame& main) {
    QDialog dlg(&main);
    dlg.setWindowTitle(QStringLiteral("About Tarquil"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tarquil.svg")).pixmap(48, 48));
    icon->setAccessibleName(QStringLiteral("Tarquil"));
    auto* version = new QLabel(CMainFrame::appTitle().left(100));
    version->setObjectName(QStringLiteral("version"));
    version->setAccessibleName(version->text());
    auto* line =
        new QLabel(QStringLiteral("Tarquil Studio: sprites, fonts and textures for games"));
    line->setAccessibleName(line->text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addWidget(line, 0, Qt::AlignHCenter);
    layout->addWidget(buttons);
    dlg.exec();
}

// Vertical tiling puts the windows side by side, horizontal one above the other.
void tile(CMainFrame& main, bool sideBySide) {
    const std::vector<CChildFrame*> list = main.childFrames();
    std::vector<CChildFrame*> shown;
    for (CChildFrame* c : list)
        if (!c->isMinimized()) shown.push_back(c);
    if (shown.empty()) return;
    const QSize area = main.mdiArea()->viewport()->size();
    const int n = int(shown.size());
    for (int i = 0; i < n; ++i) {
        shown[size_t(i)]->showNormal();
        if (sideBySide) {
            const int x0 = area.width() * i / n, x1 = area.width() * (i + 1) / n;
            shown[size_t(i)]->setGeometry(x0, 0, x1 - x0, area.height());
        } else {
            const int y0 = area.height() * i / n, y1 = area.height() * (i + 1) / n;
            shown[size_t(i)]->setGeometry(0, y0, area.width(), y1 - y0);
        }
    }
}

}  // namespace

void installWindowCommands(CMainFrame& main) {
    CMainFrame* m = &main;
    auto hasDoc = [m] { return m->activeDocument() != nullptr; };
    main.handle(
        CMD_TOOLBAR, [m] { m->setToolBarsShown(!m->toolBarsShown()); }, {},
        [m] { return m->toolBarsShown(); });
    main.handle(
        CMD_STATUS_BAR, [m] { m->statusBar()->setVisible(m->statusBar()->isHidden()); }, {},
        [m] { return !m->statusBar()->isHidden(); });
    main.handle(
        CMD_NEW_WINDOW, [m] { m->newWindow(); }, hasDoc);
    main.handle(
        CMD_CASCADE, [m] { m->mdiArea()->cascadeSubWindows(); }, hasDoc);
    main.handle(
        CMD_TILE_VERTICAL, [m] { tile(*m, true); }, hasDoc);
    main.handle(
        CMD_TILE_HORIZONTAL, [m] { tile(*m, false); }, hasDoc);
    main.handle(
        CMD_CLOSE_ALL, [m] { m->closeAllDocuments(); }, hasDoc);
    main.handle(CMD_ABOUT, [m] { showAbout(*m); });
}

void CMainFrame::newWindow() {
    CChildFrame* c = activeChild();
    if (!c) return;
    CChildFrame* n = addChild(c->doc());
    n->view()->setZoom(c->view()->zoom());
}

void CMainFrame::setToolBarsShown(bool shown) {
    toolBarsShown_ = shown;
    mainBar_->setVisible(shown);
    paletteBar_->setVisible(shown);
}

void CMainFrame::fillWindowList(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->property("windowList").toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        if (n == 0) menu->addSeparator()->setProperty("windowList", true);
        ++n;
        const QString title = w->windowTitle();
        auto* a = menu->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                         : QStringLiteral("%1 %2").arg(n).arg(title));
        a->setProperty("windowList", true);
        a->setToolTip(title);
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] {
            if (mdi_->subWindowList().contains(w)) mdi_->setActiveSubWindow(w);
        });
    }
}

CChildFrame::CChildFrame(CBitmapDoc* doc, CMainFrame* main) : doc_(doc), main_(main) {
    view_ = new CBitmapView(doc_, this);
    setWidget(view_);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarquil.svg")));
    setWindowTitle(QString::fromStdString(doc_->title()));
    // The editor keeps a history of edits as the preferences say; a document on its own (the
    // command line, tests) keeps the single level.
    doc_->setUndoBudget(main_->preferences().undoBudgetBytes());
}

void CChildFrame::closeWithoutPrompt() {
    asked_ = true;
    close();
}

void CChildFrame::closeEvent(QCloseEvent* e) {
    if (!asked_ && !main_->confirmClose(this)) {
        e->ignore();
        return;
    }
    main_->childClosing(this);
    e->accept();
}

CChildFrame* CMainFrame::addChild(CBitmapDoc* doc) {
    auto* child = new CChildFrame(doc, this);
    children_.push_back(child);
    alive_.push_back(child);
    connect(child, &QObject::destroyed, this, &CMainFrame::childDestroyed);
    mdi_->addSubWindow(child);
    CBitmapView* view = child->view();
    view->setPreferences(viewPreferences(prefs_));
    view->setContextMenu(contextMenu_);
    connect(view, &CBitmapView::contextMenuWanted, this,
            [this](const QPoint& globalPos) { contextMenu_->popup(globalPos); });
    connect(view, &CBitmapView::zoomedByWheel, this, [this] {
        fitActiveWindowToPicture();
        updateCommands();
    });
    connect(view, &CBitmapView::selectionChanged, this, [this, view] {
        if (view != activeView()) return;
        viewStatusChanged();
        updateCommands();
    });
    placeChild(child);
    child->show();
    fitChildToPicture(child);
    mdi_->setActiveSubWindow(child);
    lastActive_ = child;
    positionWindow_->attach(doc);
    refreshTitles();
    updateCommands();
    return child;
}

// A new window is as large as its picture at the view's zoom (within the work area), and each
// one is placed a step further down and right, back to the corner when it would leave the area.
QSize CMainFrame::childSizeFor(CChildFrame* child) const {
    const QSize area = mdi_->viewport()->size().expandedTo(QSize(200, 150));
    const ViewState& st = child->view()->state();
    const QSize image(st.totalWidth(), st.totalHeight());
    const int border = 2 * child->view()->frameWidth();
    // The window's own chrome as laid out (the style's metrics miss the title bar's real height
    // in some styles, and one pixel short brings both scroll bars); the metrics before it is.
    QSize chrome = child->size() - child->view()->size();
    if (!child->isVisible() || chrome.width() < 0 || chrome.height() <= 0) {
        const int frame =
            child->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, child);
        const int title = child->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, child);
        chrome = QSize(2 * frame, title + frame);
    }
    const QSize size = image + QSize(border, border) + chrome;
    return size.expandedTo(QSize(160, 100)).boundedTo(area);
}

QSize CMainFrame::workspaceSize() const {
    const QSize area = mdi_->viewport()->size().expandedTo(QSize(200, 150));
    const QWidget* probe =
        mdi_->activeSubWindow() ? static_cast<const QWidget*>(mdi_->activeSubWindow()) : mdi_;
    const int frame = probe->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int title = probe->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QSize(std::max(1, area.width() - 2 * frame - 4),
                 std::max(1, area.height() - title - frame - 4));
}

void CMainFrame::fitActiveWindowToPicture() {
    // activeChild(): a menu reached through the accessibility interface or a test leaves the
    // work area without an active window.
    if (CChildFrame* c = activeChild()) fitChildToPicture(c);
}

void CMainFrame::fitChildToPicture(CChildFrame* child) {
    child->resize(childSizeFor(child));
    // Once laid out, the view's size shows what the title bar and frame really take; a few
    // pixels short would bring up both scroll bars, so correct by what is missing.
    QTimer::singleShot(0, child, [this, child] {
        const ViewState& st = child->view()->state();
        const int border = 2 * child->view()->frameWidth();
        const QSize need(st.totalWidth() + border, st.totalHeight() + border);
        const QSize miss = need - child->view()->size();
        if (miss.isNull()) return;
        const QSize area = mdi_->viewport()->size().expandedTo(QSize(200, 150));
        child->resize((child->size() + miss).expandedTo(QSize(160, 100)).boundedTo(area));
    });
}

void CMainFrame::placeChild(CChildFrame* child) {
    const QSize area = mdi_->viewport()->size().expandedTo(QSize(200, 150));
    const QSize size = childSizeFor(child);
    const int title = child->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, child);
    const int step = title > 0 ? title : 24;
    const int n = int(children_.size()) - 1;
    int x = n * step, y = n * step;
    if (x + size.width() > area.width() || y + size.height() > area.height()) {
        const int fit = std::max(1, std::min((area.width() - size.width()) / step,
                                             (area.height() - size.height()) / step) +
                                        1);
        x = (n % fit) * step;
        y = (n % fit) * step;
    }
    child->resize(size);
    child->move(x, y);
}

QMdiSubWindow* CMainFrame::addDocument(std::unique_ptr<CBitmapDoc> doc) {
    CBitmapDoc* d = doc.get();
    docs_.push_back(std::move(doc));
    d->onUpdate = [this, d](DocHint hint, const TxRect* rect) {
        for (CChildFrame* c : children_)
            if (c->doc() == d) c->view()->onUpdate(hint, rect);
        refreshTitles();
        documentChanged(d, hint);
    };
    return addChild(d);
}

bool CMainFrame::confirmClose(CChildFrame* child) {
    CBitmapDoc* doc = child->doc();
    int views = 0;
    for (CChildFrame* c : children_)
        if (c->doc() == doc) ++views;
    return views > 1 || askToSave(doc);
}

void CMainFrame::childClosing(CChildFrame* child) {
    children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
    if (lastActive_ == child) lastActive_ = nullptr;
    CBitmapDoc* doc = child->doc();
    if (playingDoc_ == doc) playingDoc_ = nullptr;
    const bool shown = std::any_of(children_.begin(), children_.end(),
                                   [doc](CChildFrame* c) { return c->doc() == doc; });
    if (!shown) {
        positionWindow_->documentClosing(doc);
        for (auto it = docs_.begin(); it != docs_.end(); ++it)
            if (it->get() == doc) {
                (*it)->onUpdate = nullptr;
                retired_.push_back(std::move(*it));
                docs_.erase(it);
                break;
            }
    }
    refreshTitles();
    if (!destroying_) {
        viewStatusChanged();
        updateCommands();
    }
}

void CMainFrame::childDestroyed(QObject* child) {
    alive_.erase(std::remove(alive_.begin(), alive_.end(), child), alive_.end());
    // A retired document goes once no window object that shows it remains.
    if (alive_.empty()) retired_.clear();
    for (auto it = retired_.begin(); it != retired_.end();) {
        const CBitmapDoc* d = it->get();
        const bool used = std::any_of(alive_.begin(), alive_.end(), [d](QObject* o) {
            return static_cast<CChildFrame*>(o)->doc() == d;
        });
        it = used ? std::next(it) : retired_.erase(it);
    }
}

bool CMainFrame::closeAllDocuments() {
    // Every question first: a Cancel anywhere leaves every window open.
    std::vector<CBitmapDoc*> docs;
    for (auto& d : docs_) docs.push_back(d.get());
    for (CBitmapDoc* d : docs)
        if (!askToSave(d)) return false;
    for (CChildFrame* c : std::vector<CChildFrame*>(children_)) {
        c->closeWithoutPrompt();
        // Gone at once, so that the caller sees no window left.
        delete c;
    }
    return true;
}

void CMainFrame::savePlacement() {
    const QRect work = screen() ? screen()->availableGeometry() : QRect();
    const QRect r = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    WindowPlacement p;
    p.status = isMaximized() ? 3 : isMinimized() ? 2 : 1;
    p.left = r.left() - work.left();
    p.top = r.top() - work.top();
    p.right = p.left + r.width();
    p.bottom = p.top + r.height();
    p.save(settings());
}

bool CMainFrame::restorePlacement(Qt::WindowStates& state) {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return false;
    const QRect work = s->availableGeometry();
    const QRect full = s->geometry();
    // The icon size of the clamp: 32 pixels, as large as a desktop icon.
    WindowPlacement p;
    if (!WindowPlacement::restore(settings(), work.left(), work.top(), full.right() + 1,
                                  full.bottom() + 1, 32, p))
        return false;
    setGeometry(p.left, p.top, p.width(), p.height());
    state = p.status == 3   ? Qt::WindowMaximized
            : p.status == 2 ? Qt::WindowMinimized
                            : Qt::WindowNoState;
    return true;
}

void CMainFrame::refreshTitles() {
    // A document in several windows numbers them after its name: "name:1", "name:2".
    std::map<CBitmapDoc*, int> count, seen;
    for (CChildFrame* c : children_) ++count[c->doc()];
    for (CChildFrame* c : children_) {
        const int n = count[c->doc()];
        const QString t = QString::fromStdString(childWindowTitle(
            c->doc()->title(), n > 1 ? ++seen[c->doc()] : 1, n, c->doc()->isModified()));
        if (c->windowTitle() != t) c->setWindowTitle(t);
    }
}
