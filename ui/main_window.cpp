#include "ui/main_window.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QScrollArea>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    scroll_ = new QScrollArea(this);
    image_ = new QLabel(scroll_);
    image_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setWidget(image_);
    scroll_->setBackgroundRole(QPalette::Dark);
    setCentralWidget(scroll_);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* open = file->addAction(tr("&Open..."), this, &CMainFrame::openDialog);
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    QAction* quit = file->addAction(tr("E&xit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
    QMenu* anim = menuBar()->addMenu(tr("&Animation"));
    anim->addAction(tr("Previous frame"), QKeySequence(Qt::CTRL | Qt::Key_2), this,
                    &CMainFrame::previousFrame);
    anim->addAction(tr("Next frame"), QKeySequence(Qt::CTRL | Qt::Key_4), this,
                    &CMainFrame::nextFrame);
    setWindowTitle(QStringLiteral("Tarquil 1.25"));
    resize(800, 600);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::openFile(const QString& path, bool quiet) {
    if (!QFileInfo::exists(path)) {
        if (!quiet) QMessageBox::warning(this, windowTitle(), tr("File %1 not found").arg(path));
        return false;
    }
    auto seq = std::make_unique<FrameSequence>();
    Frame* f = seq->append();
    if (!f || f->load(path.toStdString()) != FE_OK) {
        if (!quiet)
            QMessageBox::warning(this, windowTitle(),
                                 tr("Unrecogniced file format\nFile: %1").arg(path));
        return false;
    }
    seq_ = std::move(seq);
    docName_ = QFileInfo(path).fileName();
    showCurrentFrame();
    return true;
}

QSize CMainFrame::shownImageSize() const {
    const QPixmap p = image_->pixmap();
    return p.isNull() ? QSize() : p.size();
}

void CMainFrame::openDialog() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open"));
    if (!path.isEmpty()) openFile(path);
}

void CMainFrame::nextFrame() {
    if (!seq_) return;
    seq_->goNext();
    showCurrentFrame();
}

void CMainFrame::previousFrame() {
    if (!seq_) return;
    seq_->goPrevious();
    showCurrentFrame();
}

void CMainFrame::showCurrentFrame() {
    const Frame* f = seq_ ? seq_->currentFrame() : nullptr;
    if (!f || !f->hasPixels()) {
        image_->clear();
        return;
    }
    // Same word layout as the frame's pixels, so the image wraps them without conversion.
    QImage img(reinterpret_cast<const uchar*>(f->pixels()), f->width(), f->height(),
               f->width() * 4, QImage::Format_ARGB32);
    image_->setPixmap(QPixmap::fromImage(img));
    image_->resize(f->width(), f->height());
    const QString title = QString::fromStdString(
        frameTitle(docName_.toStdString(), seq_->currentIndex(), seq_->count()));
    setWindowTitle(title + QStringLiteral(" - Tarquil 1.25"));
}
