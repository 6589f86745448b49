#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "document/document.h"
#include "model/app_palette.h"
#include "model/preferences.h"
#include "texlib/tga.h"
#include "tools/palette/palette_load.h"
#include "ui/bitmap_view.h"
#include "ui/clipboard_commands.h"
#include "ui/command_table.h"
#include "ui/edit_commands.h"
#include "ui/file_commands.h"
#include "ui/mask_commands.h"
#include "ui/position_list_window.h"
#include "ui/qt_ports.h"
#include "ui/shell_registration_dialog.h"
#include "ui/tool_commands.h"
#include "ui/view_commands.h"
#include "ui/window_commands.h"

namespace {

// "&Scale\t       s" -> "Scale": the text a person reads, without mnemonic and key column.
QString plainText(const QString& text) {
    QString t = text.section(QLatin1Char('\t'), 0, 0);
    t.remove(QLatin1Char('&'));
    return t.trimmed();
}

QString pathKey(const QString& path) {
    QStringList parts = path.split(QLatin1Char('/'));
    for (QString& p : parts) p = plainText(p).toLower();
    return parts.join(QLatin1Char('/'));
}

}  // namespace

// ---- CMainFrame ------------------------------------------------------------------------------

CMainFrame::CMainFrame(QWidget* parent, SettingsStore* settings) : QMainWindow(parent) {
    Q_INIT_RESOURCE(icons);
    settingsOverride_ = settings;
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("documents"));
    mdi_->setAccessibleName(QStringLiteral("Documents"));
    setCentralWidget(mdi_);
    buildStatusBar();
    auto qtPrompts = std::make_unique<QtPrompts>(this, statusBar());
    qtPrompts->setImageDialogFlags(imageFlags_);
    qtPrompts->setPalette(docContext_.palette);
    qtPrompts->setSettingsSource([this]() -> SettingsStore& { return this->settings(); });
    ownPrompts_ = std::move(qtPrompts);
    progress_ = std::make_unique<QtProgress>(statusBar(), panes_[0]);
    if (!settingsOverride_) settings_ = std::make_unique<QtSettingsStore>();
    prefs_.load(this->settings());
    // The palette chosen in the palette options ("palfile") is the current palette from the start.
    loadStartupPalette(docContext_.palette, this->settings(), prompts());

    putPreferencesInEffect();
    buildMenus();
    buildToolBars();
    buildContextMenu();
    positionWindow_ = new PositionListWindow(this);
    addDockWidget(Qt::RightDockWidgetArea, positionWindow_);
    positionWindow_->hide();
    connect(positionWindow_, &PositionListWindow::arrangeRequested, this,
            &CMainFrame::arrangePositions);
    connect(positionWindow_, &PositionListWindow::copyRequested, this,
            &CMainFrame::copyPositionsToClipboard);
    // Timed play's timer: every command refresh may start or stop it.
    playTimer_ = new QTimer(this);
    playTimer_->setSingleShot(true);
    playTimer_->setTimerType(Qt::PreciseTimer);
    connect(playTimer_, &QTimer::timeout, this, &CMainFrame::playStep);
    // The commands' handlers, each group from its own file; a later one replaces an earlier.
    installFileCommands(*this);
    installEditCommands(*this);
    installMaskCommands(*this);
    installWindowCommands(*this);
    installViewCommands(*this);
    installClipboardCommands(*this);
    installToolDialogs(*this);

    // The 83 ms animation timer; at the fixed rate a playing document advances on every second
    // tick. It also refreshes the commands, which starts and stops timed play's own timer.
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        tickToggle_ = !tickToggle_;
        CBitmapDoc* doc = activeDocument();
        if (!prefs_.timedPlay && tickToggle_ && doc && doc->playing()) {
            doc->animationTick();
            doc->updateAllViews(HINT_FRAME);
        }
        updateCommands();
    });
    timer_->start(83);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        // Deactivating the main window reports no window; the list stays with its document.
        for (CChildFrame* c : children_)
            if (c == w) {
                lastActive_ = c;
                positionWindow_->attach(c->doc());
            }
        viewStatusChanged();
        updateCommands();
    });
    setWindowTitle(appTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarquil.svg")));
    setAcceptDrops(true);
    // The bars come and go together through View > Toolbar, not one by one from a bar menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    registerTypesHook_ = [this] {
        ShellRegistrationDialog dlg(this);
        dlg.exec();
    };
    resize(1000, 700);
    recent_.load(this->settings());
    rebuildRecentMenu();
    updateCommands();
}

