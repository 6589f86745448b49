#include "ui/main_window.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <ctime>
#include <map>

#include "document/document.h"
#include "edit/size_dialogs.h"
#include "tools/animmaster/animmaster.h"
#include "tools/codegen/code_generator.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/fontwizard/font_preset.h"
#include "tools/palette/palette_load.h"
#include "ui/bitmap_view.h"
#include "ui/position_list_window.h"
#include "ui/qt_ports.h"
#include "ui/tool_commands.h"

namespace {

// A child window owns its document; closing it asks to save a modified one.
class CChildFrame : public QMdiSubWindow {
public:
    CChildFrame(std::unique_ptr<CBitmapDoc> doc, CMainFrame* main)
        : doc_(std::move(doc)), main_(main) {
        view_ = new CBitmapView(doc_.get(), this);
        setWidget(view_);
        setAttribute(Qt::WA_DeleteOnClose);
        doc_->onUpdate = [this](int hint, const TxRect* rect) {
            view_->onUpdate(hint, rect);
            setWindowTitle(QString::fromStdString(doc_->title()));
            main_->documentChanged(doc_.get(), hint);
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
        main_->documentClosing(doc_.get());
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
    auto qtPrompts = std::make_unique<QtPrompts>(this, statusBar());
    qtPrompts->setSettingsSource([this]() -> SettingsStore& { return settings(); });
    ownPrompts_ = std::move(qtPrompts);
    progress_ = std::make_unique<QtProgress>(statusBar());
    settings_ = std::make_unique<QtSettingsStore>();
    // The palette chosen in the palette options ("palfile") is the current palette from the start.
    loadStartupPalette(*settings_, prompts());

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
    edit->addSeparator();
    add(edit, CMD_SCALE, QStringLiteral("&Scale\t       s"), QKeySequence(Qt::Key_S),
        &CMainFrame::scaleImage);
    add(edit, CMD_RESIZE, QStringLiteral("&Resize\t       r"), QKeySequence(Qt::Key_R),
        &CMainFrame::resizeImage);
    edit->addSeparator();
    add(edit, CMD_FLIP_VERTICAL, QStringLiteral("Flip &Vertical\t       y"), QKeySequence(Qt::Key_Y),
        &CMainFrame::flipVertical);
    add(edit, CMD_FLIP_HORIZONTAL, QStringLiteral("Flip &Horizontal\t       x"),
        QKeySequence(Qt::Key_X), &CMainFrame::flipHorizontal);
    add(edit, CMD_FLIP_ISOMETRIC, QStringLiteral("Flip &Isometric\t"), QKeySequence(),
        &CMainFrame::flipIsometric);
    add(edit, CMD_AUTO_CROP, QStringLiteral("&Auto Crop"), QKeySequence(), &CMainFrame::autoCrop);
    QMenu* selection = menuBar()->addMenu(QStringLiteral("&Selection"));
    add(selection, CMD_CROP, QStringLiteral("&Crop"), QKeySequence(), &CMainFrame::cropSelection);
    add(selection, CMD_SELECT_ALL, QStringLiteral("&Select all\tCTRL+A"),
        QKeySequence(Qt::CTRL | Qt::Key_A), &CMainFrame::selectAll);
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
    QMenu* zoom = view->addMenu(QStringLiteral("&Zoom"));
    for (int z = 1; z <= 4; ++z)
        zoom->addAction(QStringLiteral("&%1x").arg(z), this, [this, z] {
            if (auto* v = activeView()) v->setZoom(z);
        });

    // Beside Selection, as the editor has always shown it.
    auto* mask = new QMenu(QStringLiteral("&Mask"), this);
    menuBar()->insertMenu(anim->menuAction(), mask);
    QMenu* create = mask->addMenu(QStringLiteral("Create mask"));
    const struct {
        int id;
        const char* text;
        const char* tip;
    } maskCommands[] = {
        {CMD_MASK_PICK_KEY, "Pick key color", "pickup the transparency color with left mouse button"},
        {CMD_MASK_ONE_BIT, "1-bit alpha channel", "Digitize 8-bit alpha values to 1-bit mask"},
        {CMD_MASK_EIGHT_BIT, "8-bit alpha channel", "copy the alpha channel to the mask"},
        {CMD_MASK_INTENSITY, "Intensity", ""},
        {CMD_MASK_BORDER, "1-Pixel Border",
         "Creates alpha channel. 1px border Intensity, inside full, outside 0"},
        {CMD_MASK_CLEAR, "&Clear", "Clears the mask"},
        {CMD_MASK_INVERT, "&Invert", "Invert the mask"},
    };
    for (const auto& c : maskCommands) {
        const int id = c.id;
        QMenu* menu = id == CMD_MASK_CLEAR || id == CMD_MASK_INVERT ? mask : create;
        QAction* a = add(menu, id, QString::fromLatin1(c.text), QKeySequence(),
                         [this, id] { maskCommand(id); });
        a->setStatusTip(QString::fromLatin1(c.tip));
    }
    view->addSeparator();
    add(view, CMD_ALPHA, QStringLiteral("&Alpha\t    4"), QKeySequence(Qt::Key_4),
        &CMainFrame::toggleAlpha)
        ->setCheckable(true);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("&Position List"), this, &CMainFrame::showPositionList);
    tools->addAction(QStringLiteral("Texture Font Wizard"), this, &CMainFrame::fontTexture);
    add(tools, CBitmapDoc::CMD_ANIMMASTER, QStringLiteral("&Animationmaster"), QKeySequence(),
        &CMainFrame::animationMaster);

    positionWindow_ = new PositionListWindow(this);
    addDockWidget(Qt::RightDockWidgetArea, positionWindow_);
    positionWindow_->hide();
    connect(positionWindow_, &PositionListWindow::arrangeRequested, this,
            &CMainFrame::arrangePositions);
    connect(positionWindow_, &PositionListWindow::copyRequested, this,
            &CMainFrame::copyPositionsToClipboard);

    sizePane_ = new QLabel(this);
    selectionPane_ = new QLabel(this);
    cursorPane_ = new QLabel(this);
    statusBar()->addPermanentWidget(sizePane_);
    statusBar()->addPermanentWidget(selectionPane_);
    statusBar()->addPermanentWidget(cursorPane_);

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
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        // Deactivating the main window reports no window; the list stays with its document.
        if (w) positionWindow_->attach(static_cast<CChildFrame*>(w)->doc());
        viewStatusChanged();
        updateCommands();
    });
    setWindowTitle(QStringLiteral("Tarquil 1.25"));
    resize(1000, 700);
    updateCommands();
}

