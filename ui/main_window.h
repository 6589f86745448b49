// The editor's main window: a multiple-document frame whose child windows each show one document.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "app/ports.h"

class CBitmapDoc;
class CBitmapView;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QtProgress;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Tests and embedders may answer the questions themselves.
    void setPrompts(Prompts* prompts) { prompts_ = prompts; }
    Prompts& prompts();

    // Opens a file in a new document window; an already open path activates its window.
    bool openFile(const QString& path);
    CBitmapDoc* activeDocument() const;
    CBitmapView* activeView() const;
    // Size of the active document's current frame at 1:1.
    QSize shownImageSize() const;
    int documentCount() const;

public slots:
    void newDocument();
    void openDialog();
    void saveDocument();
    void saveDocumentAs();
    void exportTexture();
    void undo();
    void redo();
    void runCommand(int command);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QMdiSubWindow* addDocument(std::unique_ptr<CBitmapDoc> doc);
    void refreshTitles();
    void updateCommands();

    QMdiArea* mdi_ = nullptr;
    QTimer* timer_ = nullptr;
    bool tickToggle_ = false;
    std::unique_ptr<Prompts> ownPrompts_;
    std::unique_ptr<QtProgress> progress_;
    std::unique_ptr<SettingsStore> settings_;
    Prompts* prompts_ = nullptr;
};
