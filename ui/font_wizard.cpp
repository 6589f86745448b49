#include "ui/font_wizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "tools/fontwizard/char_select.h"
#include "tools/fontwizard/font_face.h"
#include "tools/fontwizard/font_generator.h"
#include "ui/colour_chooser.h"
#include "ui/int_field.h"
#include "ui/qt_ports.h"

namespace {

const char* const kTitles[4] = {"Step 1\tchoose/create a preset", "Step 2\tchoose a font",
                                "Step 3\tdefine your character set", "Step 4\ttexture settings"};
const char* const kSizes[] = {"8",  "9",  "10", "11", "12", "14", "16", "18",
                              "20", "22", "24", "26", "28", "36", "48"};
constexpr int kMaxFontSize = 400;

// The check boxes of the character page and the filter bit of each.
const struct {
    const char* text;
    int bit;
} kClasses[] = {{"isupper", FONT_FILTER_UPPER},  {"islower", FONT_FILTER_LOWER},
                {"isdigit", FONT_FILTER_DIGIT},  {"isxdigit", FONT_FILTER_XDIGIT},
                {"isalnum", FONT_FILTER_ALNUM},  {"isspace", FONT_FILTER_SPACE},
                {"ispunct", FONT_FILTER_PUNCT},  {"isprint", FONT_FILTER_PRINT},
                {"isgraph", FONT_FILTER_GRAPH},  {"iscntrl", FONT_FILTER_CNTRL},
                {"isletter", FONT_FILTER_LETTER}};
// Greyed while "isalnum" is ticked, which already takes them.
constexpr int kUnderAlnum = FONT_FILTER_DIGIT | FONT_FILTER_XDIGIT | FONT_FILTER_LOWER |
                            FONT_FILTER_UPPER | FONT_FILTER_LETTER;

QString fromCodes(const std::string& codes) {
    return QString::fromStdString(fontCp1252ToUtf8(codes));
}

// The leading decimal number of a size text, or 0.
int leadingNumber(const QString& text) {
    int v = 0, digits = 0;
    for (QChar c : text.trimmed()) {
        if (!c.isDigit() || digits > 6) break;
        v = v * 10 + c.digitValue();
        ++digits;
    }
    return v;
}

QSpinBox* spin(int max, const QString& name) { return new IntField(0, max, 0, name); }

template <class W> W* named(W* w, const QString& name) {
    w->setAccessibleName(name);
    w->setToolTip(name);
    return w;
}

}  // namespace

