// The system clipboard through QClipboard. A copied picture is offered as image/png (with its
// alpha) and as image/bmp (the 24-bit block behind a BMP file header), so that image programs,
// office suites and browsers can paste it. Any image another program offers is read and handed
// on as the equivalent block: 32 bits with the alpha when the picture has an alpha channel,
// 24 bits (opaque) otherwise.
#pragma once

#include "model/ports.h"

class QClipboard;
class QImage;

class QtClipboardPort : public ClipboardPort {
public:
    // The application's clipboard when none is given.
    explicit QtClipboardPort(QClipboard* clipboard = nullptr);

    void putDib(const std::vector<uint8_t>& block) override;
    std::optional<std::vector<uint8_t>> getDib() override;
    void putPicture(const std::vector<uint8_t>& block, int width, int height,
                    const uint32_t* argb) override;
    bool hasDib() override;
    void putText(const std::string& text) override;
    // Text that is UTF-8 already (the data files of whole-file templates).
    void putUtf8Text(const std::string& text);
    std::optional<std::string> getText() override;

private:
    QClipboard* clipboard_;
};

// The block of a picture: 32 bits with the alpha when it has an alpha channel, else 24 bits.
std::vector<uint8_t> dibFromImage(const QImage& image);
