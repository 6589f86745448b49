// Qt implementations of the ports: message boxes and option dialogs, QSettings, the status-bar
// progress bar.
#pragma once

#include <QSettings>
#include <QString>
#include <functional>

#include "edit/size_model.h"
#include "model/app_palette.h"
#include "model/ports.h"

class QDialog;
class QFormLayout;
class QProgressBar;
class QStatusBar;
class QWidget;

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent, QStatusBar* status = nullptr)
        : parent_(parent), status_(status) {}
    MsgResult message(const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<SequenceLoadOptions> sequenceLoadOptions(const SequenceLoadOptions& d) override;
    std::optional<SequenceSaveOptions> sequenceSaveOptions(const SequenceSaveOptions& d) override;
    std::optional<std::pair<int, int>> newSize(int width, int height) override;
    std::optional<FileChoice> saveFile(const std::string& title, const std::string& filter,
                                       const std::string& initialPath, int filterIndex) override;
    bool exportTextureOptions(ExportTextureSettings& settings) override;
    // Defined in ui/palette_options_dialog.cpp.
    std::optional<PaletteChoice> paletteOptions() override;
    // Defined in ui/qt_dialogs.cpp.
    std::optional<MaxSizeOptions> maxSize(const MaxSizeOptions& d) override;
    std::optional<std::pair<int, int>> scaleSize(int width, int height) override;
    std::optional<ResizeChoice> resizeCanvas(const ResizeChoice& d) override;
    bool animMasterOptions(AnimMasterOptions& options) override;
    std::optional<std::string> renameItem(const std::string& name) override;
    std::optional<int> maskBias(int bias) override;
    // Defined in ui/frame_properties_dialog.cpp.
    std::optional<FrameTiming> frameProperties(const FrameTiming& d) override;
    void busy(bool on) override;
    void status(const std::string& text) override;

    // Where the dialogs keep what they remember (the colour dialog's custom colours); without
    // a source they use the editor's settings file.
    void setSettingsSource(std::function<SettingsStore&()> source) {
        settingsSource_ = std::move(source);
    }
    SettingsStore& settings();
    // The flags "Scale" and "Resize" share; without them the dialogs keep their own.
    void setImageDialogFlags(ImageDialogFlags& flags) { flags_ = &flags; }
    ImageDialogFlags& imageDialogFlags() { return flags_ ? *flags_ : ownFlags_; }
    // The current palette the Palette Options dialog reads files into; without it the dialogs
    // keep their own.
    void setPalette(AppPalette& palette) { palette_ = &palette; }
    AppPalette& palette() { return palette_ ? *palette_ : ownPalette_; }

private:
    QWidget* parent_;
    QStatusBar* status_;
    std::function<SettingsStore&()> settingsSource_;
    ImageDialogFlags ownFlags_;
    ImageDialogFlags* flags_ = nullptr;
    AppPalette ownPalette_;
    AppPalette* palette_ = nullptr;
};

// Text of the document side shown by Qt: UTF-8 when it is valid UTF-8, else the 8-bit code page
// the older files use (font item names are single bytes of code page 1252).
QString qtEightBitText(const std::string& text);

// Puts the form above OK and Cancel and runs the dialog; true on OK. OK closes it only when its
// whole-number fields are in range (ui/int_field.h) and `check`, when given, returns no
// refusal; either refusal is shown and the dialog stays open.
bool runFormDialog(QDialog& dlg, QFormLayout* form, std::function<std::string()> check = {});

// Turns "Name (*.a)|*.a|Other|*.b||" into Qt's "Name (*.a);;Other (*.b)" entries.
QStringList qtFilterList(const std::string& filter);
// 1-based position of the filter a file dialog handed back, matched with blanks collapsed; 0
// when it is none of them.
int qtFilterIndex(const QStringList& filters, const QString& chosen);

class QtSettingsStore : public SettingsStore {
public:
    // The user's settings file, the same one tarquil-cli reads:
    // $XDG_CONFIG_HOME/BrightvaleWorks/Tarquil Studio 1.0.conf.
    QtSettingsStore();
    explicit QtSettingsStore(const QString& iniPath);
    int getInt(const std::string& section, const std::string& name, int def) const override;
    std::string getString(const std::string& section, const std::string& name,
                          const std::string& def) const override;
    void setInt(const std::string& section, const std::string& name, int value) override;
    void setString(const std::string& section, const std::string& name,
                   const std::string& value) override;
    bool contains(const std::string& section, const std::string& name) const override;
    void remove(const std::string& section, const std::string& name) override;
    void removeSection(const std::string& section) override;
    void sync() { settings_.sync(); }
    QString fileName() const { return settings_.fileName(); }

private:
    static QString key(const std::string& section, const std::string& name);
    mutable QSettings settings_;
};

class QtProgress : public Progress {
public:
    // With a pane, the bar covers that status pane while it runs (the first pane, as always).
    explicit QtProgress(QStatusBar* bar, QWidget* pane = nullptr) : bar_(bar), pane_(pane) {}
    void begin(int total) override;
    void step() override;
    void end() override;

private:
    QStatusBar* bar_;
    QWidget* pane_;
    QProgressBar* progress_ = nullptr;
};
