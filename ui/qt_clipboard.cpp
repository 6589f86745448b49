#include "ui/qt_clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "texlib/dib.h"
#include "ui/qt_ports.h"

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kBmp = QStringLiteral("image/bmp");

QByteArray pngOf(const QImage& image) {
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG")) return {};
    return png;
}

QByteArray bytesOf(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Formats that look like pictures, the lossless ones with alpha first.
QStringList imageFormats(const QMimeData& mime) {
    QStringList out;
    const QStringList all = mime.formats();
    for (const QString& preferred : {kPng, kBmp})
        if (all.contains(preferred)) out << preferred;
    for (const QString& f : all)
        if (f.startsWith(QStringLiteral("image/")) && !out.contains(f)) out << f;
    return out;
}

}  // namespace

QtClipboardPort::QtClipboardPort(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {}

std::vector<uint8_t> dibFromImage(const QImage& image) {
    if (image.isNull()) return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage argb = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // Format_ARGB32 holds 0xAARRGGBB words like our frames; rows may carry padding.
    std::vector<uint32_t> texels(size_t(argb.width()) * size_t(argb.height()));
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
        std::copy(row, row + argb.width(), texels.begin() + qsizetype(y) * argb.width());
    }
    return txDibWrite(argb.width(), argb.height(), texels.data(), alpha ? 32 : 24);
}

void QtClipboardPort::putPicture(const std::vector<uint8_t>& block, int width, int height,
                                 const uint32_t* argb) {
    auto* mime = new QMimeData;
    if (argb && width > 0 && height > 0) {
        const QImage image(reinterpret_cast<const uchar*>(argb), width, height, width * 4,
                           QImage::Format_ARGB32);
        const QByteArray png = pngOf(image);
        if (!png.isEmpty()) mime->setData(kPng, png);
    }
    const std::vector<uint8_t> bmp = txDibToBmpFile(block);
    if (!bmp.empty()) mime->setData(kBmp, bytesOf(bmp));
    if (mime->formats().isEmpty()) {
        delete mime;
        return;
    }
    clipboard_->setMimeData(mime);
}

void QtClipboardPort::putDib(const std::vector<uint8_t>& block) {
    TxMip mip;
    if (!txDibRead(block.data(), block.size(), mip)) {
        putPicture(block, 0, 0, nullptr);
        return;
    }
    putPicture(block, mip.width, mip.height, reinterpret_cast<const uint32_t*>(mip.data[0]));
}

std::optional<std::vector<uint8_t>> QtClipboardPort::getDib() {
    const QMimeData* mime = clipboard_->mimeData();
    if (!mime) return std::nullopt;
    QImage image;
    for (const QString& f : imageFormats(*mime)) {
        image = QImage::fromData(mime->data(f));
        if (!image.isNull()) break;
    }
    // Images that other Qt programs offer only as an image object.
    if (image.isNull() && mime->hasImage()) image = qvariant_cast<QImage>(mime->imageData());
    // Larger pictures are refused anyway; do not build their block.
    if (image.width() > TX_DIB_MAX_SIDE || image.height() > TX_DIB_MAX_SIDE) return std::nullopt;
    std::vector<uint8_t> block = dibFromImage(image);
    if (block.empty()) return std::nullopt;
    return block;
}

bool QtClipboardPort::hasDib() {
    const QMimeData* mime = clipboard_->mimeData();
    return mime && (mime->hasImage() || !imageFormats(*mime).isEmpty());
}

void QtClipboardPort::putText(const std::string& text) {
    clipboard_->setText(qtEightBitText(text));
}

void QtClipboardPort::putUtf8Text(const std::string& text) {
    clipboard_->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::optional<std::string> QtClipboardPort::getText() {
    const QMimeData* mime = clipboard_->mimeData();
    if (!mime || !mime->hasText()) return std::nullopt;
    return clipboard_->text().toStdString();
}
