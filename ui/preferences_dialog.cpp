#include "ui/preferences_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/int_field.h"
#include "ui/qt_ports.h"

namespace {

QSpinBox* frameSpin(int value, const QString& name) {
    return new IntField(Preferences::kFrameMin, Preferences::kFrameMax, value, name);
}

QPushButton* button(const QString& text, const QString& name) {
    auto* b = new QPushButton(text);
    b->setAccessibleName(name);
    b->setToolTip(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

PreferencesDialog::PreferencesDialog(const Preferences& prefs, bool saveSettings, QWidget* parent,
                                     std::function<bool(std::string&)> paletteOptions,
                                     std::function<void()> registerTypes)
    : QDialog(parent), prefs_(prefs), saveDirs_(prefs.saveDirs, prefs.saveDir),
      workDirs_(prefs.workDirs, prefs.workDir), paletteOptions_(std::move(paletteOptions)) {
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("Preferences"));
    auto* top = new QVBoxLayout(this);

    // Frame sizes: the isometric ones are shown but not edited here.
    auto* frames = new QHBoxLayout;
    auto* normal = new QGroupBox(QStringLiteral("Normal"));
    auto* nf = new QFormLayout(normal);
    frameW_ = frameSpin(prefs.frameWidth, QStringLiteral("Normal Frame width"));
    frameH_ = frameSpin(prefs.frameHeight, QStringLiteral("Normal Frame height"));
    nf->addRow(QStringLiteral("Frame width"), frameW_);
    nf->addRow(QStringLiteral("Frame height"), frameH_);
    auto* iso = new QGroupBox(QStringLiteral("Isometric"));
    auto* isf = new QFormLayout(iso);
    isoW_ = frameSpin(prefs.isoFrameWidth, QStringLiteral("Isometric Frame width"));
    isoH_ = frameSpin(prefs.isoFrameHeight, QStringLiteral("Isometric Frame height"));
    isoW_->setEnabled(false);
    isoH_->setEnabled(false);
    isf->addRow(QStringLiteral("Frame width"), isoW_);
    isf->addRow(QStringLiteral("Frame height"), isoH_);
    frames->addWidget(normal);
    frames->addWidget(iso);
    top->addLayout(frames);

    auto* form = new QFormLayout;
    isometric_ = new QCheckBox(QStringLiteral("Isometric"));
    isometric_->setChecked(prefs.startMode != 0);
    form->addRow(QStringLiteral("Selection Mode"), isometric_);
    autoload_ = new QCheckBox;
    autoload_->setAccessibleName(QStringLiteral("Autoload last"));
    autoload_->setChecked(prefs.autoloadLast);
    form->addRow(QStringLiteral("Autoload last"), autoload_);

    auto* compressRow = new QHBoxLayout;
    compress_ = new QButtonGroup(this);
    const char* modes[] = {"none", "normal", "scanline"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QLatin1String(modes[i]));
        compress_->addButton(r, i);
        compressRow->addWidget(r);
    }
    compress_->button(prefs.compressTga)->setChecked(true);
    form->addRow(QStringLiteral("Compress TGA files"), compressRow);

    auto* addRow = new QHBoxLayout;
    onCopy_ = new QCheckBox(QStringLiteral("on copy"));
    onCopy_->setChecked(prefs.addOnCopy);
    onPaste_ = new QCheckBox(QStringLiteral("on paste"));
    onPaste_->setChecked(prefs.addOnPaste);
    addRow->addWidget(onCopy_);
    addRow->addWidget(onPaste_);
    form->addRow(QStringLiteral("Auto-add to position list"), addRow);

    chequer_ = new QCheckBox(QStringLiteral("Show transparency as a chequer board"));
    chequer_->setChecked(prefs.chequerBoard);
    form->addRow(QString(), chequer_);

    // 0 keeps the single undo level; otherwise the oldest steps go first past the budget.
    undoMemory_ = new IntField(0, Preferences::kUndoMemoryMax, prefs.undoMemoryMiB,
                               QStringLiteral("Undo memory (MiB, 0 = one step)"));
    undoMemory_->setObjectName(QStringLiteral("undoMemory"));
    form->addRow(QStringLiteral("Undo memory (MiB, 0 = one step)"), undoMemory_);

    auto* shell = button(QStringLiteral(">"), QStringLiteral("Register Shell file types"));
    shell->setObjectName(QStringLiteral("registerShell"));
    shell->setEnabled(bool(registerTypes));
    if (registerTypes)
        connect(shell, &QPushButton::clicked, this, [registerTypes] { registerTypes(); });
    form->addRow(QStringLiteral("Register Shell file types"), shell);

    // The two folder boxes, each with its browse button.
    auto folderRow = [&](DirectoryBox& model, const QString& label, QComboBox*& box) {
        box = directoryBox(model, label);
        auto* browse = button(QStringLiteral("..."), QStringLiteral("Browse ") + label);
        connect(browse, &QPushButton::clicked, this, [this, &model, box, label] {
            const QString start =
                QString::fromStdString(DirectoryBox::withoutTrailingSlash(model.current()));
            const QString dir = QFileDialog::getExistingDirectory(this, label, start);
            if (dir.isEmpty()) return;
            model.browsed(dir.toStdString());
            fillBox(box, model);
        });
        auto* row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(browse);
        form->addRow(label, row);
    };
    folderRow(saveDirs_, QStringLiteral("Export Directory"), saveBox_);
    folderRow(workDirs_, QStringLiteral("Working Directory"), workBox_);

    auto* palRow = new QHBoxLayout;
    palFile_ = new QLineEdit(QString::fromStdString(prefs.palFile));
    palFile_->setAccessibleName(QStringLiteral("Palette File"));
    palFile_->setObjectName(QStringLiteral("palFile"));
    auto* pal = button(QStringLiteral("pal"), QStringLiteral("Palette Options"));
    pal->setObjectName(QStringLiteral("paletteOptions"));
    pal->setEnabled(bool(paletteOptions_));
    connect(pal, &QPushButton::clicked, this, [this] {
        std::string file = palFile_->text().toStdString();
        if (paletteOptions_ && paletteOptions_(file))
            palFile_->setText(QString::fromStdString(file));
    });
    palRow->addWidget(palFile_, 1);
    palRow->addWidget(pal);
    form->addRow(QStringLiteral("Palette File"), palRow);
    top->addLayout(form);

    auto* buttons = new QHBoxLayout;
    save_ = new QCheckBox(QStringLiteral("Save settings"));
    save_->setChecked(saveSettings);
    ok_ = button(QStringLiteral("OK"), QStringLiteral("OK"));
    ok_->setObjectName(QStringLiteral("ok"));
    auto* cancel = button(QStringLiteral("&Cancel"), QStringLiteral("Cancel"));
    connect(ok_, &QPushButton::clicked, this, &PreferencesDialog::takeValues);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    top->addLayout(buttons);
}

QComboBox* PreferencesDialog::directoryBox(DirectoryBox& model, const QString& name) {
    auto* box = new QComboBox;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setAccessibleName(name);
    box->setObjectName(name == QStringLiteral("Export Directory") ? QStringLiteral("saveDir")
                                                                  : QStringLiteral("workDir"));
    box->setMinimumContentsLength(30);
    fillBox(box, model);
    connect(box, &QComboBox::activated, this, [this, box, &model](int index) {
        model.choose(index);
        fillBox(box, model);
    });
    // Leaving the edit field checks a typed folder.
    box->lineEdit()->installEventFilter(this);
    connect(box->lineEdit(), &QLineEdit::editingFinished, this,
            [this, box, &model] { commitBox(box, model); });
    return box;
}

void PreferencesDialog::fillBox(QComboBox* box, const DirectoryBox& model) {
    const QSignalBlocker block(box);
    box->clear();
    for (const std::string& d : model.entries()) box->addItem(QString::fromStdString(d));
    box->setCurrentIndex(model.selected());
    box->setEditText(QString::fromStdString(model.current()));
}

bool PreferencesDialog::commitBox(QComboBox* box, DirectoryBox& model) {
    const std::string text = box->currentText().toStdString();
    if (text == model.current()) return true;
    const std::string error = model.commitText(
        text, [](const std::string& d) { return QFileInfo::exists(QString::fromStdString(d)); });
    if (!error.empty()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
        if (isActiveWindow()) box->setFocus();
        return false;
    }
    fillBox(box, model);
    return true;
}

bool PreferencesDialog::saveSettings() const { return save_->isChecked(); }

void PreferencesDialog::takeValues() {
    QtPrompts prompts(this);
    if (!checkIntFields(*this, prompts)) return;
    if (!commitBox(saveBox_, saveDirs_) || !commitBox(workBox_, workDirs_)) return;
    prefs_.frameWidth = frameW_->value();
    prefs_.frameHeight = frameH_->value();
    prefs_.isoFrameWidth = isoW_->value();
    prefs_.isoFrameHeight = isoH_->value();
    prefs_.startMode = isometric_->isChecked() ? 1 : 0;
    prefs_.autoloadLast = autoload_->isChecked();
    prefs_.compressTga = std::max(0, compress_->checkedId());
    prefs_.addOnCopy = onCopy_->isChecked();
    prefs_.addOnPaste = onPaste_->isChecked();
    prefs_.chequerBoard = chequer_->isChecked();
    prefs_.undoMemoryMiB = undoMemory_->value();
    prefs_.palFile = palFile_->text().toStdString();
    saveDirs_.store(prefs_.saveDirs, prefs_.saveDir);
    workDirs_.store(prefs_.workDirs, prefs_.workDir);
    accept();
}

void PreferencesDialog::keyPressEvent(QKeyEvent* e) {
    // Enter goes to OK first instead of closing the dialog at once.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (focusWidget() == ok_)
            ok_->click();
        else
            ok_->setFocus();
        return;
    }
    QDialog::keyPressEvent(e);
}