CMainFrame::~CMainFrame() {
    positionWindow_->attach(nullptr);
    mdi_->closeAllSubWindows();
    // Windows that outlive this body must not call back into a half-destroyed frame.
    timer_->stop();
    disconnect(mdi_, nullptr, this, nullptr);
    for (QMdiSubWindow* w : mdi_->subWindowList())
        disconnect(static_cast<CChildFrame*>(w)->view(), nullptr, this, nullptr);
    positionWindow_->attach(nullptr);
    commandActions(this).clear();
}

Prompts& CMainFrame::prompts() { return prompts_ ? *prompts_ : *ownPrompts_; }

SettingsStore& CMainFrame::settings() {
    return settingsOverride_ ? *settingsOverride_ : *settings_;
}

QMdiSubWindow* CMainFrame::addDocument(std::unique_ptr<CBitmapDoc> doc) {
    auto* child = new CChildFrame(std::move(doc), this);
    mdi_->addSubWindow(child);
    child->resize(640, 480);
    child->show();
    CBitmapView* view = child->view();
    view->setFrameSize(settings().getInt("Frame", "width", 32),
                       settings().getInt("Frame", "height", 32));
    connect(view, &CBitmapView::selectionChanged, this, [this, view] {
        if (view != activeView()) return;
        viewStatusChanged();
        updateCommands();
    });
    mdi_->setActiveSubWindow(child);
    positionWindow_->attach(child->doc());
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

CBitmapDoc* CMainFrame::createDocument(Prompts& p) {
    auto doc = std::make_unique<CBitmapDoc>();
    if (!doc->onNewDocument(p)) return nullptr;
    doc->setTitle("untitled");
    doc->rebuildTitle();
    CBitmapDoc* raw = doc.get();
    addDocument(std::move(doc));
    return raw;
}

void CMainFrame::newDocument() { createDocument(prompts()); }

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
        action->setEnabled(commandEnabled(id));
        if (id == CMD_ALPHA)
            action->setChecked(activeView() && activeView()->maskShown());
        else if (action->isCheckable())
            action->setChecked(d && d->isChecked(id));
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

bool CMainFrame::commandEnabled(int command) const {
    CBitmapDoc* d = activeDocument();
    if (command == CMD_POSITION_LIST || command == CMD_FONT_WIZARD) return true;
    if (!d) return false;
    const FrameSequence* seq = d->frames();
    const Frame* f = seq ? seq->currentFrame() : nullptr;
    const bool hasFrame = f && f->hasPixels();
    // Edits change every frame; a playing animation would show half-done frames.
    const bool idle = hasFrame && !d->playing();
    switch (command) {
    case CMD_SCALE:
    case CMD_RESIZE:
    case CMD_FLIP_VERTICAL:
    case CMD_FLIP_HORIZONTAL:
    case CMD_FLIP_ISOMETRIC:
    case CMD_AUTO_CROP: return idle;
    case CMD_CROP: {
        CBitmapView* v = activeView();
        return idle && v && !v->selection().empty();
    }
    case CMD_SELECT_ALL:
    case CMD_ALPHA:
    case CMD_MASK_ONE_BIT:
    case CMD_MASK_EIGHT_BIT:
    case CMD_MASK_INTENSITY:
    case CMD_MASK_BORDER: return hasFrame;
    case CMD_MASK_PICK_KEY:
    case CMD_MASK_CLEAR:
    case CMD_MASK_INVERT: return idle;
    case CBitmapDoc::CMD_ANIMMASTER: return idle && d->isEnabled(command);
    default: return d->isEnabled(command);
    }
}

bool CMainFrame::editReady(int command, CBitmapDoc*& doc, CBitmapView*& view) const {
    doc = activeDocument();
    view = activeView();
    return doc && view && commandEnabled(command);
}

namespace {

// Wait cursor for the length of one command.
class BusyScope {
public:
    explicit BusyScope(Prompts& p) : p_(p) { p_.busy(true); }
    ~BusyScope() { p_.busy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Prompts& p_;
};

} // namespace

void CMainFrame::cropSelection() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_CROP, d, v)) return;
    const TxRect r = v->selection();
    {
        BusyScope busy(prompts());
        d->crop(r, progress_.get());
    }
    v->clearSelection();
    updateCommands();
}