CMainFrame::~CMainFrame() {
    // The windows go first, while the documents they show still exist; nothing they report on
    // the way out may reach this half-destroyed frame.
    destroying_ = true;
    timer_->stop();
    disconnect(mdi_, nullptr, this, nullptr);
    positionWindow_->attach(nullptr);
    const std::vector<CChildFrame*> children = children_;
    children_.clear();
    lastActive_ = nullptr;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        disconnect(w, nullptr, this, nullptr);
        if (auto* c = qobject_cast<CChildFrame*>(w)) disconnect(c->view(), nullptr, this, nullptr);
        delete w;
    }
    for (auto& d : docs_) d->onUpdate = nullptr;
}

QString CMainFrame::appTitle() { return QStringLiteral("Tarquil 1.25"); }

Prompts& CMainFrame::prompts() { return prompts_ ? *prompts_ : *ownPrompts_; }

SettingsStore& CMainFrame::settings() {
    return settingsOverride_ ? *settingsOverride_ : *settings_;
}

void CMainFrame::setSettings(SettingsStore* settings) {
    settingsOverride_ = settings;
    prefs_.load(this->settings());
    putPreferencesInEffect();
}

void CMainFrame::putPreferencesInEffect() {
    const Preferences& p = prefs_;
    docContext_.write.tgaCompression = p.compressTga;
    DocumentSettings& d = docContext_.settings;
    d.lastNewWidth = p.lastNewWidth;
    d.lastNewHeight = p.lastNewHeight;
    d.saveDir = p.saveDir;
    const ViewPreferences v = viewPreferences(prefs_);
    for (CChildFrame* c : children_) {
        c->view()->setPreferences(v);
        c->doc()->setUndoBudget(p.undoBudgetBytes());
    }
}

Progress& CMainFrame::progress() { return *progress_; }

// ---- Menus, tool bars, status bar --------------------------------------------------------------

QAction* CMainFrame::addCommand(QMenu* menu, const QString& path, int id, const QString& text,
                                const QKeySequence& key) {
    auto* a = new QAction(text, this);
    if (!key.isEmpty()) a->setShortcut(key);
    a->setToolTip(plainText(text));
    a->setEnabled(false);
    if (menu) menu->addAction(a);
    Command& c = commands_[id];
    c.action = a;
    paths_[pathKey(path + QLatin1Char('/') + text)] = id;
    connect(a, &QAction::triggered, this, [this, id] { trigger(id); });
    return a;
}

void CMainFrame::buildMenus() {
    QMenu* top = nullptr;
    QMenu* sub = nullptr;
    QString topPath, subPath;
    for (const MenuRow& r : menuRows()) {
        const QString text = QString::fromLatin1(r.text);
        switch (r.kind) {
        case MenuRow::Top:
            top = menuBar()->addMenu(text);
            topPath = plainText(text);
            sub = nullptr;
            if (topPath == QLatin1String("File")) fileMenu_ = top;
            if (topPath == QLatin1String("Window"))
                connect(top, &QMenu::aboutToShow, this, [this, top] { fillWindowList(top); });
            break;
        case MenuRow::Sub:
            sub = top->addMenu(text);
            subPath = topPath + QLatin1Char('/') + plainText(text);
            break;
        case MenuRow::End: sub = nullptr; break;
        case MenuRow::Sep: top->addSeparator(); break;
        case MenuRow::Cmd: {
            QAction* a = addCommand(sub ? sub : top, sub ? subPath : topPath, r.id, text, r.key);
            if (r.checkable) a->setCheckable(true);
            if (r.tip) a->setStatusTip(QString::fromLatin1(r.tip));
            break;
        }
        }
    }
    // Paste as new document has only its key (Ctrl+B where no document window is active).
    addCommand(nullptr, QStringLiteral("Edit"), CMD_PASTE_NEW,
               QStringLiteral("Paste as new document"));

    // The frame commands live on the tool bar and their keys only.
    for (const KeyOnlyRow& c : frameCommandRows()) {
        QAction* a = addCommand(nullptr, QStringLiteral("Animation"), c.id,
                                QString::fromLatin1(c.text), QKeySequence(Qt::CTRL | c.key));
        paths_[pathKey(QStringLiteral("Animation/") + QLatin1String(c.path))] = c.id;
        addAction(a);  // keys work without a menu entry
        if (c.id == CMD_PLAY) a->setCheckable(true);
    }
    addAction(action(CMD_PASTE_NEW));
}

