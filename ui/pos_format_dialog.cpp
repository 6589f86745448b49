#include "ui/pos_format_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "tools/codegen/code_generator.h"
#include "tools/codegen/sheet_template.h"
#include "ui/qt_ports.h"

namespace {

// The format edit holds at most this many characters, as it always has.
constexpr int kMaxFormatEdit = 256;

QString shown(const std::string& text) {
    // The edit shows plain line feeds; the stored text keeps carriage return and line feed.
    return qtEightBitText(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

CDlgPosFormat::CDlgPosFormat(PosFormatSettings& settings, Prompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Position Format"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // A whole-file template instead of one format string per item.
    template_ = new QComboBox;
    template_->setAccessibleName(QStringLiteral("Template"));
    template_->setToolTip(QStringLiteral("Template"));
    template_->addItem(QStringLiteral("Format string (one line per item)"));
    template_->setItemData(0, QStringLiteral("The selected preset's format string"),
                           Qt::ToolTipRole);
    for (const BuiltinTemplate& b : builtinTemplates()) {
        template_->addItem(QString::fromUtf8(b.name));
        template_->setItemData(template_->count() - 1, QString::fromUtf8(b.engines),
                               Qt::ToolTipRole);
    }
    auto* templateRow = new QHBoxLayout;
    auto* templateLabel = new QLabel(QStringLiteral("Template"));
    templateLabel->setBuddy(template_);
    templateRow->addWidget(templateLabel);
    templateRow->addWidget(template_, 1);

    presets_ = new QComboBox;
    presets_->setEditable(true);
    presets_->setInsertPolicy(QComboBox::NoInsert);
    presets_->setAccessibleName(QStringLiteral("Preset"));
    // Screen readers name an editable combo box by its text; its field carries the name.
    presets_->lineEdit()->setAccessibleName(QStringLiteral("Preset"));
    presets_->setMinimumContentsLength(20);
    // Completion would turn a typed name into an existing one.
    presets_->setCompleter(nullptr);
    new_ = new QPushButton(QStringLiteral("New"));
    edit_ = new QPushButton(QStringLiteral("Edit"));
    delete_ = new QPushButton(QStringLiteral("Delete"));
    auto* presetRow = new QHBoxLayout;
    auto* presetLabel = new QLabel(QStringLiteral("Preset"));
    presetLabel->setBuddy(presets_);
    presetRow->addWidget(presetLabel);
    presetRow->addWidget(presets_, 1);
    presetRow->addWidget(new_);
    presetRow->addWidget(edit_);
    presetRow->addWidget(delete_);

    format_ = new QPlainTextEdit;
    format_->setFont(fixed);
    format_->setAccessibleName(QStringLiteral("Format"));
    format_->setToolTip(QStringLiteral("Format"));
    format_->setTabChangesFocus(true);
    format_->setFixedHeight(format_->fontMetrics().lineSpacing() * 4 + 12);

    auto* sortBox = new QGroupBox(QStringLiteral("Sort"));
    auto* sortLayout = new QVBoxLayout(sortBox);
    const char* sortNames[3] = {"do not sort", "by name", "by x1y1"};
    for (int i = 0; i < 3; ++i) {
        sort_[i] = new QRadioButton(QString::fromLatin1(sortNames[i]));
        sortLayout->addWidget(sort_[i]);
        connect(sort_[i], &QRadioButton::toggled, this, [this](bool on) {
            if (!on) return;
            readControls();
            preview();
        });
    }
    auto* commentBox = new QGroupBox(QStringLiteral("Comments"));
    comment_ = new QCheckBox(QStringLiteral("enable comments"));
    date_ = new QCheckBox(QStringLiteral("Date/Time"));
    cppStyle_ = new QCheckBox(QStringLiteral("C++ Style"));
    file_ = new QCheckBox(QStringLiteral("Filename"));
    auto* commentLayout = new QVBoxLayout(commentBox);
    commentLayout->addWidget(comment_);
    commentLayout->addWidget(date_);
    commentLayout->addWidget(cppStyle_);
    commentLayout->addWidget(file_);
    block_ = new QCheckBox(QStringLiteral("Block"));
    save_ = new QCheckBox(QStringLiteral("save"));
    auto* otherLayout = new QVBoxLayout;
    otherLayout->addWidget(block_);
    otherLayout->addWidget(save_);
    otherLayout->addStretch(1);
    auto* optionsRow = new QHBoxLayout;
    optionsRow->addWidget(sortBox);
    optionsRow->addWidget(commentBox);
    optionsRow->addLayout(otherLayout);

    preview_ = new QPlainTextEdit;
    preview_->setReadOnly(true);
    preview_->setFont(fixed);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    preview_->setToolTip(QStringLiteral("Preview"));
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setMinimumWidth(preview_->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 56);
    // Tall enough for a few lines of a whole-file template as well.
    preview_->setFixedHeight(preview_->fontMetrics().lineSpacing() * 9 + 12);

    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgPosFormat::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(templateRow);
    layout->addLayout(presetRow);
    auto* formatLabel = new QLabel(QStringLiteral("Format"));
    formatLabel->setBuddy(format_);
    layout->addWidget(formatLabel);
    layout->addWidget(format_);
    layout->addLayout(optionsRow);
    auto* previewLabel = new QLabel(QStringLiteral("Preview"));
    previewLabel->setBuddy(preview_);
    layout->addWidget(previewLabel);
    layout->addWidget(preview_);
    layout->addWidget(buttons);

    connect(new_, &QPushButton::clicked, this, &CDlgPosFormat::newPreset);
    connect(edit_, &QPushButton::clicked, this, &CDlgPosFormat::toggleEdit);
    connect(delete_, &QPushButton::clicked, this, &CDlgPosFormat::deletePreset);
    connect(presets_, &QComboBox::activated, this, &CDlgPosFormat::selectPreset);
    connect(template_, &QComboBox::activated, this, &CDlgPosFormat::selectTemplate);
    // Typing a name holds OK back until the name is taken or refused.
    connect(presets_->lineEdit(), &QLineEdit::textEdited, this, [this] {
        nameTyped_ = true;
        ok_->setEnabled(false);
    });
    connect(presets_->lineEdit(), &QLineEdit::editingFinished, this, &CDlgPosFormat::renameTyped);
    connect(format_, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = format_->toPlainText();
        if (t.size() <= kMaxFormatEdit) return;
        // Like a limited edit field: what goes past the limit is not taken.
        const QSignalBlocker block(format_);
        format_->setPlainText(t.left(kMaxFormatEdit));
        format_->moveCursor(QTextCursor::End);
    });
    connect(comment_, &QCheckBox::toggled, this, [this] {
        readControls();
        updateEnabled();
        preview();
    });

    // Opening: the stored choices, the selected preset, its preview.
    {
        const QSignalBlocker b1(sort_[0]), b2(sort_[1]), b3(sort_[2]), b4(comment_);
        const int s = settings_.sort >= 0 && settings_.sort <= 2 ? settings_.sort : 0;
        sort_[s]->setChecked(true);
        comment_->setChecked(settings_.comment);
    }
    date_->setChecked(settings_.date);
    cppStyle_->setChecked(settings_.cppStyle);
    file_->setChecked(settings_.file);
    block_->setChecked(settings_.block);
    save_->setChecked(settings_.save);
    if (settings_.current < 0 || settings_.current >= int(settings_.presets.size()))
        settings_.current = 0;
    {
        const QSignalBlocker b(template_);
        int t = 0;
        for (size_t k = 0; k < builtinTemplates().size(); ++k)
            if (settings_.templateName == builtinTemplates()[k].name) t = int(k) + 1;
        template_->setCurrentIndex(t);
        if (t == 0) settings_.templateName.clear();
    }
    fillPresetList();
    showPreset();
    updateEnabled();
    preview();
}

void CDlgPosFormat::selectTemplate(int index) {
    if (editing_) toggleEdit();
    const auto& builtins = builtinTemplates();
    if (index < 0 || index > int(builtins.size())) index = 0;
    {
        const QSignalBlocker block(template_);
        template_->setCurrentIndex(index);
    }
    settings_.templateName = index == 0 ? std::string() : builtins[size_t(index - 1)].name;
    readControls();
    updateEnabled();
    preview();
}

ParsedFormat CDlgPosFormat::parsedFormat() const {
    try {
        return parseFormat(escapeFormat(settings_.currentPreset().format));
    } catch (const parse_error&) {
        return {};
    }
}

QString CDlgPosFormat::formatEditText() const {
    QString t = format_->toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

void CDlgPosFormat::fillPresetList() {
    const QSignalBlocker block(presets_);
    presets_->clear();
    for (const PosFormatPreset& p : settings_.presets) presets_->addItem(qtEightBitText(p.name));
    presets_->setCurrentIndex(settings_.current);
    nameTyped_ = false;
}

void CDlgPosFormat::showPreset() {
    const QSignalBlocker block(format_);
    format_->setPlainText(shown(escapeFormat(settings_.currentPreset().format)));
}

void CDlgPosFormat::readControls() {
    for (int i = 0; i < 3; ++i)
        if (sort_[i]->isChecked()) settings_.sort = i;
    settings_.comment = comment_->isChecked();
    settings_.date = date_->isChecked();
    settings_.cppStyle = cppStyle_->isChecked();
    settings_.file = file_->isChecked();
    settings_.block = block_->isChecked();
    settings_.save = save_->isChecked();
}

void CDlgPosFormat::updateEnabled() {
    // A whole-file template writes its own header and layout: the presets and the comment and
    // block options do not apply to it, the sort mode does.
    const bool preset = settings_.templateName.empty();
    template_->setEnabled(!editing_);
    format_->setEnabled(editing_);
    new_->setEnabled(!editing_ && preset);
    edit_->setEnabled(preset);
    delete_->setEnabled(!editing_ && preset);
    presets_->setEnabled(!editing_ && preset);
    ok_->setEnabled(!editing_ && !nameTyped_);
    edit_->setText(editing_ ? QStringLiteral("Done") : QStringLiteral("Edit"));
    const bool comments = comment_->isChecked();
    comment_->setEnabled(preset);
    block_->setEnabled(preset);
    date_->setEnabled(comments && preset);
    cppStyle_->setEnabled(comments && preset);
    file_->setEnabled(comments && preset);
    if (editing_) format_->setFocus();
}

void CDlgPosFormat::preview() {
    if (!settings_.templateName.empty()) {
        // Built-ins always parse; what is shown is UTF-8.
        const std::string text = builtinTemplatePreview(settings_.templateName, settings_.sort);
        parseOk_ = !text.empty();
        preview_->setPlainText(QString::fromUtf8(text).remove(QLatin1Char('\r')));
        return;
    }
    const std::string text =
        codegenPreview(formatEditText().toStdString(), settings_.sort, &parseOk_);
    preview_->setPlainText(shown(text).remove(QLatin1Char('\r')));
}

void CDlgPosFormat::selectPreset(int index) {
    if (index < 0 || index >= int(settings_.presets.size())) index = 0;
    settings_.current = index;
    {
        const QSignalBlocker block(presets_);
        presets_->setCurrentIndex(index);
    }
    nameTyped_ = false;
    showPreset();
    readControls();
    updateEnabled();
    preview();
}

void CDlgPosFormat::toggleEdit() {
    if (!editing_) {
        editing_ = true;
        updateEnabled();
        return;
    }
    editing_ = false;
    readControls();
    // What is stored is what the next generation uses, so the edit shows it back and the
    // preview comes from it, unparsable or not: the text is kept either way.
    settings_.presets[size_t(settings_.current)].format =
        unescapeFormat(formatEditText().toStdString());
    showPreset();
    updateEnabled();
    preview();
}

void CDlgPosFormat::newPreset() {
    if (editing_) toggleEdit();
    const auto name = prompts_.renameItem("New Item");
    if (!name) return;
    if (name->empty()) {
        prompts_.message("A preset needs a name.", MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    if (settings_.findPreset(*name) >= 0) {
        prompts_.message("A preset named \"" + *name + "\" already exists.", MsgIcon::Warning,
                         MsgButtons::Ok);
        return;
    }
    settings_.addPreset(*name);
    fillPresetList();
    showPreset();
    editing_ = true;
    updateEnabled();
    preview();
}

void CDlgPosFormat::deletePreset() {
    std::string message;
    if (!settings_.deletePreset(settings_.current, &message)) {
        if (!message.empty()) prompts_.message(message, MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    fillPresetList();
    showPreset();
    updateEnabled();
    preview();
}

void CDlgPosFormat::renameTyped() {
    if (!nameTyped_) return;
    nameTyped_ = false;
    const int i = settings_.current;
    const std::string typed = presets_->lineEdit()->text().toStdString();
    const std::string old = settings_.presets[size_t(i)].name;
    if (typed != old) {
        std::string refusal;
        if (typed.empty())
            refusal = "A preset needs a name.";
        else if (i == 0)
            refusal = "The preset Standard cannot be renamed.";
        else if (!settings_.renamePreset(i, typed))
            refusal = "A preset whose name begins with \"" + typed + "\" already exists.";
        if (!refusal.empty()) prompts_.message(refusal, MsgIcon::Warning, MsgButtons::Ok);
    }
    fillPresetList();
    updateEnabled();
}

void CDlgPosFormat::accept() {
    if (nameTyped_) renameTyped();
    if (editing_) toggleEdit();
    readControls();
    preview();
    // A format that does not parse would generate nothing; the dialog stays open so that it can
    // be corrected, and the preview says why.
    if (!parseOk_) {
        prompts_.message("Parse failed - correct the format string or choose another preset.\n" +
                             preview_->toPlainText().toStdString(),
                         MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    QDialog::accept();
}