void CMainFrame::autoCrop() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_AUTO_CROP, d, v)) return;
    v->clearSelection();
    {
        BusyScope busy(prompts());
        d->autoCrop(prompts(), progress_.get());
    }
    updateCommands();
}

void CMainFrame::scaleImage() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_SCALE, d, v)) return;
    const QSize s = v->imageSize();
    const auto answer = prompts().scaleSize(s.width(), s.height());
    if (answer && sizeFieldValid(answer->first) && sizeFieldValid(answer->second)) {
        BusyScope busy(prompts());
        d->scale(answer->first, answer->second, progress_.get());
    }
    v->clearSelection();
    updateCommands();
}

void CMainFrame::resizeImage() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_RESIZE, d, v)) return;
    const QSize s = v->imageSize();
    const auto answer =
        prompts().resizeCanvas(ResizeChoice{s.width(), s.height(), imageDialogFlags().centreImage});
    if (answer && sizeFieldValid(answer->width) && sizeFieldValid(answer->height)) {
        imageDialogFlags().centreImage = answer->centre;
        BusyScope busy(prompts());
        d->resizeCanvas(answer->width, answer->height, answer->centre, progress_.get());
    }
    v->clearSelection();
    updateCommands();
}

void CMainFrame::flipVertical() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_FLIP_VERTICAL, d, v)) return;
    const TxRect r = v->selection();
    // A selection flips only itself, and only when no drag is under way.
    if (!r.empty() && v->dragging()) return;
    BusyScope busy(prompts());
    d->flipVertical(r.empty() ? nullptr : &r, progress_.get());
    updateCommands();
}

void CMainFrame::flipHorizontal() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_FLIP_HORIZONTAL, d, v)) return;
    const TxRect r = v->selection();
    if (!r.empty() && v->dragging()) return;
    BusyScope busy(prompts());
    d->flipHorizontal(r.empty() ? nullptr : &r, progress_.get());
    updateCommands();
}

void CMainFrame::flipIsometric() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_FLIP_ISOMETRIC, d, v)) return;
    {
        BusyScope busy(prompts());
        d->isoFlip(progress_.get());
    }
    v->clearSelection();
    updateCommands();
}

void CMainFrame::selectAll() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_SELECT_ALL, d, v)) return;
    v->selectAll();
    updateCommands();
}

void CMainFrame::showPositionList() {
    positionWindow_->show();
    positionWindow_->raise();
    if (CBitmapDoc* d = activeDocument()) positionWindow_->attach(d);
    viewStatusChanged();
}

