// "TexFont Wizard": four pages (preset, font, character set, texture settings) that fill the
// selected font preset; "&End" hands it to the generator and then keeps the presets.
#pragma once

#include <QDialog>
#include <functional>

#include "model/ports.h"
#include "tools/fontwizard/font_preset.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

class FontWizardDialog : public QDialog {
    Q_OBJECT
public:
    // Generates the texture for the selected preset on "&End"; false keeps the wizard open
    // (the generator has said why).
    using Generate = std::function<bool(FontPreset&)>;

    FontWizardDialog(SettingsStore& settings, Prompts& prompts, Generate generate,
                     QWidget* parent = nullptr);

    int page() const;  // 0 to 3
    const FontPresetList& presets() const { return list_; }

    // The buttons, callable without clicks. next() is "&End" on the last page; false when the
    // page's values were refused and it stays.
    bool next();
    void back();
    void newPreset();
    void toggleDescriptionEdit();
    void deletePreset();
    void selectPreset(int index);
    // "Font file...": the face `index` of a font file takes the place of an installed face (the
    // button asks for the file, then calls this). An empty path goes back to installed faces.
    void setFontFile(const std::string& path, int index = 0);
    const std::string& fontFile() const { return fontFile_; }

    void accept() override { next(); }

private:
    QWidget* makePresetPage();
    QWidget* makeFontPage();
    QWidget* makeCharPage();
    QWidget* makeTexturePage();
    void showPage(int index);
    void fillPresetList();
    void renameTyped();
    void endDescriptionEdit();

    void fillPages(const FontPreset& p);
    bool readFontPage(FontPreset& p);
    bool readCharPage(FontPreset& p);
    bool readTexturePage(FontPreset& p);
    bool readPage(int index, FontPreset& p);
    void updatePreview();
    void updateFaceNote();
    void updateCharacters();
    void updateTextureStates();
    void updateSample();
    int charFilter() const;

    SettingsStore& settings_;
    Prompts& prompts_;
    Generate generate_;
    FontPresetList list_;
    bool editingDescription_ = false;

    QStackedWidget* pages_;
    QLabel* title_;
    QPushButton *back_, *next_;

    // Page 1.
    QLineEdit* name_;
    QListWidget* presetBox_;
    QPushButton *new_, *edit_, *delete_;
    QLineEdit* description_;
    // Page 2.
    QComboBox* face_;
    QComboBox* style_;
    QComboBox* size_;
    QLabel* preview_;
    QLabel* faceNote_ = nullptr;  // says when a typed face is not installed and what replaces it
    QPushButton* fontFileButton_;
    QComboBox* faceInFile_;  // the faces of a collection
    QLabel* fontFileLabel_;
    std::string fontFile_;
    QString fontFileFamily_;  // the file's family, shown as the font name
    QString previewFamily_;   // the family the toolkit loaded the file as
    bool settingFont_ = false;
    // Page 3.
    QRadioButton *bit7_, *bit8_;
    QList<QPair<QCheckBox*, int>> classes_;
    QCheckBox* oneOf_;
    QLineEdit* userChars_;
    QCheckBox* allChars_;
    QLabel* count_;
    QPlainTextEdit* charList_;
    int carriedFilter_ = 0;  // bits without a check box that pass through the page
    // Page 4.
    QRadioButton *fixed_, *variable_;
    QCheckBox* capitals_;
    QRadioButton* antialias_[3];
    QLabel* sample_;
    QPushButton *textColour_, *backColour_;
    QSpinBox *cellW_, *cellH_, *marginX_, *marginY_;
    QCheckBox* autoCell_;
    QComboBox *horizontal_, *vertical_;
    QRadioButton *tex256_, *tex512_;
    uint32_t textColor_ = 0xFFFFFF, backColor_ = 0;
};
