#include "ui/palette_options_dialog.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/custom_colours.h"
#include "ui/colour_chooser.h"
#include "ui/qt_ports.h"

namespace {

// The group box the swatches are drawn in, inside its frame and below its title.
class SwatchBox : public QGroupBox {
public:
    explicit SwatchBox(const PaletteOptions& options)
        : QGroupBox(QStringLiteral("Current Palette")), options_(options) {
        setMinimumSize(16 * 14 + 12, 16 * 14 + 28);
        setAccessibleDescription(QStringLiteral("256 colour swatches"));
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QGroupBox::paintEvent(e);
        QPainter p(this);
        const QRect area = rect().adjusted(6, 22, -6, -6);
        for (int i = 0; i < 256; ++i) {
            const SwatchRect r = paletteSwatchRect(i, area.width(), area.height());
            p.fillRect(
                QRect(area.left() + r.left, area.top() + r.top, r.right - r.left, r.bottom - r.top),
                colourRefToQColor(options_.entries()[i]));
        }
    }

private:
    const PaletteOptions& options_;
};

}  // namespace

PaletteOptionsDialog::PaletteOptionsDialog(SettingsStore& settings, Prompts& prompts,
                                           AppPalette& palette, QWidget* parent,
                                           std::optional<std::string> palFile)
    : QDialog(parent), settings_(settings), prompts_(prompts),
      options_(palette, palFile
                            ? *palFile
                            : settings.getString(kPaletteSettingsSection, kPaletteFileName, "")) {
    setWindowTitle(QStringLiteral("Palette Options"));
    swatches_ = new SwatchBox(options_);
    use_ = new QPushButton(QStringLiteral("Use"));
    auto* load = new QPushButton(QStringLiteral("Load Palette"));
    auto* generate = new QPushButton(QStringLiteral("Generate from Image"));
    use_->setToolTip(QStringLiteral("Save with the palette shown"));
    generate->setToolTip(QStringLiteral("Save with a palette made from the picture"));
    connect(use_, &QPushButton::clicked, this, [this] {
        options_.use();
        accept();
    });
    connect(generate, &QPushButton::clicked, this, [this] {
        options_.generateFromImage();
        accept();
    });
    connect(load, &QPushButton::clicked, this, &PaletteOptionsDialog::browse);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(use_);
    buttons->addWidget(load);
    buttons->addWidget(generate);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(swatches_, 1);
    layout->addLayout(buttons);
    options_.open(prompts_);
    updateButtons();
}

void PaletteOptionsDialog::updateButtons() {
    // Without a palette file there are no colours to save with.
    use_->setEnabled(options_.hasPalette());
}

bool PaletteOptionsDialog::loadPaletteFrom(const QString& path) {
    const bool taken = options_.loadPalette(path.toStdString(), prompts_, settings_);
    swatches_->update();
    updateButtons();
    return taken;
}

void PaletteOptionsDialog::browse() {
    const QString start = QString::fromStdString(settings_.getString("Settings", "WorkDir", ""));
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Load Palette"), start,
                                     qtFilterList(kPaletteFileFilter).join(QStringLiteral(";;")));
    if (!path.isEmpty()) loadPaletteFrom(path);
}

PaletteChoice runPaletteOptions(QWidget* parent, SettingsStore& settings, Prompts& prompts,
                                AppPalette& palette) {
    PaletteOptionsDialog dlg(settings, prompts, palette, parent);
    dlg.exec();
    PaletteChoice c;
    c.useFixedPalette = dlg.options().choice() == PaletteOptions::UsePalette;
    for (int i = 0; i < 256; ++i) c.palette[i] = colourRefToRgb(dlg.options().entries()[i]);
    return c;
}

std::optional<PaletteChoice> QtPrompts::paletteOptions() {
    return runPaletteOptions(parent_, settings(), *this, palette());
}
