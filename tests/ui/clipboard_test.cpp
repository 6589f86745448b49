// The clipboard through QClipboard (offscreen): what a copy offers other programs and what their
// pictures become.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>

#include "texlib/dib.h"
#include "ui/qt_clipboard.h"
#include "view/clipboard.h"

namespace {

void ensureClipboardApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
}

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

} // namespace

TEST(QtClipboard, PicturesRoundTripThroughQClipboardWithTheirAlpha) {
    ensureClipboardApp();
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
    ASSERT_TRUE(readSystemClipboard(port));
    const Frame* f = CopyBuffer::instance().frames()->firstFrame();
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
    CopyBuffer::instance().clear();
}