void CMainFrame::buildToolBars() {
    auto fill = [this](QToolBar* bar, std::span<const ToolButtonRow> buttons) {
        for (const auto& [id, icon] : buttons) {
            if (id == 0) {
                bar->addSeparator();
                continue;
            }
            QAction* a = action(id);
            a->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
            bar->addAction(a);
            if (QWidget* w = bar->widgetForAction(a)) {
                w->setAccessibleName(a->toolTip());
                w->setToolTip(a->toolTip());
            }
        }
    };
    mainBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    mainBar_->setObjectName(QStringLiteral("mainToolBar"));
    mainBar_->setAccessibleName(QStringLiteral("Toolbar"));
    mainBar_->setIconSize(QSize(16, 16));
    fill(mainBar_, mainToolBarRows());
    addToolBar(Qt::TopToolBarArea, mainBar_);

    paletteBar_ = new QToolBar(QStringLiteral("Bitmap Palette"), this);
    paletteBar_->setObjectName(QStringLiteral("paletteToolBar"));
    paletteBar_->setAccessibleName(QStringLiteral("Bitmap Palette"));
    paletteBar_->setIconSize(QSize(16, 16));
    fill(paletteBar_, paletteToolBarRows());
    // Beside the main bar, on the same line.
    addToolBar(Qt::TopToolBarArea, paletteBar_);
    // The bars' own overflow buttons need a name too.
    for (QToolBar* bar : {mainBar_, paletteBar_})
        for (QToolButton* b : bar->findChildren<QToolButton*>())
            if (b->accessibleName().isEmpty() && !b->defaultAction())
                b->setAccessibleName(QStringLiteral("More buttons"));
}

void CMainFrame::buildStatusBar() {
    // Each pane is as wide as its longest text, as the indicator strings have always set it.
    const struct {
        const char* name;
        const char* widest;
    } panes[5] = {{"Messages", nullptr},
                  {"Image size", "Size=(0000x0000)"},
                  {"Selection", "Rect(0000:0000-0000:0000) Size=(0000x0000)"},
                  {"Zoom", "100%"},
                  {"Cursor position", "0000:0000"}};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("statusPane%1").arg(i));
        l->setAccessibleName(QLatin1String(panes[i].name));
        if (panes[i].widest) {
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QLatin1String(panes[i].widest)) +
                               8);
            l->setFrameShape(QFrame::StyledPanel);
            statusBar()->addPermanentWidget(l);
        } else {
            l->setText(QStringLiteral("Ready"));
            statusBar()->addWidget(l, 1);
        }
        panes_[i] = l;
    }
    // Fly-by texts and messages show in pane 0 itself, so the pane is always there to read.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) {
            panes_[0]->setText(text);
            statusBar()->clearMessage();
        }
    });
}

QLabel* CMainFrame::statusPane(int index) const {
    return index >= 0 && index < 5 ? panes_[index] : nullptr;
}

void CMainFrame::buildContextMenu() {
    contextMenu_ = new QMenu(QStringLiteral("Bitmap"), this);
    contextMenu_->setObjectName(QStringLiteral("Bitmap"));
    contextMenu_->setAccessibleName(QStringLiteral("Bitmap"));
    for (const auto& e : contextMenuRows()) {
        if (e.id == 0) {
            contextMenu_->addSeparator();
            continue;
        }
        const int id = e.id;
        QAction* a = contextMenu_->addAction(QString::fromLatin1(e.text));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { trigger(id); });
    }
    // The entries follow their commands' state each time the menu opens, and whenever the
    // commands are updated, for a screen reader that finds the menu while it is closed.
    connect(contextMenu_, &QMenu::aboutToShow, this, &CMainFrame::updateCommands);
}

void CMainFrame::syncContextMenu() {
    for (QAction* a : contextMenu_->actions()) {
        if (a->isSeparator()) continue;
        QAction* cmd = action(a->data().toInt());
        a->setEnabled(cmd && cmd->isEnabled());
        a->setCheckable(cmd && cmd->isCheckable());
        a->setChecked(cmd && cmd->isChecked());
    }
}

QAction* CMainFrame::action(const QString& menuPath) const {
    auto it = paths_.find(pathKey(menuPath));
    return it == paths_.end() ? nullptr : action(it->second);
}

QAction* CMainFrame::action(int command) const {
    auto it = commands_.find(command);
    return it == commands_.end() ? nullptr : it->second.action;
}

void CMainFrame::handle(const QString& menuPath, std::function<void()> run,
                        std::function<bool()> enabled, std::function<bool()> checked) {
    auto it = paths_.find(pathKey(menuPath));
    if (it != paths_.end())
        handle(it->second, std::move(run), std::move(enabled), std::move(checked));
}

void CMainFrame::handle(int command, std::function<void()> run, std::function<bool()> enabled,
                        std::function<bool()> checked) {
    auto it = commands_.find(command);
    if (it == commands_.end()) return;
    it->second.run = std::move(run);
    it->second.enabled = std::move(enabled);
    it->second.checked = std::move(checked);
    updateCommands();
}

bool CMainFrame::commandEnabled(int command) const {
    auto it = commands_.find(command);
    if (it == commands_.end() || !it->second.run) return false;
    return !it->second.enabled || it->second.enabled();
}

void CMainFrame::trigger(int command) {
    auto it = commands_.find(command);
    if (it == commands_.end() || !commandEnabled(command)) return;
    // A copy: the handler may replace itself.
    const std::function<void()> run = it->second.run;
    run();
    if (!destroying_) updateCommands();
}

