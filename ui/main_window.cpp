#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "document/document.h"
#include "edit/size_dialogs.h"
#include "model/app_palette.h"
#include "model/document_types.h"
#include "model/preferences.h"
#include "model/window_placement.h"
#include "texlib/tga.h"
#include "tools/animmaster/animmaster.h"
#include "tools/codegen/code_generator.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/fontwizard/font_preset.h"
#include "tools/palette/palette_load.h"
#include "ui/bitmap_view.h"
#include "ui/clipboard_commands.h"
#include "ui/position_list_window.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_ports.h"
#include "ui/shell_registration_dialog.h"
#include "ui/tool_commands.h"
#include "ui/view_commands.h"

namespace {

const QString kAppTitle = QStringLiteral("Tarquil 1.25");

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

// ---- CChildFrame -----------------------------------------------------------------------------

CChildFrame::CChildFrame(CBitmapDoc* doc, CMainFrame* main) : doc_(doc), main_(main) {
    view_ = new CBitmapView(doc_, this);
    setWidget(view_);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarquil.svg")));
    setWindowTitle(QString::fromStdString(doc_->title()));
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
    qtPrompts->setSettingsSource([this]() -> SettingsStore& { return this->settings(); });
    ownPrompts_ = std::move(qtPrompts);
    progress_ = std::make_unique<QtProgress>(statusBar(), panes_[0]);
    if (!settingsOverride_) settings_ = std::make_unique<QtSettingsStore>();
    appPreferences().load(this->settings());
    // The palette chosen in the palette options ("palfile") is the current palette from the start.
    loadStartupPalette(this->settings(), prompts());

    putPreferencesInEffect();
    buildMenus();
    buildToolBars();
    buildContextMenu();
    installDefaultHandlers();
    installViewCommands(*this);
    installClipboardCommands(*this);
    installToolDialogs(*this);

    positionWindow_ = new PositionListWindow(this);
    addDockWidget(Qt::RightDockWidgetArea, positionWindow_);
    positionWindow_->hide();
    connect(positionWindow_, &PositionListWindow::arrangeRequested, this,
            &CMainFrame::arrangePositions);
    connect(positionWindow_, &PositionListWindow::copyRequested, this,
            &CMainFrame::copyPositionsToClipboard);

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
        for (CChildFrame* c : children_)
            if (c == w) {
                lastActive_ = c;
                positionWindow_->attach(c->doc());
            }
        viewStatusChanged();
        updateCommands();
    });
    setWindowTitle(kAppTitle);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarquil.svg")));
    setAcceptDrops(true);
    // The bars come and go together through View > Toolbar, not one by one from a bar menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    registerTypesHook_ = [this] {
        CDlgRegisterTypes dlg(this);
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

Prompts& CMainFrame::prompts() { return prompts_ ? *prompts_ : *ownPrompts_; }

SettingsStore& CMainFrame::settings() {
    return settingsOverride_ ? *settingsOverride_ : *settings_;
}

void CMainFrame::setSettings(SettingsStore* settings) {
    settingsOverride_ = settings;
    appPreferences().load(this->settings());
    putPreferencesInEffect();
}

void CMainFrame::putPreferencesInEffect() {
    const Preferences& p = appPreferences();
    txSetTgaCompressionMode(p.compressTga);
    DocumentSettings& d = documentSettings();
    d.lastNewWidth = p.lastNewWidth;
    d.lastNewHeight = p.lastNewHeight;
    d.saveDir = p.saveDir;
    const ViewPreferences v = viewPreferences(appPreferences());
    for (CChildFrame* c : children_) c->view()->setPreferences(v);
}

void CMainFrame::applyPreferences(const Preferences& prefs, bool save) {
    Preferences& p = appPreferences();
    const std::string oldPalette = p.palFile;
    // The last new size belongs to the New command, not to the dialog.
    const int newW = documentSettings().lastNewWidth, newH = documentSettings().lastNewHeight;
    p = prefs;
    p.lastNewWidth = newW;
    p.lastNewHeight = newH;
    if (save) p.save(settings());
    Preferences::setSaveFlag(settings(), save);
    putPreferencesInEffect();
    if (p.palFile != oldPalette && !p.palFile.empty())
        readPaletteFile(p.palFile, appPalette(), prompts());
}

