#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <map>

#include "app/document.h"
#include "ui/bitmap_view.h"
#include "ui/qt_ports.h"

namespace {

// A child window owns its document; closing it asks to save a modified one.
class CChildFrame : public QMdiSubWindow {
public:
    CChildFrame(std::unique_ptr<CBitmapDoc> doc, CMainFrame* main)
        : doc_(std::move(doc)), main_(main) {
        view_ = new CBitmapView(doc_.get(), this);
        setWidget(view_);
        setAttribute(Qt::WA_DeleteOnClose);
        doc_->onUpdate = [this](int hint, const TxRect*) {
            view_->onUpdate(hint);
            setWindowTitle(QString::fromStdString(doc_->title()));
        };
        setWindowTitle(QString::fromStdString(doc_->title()));
    }
    CBitmapDoc* doc() const { return doc_.get(); }
    CBitmapView* view() const { return view_; }

protected:
    void closeEvent(QCloseEvent* e) override {
        if (doc_->isModified()) {
            const QString name = QString::fromStdString(doc_->title()).left(24).trimmed();
            const MsgResult r = main_->prompts().message(
                QStringLiteral("Save changes to %1?").arg(name).toStdString(), MsgIcon::Warning,
                MsgButtons::YesNoCancel);
            if (r == MsgResult::Cancel || (r == MsgResult::Yes && !doc_->save(main_->prompts()))) {
                e->ignore();
                return;
            }
        }
        e->accept();
    }

private:
    std::unique_ptr<CBitmapDoc> doc_;
    CMainFrame* main_;
    CBitmapView* view_;
};

std::map<int, QAction*>& commandActions(CMainFrame* w) {
    static std::map<CMainFrame*, std::map<int, QAction*>> all;
    return all[w];
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);
    statusBar()->showMessage(QStringLiteral("Ready"));
    ownPrompts_ = std::make_unique<QtPrompts>(this, statusBar());
    progress_ = std::make_unique<QtProgress>(statusBar());
    settings_ = std::make_unique<QtSettingsStore>();

    auto& actions = commandActions(this);
    auto add = [&](QMenu* menu, int id, const QString& text, QKeySequence key, auto slot) {
        QAction* a = menu->addAction(text, this, slot);
        if (!key.isEmpty()) a->setShortcut(key);
        actions[id] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, CMD_NEW, QStringLiteral("&New"), QKeySequence::New, &CMainFrame::newDocument);
    add(file, CMD_OPEN, QStringLiteral("&Open..."), QKeySequence::Open, &CMainFrame::openDialog);
    add(file, CMD_SAVE, QStringLiteral("&Save"), QKeySequence::Save, &CMainFrame::saveDocument);
    add(file, CMD_SAVE_AS, QStringLiteral("Save &As..."), QKeySequence(), &CMainFrame::saveDocumentAs);
    QMenu* exportMenu = file->addMenu(QStringLiteral("&Export"));
    add(exportMenu, CMD_EXPORT, QStringLiteral("Texturemap\t3DF"), QKeySequence(),
        &CMainFrame::exportTexture);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    add(edit, CMD_UNDO, QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), &CMainFrame::undo);
    add(edit, CMD_REDO, QStringLiteral("&Redo"), QKeySequence(Qt::CTRL | Qt::Key_Y), &CMainFrame::redo);
    QMenu* anim = menuBar()->addMenu(QStringLiteral("&Animation"));
    const struct {
        int id;
        const char* text;
        int key;
    } frameCommands[] = {{CMD_FIRST_FRAME, "Go to first anim frame", Qt::Key_1},
                         {CMD_PREVIOUS_FRAME, "Go to previous frame", Qt::Key_2},
                         {CMD_PLAY, "Play animation", Qt::Key_3},
                         {CMD_NEXT_FRAME, "Go to next frame", Qt::Key_4},
                         {CMD_LAST_FRAME, "Go to last frame", Qt::Key_5}};
    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    for (const auto& c : frameCommands) {
        const int id = c.id;
        QAction* a = add(anim, id, QString::fromLatin1(c.text), QKeySequence(Qt::CTRL | c.key),
                         [this, id] { runCommand(id); });
        if (id == CMD_PLAY) a->setCheckable(true);
        bar->addAction(a);
    }
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(QStringLiteral("Zoom in"), QKeySequence(Qt::Key_M), this, [this] {
        if (auto* v = activeView()) v->setZoom(v->zoom() + 1);
    });
    view->addAction(QStringLiteral("Zoom out"), QKeySequence(Qt::Key_N), this, [this] {
        if (auto* v = activeView()) v->setZoom(v->zoom() - 1);
    });

    // The 83 ms animation timer; a playing document advances on every second tick.
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        tickToggle_ = !tickToggle_;
        CBitmapDoc* doc = activeDocument();
        if (tickToggle_ && doc && doc->playing()) {
            doc->animationTick();
            doc->updateAllViews(HINT_FRAME);
        }
        updateCommands();
    });
    timer_->start(83);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { updateCommands(); });
    setWindowTitle(QStringLiteral("Tarquil 1.25"));
    resize(1000, 700);
    updateCommands();
}

