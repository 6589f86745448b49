// "Palette Options": the current palette as 16 x 16 swatches, "Load Palette" for another palette
// file, and the choice an 8-bit save makes: "Use" this palette or "Generate from Image".
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "model/ports.h"
#include "tools/palette/palette_load.h"

class QPushButton;

class PaletteOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Shows `palFile`, by default the "palfile" preference of `settings`, read into `palette`;
    // "Load Palette" writes the preference.
    PaletteOptionsDialog(SettingsStore& settings, Prompts& prompts, AppPalette& palette,
                         QWidget* parent = nullptr,
                         std::optional<std::string> palFile = std::nullopt);

    const PaletteOptions& options() const { return options_; }
    // "Load Palette" once a file is chosen; true when it was taken.
    bool loadPaletteFrom(const QString& path);

private:
    void browse();
    void updateButtons();

    SettingsStore& settings_;
    Prompts& prompts_;
    PaletteOptions options_;
    QWidget* swatches_;
    QPushButton* use_;
};

// Runs the dialog; the answer of an 8-bit save (colours as 0x00RRGGBB).
PaletteChoice runPaletteOptions(QWidget* parent, SettingsStore& settings, Prompts& prompts,
                                AppPalette& palette);
