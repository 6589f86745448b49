// The editor's main window: a multiple-document frame whose child windows show the documents,
// with the menu bar, the two tool bars, the five-pane status bar and the application commands.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "edit/size_model.h"
#include "model/ports.h"
#include "model/preferences.h"
#include "model/recent_files.h"
#include "view/clipboard.h"

class CBitmapDoc;
class CBitmapView;
class CMainFrame;
class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;
class QtProgress;
class PositionListWindow;
struct Preferences;
struct TxRect;

// Command identifiers of the menus, tool bars and context menu (the document's own are in
// document/document.h).
enum EditCommand : int {
    CMD_ALPHA = 32771,
    CMD_BLUE = 32778,
    CMD_CROP = 32780,
    CMD_AUTO_CROP = 32781,
    CMD_FLIP_HORIZONTAL = 32782,
    CMD_FLIP_ISOMETRIC = 32783,
    CMD_FLIP_VERTICAL = 32784,
    CMD_PASTE_CLIPBOARD = 32785,  // "&Paste from ClipBoard", Ctrl+B
    CMD_PASTE_NEW = 32786,        // paste as new document (no menu entry)
    CMD_RESIZE = 32787,
    CMD_SCALE = 32788,
    CMD_MAKE_GRID = 32792,
    CMD_FRAME_SELECT = 32793,
    CMD_GREEN = 32794,
    CMD_GRID = 32795,
    CMD_GRID_OPTIONS = 32796,
    CMD_SNAP = 32797,
    CMD_RED = 32803,
    CMD_SELECT_ALL = 32804,
    CMD_FONT_WIZARD = 32805,
    CMD_POSITION_LIST = 32806,
    CMD_PACK_SPRITES = 32920,  // Tools > Pack Sprites...
    CMD_CLOSE_ALL = 32807,
    CMD_ZOOM_1 = 32808,  // 32808..32811: "&1x" to "&4x"
    CMD_ZOOM_IN = 32812,
    CMD_ZOOM_25 = 32900,  // below 100% and the largest step that shows the whole picture
    CMD_ZOOM_50 = 32901,
    CMD_ZOOM_FIT = 32902,
    CMD_FRAME_PROPERTIES = 32903,  // Frame > Frame Properties...
    CMD_TIMED_PLAY = 32904,        // Frame > Play at frame durations (off: the fixed rate)
    CMD_ZOOM_OUT = 32813,
    CMD_PREFERENCES = 32777,
    CMD_GRID_ISOMETRIC = 255,
    CMD_GRID_NORMAL = 256,
    CMD_MASK_CLEAR = 252,
    CMD_MASK_PICK_KEY = 253,
    CMD_MASK_INVERT = 254,
    CMD_MASK_ONE_BIT = 32799,
    CMD_MASK_EIGHT_BIT = 32800,
    CMD_MASK_INTENSITY = 32801,
    CMD_MASK_BORDER = 32817,
    CMD_CLOSE = 57602,
    CMD_RECENT_FILE = 57616,
    CMD_CLEAR_ALL = 57633,
    CMD_COPY = 57634,
    CMD_CUT = 57635,
    CMD_PASTE = 57637,
    CMD_NEW_WINDOW = 57648,
    CMD_CASCADE = 57650,
    CMD_TILE_HORIZONTAL = 57651,
    CMD_TILE_VERTICAL = 57652,
    CMD_ABOUT = 57664,
    CMD_EXIT = 57665,
    CMD_TOOLBAR = 59392,
    CMD_STATUS_BAR = 59393,
};

