// The clipboard through QClipboard (offscreen): what a copy offers other programs and what their
// pictures become.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "document/document.h"
#include "model/preferences.h"
#include "model/settings.h"
#include "tests/scripted_prompts.h"
#include "tests/ui/qt_app.h"
#include "ui/bitmap_view.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

#include "texlib/dib.h"
#include "ui/qt_clipboard.h"
#include "view/clipboard.h"

namespace {

QByteArray pngBytes(const QImage& image) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "PNG");
    return out;
}

std::vector<uint32_t> decoded(const std::vector<uint8_t>& block) {
    TxMip mip;
    if (!txDibRead(block.data(), block.size(), mip)) return {};
    const auto* p = reinterpret_cast<const uint32_t*>(mip.data[0]);
    return std::vector<uint32_t>(p, p + size_t(mip.width) * size_t(mip.height));
}

}  // namespace

TEST(QtClipboard, PicturesRoundTripThroughQClipboardWithTheirAlpha) {
    ensureTestApp();
    QClipboard* cb = QGuiApplication::clipboard();
    QtClipboardPort port;
    cb->clear();
    EXPECT_FALSE(port.hasDib());
    EXPECT_FALSE(port.getDib());

    // A copy offers image/png with the alpha and image/bmp with the 24-bit block.
    const uint32_t px[6] = {0x80FF0000, 0x00000000, 0xFF00FF00, 0xFF0000FF, 0x40102030, 0xFFFFFFFF};
    const std::vector<uint8_t> block = txDibWrite(3, 2, px);
    port.putPicture(block, 3, 2, px);
    const QMimeData* mime = cb->mimeData();
    ASSERT_TRUE(mime);
    EXPECT_TRUE(mime->hasFormat(QStringLiteral("image/png")));
    const QByteArray bmp = mime->data(QStringLiteral("image/bmp"));
    const std::vector<uint8_t> file = txDibToBmpFile(block);
    EXPECT_EQ(bmp, QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size())));
    const QImage png = QImage::fromData(mime->data(QStringLiteral("image/png")), "PNG")
                           .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(png.size(), QSize(3, 2));
    EXPECT_EQ(png.pixel(0, 0), 0x80FF0000u);
    EXPECT_EQ(qAlpha(png.pixel(1, 0)), 0);
    EXPECT_EQ(png.pixel(1, 1), 0x40102030u);

    // Read back: the picture with its transparency.
    EXPECT_TRUE(port.hasDib());
    auto back = port.getDib();
    ASSERT_TRUE(back);
    std::vector<uint32_t> got = decoded(*back);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], 0x80FF0000u);
    EXPECT_EQ(got[1] >> 24, 0u);
    EXPECT_EQ(got[3], 0xFF0000FFu);
    EXPECT_EQ(got[4], 0x40102030u);

    // Another program's 24-bit picture arrives opaque, through the copy buffer.
    QImage rgb(2, 1, QImage::Format_RGB888);
    rgb.setPixel(0, 0, qRgb(10, 20, 30));
    rgb.setPixel(1, 0, qRgb(200, 100, 50));
    cb->setImage(rgb);
    CopyBuffer buffer;
    ASSERT_TRUE(readSystemClipboard(buffer, port));
    const Frame* f = buffer.frames()->firstFrame();
    ASSERT_EQ(f->width(), 2);
    EXPECT_EQ(f->pixels()[0], 0xFF0A141Eu);
    EXPECT_EQ(f->pixels()[1], 0xFFC86432u);
    EXPECT_EQ(clipboardPictureSize(port), std::make_pair(2, 1));

    // A PNG with transparency offered as bytes keeps it.
    QImage argb(1, 2, QImage::Format_ARGB32);
    argb.setPixel(0, 0, 0x00000000);
    argb.setPixel(0, 1, 0x7F336699);
    auto* pngMime = new QMimeData;
    pngMime->setData(QStringLiteral("image/png"), pngBytes(argb));
    cb->setMimeData(pngMime);
    got = decoded(*port.getDib());
    EXPECT_EQ(got, (std::vector<uint32_t>{0x00000000u, 0x7F336699u}));

    // Text is no picture.
    cb->setText(QStringLiteral("hello"));
    EXPECT_FALSE(port.hasDib());
    EXPECT_FALSE(port.getDib());
    EXPECT_EQ(port.getText(), "hello");
}

namespace {

void mouse(QWidget* canvas, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent ev(type, QPointF(pos), canvas->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &ev);
}

}  // namespace

