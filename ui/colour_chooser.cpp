#include "ui/colour_chooser.h"

#include <QColorDialog>

#include "model/custom_colours.h"

QColor colourRefToQColor(uint32_t ref) {
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

uint32_t qColorToColourRef(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

std::optional<uint32_t> chooseColour(QWidget* parent, SettingsStore& settings, uint32_t initialRef,
                                     const QString& title) {
    CustomColours custom;
    custom.load(settings);
    // Qt keeps the custom colours per process; they are set from the settings each time so that
    // every colour choice of the editor shows the same sixteen.
    const int n = std::min(QColorDialog::customCount(), CustomColours::kCount);
    for (int i = 0; i < n; ++i)
        QColorDialog::setCustomColor(i, colourRefToQColor(custom.colours[i]));
    QColorDialog dlg(colourRefToQColor(initialRef), parent);
    dlg.setWindowTitle(title);
    // The platform's own dialog would not show our custom colours.
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    for (int i = 0; i < n; ++i) custom.colours[i] = qColorToColourRef(QColorDialog::customColor(i));
    custom.save(settings);
    return qColorToColourRef(dlg.selectedColor());
}