void CMainFrame::arrangePositions() {
    CBitmapDoc* d = positionWindow_->document();
    if (!d) return;
    d->arrange(prompts(), [this](Prompts& p) { return createDocument(p); });
    updateCommands();
}

void CMainFrame::copyPositionsToClipboard() {
    if (CBitmapDoc* d = positionWindow_->document()) copyPositionsWithFormat(*this, *d);
}

void CMainFrame::animationMaster() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CBitmapDoc::CMD_ANIMMASTER, d, v)) return;
    AnimMasterOptions o;
    o.load(settings());
    if (!prompts().animMasterOptions(o)) return;
    o.save(settings());
    d->animMaster(o.bufferType, o.colorKey, o.flags(), prompts(), progress_.get());
    updateCommands();
}

void CMainFrame::fontTexture() {
    FontPresetList list;
    list.load(settings());
    NamedFontPreset* selected = list.selected();
    FontPreset preset = selected ? selected->preset : FontPreset::standard();
    if (!prompts().fontTextureOptions(preset)) return;
    CBitmapDoc::generateFontTexture(preset, prompts(),
                                    [this](Prompts& p) { return createDocument(p); });
    // The preset keeps the choices and the measured cells for the next run.
    if (selected) {
        selected->preset = preset;
        list.save(settings());
    }
    updateCommands();
}

void CMainFrame::maskCommand(int command) {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(command, d, v)) return;
    if (command == CMD_MASK_PICK_KEY) {
        v->beginKeyPick();
        prompts().status("pickup the transparency color with left mouse button");
        updateCommands();
        return;
    }
    // The surface mirrors the alpha as it is now; the command edits it and stores it back.
    v->refreshMask();
    v->setMaskShown(true);
    if (command == CMD_MASK_ONE_BIT) {
        // Cancel keeps the old bias, and the mask is made all the same.
        const auto bias = prompts().maskBias(d->alphaBias);
        const uint8_t b = bias ? uint8_t(std::clamp(*bias, 0, 255)) : d->alphaBias;
        BusyScope busy(prompts());
        d->maskOneBit(v->mask(), b);
    } else {
        BusyScope busy(prompts());
        switch (command) {
        case CMD_MASK_EIGHT_BIT: d->maskEightBit(v->mask()); break;
        case CMD_MASK_INTENSITY: d->maskIntensity(v->mask()); break;
        case CMD_MASK_BORDER: d->maskBorder(v->mask()); break;
        case CMD_MASK_CLEAR: d->maskClear(v->mask()); break;
        case CMD_MASK_INVERT: d->maskInvert(v->mask()); break;
        default: break;
        }
    }
    d->updateAllViews(HINT_FRAME);
    updateCommands();
}

void CMainFrame::toggleAlpha() {
    CBitmapDoc* d;
    CBitmapView* v;
    if (!editReady(CMD_ALPHA, d, v)) return;
    v->setMaskShown(!v->maskShown());
    updateCommands();
}

void CMainFrame::documentChanged(CBitmapDoc* doc, int hint) {
    if (hint == HINT_FULL || hint == HINT_POSITIONS) positionWindow_->listChanged(doc);
    if (doc == activeDocument()) viewStatusChanged();
}

void CMainFrame::documentClosing(CBitmapDoc* doc) { positionWindow_->documentClosing(doc); }

void CMainFrame::viewStatusChanged() {
    CBitmapView* v = activeView();
    if (!v) {
        sizePane_->clear();
        selectionPane_->clear();
        cursorPane_->clear();
        return;
    }
    const QSize s = v->imageSize();
    const TxRect& r = v->selection();
    const QPoint p = v->cursorPos();
    sizePane_->setText(QStringLiteral("Size=(%1x%2)").arg(s.width()).arg(s.height()));
    selectionPane_->setText(QStringLiteral("Rect=(%1:%2-%3:%4) Size=(%5x%6)")
                                .arg(r.left)
                                .arg(r.top)
                                .arg(r.right)
                                .arg(r.bottom)
                                .arg(r.width())
                                .arg(r.height()));
    cursorPane_->setText(QStringLiteral("%1:%2").arg(p.x(), 4, 10, QLatin1Char('0')).arg(p.y(), 4, 10, QLatin1Char('0')));
    if (v->document() == positionWindow_->document())
        positionWindow_->setCurrent(r, p.x(), p.y(), v->colourAt(p));
}