TEST(QtClipboard, EditCommandsCopyPasteAndPasteAsNewDocument) {
    ensureTestApp();
    QGuiApplication::clipboard()->clear();
    MemorySettingsStore store;
    ScriptedPrompts prompts;
    CMainFrame w(nullptr, &store);
    w.setPrompts(&prompts);
    prompts.newSizeAnswer = std::make_pair(20, 10);
    CBitmapDoc* doc = w.createDocument(prompts);
    ASSERT_NE(doc, nullptr);
    uint32_t* px = doc->frames()->currentFrame()->pixels();
    for (int i = 0; i < 200; ++i) px[i] = 0xFF000000u | uint32_t(i);
    doc->updateAllViews(HINT_FULL);
    CBitmapView* v = w.activeView();
    ASSERT_NE(v, nullptr);

    // Nothing selected, nothing copied, nothing on the clipboard.
    w.updateCommands();
    for (int id : {CMD_COPY, CMD_CUT, CMD_PASTE, CMD_PASTE_CLIPBOARD, CMD_PASTE_NEW})
        EXPECT_FALSE(w.commandEnabled(id)) << id;
    EXPECT_TRUE(w.action(CMD_COPY)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Insert)));
    EXPECT_TRUE(w.action(CMD_CUT)->shortcuts().contains(QKeySequence(Qt::SHIFT | Qt::Key_Delete)));
    EXPECT_TRUE(
        w.action(CMD_PASTE)->shortcuts().contains(QKeySequence(Qt::SHIFT | Qt::Key_Insert)));
    EXPECT_EQ(w.action(CMD_PASTE_NEW)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));

    // Copy 2 x 2 at (1, 0): the clipboard offers the picture; paste and Ctrl+B become possible.
    v->setSelection(TxRect{1, 0, 3, 2});
    w.updateCommands();
    ASSERT_TRUE(w.commandEnabled(CMD_COPY));
    EXPECT_TRUE(w.commandEnabled(CMD_CUT));
    w.trigger(CMD_COPY);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/bmp")));
    EXPECT_TRUE(w.commandEnabled(CMD_PASTE));
    EXPECT_TRUE(w.commandEnabled(CMD_PASTE_CLIPBOARD));
    EXPECT_FALSE(w.commandEnabled(CMD_PASTE_NEW));

    // Paste: the rectangle follows the mouse; a click drops it at (9, 4) (centre at 10, 5).
    w.trigger(CMD_PASTE);
    EXPECT_TRUE(v->state().placingPaste());
    mouse(v->viewport(), QEvent::MouseMove, QPoint(10, 5), Qt::NoButton);
    mouse(v->viewport(), QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton);
    mouse(v->viewport(), QEvent::MouseButtonRelease, QPoint(10, 5), Qt::NoButton);
    EXPECT_FALSE(v->state().placingPaste());
    px = doc->frames()->currentFrame()->pixels();
    EXPECT_EQ(px[4 * 20 + 9], 0xFF000001u);
    EXPECT_EQ(px[5 * 20 + 10], 0xFF000016u);
    EXPECT_EQ(px[4 * 20 + 8], 0xFF000000u | 88u);
    EXPECT_TRUE(doc->isModified());

    // With the position list window open, "on copy" records the copied rectangle.
    EXPECT_EQ(doc->positions().count(), 0);
    w.show();
    w.showPositionList();
    w.preferences().addOnCopy = true;
    v->setSelection(TxRect{0, 0, 4, 4});
    w.trigger(CMD_COPY);
    w.preferences().addOnCopy = false;
    ASSERT_EQ(doc->positions().count(), 1);
    EXPECT_EQ(doc->positions().at(0).rect, (TxRect{0, 0, 4, 4}));

    // Without a document window Ctrl+B makes a new document of the clipboard picture.
    doc->setModified(false);
    w.closeAllDocuments();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.activeView(), nullptr);
    EXPECT_FALSE(w.commandEnabled(CMD_PASTE_CLIPBOARD));
    ASSERT_TRUE(w.commandEnabled(CMD_PASTE_NEW));
    w.trigger(CMD_PASTE_NEW);
    CBitmapDoc* made = w.activeDocument();
    ASSERT_NE(made, nullptr);
    const Frame* f = made->frames()->currentFrame();
    ASSERT_EQ(f->width(), 4);
    ASSERT_EQ(f->height(), 4);
    // Its window fits the picture, not the 256 x 256 the document was first made with.
    EXPECT_LT(w.childFrames().back()->height(), 200);
    EXPECT_EQ(f->pixels()[1], 0xFF000001u);
    EXPECT_EQ(f->pixels()[15], 0xFF000000u | 63u);
    EXPECT_TRUE(made->isModified());
    EXPECT_TRUE(prompts.messages.empty());
    made->setModified(false);
    w.closeAllDocuments();
}

TEST(QtClipboard, NewSizeTakesTheClipboardPictureSize) {
    ensureTestApp();
    QtPrompts prompts(nullptr);
    auto clickThenOk = [](bool click) {
        QTimer::singleShot(0, [click] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            if (click)
                for (auto* b : dlg->findChildren<QPushButton*>())
                    if (b->text() == QStringLiteral("Clipboardsize")) b->click();
            dlg->accept();
        });
    };
    QImage picture(37, 21, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(picture);
    clickThenOk(true);
    EXPECT_EQ(prompts.newSize(512, 512), std::make_pair(37, 21));
    // Text on the clipboard: the button changes nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("no picture"));
    clickThenOk(true);
    EXPECT_EQ(prompts.newSize(64, 32), std::make_pair(64, 32));
}