// A document window: one view of a document. Several windows may show the same document
// (Window > New Window); the main window owns the documents.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CBitmapDoc* doc, CMainFrame* main);
    CBitmapDoc* doc() const { return doc_; }
    CBitmapView* view() const { return view_; }
    // Closes without the save prompt (the caller has asked already).
    void closeWithoutPrompt();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    CBitmapDoc* doc_;
    CMainFrame* main_;
    CBitmapView* view_;
    bool asked_ = false;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `settings` replaces the user's settings file (tests); it must outlive the window.
    explicit CMainFrame(QWidget* parent = nullptr, SettingsStore* settings = nullptr);
    ~CMainFrame() override;

    // Tests and embedders may answer the questions themselves.
    void setPrompts(Prompts* prompts) { prompts_ = prompts; }
    Prompts& prompts();
    // Tests keep the settings in memory; the preferences are read again from them.
    void setSettings(SettingsStore* settings);
    SettingsStore& settings();
    Progress& progress();

    // ---- Commands --------------------------------------------------------------------------
    // The action of a menu entry by its path of menu texts without "&", the part after the tab
    // and surrounding blanks, compared case-blind: "Edit/Copy", "View/Grid", "View/Zoom/2x",
    // "View/Grid Modus/Isometric", "File/Export/Texturemap". Tool-bar commands without a menu
    // entry are "Animation/First frame", ".../Previous frame", ".../Play", ".../Next frame",
    // ".../Last frame"; paste as new document is "Edit/Paste as new document". Null if unknown.
    QAction* action(const QString& menuPath) const;
    QAction* action(int command) const;
    // Gives a command its handler and, optionally, its enable and check rules, replacing any
    // earlier handler. The rules are asked whenever the window updates its commands. A command
    // without a handler stays disabled, so connect through here, not to QAction::triggered.
    void handle(const QString& menuPath, std::function<void()> run,
                std::function<bool()> enabled = {}, std::function<bool()> checked = {});
    void handle(int command, std::function<void()> run, std::function<bool()> enabled = {},
                std::function<bool()> checked = {});
    // Whether a command can run now (its enable rule; false without a handler).
    bool commandEnabled(int command) const;
    // Runs a command as its menu entry would (nothing when it is disabled).
    void trigger(int command);
    // The document windows' context menu "Bitmap".
    QMenu* bitmapContextMenu() const { return contextMenu_; }
    QToolBar* mainToolBar() const { return mainBar_; }
    QToolBar* paletteToolBar() const { return paletteBar_; }
    // Status panes 0 (messages, progress) to 4 (size, selection, zoom, cursor).
    QLabel* statusPane(int index) const;
    // Sets the enable and check state of every action from its rules.
    void updateCommands();
    // Shows the active view's size, selection, zoom and cursor in the status panes and the
    // position list.
    void viewStatusChanged();

    // ---- Documents -------------------------------------------------------------------------
    // Opens a file in a new document window; an already open path activates its window.
    bool openFile(const QString& path);
    // The same with the path's own bytes (absolute), which need not be UTF-8.
    bool openPath(const std::string& path);
    CBitmapDoc* activeDocument() const;
    CBitmapView* activeView() const;
    CChildFrame* activeChild() const;
    // The open document windows, oldest first.
    const std::vector<CChildFrame*>& childFrames() const { return children_; }
    // Size of the active document's current frame at 1:1.
    QSize shownImageSize() const;
    int documentCount() const { return int(docs_.size()); }
    PositionListWindow* positionWindow() const { return positionWindow_; }
    // The factory of the tools that create documents: a new untitled document in its own window
    // (its size from the pending request), or null when it could not be made.
    CBitmapDoc* createDocument(Prompts& prompts);
    // What this window's documents share: the last New size, the save folder, the pending
    // new-document request and the writers' options from the preferences.
    DocumentContext& documentContext() { return docContext_; }
    // The copy buffer of copy and paste, shared by every document window of the run.
    CopyBuffer& copyBuffer() { return copyBuffer_; }
    // The preferences record in effect.
    Preferences& preferences() { return prefs_; }
    // The check boxes "Scale" and "Resize" share for the run.
    ImageDialogFlags& imageDialogFlags() { return imageFlags_; }
    // Sizes the active document window to its picture at its zoom, for documents that got their
    // picture after the window opened (paste as new document).
    void fitActiveWindowToPicture();
    // The room a document window's picture has when the window fills the work area.
    QSize workspaceSize() const;
    // Called by the child windows.
    void documentChanged(CBitmapDoc* doc, DocHint hint);
    // Offers to save doc when `child` is its last window; false when the person cancelled.
    bool confirmClose(CChildFrame* child);
    // "Save changes to %1?" for a modified document; false on Cancel or a failed save.
    bool askToSave(CBitmapDoc* doc);
    void childClosing(CChildFrame* child);
    // Titles the document windows after their documents' names ("name:1", "name:2" for a
    // document in several windows).
    void refreshTitles();

    // ---- Application ----------------------------------------------------------------------
    // Start-up after the window is shown: opens `files`, or with "Autoload last" and no files
    // the most recent one.
    void startUp(const QStringList& files);
    // The "MWnd" placement, when complete, applied to this window; false leaves the default.
    // Returns the show state to use (Qt::WindowMaximized ...) through `state`.
    bool restorePlacement(Qt::WindowStates& state);
    void savePlacement();
    // The recent-file list of the File menu.
    const RecentFileList& recentFiles() const { return recent_; }
    void addRecentFile(const std::string& path);
    // Opens entry `index` of the list; a file that is gone is reported and leaves the list.
    void openRecentFile(int index);
    // Files dropped on the window open as by Open (one message for each that cannot).
    void openDropped(const QList<QUrl>& urls);
    // File > Preferences: the dialog, then applyPreferences with its values.
    void editPreferences();
    // Makes `prefs` the record of this run and puts it into effect (views, TGA writer, dialogs'
    // folders, palette); with `save` it is also written ("bSave" is written in any case).
    void applyPreferences(const Preferences& prefs, bool save);
    // The "pal" button of the Preferences: runs the Palette Options with the palette file,
    // which it may change; false when cancelled. Set by the palette's own command file.
    std::function<bool(QWidget* parent, std::string& palFile)> paletteOptionsHook;
    // Asks about every modified document (one "Save changes to %1?" each, Cancel stops at once
    // and closes nothing), then closes every document window. False when cancelled.
    bool closeAllDocuments();

    // The named commands run as their menu entries do (nothing when disabled); each is defined
    // beside its handler in ui/{file,edit,mask,window,tool}_commands.cpp.
    void newDocument();
    void openDialog();
    void saveDocument();
    void saveDocumentAs();
    void exportTexture();
    void undo();
    void redo();
    void runCommand(int command);
    void cropSelection();
    void autoCrop();
    void scaleImage();
    void resizeImage();
    void flipVertical();
    void flipHorizontal();
    void flipIsometric();
    void selectAll();
    void showPositionList();
    void animationMaster();
    // The Mask menu (ids above) and View > Alpha.
    void maskCommand(int command);
    void toggleAlpha();
    void newWindow();
    void closeDocument();
    // The position list window's "Arrange" and "Copy to Clipboard" on its document.
    void arrangePositions();
    void copyPositionsToClipboard();

    // ---- Window ---------------------------------------------------------------------------
    // "Tarquil 1.25": the window's title after the document's, and the About box's version.
    static QString appTitle();
    QMdiArea* mdiArea() const { return mdi_; }
    // View > Toolbar: both bars come and go together.
    bool toolBarsShown() const { return toolBarsShown_; }
    void setToolBarsShown(bool shown);
    // The Window menu's list of document windows, refilled each time the menu opens.
    void fillWindowList(QMenu* menu);

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    struct Command {
        QAction* action = nullptr;
        std::function<void()> run;
        std::function<bool()> enabled;
        std::function<bool()> checked;
    };
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void buildContextMenu();
    void syncContextMenu();
    // The record's values where they act: views, TGA writer, document defaults.
    void putPreferencesInEffect();
    QAction* addCommand(QMenu* menu, const QString& path, int id, const QString& text,
                        const QKeySequence& key = {});
    CChildFrame* addChild(CBitmapDoc* doc);
    QMdiSubWindow* addDocument(std::unique_ptr<CBitmapDoc> doc);
    void placeChild(CChildFrame* child);
    QSize childSizeFor(CChildFrame* child) const;
    void fitChildToPicture(CChildFrame* child);
    void childDestroyed(QObject* child);

    Preferences prefs_;
    DocumentContext docContext_;
    CopyBuffer copyBuffer_;
    ImageDialogFlags imageFlags_;
    QMdiArea* mdi_ = nullptr;
    QTimer* timer_ = nullptr;
    bool tickToggle_ = false;
    // Timed play: one shot per frame change, measured with a clock so that timer lateness does
    // not add up.
    QTimer* playTimer_ = nullptr;
    QElapsedTimer playClock_;
    CBitmapDoc* playingDoc_ = nullptr;
    void syncPlayTimer();
    void playStep();
    bool toolBarsShown_ = true;
    std::unique_ptr<Prompts> ownPrompts_;
    std::unique_ptr<QtProgress> progress_;
    std::unique_ptr<SettingsStore> settings_;
    Prompts* prompts_ = nullptr;
    SettingsStore* settingsOverride_ = nullptr;
    PositionListWindow* positionWindow_ = nullptr;
    QToolBar* mainBar_ = nullptr;
    QToolBar* paletteBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QLabel* panes_[5] = {};
    std::map<int, Command> commands_;
    std::map<QString, int> paths_;  // normalised menu path -> command
    // Documents and their windows: a document lives while a window shows it; the windows of a
    // closed document may still be on their way out, so it is freed when the last one is gone.
    std::vector<std::unique_ptr<CBitmapDoc>> docs_;
    std::vector<std::unique_ptr<CBitmapDoc>> retired_;
    std::vector<CChildFrame*> children_;
    std::vector<QObject*> alive_;
    CChildFrame* lastActive_ = nullptr;
    bool destroying_ = false;
    // Fly-by texts borrow pane 0 and give back what it showed.
    bool showingTip_ = false;
    QString savedMessage_;
    RecentFileList recent_;
    std::vector<QAction*> recentActions_;
    void rebuildRecentMenu();
    // The shell registration dialog behind the Preferences' ">" button.
    std::function<void()> registerTypesHook_;
};
