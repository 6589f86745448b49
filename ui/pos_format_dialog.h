// "Position Format": edits the code generator's format presets and options with a live preview
// on three sample items. The dialog only fills the settings record; the caller saves it and
// generates the code.
#pragma once

#include <QDialog>

#include "model/ports.h"
#include "tools/codegen/format_string.h"
#include "tools/codegen/pos_format_settings.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class CDlgPosFormat : public QDialog {
    Q_OBJECT
public:
    // Messages and the "Rename item" question for a new preset go through `prompts`.
    CDlgPosFormat(PosFormatSettings& settings, Prompts& prompts, QWidget* parent = nullptr);

    // The format of the last preview, used for the generation after OK.
    bool parseOk() const { return parseOk_; }
    ParsedFormat parsedFormat() const;
    bool editing() const { return editing_; }

    // The buttons, callable without clicks.
    void newPreset();
    void toggleEdit();
    void deletePreset();
    void selectPreset(int index);
    // 0: the format string of the presets; k: the k-th built-in whole-file template.
    void selectTemplate(int index);

    void accept() override;

private:
    void fillPresetList();
    void showPreset();
    void readControls();
    void updateEnabled();
    void preview();
    void renameTyped();
    QString formatEditText() const;  // edit form with the line breaks of the stored text

    PosFormatSettings& settings_;
    Prompts& prompts_;
    bool editing_ = false;
    bool parseOk_ = false;
    bool nameTyped_ = false;

    QComboBox* template_;
    QComboBox* presets_;
    QPushButton *new_, *edit_, *delete_, *ok_;
    QPlainTextEdit* format_;
    QPlainTextEdit* preview_;
    QRadioButton* sort_[3];
    QCheckBox *comment_, *date_, *cppStyle_, *file_, *block_, *save_;
};