void CMainFrame::editPreferences() {
    Preferences current = appPreferences();
    current.lastNewWidth = documentSettings().lastNewWidth;
    current.lastNewHeight = documentSettings().lastNewHeight;
    std::function<bool(std::string&)> pal;
    if (paletteOptionsHook)
        pal = [this](std::string& file) { return paletteOptionsHook(this, file); };
    CDlgPreferences dlg(current, Preferences::saveFlag(settings()), this, pal, registerTypesHook_);
    if (dlg.exec() != QDialog::Accepted) return;
    applyPreferences(dlg.preferences(), dlg.saveSettings());
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
    QMenuBar* bar = menuBar();
    // File
    QMenu* m = fileMenu_ = bar->addMenu(QStringLiteral("&File  "));
    QString p = QStringLiteral("File");
    addCommand(m, p, CMD_NEW, QStringLiteral("&New\tCtrl+N"), QKeySequence(Qt::CTRL | Qt::Key_N));
    addCommand(m, p, CMD_OPEN, QStringLiteral("&Open...\tCtrl+O"),
               QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(m, p, CMD_CLOSE, QStringLiteral("&Close"));
    addCommand(m, p, CMD_SAVE, QStringLiteral("&Save\tCtrl+S"), QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(m, p, CMD_SAVE_AS, QStringLiteral("Save &As..."));
    m->addSeparator();
    QMenu* sub = m->addMenu(QStringLiteral("&Export"));
    addCommand(sub, p + QStringLiteral("/Export"), CMD_EXPORT, QStringLiteral("Texturemap\t3DF"));
    addCommand(m, p, CMD_PREFERENCES, QStringLiteral("&Preferences"))
        ->setStatusTip(QStringLiteral("Set global settings"));
    recentSeparator_ = m->addSeparator();
    addCommand(m, p, CMD_RECENT_FILE, QStringLiteral("Recent File"));
    m->addSeparator();
    addCommand(m, p, CMD_EXIT, QStringLiteral("E&xit"));

    // Edit
    m = bar->addMenu(QStringLiteral("&Edit  "));
    p = QStringLiteral("Edit");
    addCommand(m, p, CMD_UNDO, QStringLiteral("&Undo\tCtrl+Z"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    addCommand(m, p, CMD_REDO, QStringLiteral("&Redo\tCtrl+Y"), QKeySequence(Qt::CTRL | Qt::Key_Y));
    m->addSeparator();
    addCommand(m, p, CMD_CUT, QStringLiteral("Cu&t\tCtrl+X"), QKeySequence(Qt::CTRL | Qt::Key_X));
    addCommand(m, p, CMD_COPY, QStringLiteral("&Copy\tCtrl+C"), QKeySequence(Qt::CTRL | Qt::Key_C));
    addCommand(m, p, CMD_PASTE, QStringLiteral("&Paste\tCtrl+V"),
               QKeySequence(Qt::CTRL | Qt::Key_V));
    addCommand(m, p, CMD_PASTE_CLIPBOARD, QStringLiteral("&Paste from ClipBoard\tCtrl+B"),
               QKeySequence(Qt::CTRL | Qt::Key_B));
    addCommand(m, p, CMD_CLEAR_ALL, QStringLiteral("Clear all"));
    m->addSeparator();
    addCommand(m, p, CMD_SCALE, QStringLiteral("&Scale\t       s"), QKeySequence(Qt::Key_S));
    addCommand(m, p, CMD_RESIZE, QStringLiteral("&Resize\t       r"), QKeySequence(Qt::Key_R));
    m->addSeparator();
    addCommand(m, p, CMD_FLIP_VERTICAL, QStringLiteral("Flip &Vertical\t       y"),
               QKeySequence(Qt::Key_Y));
    addCommand(m, p, CMD_FLIP_HORIZONTAL, QStringLiteral("Flip &Horizontal\t       x"),
               QKeySequence(Qt::Key_X));
    addCommand(m, p, CMD_FLIP_ISOMETRIC, QStringLiteral("Flip &Isometric\t"));
    m->addSeparator();
    addCommand(m, p, CMD_AUTO_CROP, QStringLiteral("&Auto Crop"));
    // Paste as new document has only its key (Ctrl+B where no document window is active).
    addCommand(nullptr, p, CMD_PASTE_NEW, QStringLiteral("Paste as new document"));

    // Selection
    m = bar->addMenu(QStringLiteral("&Selection  "));
    p = QStringLiteral("Selection");
    addCommand(m, p, CMD_FRAME_SELECT, QStringLiteral("&Frame select mode"))->setCheckable(true);
    addCommand(m, p, CMD_CROP, QStringLiteral("&Crop"));
    addCommand(m, p, CMD_MAKE_GRID, QStringLiteral("Make &Grid\tG"),
               QKeySequence(Qt::SHIFT | Qt::Key_G));
    addCommand(m, p, CMD_SELECT_ALL, QStringLiteral("&Select all\tCTRL+A"),
               QKeySequence(Qt::CTRL | Qt::Key_A));

    // Mask
    m = bar->addMenu(QStringLiteral("&Mask  "));
    p = QStringLiteral("Mask");
    sub = m->addMenu(QStringLiteral("Create mask"));
    const struct {
        int id;
        const char* text;
        const char* tip;
    } maskCommands[] = {
        {CMD_MASK_PICK_KEY, "Pick key color",
         "pickup the transparency color with left mouse button"},
        {CMD_MASK_ONE_BIT, "1-bit alpha channel", "Digitize 8-bit alpha values to 1-bit mask"},
        {CMD_MASK_EIGHT_BIT, "8-bit alpha channel", "copy the alpha channel to the mask"},
        {CMD_MASK_INTENSITY, "Intensity", ""},
        {CMD_MASK_BORDER, "1-Pixel Border",
         "Creates alpha channel. 1px border Intensity, inside full, outside 0"},
        {CMD_MASK_CLEAR, "&Clear", "Clears the mask"},
        {CMD_MASK_INVERT, "&Invert", "Invert the mask"},
    };
    for (const auto& c : maskCommands) {
        const bool top = c.id == CMD_MASK_CLEAR || c.id == CMD_MASK_INVERT;
        addCommand(top ? m : sub, top ? p : p + QStringLiteral("/Create mask"), c.id,
                   QString::fromLatin1(c.text))
            ->setStatusTip(QString::fromLatin1(c.tip));
    }

    // View
    m = bar->addMenu(QStringLiteral("&View  "));
    p = QStringLiteral("View");
    addCommand(m, p, CMD_TOOLBAR, QStringLiteral("&Toolbar"))->setCheckable(true);
    addCommand(m, p, CMD_STATUS_BAR, QStringLiteral("&Status Bar"))->setCheckable(true);
    m->addSeparator();
    addCommand(m, p, CMD_ZOOM_IN, QStringLiteral("Zoom in\t    m"), QKeySequence(Qt::Key_M));
    addCommand(m, p, CMD_ZOOM_OUT, QStringLiteral("Zoom out\t    n"), QKeySequence(Qt::Key_N));
    sub = m->addMenu(QStringLiteral("&Zoom"));
    for (int z = 1; z <= 4; ++z)
        addCommand(sub, p + QStringLiteral("/Zoom"), CMD_ZOOM_1 + z - 1,
                   QStringLiteral("&%1x").arg(z))
            ->setCheckable(true);
    m->addSeparator();
    addCommand(m, p, CMD_GRID, QStringLiteral("&Grid\t    g"), QKeySequence(Qt::Key_G))
        ->setCheckable(true);
    addCommand(m, p, CMD_GRID_OPTIONS, QStringLiteral("Grid &Options\t "));
    addCommand(m, p, CMD_SNAP, QStringLiteral("S&nap to Grid\t    CRTL+g"),
               QKeySequence(Qt::CTRL | Qt::Key_G))
        ->setCheckable(true);
    sub = m->addMenu(QStringLiteral("Grid Modus"));
    addCommand(sub, p + QStringLiteral("/Grid Modus"), CMD_GRID_NORMAL, QStringLiteral("&Normal"))
        ->setCheckable(true);
    addCommand(sub, p + QStringLiteral("/Grid Modus"), CMD_GRID_ISOMETRIC,
               QStringLiteral("&Isometric"))
        ->setCheckable(true);
    m->addSeparator();
    addCommand(m, p, CMD_RED, QStringLiteral("&Red\t    1"), QKeySequence(Qt::Key_1))
        ->setCheckable(true);
    addCommand(m, p, CMD_GREEN, QStringLiteral("&Green\t    2"), QKeySequence(Qt::Key_2))
        ->setCheckable(true);
    addCommand(m, p, CMD_BLUE, QStringLiteral("&Blue\t    3"), QKeySequence(Qt::Key_3))
        ->setCheckable(true);
    addCommand(m, p, CMD_ALPHA, QStringLiteral("&Alpha\t    4"), QKeySequence(Qt::Key_4))
        ->setCheckable(true);

    // Tools
    m = bar->addMenu(QStringLiteral("&Tools"));
    p = QStringLiteral("Tools");
    addCommand(m, p, CMD_POSITION_LIST, QStringLiteral("&Position List"));
    addCommand(m, p, CMD_FONT_WIZARD, QStringLiteral("Texture Font Wizard"));
    addCommand(m, p, CBitmapDoc::CMD_ANIMMASTER, QStringLiteral("&Animationmaster"));

    // Window
    m = bar->addMenu(QStringLiteral("&Window "));
    p = QStringLiteral("Window");
    addCommand(m, p, CMD_NEW_WINDOW, QStringLiteral("&New Window"));
    addCommand(m, p, CMD_CASCADE, QStringLiteral("&Cascade"));
    addCommand(m, p, CMD_TILE_VERTICAL, QStringLiteral("Tile &Vertical"));
    addCommand(m, p, CMD_TILE_HORIZONTAL, QStringLiteral("Tile &Horizontal"));
    addCommand(m, p, CMD_CLOSE_ALL, QStringLiteral("Close &All"));
    // The open document windows follow, numbered, the active one checked, refilled each time the
    // menu opens so titles and order are current.
    connect(m, &QMenu::aboutToShow, this, [this, m] {
        for (QAction* a : m->actions())
            if (a->property("windowList").toBool()) {
                m->removeAction(a);
                a->deleteLater();
            }
        const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
        int n = 0;
        for (QMdiSubWindow* w : windows) {
            if (n == 0) m->addSeparator()->setProperty("windowList", true);
            ++n;
            const QString title = w->windowTitle();
            auto* a = m->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                          : QStringLiteral("%1 %2").arg(n).arg(title));
            a->setProperty("windowList", true);
            a->setToolTip(title);
            a->setCheckable(true);
            a->setChecked(w == mdi_->activeSubWindow());
            connect(a, &QAction::triggered, this, [this, w] {
                if (mdi_->subWindowList().contains(w)) mdi_->setActiveSubWindow(w);
            });
        }
    });

    // Help
    m = bar->addMenu(QStringLiteral("&Help"));
    addCommand(m, QStringLiteral("Help"), CMD_ABOUT, QStringLiteral("&About Tarquil..."));

    // The frame commands live on the tool bar and their keys only.
    const struct {
        int id;
        const char* text;
        const char* path;
        int key;
    } frameCommands[] = {{CMD_FIRST_FRAME, "Go to first anim frame", "First frame", Qt::Key_1},
                         {CMD_PREVIOUS_FRAME, "Go to previous frame", "Previous frame", Qt::Key_2},
                         {CMD_PLAY, "Play animation", "Play", Qt::Key_3},
                         {CMD_NEXT_FRAME, "Go to next frame", "Next frame", Qt::Key_4},
                         {CMD_LAST_FRAME, "Go to last frame", "Last frame", Qt::Key_5}};
    for (const auto& c : frameCommands) {
        QAction* a = addCommand(nullptr, QStringLiteral("Animation"), c.id,
                                QString::fromLatin1(c.text), QKeySequence(Qt::CTRL | c.key));
        paths_[pathKey(QStringLiteral("Animation/") + QLatin1String(c.path))] = c.id;
        addAction(a);  // keys work without a menu entry
        if (c.id == CMD_PLAY) a->setCheckable(true);
    }
    addAction(action(CMD_PASTE_NEW));
}

void CMainFrame::buildToolBars() {
    auto fill = [this](QToolBar* bar, std::initializer_list<std::pair<int, const char*>> buttons) {
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
    fill(mainBar_, {{CMD_NEW, "new"},
                    {CMD_OPEN, "open"},
                    {CMD_SAVE, "save"},
                    {0, nullptr},
                    {CMD_COPY, "copy"},
                    {CMD_PASTE, "paste"},
                    {0, nullptr},
                    {CMD_UNDO, "undo"},
                    {CMD_REDO, "redo"},
                    {0, nullptr},
                    {CMD_FIRST_FRAME, "first"},
                    {CMD_PREVIOUS_FRAME, "previous"},
                    {CMD_PLAY, "play"},
                    {CMD_NEXT_FRAME, "next"},
                    {CMD_LAST_FRAME, "last"}});
    addToolBar(Qt::TopToolBarArea, mainBar_);

    paletteBar_ = new QToolBar(QStringLiteral("Bitmap Palette"), this);
    paletteBar_->setObjectName(QStringLiteral("paletteToolBar"));
    paletteBar_->setAccessibleName(QStringLiteral("Bitmap Palette"));
    paletteBar_->setIconSize(QSize(16, 16));
    fill(paletteBar_, {{CMD_ZOOM_IN, "zoom_in"},
                       {CMD_ZOOM_OUT, "zoom_out"},
                       {CMD_CROP, "crop"},
                       {CMD_GRID, "grid"},
                       {CMD_SNAP, "snap"},
                       {CMD_FRAME_SELECT, "frame_select"},
                       {0, nullptr},
                       {CMD_RED, "red"},
                       {CMD_GREEN, "green"},
                       {CMD_BLUE, "blue"},
                       {CMD_ALPHA, "alpha"}});
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
    const struct {
        int id;
        const char* text;
    } entries[] = {{CMD_PASTE, "Paste\tCTRL+V"},
                   {CMD_PASTE_CLIPBOARD, "Paste Clipboard\tCTRL+B"},
                   {CMD_COPY, "Copy\tCTRL+C"},
                   {0, nullptr},
                   {CMD_GRID, "Grid\tg"},
                   {CMD_SNAP, "Snap to grid \tCTRL+g"},
                   {CMD_MAKE_GRID, "Make Grid\tG"},
                   {0, nullptr},
                   {CMD_ZOOM_IN, "Zoom In\tm"},
                   {CMD_ZOOM_OUT, "Zoom Out\tn"},
                   {0, nullptr},
                   {CMD_EXPORT, "Export 3df"}};
    for (const auto& e : entries) {
        if (e.id == 0) {
            contextMenu_->addSeparator();
            continue;
        }
        const int id = e.id;
        QAction* a = contextMenu_->addAction(QString::fromLatin1(e.text));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { trigger(id); });
    }
    // The entries follow their commands' state each time the menu opens.
    connect(contextMenu_, &QMenu::aboutToShow, this, [this] {
        updateCommands();
        for (QAction* a : contextMenu_->actions()) {
            if (a->isSeparator()) continue;
            QAction* cmd = action(a->data().toInt());
            a->setEnabled(cmd && cmd->isEnabled());
            a->setCheckable(cmd && cmd->isCheckable());
            a->setChecked(cmd && cmd->isChecked());
        }
    });
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
    if (CBitmapView* v = activeView())
        panes_[3]->setText(QStringLiteral("%1%").arg(v->zoom() * 100));
    // Screen readers find a pane by its name and read what it shows from its description.
    for (QLabel* pane : panes_)
        if (pane->accessibleDescription() != pane->text())
            pane->setAccessibleDescription(pane->text());
    if (CBitmapDoc* d = activeDocument())
        setWindowTitle(QString::fromStdString(d->title()) + QStringLiteral(" - ") + kAppTitle);
    else
        setWindowTitle(kAppTitle);
}

// The commands this window carries out itself; other parts of the editor add theirs through
// handle() from their own files.
void CMainFrame::installDefaultHandlers() {
    auto hasDoc = [this] { return activeDocument() != nullptr; };
    auto docEnabled = [this](int id) {
        return [this, id] {
            CBitmapDoc* d = activeDocument();
            return d && d->isEnabled(id);
        };
    };
    handle(CMD_NEW, [this] { newDocument(); });
    handle(CMD_OPEN, [this] { openDialog(); });
    handle(
        CMD_CLOSE, [this] { closeDocument(); }, hasDoc);
    handle(
        CMD_SAVE, [this] { saveDocument(); }, docEnabled(CMD_SAVE));
    handle(
        CMD_SAVE_AS, [this] { saveDocumentAs(); }, hasDoc);
    handle(
        CMD_EXPORT, [this] { exportTexture(); }, hasDoc);
    handle(CMD_EXIT, [this] { close(); });
    handle(CMD_PREFERENCES, [this] { editPreferences(); });
    handle(
        CMD_UNDO, [this] { undo(); }, docEnabled(CMD_UNDO));
    handle(
        CMD_REDO, [this] { redo(); }, docEnabled(CMD_REDO));
    for (int id : {CMD_FIRST_FRAME, CMD_PREVIOUS_FRAME, CMD_PLAY, CMD_NEXT_FRAME, CMD_LAST_FRAME})
        handle(
            id, [this, id] { runCommand(id); }, docEnabled(id),
            [this, id] {
                CBitmapDoc* d = activeDocument();
                return d && d->isChecked(id);
            });

    auto idle = [this] { return editIdle(); };
    auto hasFrame = [this] {
        CBitmapDoc* d = activeDocument();
        const Frame* f = d && d->frames() ? d->frames()->currentFrame() : nullptr;
        return f && f->hasPixels();
    };
    handle(
        CMD_SCALE, [this] { scaleImage(); }, idle);
    handle(
        CMD_RESIZE, [this] { resizeImage(); }, idle);
    handle(
        CMD_FLIP_VERTICAL, [this] { flipVertical(); }, idle);
    handle(
        CMD_FLIP_HORIZONTAL, [this] { flipHorizontal(); }, idle);
    handle(
        CMD_FLIP_ISOMETRIC, [this] { flipIsometric(); }, idle);
    handle(
        CMD_AUTO_CROP, [this] { autoCrop(); }, idle);
    handle(
        CMD_CROP, [this] { cropSelection(); },
        [this] {
            CBitmapView* v = activeView();
            return editIdle() && v && !v->selection().empty();
        });
    handle(
        CMD_SELECT_ALL, [this] { selectAll(); }, hasFrame);
    for (int id : {CMD_MASK_ONE_BIT, CMD_MASK_EIGHT_BIT, CMD_MASK_INTENSITY, CMD_MASK_BORDER})
        handle(
            id, [this, id] { maskCommand(id); }, hasFrame);
    for (int id : {CMD_MASK_PICK_KEY, CMD_MASK_CLEAR, CMD_MASK_INVERT})
        handle(
            id, [this, id] { maskCommand(id); }, idle);

    handle(
        CMD_TOOLBAR, [this] { toggleToolBars(); }, {}, [this] { return toolBarsShown_; });
    handle(
        CMD_STATUS_BAR, [this] { toggleStatusBar(); }, {},
        [this] { return !statusBar()->isHidden(); });
    // Zoom and the alpha channel until the view's own commands take them over.
    handle(
        CMD_ZOOM_IN,
        [this] {
            if (auto* v = activeView()) v->setZoom(v->zoom() + 1);
        },
        [this] { return activeView() && activeView()->zoom() < 8; });
    handle(
        CMD_ZOOM_OUT,
        [this] {
            if (auto* v = activeView()) v->setZoom(v->zoom() - 1);
        },
        [this] { return activeView() && activeView()->zoom() > 1; });
    for (int z = 1; z <= 4; ++z)
        handle(
            CMD_ZOOM_1 + z - 1,
            [this, z] {
                if (auto* v = activeView()) v->setZoom(z);
            },
            [this] { return activeView() != nullptr; },
            [this, z] { return activeView() && activeView()->zoom() == z; });
    handle(
        CMD_ALPHA, [this] { toggleAlpha(); }, hasFrame,
        [this] { return activeView() && activeView()->maskShown(); });

    handle(CMD_POSITION_LIST, [this] { showPositionList(); });
    handle(
        CBitmapDoc::CMD_ANIMMASTER, [this] { animationMaster(); },
        [this] {
            CBitmapDoc* d = activeDocument();
            return editIdle() && d->isEnabled(CBitmapDoc::CMD_ANIMMASTER);
        });

    handle(
        CMD_NEW_WINDOW, [this] { newWindow(); }, hasDoc);
    handle(
        CMD_CASCADE, [this] { mdi_->cascadeSubWindows(); }, hasDoc);
    // Vertical tiling puts the windows side by side, horizontal one above the other.
    auto tile = [this](bool sideBySide) {
        const std::vector<CChildFrame*> list = children_;
        std::vector<CChildFrame*> shown;
        for (CChildFrame* c : list)
            if (!c->isMinimized()) shown.push_back(c);
        if (shown.empty()) return;
        const QSize area = mdi_->viewport()->size();
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
    };
    handle(
        CMD_TILE_VERTICAL, [tile] { tile(true); }, hasDoc);
    handle(
        CMD_TILE_HORIZONTAL, [tile] { tile(false); }, hasDoc);
    handle(
        CMD_CLOSE_ALL, [this] { closeAllDocuments(); }, hasDoc);
    handle(CMD_ABOUT, [this] { about(); });
}

bool CMainFrame::editIdle() const {
    CBitmapDoc* d = activeDocument();
    if (!d) return false;
    const FrameSequence* seq = d->frames();
    const Frame* f = seq ? seq->currentFrame() : nullptr;
    // Edits change every frame; a playing animation would show half-done frames.
    return f && f->hasPixels() && !d->playing();
}

void CMainFrame::toggleToolBars() {
    toolBarsShown_ = !toolBarsShown_;
    mainBar_->setVisible(toolBarsShown_);
    paletteBar_->setVisible(toolBarsShown_);
}

void CMainFrame::toggleStatusBar() { statusBar()->setVisible(statusBar()->isHidden()); }

void CMainFrame::about() {
    QDialog dlg(this);
    dlg.setWindowTitle(QStringLiteral("About Tarquil"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tarquil.svg")).pixmap(48, 48));
    icon->setAccessibleName(QStringLiteral("Tarquil"));
    auto* version = new QLabel(kAppTitle.left(100));
    version->setObjectName(QStringLiteral("version"));
    version->setAccessibleName(version->text());
    auto* line =
        new QLabel(QStringLiteral("Tarquil Studio: sprites, fonts and textures for games"));
    line->setAccessibleName(line->text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addWidget(line, 0, Qt::AlignHCenter);
    layout->addWidget(buttons);
    dlg.exec();
}

// ---- Documents and their windows -------------------------------------------------------------

CChildFrame* CMainFrame::addChild(CBitmapDoc* doc) {
    auto* child = new CChildFrame(doc, this);
    children_.push_back(child);
    alive_.push_back(child);
    connect(child, &QObject::destroyed, this, &CMainFrame::childDestroyed);
    mdi_->addSubWindow(child);
    CBitmapView* view = child->view();
    view->setPreferences(viewPreferences(appPreferences()));
    connect(view, &CBitmapView::contextMenuWanted, this,
            [this](const QPoint& globalPos) { contextMenu_->popup(globalPos); });
    connect(view, &CBitmapView::selectionChanged, this, [this, view] {
        if (view != activeView()) return;
        viewStatusChanged();
        updateCommands();
    });
    placeChild(child);
    child->show();
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
    const QSize image = child->view()->imageSize() * child->view()->zoom();
    const int frame =
        child->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, child);
    const int title = child->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, child);
    const int border = 2 * child->view()->frameWidth();
    const QSize size(image.width() + 2 * frame + border, image.height() + title + frame + border);
    return size.expandedTo(QSize(160, 100)).boundedTo(area);
}

void CMainFrame::fitActiveWindowToPicture() {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    for (CChildFrame* c : children_)
        if (c == w) c->resize(childSizeFor(c));
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
    d->onUpdate = [this, d](int hint, const TxRect* rect) {
        for (CChildFrame* c : children_)
            if (c->doc() == d) c->view()->onUpdate(hint, rect);
        refreshTitles();
        documentChanged(d, hint);
    };
    return addChild(d);
}

void CMainFrame::newWindow() {
    CChildFrame* c = activeChild();
    if (!c) return;
    CChildFrame* n = addChild(c->doc());
    n->view()->setZoom(c->view()->zoom());
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

void CMainFrame::closeDocument() {
    CChildFrame* active = activeChild();
    if (!active) return;
    CBitmapDoc* doc = active->doc();
    if (doc->isModified()) {
        // The document's last window asks; the others go without a question.
        for (CChildFrame* c : std::vector<CChildFrame*>(children_))
            if (c->doc() == doc && c != active) c->closeWithoutPrompt();
        active->close();
        return;
    }
    for (CChildFrame* c : std::vector<CChildFrame*>(children_))
        if (c->doc() == doc) c->closeWithoutPrompt();
}

bool CMainFrame::askToSave(CBitmapDoc* doc) {
    if (!doc->isModified()) return true;
    for (CChildFrame* c : children_)
        if (c->doc() == doc) {
            mdi_->setActiveSubWindow(c);
            break;
        }
    const QString name = QString::fromStdString(doc->title()).left(24).trimmed();
    const MsgResult r =
        prompts().message(QStringLiteral("Save changes to %1?").arg(name).toStdString(),
                          MsgIcon::Warning, MsgButtons::YesNoCancel);
    if (r == MsgResult::Cancel) return false;
    if (r == MsgResult::No) return true;
    const bool saved = doc->save(prompts(), progress_.get());
    if (saved) addRecentFile(doc->pathName());
    refreshTitles();
    // A save that failed or was cancelled keeps the document open.
    return saved && !doc->isModified();
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

void CMainFrame::closeEvent(QCloseEvent* e) {
    // The placement is kept even when a save prompt then cancels the close.
    savePlacement();
    if (!closeAllDocuments()) {
        e->ignore();
        return;
    }
    Preferences& p = appPreferences();
    p.lastNewWidth = documentSettings().lastNewWidth;
    p.lastNewHeight = documentSettings().lastNewHeight;
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

void CMainFrame::startUp(const QStringList& files) {
    if (files.isEmpty()) {
        if (appPreferences().autoloadLast && !recent_.files().empty()) openRecentFile(0);
        return;
    }
    for (const QString& f : files) openFile(f);
}

void CMainFrame::addRecentFile(const std::string& path) {
    if (path.empty()) return;
    recent_.add(path);
    recent_.save(settings());
    rebuildRecentMenu();
}

void CMainFrame::openRecentFile(int index) {
    if (index < 0 || index >= int(recent_.files().size())) return;
    const std::string path = recent_.files()[size_t(index)];
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        prompts().message("File " + path + " not found", MsgIcon::Warning, MsgButtons::Ok);
        recent_.remove(path);
        recent_.save(settings());
        rebuildRecentMenu();
        return;
    }
    openFile(QString::fromStdString(path));
}

void CMainFrame::rebuildRecentMenu() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        delete a;
    }
    recentActions_.clear();
    QAction* placeholder = action(CMD_RECENT_FILE);
    placeholder->setVisible(recent_.files().empty());
    for (int i = 0; i < int(recent_.files().size()); ++i) {
        const std::string& f = recent_.files()[size_t(i)];
        auto* a = new QAction(QString::fromStdString(RecentFileList::menuText(i, f)), this);
        a->setToolTip(QString::fromStdString(f));
        a->setStatusTip(QString::fromStdString(f));
        connect(a, &QAction::triggered, this, [this, i] { openRecentFile(i); });
        fileMenu_->insertAction(placeholder, a);
        recentActions_.push_back(a);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    e->acceptProposedAction();
    openDropped(urls);
}

void CMainFrame::openDropped(const QList<QUrl>& urls) {
    for (const QUrl& u : urls)
        if (u.isLocalFile()) openFile(u.toLocalFile());
}

bool CMainFrame::openFile(const QString& path) {
    const std::string p = QFileInfo(path).absoluteFilePath().toStdString();
    for (CChildFrame* c : children_)
        if (c->doc()->pathName() == p) {
            mdi_->setActiveSubWindow(c);
            return true;
        }
    auto doc = std::make_unique<CBitmapDoc>();
    if (!doc->onOpenDocument(p, prompts())) return false;
    addRecentFile(doc->pathName().empty() ? p : doc->pathName());
    addDocument(std::move(doc));
    return true;
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

namespace {
// The filter chosen last in the open dialog, for as long as the program runs (0: not yet read).
int gFilterIndex = 0;
}  // namespace

void CMainFrame::openDialog() {
    if (gFilterIndex <= 0) gFilterIndex = settings().getInt("Settings", "FilterIndex", 1);
    QStringList filters;
    for (const auto& [name, patterns] : openFilters()) {
        QString n = QString::fromStdString(name);
        const QString p =
            QString::fromStdString(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of the entry.
        filters << (n.endsWith(QStringLiteral("(") + p + QLatin1Char(')'))
                        ? n
                        : n + QStringLiteral(" (") + p + QLatin1Char(')'));
    }
    QFileDialog dlg(this, QStringLiteral("Open"), QString::fromStdString(appPreferences().workDir));
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(filters);
    if (gFilterIndex >= 1 && gFilterIndex <= filters.size())
        dlg.selectNameFilter(filters[gFilterIndex - 1]);
    if (dlg.exec() != QDialog::Accepted) return;
    const int chosen = int(filters.indexOf(dlg.selectedNameFilter())) + 1;
    if (chosen >= 1 && chosen != gFilterIndex) {
        gFilterIndex = chosen;
        settings().setInt("Settings", "FilterIndex", chosen);
    }
    for (const QString& p : dlg.selectedFiles()) openFile(p);
}

void CMainFrame::saveDocument() {
    if (CBitmapDoc* d = activeDocument())
        if (d->save(prompts(), progress_.get())) addRecentFile(d->pathName());
    refreshTitles();
}

void CMainFrame::saveDocumentAs() {
    if (CBitmapDoc* d = activeDocument())
        if (d->saveAs(prompts(), progress_.get())) addRecentFile(d->pathName());
    refreshTitles();
}

void CMainFrame::exportTexture() {
    if (CBitmapDoc* d = activeDocument()) d->exportTexture(prompts(), settings());
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
    // A document in several windows numbers them: "name:1", "name:2".
    std::map<CBitmapDoc*, int> count, seen;
    for (CChildFrame* c : children_) ++count[c->doc()];
    for (CChildFrame* c : children_) {
        QString t = QString::fromStdString(c->doc()->title());
        if (count[c->doc()] > 1) t += QStringLiteral(":%1").arg(++seen[c->doc()]);
        c->setWindowTitle(t);
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

}  // namespace

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
    cursorPane_->setText(QString::fromStdString(st.statusCursor()));
    const TxRect& r = v->selection();
    const QPoint p = v->cursorPos();
    if (v->document() == positionWindow_->document())
        positionWindow_->setCurrent(r, p.x(), p.y(), v->colourAt(p));
}
