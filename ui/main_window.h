// The editor's main window: opens image files and shows the current frame at 1:1.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "app/frame_sequence.h"

class QLabel;
class QScrollArea;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens a file; on failure shows the message box and returns false.
    bool openFile(const QString& path, bool quiet = false);
    QSize shownImageSize() const;
    const FrameSequence* sequence() const { return seq_.get(); }

public slots:
    void openDialog();
    void nextFrame();
    void previousFrame();

private:
    void showCurrentFrame();

    QScrollArea* scroll_ = nullptr;
    QLabel* image_ = nullptr;
    std::unique_ptr<FrameSequence> seq_;
    QString docName_;
};