void CMainFrame::updateCommands() {
    if (destroying_) return;
    for (auto& [id, c] : commands_) {
        c.action->setEnabled(commandEnabled(id));
        if (c.checked) {
            c.action->setCheckable(true);
            c.action->setChecked(c.checked());
        } else if (c.action->isCheckable()) {
            c.action->setChecked(false);
        }
    }
    if (contextMenu_) syncContextMenu();
    if (CBitmapView* v = activeView())
        panes_[3]->setText(QString::fromStdString(v->state().statusZoom()));
    refreshTitles();
    syncPlayTimer();
    // Undo and Redo say what they take back or repeat ("&Undo Crop\tCtrl+Z").
    CBitmapDoc* ad = activeDocument();
    for (DocCommand id : {CMD_UNDO, CMD_REDO})
        if (QAction* a = action(id)) {
            const std::string label =
                ad ? (id == CMD_UNDO ? ad->undoLabel() : ad->redoLabel()) : "";
            const QString verb = id == CMD_UNDO ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
            const QString key =
                id == CMD_UNDO ? QStringLiteral("Ctrl+Z") : QStringLiteral("Ctrl+Y");
            const bool enabled = ad && ad->isEnabled(id);
            a->setText(verb +
                       (enabled && !label.empty()
                            ? QStringLiteral(" ") + QString::fromStdString(label)
                            : QString()) +
                       QStringLiteral("\t") + key);
        }
    // Screen readers find a pane by its name and read what it shows from its description.
    for (QLabel* pane : panes_)
        if (pane->accessibleDescription() != pane->text())
            pane->setAccessibleDescription(pane->text());
    if (CBitmapDoc* d = activeDocument())
        setWindowTitle(QString::fromStdString(d->title()) + QStringLiteral(" - ") + appTitle());
    else
        setWindowTitle(appTitle());
}

// ---- Documents and their windows -------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* e) {
    // The placement is kept even when a save prompt then cancels the close.
    savePlacement();
    if (!closeAllDocuments()) {
        e->ignore();
        return;
    }
    Preferences& p = prefs_;
    p.lastNewWidth = docContext_.settings.lastNewWidth;
    p.lastNewHeight = docContext_.settings.lastNewHeight;
    p.saveLastNewSize(settings());
    e->accept();
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        if (!tip.isEmpty()) {
            if (!showingTip_) savedMessage_ = panes_[0]->text();
            showingTip_ = true;
            panes_[0]->setText(tip);
        } else if (showingTip_) {
            showingTip_ = false;
            panes_[0]->setText(savedMessage_);
        }
        return true;
    }
    return QMainWindow::event(e);
}

CChildFrame* CMainFrame::activeChild() const {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    for (CChildFrame* c : children_)
        if (c == w) return c;
    // Without window activation (no focus, or tests) the one last made active.
    for (CChildFrame* c : children_)
        if (c == lastActive_) return c;
    return children_.empty() ? nullptr : children_.back();
}

CBitmapDoc* CMainFrame::activeDocument() const {
    CChildFrame* c = activeChild();
    return c ? c->doc() : nullptr;
}

CBitmapView* CMainFrame::activeView() const {
    CChildFrame* c = activeChild();
    return c ? c->view() : nullptr;
}

QSize CMainFrame::shownImageSize() const {
    CBitmapView* v = activeView();
    return v ? v->imageSize() : QSize();
}

void CMainFrame::documentChanged(CBitmapDoc* doc, DocHint hint) {
    if (hint == HINT_FULL || hint == HINT_POSITIONS) positionWindow_->listChanged(doc);
    if (doc == activeDocument()) viewStatusChanged();
}

void CMainFrame::viewStatusChanged() {
    CBitmapView* v = activeView();
    QLabel* sizePane_ = panes_[1];
    QLabel* selectionPane_ = panes_[2];
    QLabel* cursorPane_ = panes_[4];
    if (!v) {
        for (int i = 1; i < 5; ++i) panes_[i]->clear();
        return;
    }
    const ViewState& st = v->state();
    sizePane_->setText(QString::fromStdString(st.statusSize()));
    selectionPane_->setText(QString::fromStdString(st.statusRect()));
    panes_[3]->setText(QString::fromStdString(st.statusZoom()));
    // The colour under the cursor beside its position: "12:5  #FF8000 A=255".
    const std::string colour = st.statusColour();
    cursorPane_->setText(QString::fromStdString(
        colour.empty() ? st.statusCursor() : st.statusCursor() + "  " + colour));
    const TxRect& r = v->selection();
    const QPoint p = v->cursorPos();
    if (v->document() == positionWindow_->document())
        positionWindow_->setCurrent(r, p.x(), p.y(), v->colourAt(p));
}
