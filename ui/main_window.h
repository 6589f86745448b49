// The editor's main window: a multiple-document frame whose child windows each show one document.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "model/ports.h"

class CBitmapDoc;
class CBitmapView;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QtProgress;
class QLabel;
class PositionListWindow;
struct TxRect;

// Commands of the Edit, Selection and Tools menus handled by the main window.
enum EditCommand : int {
    CMD_CROP = 32780,
    CMD_AUTO_CROP = 32781,
    CMD_FLIP_HORIZONTAL = 32782,
    CMD_FLIP_ISOMETRIC = 32783,
    CMD_FLIP_VERTICAL = 32784,
    CMD_RESIZE = 32787,
    CMD_SCALE = 32788,
    CMD_SELECT_ALL = 32804,
    CMD_FONT_WIZARD = 32805,
    CMD_POSITION_LIST = 32806,
    CMD_ALPHA = 32771,
    CMD_MASK_CLEAR = 252,
    CMD_MASK_PICK_KEY = 253,
    CMD_MASK_INVERT = 254,
    CMD_MASK_ONE_BIT = 32799,
    CMD_MASK_EIGHT_BIT = 32800,
    CMD_MASK_INTENSITY = 32801,
    CMD_MASK_BORDER = 32817,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Tests and embedders may answer the questions themselves.
    void setPrompts(Prompts* prompts) { prompts_ = prompts; }
    Prompts& prompts();
    // Tests keep the settings of the tools in memory.
    void setSettings(SettingsStore* settings) { settingsOverride_ = settings; }
    SettingsStore& settings();

    // Opens a file in a new document window; an already open path activates its window.
    bool openFile(const QString& path);
    CBitmapDoc* activeDocument() const;
    CBitmapView* activeView() const;
    // Size of the active document's current frame at 1:1.
    QSize shownImageSize() const;
    int documentCount() const;
    // Whether a command of the menus can run now for the active document.
    bool commandEnabled(int command) const;
    PositionListWindow* positionWindow() const { return positionWindow_; }
    // The factory of the tools that create documents: a new untitled document in its own window
    // (its size from the pending request), or null when it could not be made.
    CBitmapDoc* createDocument(Prompts& prompts);
    // Called by the child windows.
    void documentChanged(CBitmapDoc* doc, int hint);
    void documentClosing(CBitmapDoc* doc);

public slots:
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
    void arrangePositions();
    void copyPositionsToClipboard();
    void animationMaster();
    void fontTexture();
    // The Mask menu (ids above) and View > Alpha.
    void maskCommand(int command);
    void toggleAlpha();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QMdiSubWindow* addDocument(std::unique_ptr<CBitmapDoc> doc);
    void refreshTitles();
    void updateCommands();
    void viewStatusChanged();
    // Runs an edit of the active document with the wait cursor; false when it may not run.
    bool editReady(int command, CBitmapDoc*& doc, CBitmapView*& view) const;

    QMdiArea* mdi_ = nullptr;
    QTimer* timer_ = nullptr;
    bool tickToggle_ = false;
    std::unique_ptr<Prompts> ownPrompts_;
    std::unique_ptr<QtProgress> progress_;
    std::unique_ptr<SettingsStore> settings_;
    Prompts* prompts_ = nullptr;
    SettingsStore* settingsOverride_ = nullptr;
    PositionListWindow* positionWindow_ = nullptr;
    QLabel* sizePane_ = nullptr;
    QLabel* selectionPane_ = nullptr;
    QLabel* cursorPane_ = nullptr;
};