CMainFrame::~CMainFrame() {
    mdi_->closeAllSubWindows();
    commandActions(this).clear();
}

Prompts& CMainFrame::prompts() { return prompts_ ? *prompts_ : *ownPrompts_; }

QMdiSubWindow* CMainFrame::addDocument(std::unique_ptr<CBitmapDoc> doc) {
    auto* child = new CChildFrame(std::move(doc), this);
    mdi_->addSubWindow(child);
    child->resize(640, 480);
    child->show();
    mdi_->setActiveSubWindow(child);
    updateCommands();
    return child;
}

bool CMainFrame::openFile(const QString& path) {
    const std::string p = QFileInfo(path).absoluteFilePath().toStdString();
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        auto* child = static_cast<CChildFrame*>(w);
        if (child->doc()->pathName() == p) {
            mdi_->setActiveSubWindow(w);
            return true;
        }
    }
    auto doc = std::make_unique<CBitmapDoc>();
    if (!doc->onOpenDocument(p, prompts())) return false;
    addDocument(std::move(doc));
    return true;
}

CBitmapDoc* CMainFrame::activeDocument() const {
    auto* w = static_cast<CChildFrame*>(mdi_->activeSubWindow());
    if (!w && !mdi_->subWindowList().isEmpty()) w = static_cast<CChildFrame*>(mdi_->subWindowList().last());
    return w ? w->doc() : nullptr;
}

CBitmapView* CMainFrame::activeView() const {
    auto* w = static_cast<CChildFrame*>(mdi_->activeSubWindow());
    if (!w && !mdi_->subWindowList().isEmpty()) w = static_cast<CChildFrame*>(mdi_->subWindowList().last());
    return w ? w->view() : nullptr;
}

QSize CMainFrame::shownImageSize() const {
    CBitmapView* v = activeView();
    return v ? v->imageSize() : QSize();
}

int CMainFrame::documentCount() const { return int(mdi_->subWindowList().size()); }

void CMainFrame::newDocument() {
    auto doc = std::make_unique<CBitmapDoc>();
    if (!doc->onNewDocument(prompts())) return;
    doc->setTitle("untitled");
    doc->rebuildTitle();
    addDocument(std::move(doc));
}

void CMainFrame::openDialog() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open"), QString(),
        QStringLiteral("Supported files (*.png *.psd *.3df *.bmp *.tga *.pcx *.lbm *.iff *.lmp "
                       "*.ppm *.jpg *.gif *.tex *.spr *.gbr *.gpm *.pat *.gpl *.pal *.act *.avi);;"
                       "All Files (*)"));
    for (const QString& p : paths) openFile(p);
}

void CMainFrame::saveDocument() {
    if (CBitmapDoc* d = activeDocument()) d->save(prompts(), progress_.get());
    refreshTitles();
}

void CMainFrame::saveDocumentAs() {
    if (CBitmapDoc* d = activeDocument()) d->saveAs(prompts(), progress_.get());
    refreshTitles();
}

void CMainFrame::exportTexture() {
    if (CBitmapDoc* d = activeDocument()) d->exportTexture(prompts(), *settings_);
}

void CMainFrame::undo() {
    if (CBitmapDoc* d = activeDocument()) d->undo();
}

void CMainFrame::redo() {
    if (CBitmapDoc* d = activeDocument()) d->redo();
}

void CMainFrame::runCommand(int command) {
    CBitmapDoc* d = activeDocument();
    if (!d || !d->isEnabled(command)) return;
    switch (command) {
    case CMD_FIRST_FRAME: d->firstFrame(); break;
    case CMD_LAST_FRAME: d->lastFrame(); break;
    case CMD_NEXT_FRAME: d->nextFrame(); break;
    case CMD_PREVIOUS_FRAME: d->previousFrame(); break;
    case CMD_PLAY: d->togglePlay(); break;
    default: break;
    }
    updateCommands();
}

void CMainFrame::refreshTitles() {
    for (QMdiSubWindow* w : mdi_->subWindowList())
        w->setWindowTitle(QString::fromStdString(static_cast<CChildFrame*>(w)->doc()->title()));
}

void CMainFrame::updateCommands() {
    CBitmapDoc* d = activeDocument();
    for (auto& [id, action] : commandActions(this)) {
        if (id == CMD_NEW || id == CMD_OPEN) continue;
        action->setEnabled(d && d->isEnabled(id));
        if (action->isCheckable()) action->setChecked(d && d->isChecked(id));
    }
    if (d)
        setWindowTitle(QString::fromStdString(d->title()) + QStringLiteral(" - Tarquil 1.25"));
    else
        setWindowTitle(QStringLiteral("Tarquil 1.25"));
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    mdi_->closeAllSubWindows();
    if (!mdi_->subWindowList().isEmpty()) {
        e->ignore();
        return;
    }
    e->accept();
}