FontWizardDialog::FontWizardDialog(SettingsStore& settings, Prompts& prompts, Generate generate,
                                   QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts), generate_(std::move(generate)) {
    setWindowTitle(QStringLiteral("TexFont Wizard"));
    title_ = new QLabel;
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    pages_ = new QStackedWidget;
    pages_->addWidget(makePresetPage());
    pages_->addWidget(makeFontPage());
    pages_->addWidget(makeCharPage());
    pages_->addWidget(makeTexturePage());

    back_ = new QPushButton(QStringLiteral("<< &Back"));
    next_ = new QPushButton(QStringLiteral("&Next >>"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
    next_->setDefault(true);
    connect(back_, &QPushButton::clicked, this, &FontWizardDialog::back);
    connect(next_, &QPushButton::clicked, this, &FontWizardDialog::next);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    list_.load(settings_);
    fillPresetList();
    showPage(0);
}

// ---- Page 1: presets -------------------------------------------------------------------------

QWidget* FontWizardDialog::makePresetPage() {
    auto* page = new QWidget;
    name_ = named(new QLineEdit, QStringLiteral("Preset name"));
    presetBox_ = named(new QListWidget, QStringLiteral("Presets"));
    new_ = new QPushButton(QStringLiteral("New"));
    edit_ = new QPushButton(QStringLiteral("Edit"));
    delete_ = new QPushButton(QStringLiteral("Delete"));
    description_ = named(new QLineEdit, QStringLiteral("Description"));
    description_->setReadOnly(true);
    connect(presetBox_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) selectPreset(row);
    });
    connect(name_, &QLineEdit::editingFinished, this, &FontWizardDialog::renameTyped);
    connect(new_, &QPushButton::clicked, this, &FontWizardDialog::newPreset);
    connect(edit_, &QPushButton::clicked, this, &FontWizardDialog::toggleDescriptionEdit);
    connect(delete_, &QPushButton::clicked, this, &FontWizardDialog::deletePreset);
    // Leaving the field ends the editing as "Done" does.
    connect(description_, &QLineEdit::editingFinished, this, [this] {
        if (editingDescription_ && !description_->hasFocus()) endDescriptionEdit();
    });

    auto* left = new QVBoxLayout;
    left->addWidget(name_);
    left->addWidget(presetBox_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(new_);
    right->addWidget(edit_);
    right->addWidget(delete_);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto* descLabel = new QLabel(QStringLiteral("Description"));
    descLabel->setBuddy(description_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top, 1);
    layout->addWidget(descLabel);
    layout->addWidget(description_);
    return page;
}

void FontWizardDialog::fillPresetList() {
    const QSignalBlocker block(presetBox_);
    presetBox_->clear();
    for (const NamedFontPreset& p : list_.presets) presetBox_->addItem(qtEightBitText(p.name));
    presetBox_->setCurrentRow(list_.current);
    const NamedFontPreset* sel = list_.selected();
    name_->setText(sel ? qtEightBitText(sel->name) : QString());
    description_->setText(sel ? qtEightBitText(sel->preset.description) : QString());
}

void FontWizardDialog::selectPreset(int index) {
    if (editingDescription_) endDescriptionEdit();
    if (index < 0 || index >= int(list_.presets.size())) return;
    list_.current = index;
    fillPresetList();
}

void FontWizardDialog::renameTyped() {
    NamedFontPreset* sel = list_.selected();
    if (!sel) return;
    const std::string typed = name_->text().toStdString();
    if (typed == sel->name) return;
    if (typed.empty())
        prompts_.message("A preset needs a name.", MsgIcon::Warning, MsgButtons::Ok);
    else if (!list_.renameSelected(typed))
        prompts_.message("A preset whose name begins with \"" + typed + "\" already exists.",
                         MsgIcon::Warning, MsgButtons::Ok);
    fillPresetList();
}

void FontWizardDialog::newPreset() {
    if (editingDescription_) endDescriptionEdit();
    list_.addCopy();
    fillPresetList();
}

void FontWizardDialog::toggleDescriptionEdit() {
    if (editingDescription_) {
        endDescriptionEdit();
        return;
    }
    if (!list_.selected()) return;
    editingDescription_ = true;
    description_->setReadOnly(false);
    edit_->setText(QStringLiteral("Done"));
    new_->setEnabled(false);
    delete_->setEnabled(false);
    description_->setFocus();
}

void FontWizardDialog::endDescriptionEdit() {
    editingDescription_ = false;
    if (NamedFontPreset* sel = list_.selected())
        sel->preset.description = description_->text().toStdString();
    description_->setReadOnly(true);
    edit_->setText(QStringLiteral("Edit"));
    new_->setEnabled(true);
    delete_->setEnabled(true);
}

void FontWizardDialog::deletePreset() {
    if (editingDescription_) endDescriptionEdit();
    std::string message;
    if (!list_.removeSelected(&message)) {
        if (!message.empty()) prompts_.message(message, MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    fillPresetList();
}

// ---- Page 2: font ----------------------------------------------------------------------------

QWidget* FontWizardDialog::makeFontPage() {
    auto* page = new QWidget;
    face_ = named(new QComboBox, QStringLiteral("Font"));
    face_->setEditable(true);
    face_->setInsertPolicy(QComboBox::NoInsert);
    // Screen readers name an editable combo box by its text; its field carries the name.
    face_->lineEdit()->setAccessibleName(QStringLiteral("Font"));
    // The faces the generator can use: the outline fonts fontconfig knows, each in its own font.
    for (const std::string& f : fontListFaces()) {
        const QString family = QString::fromStdString(f);
        face_->addItem(family);
        face_->setItemData(face_->count() - 1, QFont(family), Qt::FontRole);
    }
    style_ = named(new QComboBox, QStringLiteral("Style"));
    style_->addItems({QStringLiteral("Regular"), QStringLiteral("Bold"), QStringLiteral("Italic"),
                      QStringLiteral("Bold Italic")});
    size_ = named(new QComboBox, QStringLiteral("Size"));
    size_->setEditable(true);
    size_->setInsertPolicy(QComboBox::NoInsert);
    size_->lineEdit()->setAccessibleName(QStringLiteral("Size"));
    for (const char* s : kSizes) size_->addItem(QString::fromLatin1(s));
    preview_ = new QLabel(QStringLiteral("AaBbCc XxYyZz 0123 \u00C4\u00D6\u00DC"));
    preview_->setAccessibleName(QStringLiteral("Preview"));
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setMinimumSize(360, 120);
    // A font file shipped with the game instead of an installed face; nothing is substituted.
    fontFileButton_ = new QPushButton(QStringLiteral("Font file..."));
    fontFileButton_->setToolTip(QStringLiteral("Use a TrueType or OpenType font file"));
    fontFileLabel_ = new QLabel;
    fontFileLabel_->setAccessibleName(QStringLiteral("Font file"));
    fontFileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    faceInFile_ = named(new QComboBox, QStringLiteral("Face in file"));
    faceInFile_->setVisible(false);
    connect(fontFileButton_, &QPushButton::clicked, this, [this] {
        const QString start = fontFile_.empty() ? QString() : QString::fromStdString(fontFile_);
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Font file"), start,
            QStringLiteral("Font files (*.ttf *.otf *.ttc *.otc);;All files (*)"));
        if (!path.isEmpty()) setFontFile(path.toStdString(), 0);
    });
    connect(faceInFile_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!settingFont_ && index >= 0 && !fontFile_.empty()) setFontFile(fontFile_, index);
    });
    // Choosing or typing an installed face leaves the file.
    connect(face_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!settingFont_ && !fontFile_.empty() && text != fontFileFamily_) setFontFile({});
    });
    connect(face_, &QComboBox::currentTextChanged, this, &FontWizardDialog::updatePreview);
    connect(style_, &QComboBox::currentIndexChanged, this, &FontWizardDialog::updatePreview);
    connect(size_, &QComboBox::currentTextChanged, this, &FontWizardDialog::updatePreview);
    auto* faceRow = new QHBoxLayout;
    faceRow->addWidget(face_, 1);
    faceRow->addWidget(fontFileButton_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Font"), faceRow);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fontFileLabel_, 1);
    fileRow->addWidget(faceInFile_);
    form->addRow(QString(), fileRow);
    form->addRow(QStringLiteral("Style"), style_);
    form->addRow(QStringLiteral("Size"), size_);
    // A typed face that is not installed is replaced by fontconfig's choice: said here, in time.
    faceNote_ = new QLabel;
    faceNote_->setAccessibleName(QStringLiteral("Font note"));
    faceNote_->setWordWrap(true);
    faceNote_->setVisible(false);
    form->insertRow(1, QString(), faceNote_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(preview_, 1);
    return page;
}

void FontWizardDialog::setFontFile(const std::string& path, int index) {
    settingFont_ = true;
    fontFile_ = path;
    faceInFile_->clear();
    fontFileFamily_.clear();
    previewFamily_.clear();
    if (path.empty()) {
        fontFileLabel_->clear();
        faceInFile_->setVisible(false);
        settingFont_ = false;
        updatePreview();
        return;
    }
    const int faces = fontFileFaceCount(path);
    for (int k = 0; k < faces; ++k) {
        FontFaceMatch m;
        faceInFile_->addItem(fontFaceFromFile(path, k, 0, m, nullptr)
                                 ? QString::fromStdString(m.family + " " + m.style)
                                 : QStringLiteral("Face %1").arg(k));
    }
    faceInFile_->setVisible(faces > 1);
    if (index >= 0 && index < faces) faceInFile_->setCurrentIndex(index);
    FontFaceMatch m;
    std::string why;
    if (fontFaceFromFile(path, std::max(0, index), 0, m, &why)) {
        fontFileFamily_ = QString::fromStdString(m.family);
        face_->setEditText(fontFileFamily_);
        fontFileLabel_->setText(QString::fromStdString(path));
        // The preview draws with the file's own outlines.
        const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        previewFamily_ = families.isEmpty() ? fontFileFamily_ : families.value(index, families[0]);
    } else {
        fontFileLabel_->setText(QString::fromStdString(why));
    }
    settingFont_ = false;
    updatePreview();
}

void FontWizardDialog::updatePreview() {
    const int size = leadingNumber(size_->currentText());
    QFont f(previewFamily_.isEmpty() ? face_->currentText() : previewFamily_);
    f.setPointSize(std::clamp(size > 0 ? size : 10, 1, 96));
    const int style = style_->currentIndex();
    f.setBold(style == 1 || style == 3);
    f.setItalic(style == 2 || style == 3);
    preview_->setFont(f);
    updateFaceNote();
}

void FontWizardDialog::updateFaceNote() {
    if (!faceNote_) return;
    const std::string name = face_->currentText().trimmed().toStdString();
    FontFaceMatch m;
    const bool replaced = fontFile_.empty() && !name.empty() &&
                          fontFindFace(name, std::max(0, style_->currentIndex()), m, nullptr) &&
                          !m.exact;
    faceNote_->setText(replaced ? QString::fromStdString(fontSubstitutionText(name, m) + ".")
                                : QString());
    faceNote_->setVisible(replaced);
}

bool FontWizardDialog::readFontPage(FontPreset& p) {
    const std::string name = face_->currentText().trimmed().toStdString();
    if (name.empty()) {
        prompts_.message("Choose a font.", MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    const int size = leadingNumber(size_->currentText());
    if (size < 1 || size > kMaxFontSize) {
        prompts_.message("The size must be a number from 1 to " + std::to_string(kMaxFontSize) +
                             ".",
                         MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    const int style = std::max(0, style_->currentIndex());
    FontFaceMatch match;
    std::string why;
    if (!fontFile_.empty()) {
        const int index = std::max(0, faceInFile_->currentIndex());
        if (!fontFaceFromFile(fontFile_, index, style, match, &why)) {
            prompts_.message(why, MsgIcon::Warning, MsgButtons::Ok);
            return false;
        }
        if (p.autoCell && (fontFile_ != p.fontFile || index != p.faceIndex || size != p.fontSize ||
                           style != p.fontStyle)) {
            p.cellWidth = 0;
            p.cellHeight = 0;
        }
        p.fontFile = fontFile_;
        p.faceIndex = index;
        p.fontName = match.family;
        p.fontSize = size;
        p.fontStyle = style;
        return true;
    }
    if (!fontFindFace(name, style, match, &why)) {
        prompts_.message("No outline font for \"" + name + "\": " + why, MsgIcon::Warning,
                         MsgButtons::Ok);
        return false;
    }
    // Measured cells belong to the old face and size.
    if (p.autoCell && (name != p.fontName || size != p.fontSize || style != p.fontStyle)) {
        p.cellWidth = 0;
        p.cellHeight = 0;
    }
    p.fontName = name;
    p.fontFile.clear();
    p.faceIndex = 0;
    p.fontSize = size;
    p.fontStyle = style;
    return true;
}

// ---- Page 3: character set -------------------------------------------------------------------

QWidget* FontWizardDialog::makeCharPage() {
    auto* page = new QWidget;
    bit7_ = new QRadioButton(QStringLiteral("7-bit"));
    bit8_ = new QRadioButton(QStringLiteral("8-bit"));
    auto* bits = new QHBoxLayout;
    bits->addWidget(bit7_);
    bits->addWidget(bit8_);
    bits->addStretch(1);
    auto* grid = new QGridLayout;
    int i = 0;
    for (const auto& c : kClasses) {
        auto* box = new QCheckBox(QString::fromLatin1(c.text));
        classes_.append({box, c.bit});
        grid->addWidget(box, i / 4, i % 4);
        connect(box, &QCheckBox::toggled, this, &FontWizardDialog::updateCharacters);
        ++i;
    }
    oneOf_ = new QCheckBox(QStringLiteral("one of:"));
    userChars_ = named(new QLineEdit, QStringLiteral("one of: characters"));
    allChars_ = new QCheckBox(QStringLiteral("all chars"));
    auto* oneOfRow = new QHBoxLayout;
    oneOfRow->addWidget(oneOf_);
    oneOfRow->addWidget(userChars_, 1);
    oneOfRow->addWidget(allChars_);
    count_ = new QLabel;
    charList_ = named(new QPlainTextEdit, QStringLiteral("Character list"));
    charList_->setReadOnly(true);
    for (QRadioButton* r : {bit7_, bit8_})
        connect(r, &QRadioButton::toggled, this, &FontWizardDialog::updateCharacters);
    for (QCheckBox* c : {oneOf_, allChars_})
        connect(c, &QCheckBox::toggled, this, &FontWizardDialog::updateCharacters);
    connect(userChars_, &QLineEdit::textChanged, this, &FontWizardDialog::updateCharacters);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(bits);
    layout->addLayout(grid);
    layout->addLayout(oneOfRow);
    layout->addWidget(count_);
    layout->addWidget(charList_, 1);
    return page;
}

int FontWizardDialog::charFilter() const {
    int filter = carriedFilter_;
    for (const auto& c : classes_)
        if (c.first->isChecked()) filter |= c.second;
    if (oneOf_->isChecked()) filter |= FONT_FILTER_ONEOF;
    if (allChars_->isChecked()) filter |= FONT_FILTER_ALL;
    return filter;
}

void FontWizardDialog::updateCharacters() {
    const int filter = charFilter();
    userChars_->setEnabled(oneOf_->isChecked());
    const bool alnum = filter & FONT_FILTER_ALNUM;
    for (const auto& c : classes_)
        if (c.second & kUnderAlnum) c.first->setEnabled(!alnum);
    // Characters beyond the code page follow its codes, each shown as itself.
    std::string codes;
    std::u32string wide;
    fontSplitUserChars(userChars_->text().toStdString(), codes, wide);
    const std::vector<int> chars = fontSelectCharacters(bit8_->isChecked(), filter, codes);
    const std::vector<uint32_t> all = fontSelectCodePoints(bit8_->isChecked(), filter, codes, wide);
    QString list = fromCodes(fontCharacterListText(chars));
    for (size_t i = chars.size(); i < all.size(); ++i) {
        const char32_t cp = char32_t(all[i]);
        list += QString::fromUcs4(&cp, 1) + QLatin1Char(' ');
    }
    count_->setText(QString::fromStdString(fontCharacterCountText(int(all.size()))));
    charList_->setPlainText(list);
}

bool FontWizardDialog::readCharPage(FontPreset& p) {
    std::string codes;
    std::u32string wide;
    fontSplitUserChars(userChars_->text().toStdString(), codes, wide);
    const int filter = charFilter();
    if (fontSelectCodePoints(bit8_->isChecked(), filter, codes, wide).empty()) {
        prompts_.message("No character is selected; tick a class or enter characters.",
                         MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    p.userChars = codes;
    p.userCharsWide = wide;
    p.char8 = bit8_->isChecked() ? 1 : 0;
    p.filter = filter;
    return true;
}

// ---- Page 4: texture settings ----------------------------------------------------------------

QWidget* FontWizardDialog::makeTexturePage() {
    auto* page = new QWidget;
    auto* pitchBox = new QGroupBox(QStringLiteral("Pitch"));
    fixed_ = new QRadioButton(QStringLiteral("fixed"));
    variable_ = new QRadioButton(QStringLiteral("variable"));
    capitals_ = new QCheckBox(QStringLiteral("capitals"));
    capitals_->setEnabled(false);  // kept with the preset, but nothing renders it differently
    auto* pitchLayout = new QVBoxLayout(pitchBox);
    pitchLayout->addWidget(fixed_);
    pitchLayout->addWidget(variable_);
    pitchLayout->addWidget(capitals_);

    auto* aaBox = new QGroupBox(QStringLiteral("Antialias"));
    auto* aaLayout = new QVBoxLayout(aaBox);
    const char* aaNames[3] = {"none", "2x2", "4x4"};
    for (int i = 0; i < 3; ++i) {
        antialias_[i] = new QRadioButton(QString::fromLatin1(aaNames[i]));
        aaLayout->addWidget(antialias_[i]);
    }

    auto* colourBox = new QGroupBox(QStringLiteral("Colors"));
    sample_ = new QLabel(QStringLiteral("Abc defg"));
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setAutoFillBackground(true);
    sample_->setMinimumSize(100, 32);
    textColour_ = new QPushButton(QStringLiteral("F-col"));
    backColour_ = new QPushButton(QStringLiteral("B-col"));
    textColour_->setToolTip(QStringLiteral("Text color"));
    backColour_->setToolTip(QStringLiteral("Background color"));
    connect(textColour_, &QPushButton::clicked, this, [this] {
        if (auto c = chooseColour(this, settings_, textColor_, QStringLiteral("Text color"))) {
            textColor_ = *c;
            updateSample();
        }
    });
    connect(backColour_, &QPushButton::clicked, this, [this] {
        if (auto c =
                chooseColour(this, settings_, backColor_, QStringLiteral("Background color"))) {
            backColor_ = *c;
            updateSample();
        }
    });
    auto* colourLayout = new QHBoxLayout(colourBox);
    colourLayout->addWidget(sample_, 1);
    colourLayout->addWidget(textColour_);
    colourLayout->addWidget(backColour_);

    auto* cellBox = new QGroupBox(QStringLiteral("Grid size"));
    cellW_ = spin(512, QStringLiteral("Grid size cx"));
    cellH_ = spin(512, QStringLiteral("Grid size cy"));
    autoCell_ = new QCheckBox(QStringLiteral("automatic"));
    auto* cellLayout = new QFormLayout(cellBox);
    cellLayout->addRow(QStringLiteral("cx"), cellW_);
    cellLayout->addRow(QStringLiteral("cy"), cellH_);
    cellLayout->addRow(autoCell_);

    auto* marginBox = new QGroupBox(QStringLiteral("Margin"));
    marginX_ = spin(256, QStringLiteral("Margin cx"));
    marginY_ = spin(256, QStringLiteral("Margin cy"));
    auto* marginLayout = new QFormLayout(marginBox);
    marginLayout->addRow(QStringLiteral("cx"), marginX_);
    marginLayout->addRow(QStringLiteral("cy"), marginY_);

    auto* originBox = new QGroupBox(QStringLiteral("Orientation"));
    horizontal_ = named(new QComboBox, QStringLiteral("Horizontal orientation"));
    horizontal_->addItems(
        {QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")});
    vertical_ = named(new QComboBox, QStringLiteral("Vertical orientation"));
    vertical_->addItems(
        {QStringLiteral("Top"), QStringLiteral("Center"), QStringLiteral("Bottom")});
    auto* originLayout = new QFormLayout(originBox);
    originLayout->addRow(QStringLiteral("horizontal"), horizontal_);
    originLayout->addRow(QStringLiteral("vertical"), vertical_);

    auto* texBox = new QGroupBox(QStringLiteral("Texture width"));
    tex256_ = new QRadioButton(QStringLiteral("256"));
    tex512_ = new QRadioButton(QStringLiteral("512"));
    auto* texLayout = new QHBoxLayout(texBox);
    texLayout->addWidget(tex256_);
    texLayout->addWidget(tex512_);

    for (QRadioButton* r : {fixed_, variable_})
        connect(r, &QRadioButton::toggled, this, &FontWizardDialog::updateTextureStates);
    connect(autoCell_, &QCheckBox::toggled, this, &FontWizardDialog::updateTextureStates);

    auto* grid = new QGridLayout;
    grid->addWidget(pitchBox, 0, 0);
    grid->addWidget(aaBox, 0, 1);
    grid->addWidget(texBox, 0, 2);
    grid->addWidget(cellBox, 1, 0);
    grid->addWidget(marginBox, 1, 1);
    grid->addWidget(originBox, 1, 2);
    grid->addWidget(colourBox, 2, 0, 1, 3);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(new QLabel(QStringLiteral("FontWizard 0.94 Beta - 23.01.2001")));
    return page;
}

void FontWizardDialog::updateTextureStates() {
    const bool fixed = fixed_->isChecked();
    autoCell_->setEnabled(fixed);
    cellW_->setEnabled(fixed && !autoCell_->isChecked());
    cellH_->setEnabled(fixed && !autoCell_->isChecked());
    marginX_->setEnabled(!fixed);
    marginY_->setEnabled(!fixed);
}

void FontWizardDialog::updateSample() {
    QPalette pal = sample_->palette();
    pal.setColor(QPalette::Window, colourRefToQColor(backColor_));
    pal.setColor(QPalette::WindowText, colourRefToQColor(textColor_));
    sample_->setPalette(pal);
}

bool FontWizardDialog::readTexturePage(FontPreset& p) {
    // The numbers typed on this page first: each within its field's range.
    if (!checkIntFields(*this, prompts_)) return false;
    FontPreset q = p;
    q.pitch = variable_->isChecked() ? 1 : 0;
    q.antialias = antialias_[2]->isChecked() ? 2 : antialias_[1]->isChecked() ? 1 : 0;
    q.textureWidth = tex512_->isChecked() ? 1 : 0;
    q.autoCell = autoCell_->isChecked() ? 1 : 0;
    q.cellWidth = cellW_->value();
    q.cellHeight = cellH_->value();
    q.marginX = marginX_->value();
    q.marginY = marginY_->value();
    q.origin =
        std::max(0, horizontal_->currentIndex()) + 4 * std::max(0, vertical_->currentIndex());
    q.capitals = capitals_->isChecked() ? 1 : 0;
    q.textColor = textColor_;
    q.backColor = backColor_;
    if (q.pitch == 0 && q.autoCell == 0) {
        if (q.cellWidth < 2 || q.cellWidth > 256 || q.cellHeight < 2 || q.cellHeight > 512) {
            prompts_.message(kFontMsgFixedCell, MsgIcon::Warning, MsgButtons::Ok);
            return false;
        }
        // A cell smaller than the font's is taken as given; the run says which glyphs it clips.
    }
    p = q;
    return true;
}

// ---- Navigation ------------------------------------------------------------------------------

void FontWizardDialog::fillPages(const FontPreset& p) {
    // Page 2: the face is chosen from the list when installed, else typed in.
    const QString face = QString::fromStdString(p.fontName.empty() ? "Arial" : p.fontName);
    const int at = face_->findText(face, Qt::MatchFixedString);
    if (at >= 0)
        face_->setCurrentIndex(at);
    else
        face_->setEditText(face);
    setFontFile(p.fontFile, p.faceIndex);
    style_->setCurrentIndex(p.fontStyle >= 0 && p.fontStyle <= 3 ? p.fontStyle : 0);
    size_->setEditText(QString::number(p.fontSize > 0 ? p.fontSize : 10));
    updatePreview();

    // Page 3.
    {
        for (const auto& c : classes_) c.first->setChecked(p.filter & c.second);
        const QSignalBlocker b1(bit7_), b2(bit8_), b3(oneOf_), b4(allChars_), b5(userChars_);
        (p.char8 ? bit8_ : bit7_)->setChecked(true);
        oneOf_->setChecked(p.filter & FONT_FILTER_ONEOF);
        allChars_->setChecked(p.filter & FONT_FILTER_ALL);
        userChars_->setText(fromCodes(p.userChars) +
                            QString::fromStdString(fontUtf8(p.userCharsWide)));
    }
    // "code below 128" has no box and passes through; "letter" has none either and is dropped.
    carriedFilter_ = p.filter & FONT_FILTER_ASCII;
    updateCharacters();

    // Page 4.
    (p.pitch == 1 ? variable_ : fixed_)->setChecked(true);
    capitals_->setChecked(p.capitals != 0);
    antialias_[std::clamp(p.antialias, 0, 2)]->setChecked(true);
    autoCell_->setChecked(p.autoCell != 0);
    cellW_->setValue(p.cellWidth);
    cellH_->setValue(p.cellHeight);
    marginX_->setValue(p.marginX);
    marginY_->setValue(p.marginY);
    const int h = p.origin & 3, v = (p.origin >> 2) & 3;
    horizontal_->setCurrentIndex(h <= 2 ? h : 0);
    vertical_->setCurrentIndex(v <= 2 ? v : 0);
    (p.textureWidth == 1 ? tex512_ : tex256_)->setChecked(true);
    textColor_ = p.textColor;
    backColor_ = p.backColor;
    updateSample();
    updateTextureStates();
}

bool FontWizardDialog::readPage(int index, FontPreset& p) {
    switch (index) {
    case 1: return readFontPage(p);
    case 2: return readCharPage(p);
    case 3: return readTexturePage(p);
    default: return true;
    }
}

int FontWizardDialog::page() const { return pages_->currentIndex(); }

void FontWizardDialog::showPage(int index) {
    pages_->setCurrentIndex(index);
    title_->setText(QString::fromLatin1(kTitles[index]));
    back_->setEnabled(index > 0);
    next_->setText(index == 3 ? QStringLiteral("&End") : QStringLiteral("&Next >>"));
}

bool FontWizardDialog::next() {
    const int index = page();
    if (index == 0) {
        renameTyped();
        if (editingDescription_) endDescriptionEdit();
        if (!list_.selected()) {
            prompts_.message("Choose a preset.", MsgIcon::Warning, MsgButtons::Ok);
            return false;
        }
        fillPages(list_.selected()->preset);
        showPage(1);
        return true;
    }
    NamedFontPreset* sel = list_.selected();
    if (!sel) return false;
    if (index < 3) {
        if (!readPage(index, sel->preset)) return false;
        showPage(index + 1);
        return true;
    }
    // "&End": every page once more, then the texture; the presets are kept only after it.
    FontPreset p = sel->preset;
    for (int k = 1; k <= 3; ++k) {
        if (!readPage(k, p)) {
            showPage(k);
            return false;
        }
    }
    sel->preset = p;
    if (generate_ && !generate_(sel->preset)) return false;
    list_.save(settings_);
    QDialog::accept();
    return true;
}

void FontWizardDialog::back() {
    const int index = page();
    if (index == 0) return;
    NamedFontPreset* sel = list_.selected();
    if (sel && !readPage(index, sel->preset)) return;
    showPage(index - 1);
}
