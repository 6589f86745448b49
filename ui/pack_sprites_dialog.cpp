#include "ui/pack_sprites_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "model/document_types.h"
#include "tools/codegen/sheet_template.h"
#include "ui/int_field.h"
#include "ui/qt_ports.h"

namespace {

QSpinBox* spin(const QString& name, int min, int max, int value, const QString& tip) {
    auto* s = new IntField(min, max, value, name);
    s->setToolTip(tip);
    return s;
}

// A button whose tool tip says what it does, for a text ("Browse...") that several share.
QPushButton* button(const QString& text, const QString& tip) {
    auto* b = new QPushButton(text);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    return b;
}

// A form row whose label (with its mnemonic) leads to `buddy`, also when the field is a row of
// several controls.
void addRow(QFormLayout* form, const QString& text, QWidget* buddy, QLayout* field = nullptr) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    if (field)
        form->addRow(label, field);
    else
        form->addRow(label, buddy);
}

QString imageFilter() {
    QStringList patterns;
    for (const DocumentType& t : documentTypes())
        patterns << QStringLiteral("*") + QString::fromLatin1(t.extension);
    patterns << QStringLiteral("*.jpeg");
    return QStringLiteral("Images (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(");;All Files (*)");
}

}  // namespace

PackSpritesDialog::PackSpritesDialog(const PackRequest& start,
                                     std::function<bool(const PackRequest&)> run, QWidget* parent)
    : QDialog(parent), run_(std::move(run)) {
    setWindowTitle(QStringLiteral("Pack Sprites"));
    const PackOptions& o = start.options;

    // The sprites: files and folders, searched through as tarquil-cli pack does.
    inputs_ = new QListWidget;
    inputs_->setAccessibleName(QStringLiteral("Sprites"));
    inputs_->setToolTip(QStringLiteral("Image files and folders to pack"));
    inputs_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* addFiles = button(QStringLiteral("Add Files..."), QStringLiteral("Add Files..."));
    auto* addFolder = button(QStringLiteral("Add Folder..."), QStringLiteral("Add Folder..."));
    remove_ = button(QStringLiteral("Remove"), QStringLiteral("Remove"));
    connect(addFiles, &QPushButton::clicked, this, &PackSpritesDialog::addFiles);
    connect(addFolder, &QPushButton::clicked, this, &PackSpritesDialog::addFolder);
    connect(remove_, &QPushButton::clicked, this, &PackSpritesDialog::removeSelected);
    connect(inputs_, &QListWidget::itemSelectionChanged, this, &PackSpritesDialog::updateControls);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(addFiles);
    listButtons->addWidget(addFolder);
    listButtons->addWidget(remove_);
    listButtons->addStretch(1);
    auto* spritesBox = new QGroupBox(QStringLiteral("Sprites"));
    auto* spritesLayout = new QHBoxLayout(spritesBox);
    spritesLayout->addWidget(inputs_, 1);
    spritesLayout->addLayout(listButtons);

    trim_ = new QComboBox;
    trim_->addItems({QStringLiteral("None"), QStringLiteral("Trim"), QStringLiteral("Crop")});
    trim_->setCurrentIndex(int(o.trim));
    trim_->setAccessibleName(QStringLiteral("Trim"));
    trim_->setToolTip(QStringLiteral("Trim cuts transparent edges and keeps the source size and "
                                     "offset for the data file; Crop cuts them and forgets them"));
    threshold_ = spin(QStringLiteral("Alpha threshold"), 0, 254, o.alphaThreshold,
                      QStringLiteral("Pixels with alpha up to this count as transparent"));
    extrude_ = spin(QStringLiteral("Extrude"), 0, 64, o.extrude,
                    QStringLiteral("Edge pixels repeated outwards, against seams under filtering"));
    border_ = spin(QStringLiteral("Border"), 0, 256, o.border,
                   QStringLiteral("Empty pixels along the page edges"));
    padding_ = spin(QStringLiteral("Padding"), 0, 256, o.padding,
                    QStringLiteral("Empty pixels between sprites"));
    rotate_ = new QCheckBox(QStringLiteral("Rotate"));
    rotate_->setChecked(o.rotate);
    rotate_->setAccessibleName(QStringLiteral("Rotate"));
    rotate_->setToolTip(QStringLiteral("Turn sprites by 90 degrees where that packs better"));
    size_ = new QComboBox;
    size_->addItems({QStringLiteral("Any"), QStringLiteral("Power of two"),
                     QStringLiteral("Square"), QStringLiteral("Power of two, square")});
    size_->setCurrentIndex(int(o.size));
    size_->setAccessibleName(QStringLiteral("Page size"));
    size_->setToolTip(QStringLiteral("The sizes a page may take"));
    maxWidth_ = spin(QStringLiteral("Largest page width"), 1, 32768, o.maxWidth,
                     QStringLiteral("Largest page width"));
    maxHeight_ = spin(QStringLiteral("Largest page height"), 1, 32768, o.maxHeight,
                      QStringLiteral("Largest page height"));
    alias_ = new QCheckBox(QStringLiteral("Alias duplicates"));
    alias_->setChecked(o.aliasDuplicates);
    alias_->setAccessibleName(QStringLiteral("Alias duplicates"));
    alias_->setToolTip(
        QStringLiteral("Pixel-identical sprites share one rectangle and keep every name"));
    auto* maxRow = new QHBoxLayout;
    maxRow->addWidget(maxWidth_);
    maxRow->addWidget(new QLabel(QStringLiteral("x")));
    maxRow->addWidget(maxHeight_);
    maxRow->addStretch(1);
    auto* optionsBox = new QGroupBox(QStringLiteral("Options"));
    auto* form = new QFormLayout(optionsBox);
    addRow(form, QStringLiteral("&Trim:"), trim_);
    addRow(form, QStringLiteral("Alpha &threshold:"), threshold_);
    addRow(form, QStringLiteral("&Extrude:"), extrude_);
    addRow(form, QStringLiteral("&Border:"), border_);
    addRow(form, QStringLiteral("&Padding:"), padding_);
    form->addRow(QString(), rotate_);
    addRow(form, QStringLiteral("Page &size:"), size_);
    addRow(form, QStringLiteral("&Largest page:"), maxWidth_, maxRow);
    form->addRow(QString(), alias_);

    sheet_ = new QLineEdit(QString::fromStdString(start.sheetFile));
    sheet_->setAccessibleName(QStringLiteral("Sheet file"));
    sheet_->setToolTip(QStringLiteral("The name the pages are saved under; {n} takes the page "
                                      "number. A relative name lies beside the data file"));
    auto* sheetBrowse =
        button(QStringLiteral("Browse..."), QStringLiteral("Choose the sheet file"));
    connect(sheetBrowse, &QPushButton::clicked, this, &PackSpritesDialog::browseSheet);
    writeData_ = new QCheckBox(QStringLiteral("Write data file"));
    writeData_->setChecked(start.writeData);
    writeData_->setAccessibleName(QStringLiteral("Write data file"));
    writeData_->setToolTip(QStringLiteral("Also write the data file an engine loads"));
    connect(writeData_, &QCheckBox::toggled, this, &PackSpritesDialog::updateControls);
    data_ = new QLineEdit(QString::fromStdString(start.dataFile));
    data_->setAccessibleName(QStringLiteral("Data file"));
    data_->setToolTip(QStringLiteral("The data file; {n} gives one per page"));
    dataBrowse_ = button(QStringLiteral("Browse..."), QStringLiteral("Choose the data file"));
    connect(dataBrowse_, &QPushButton::clicked, this, &PackSpritesDialog::browseData);
    template_ = new QComboBox;
    template_->setEditable(true);
    for (const BuiltinTemplate& t : builtinTemplates()) {
        template_->addItem(QString::fromLatin1(t.name));
        template_->setItemData(template_->count() - 1, QString::fromUtf8(t.engines),
                               Qt::ToolTipRole);
    }
    template_->setCurrentText(QString::fromStdString(start.templateName));
    template_->setAccessibleName(QStringLiteral("Template"));
    template_->setToolTip(QStringLiteral("A built-in layout or a template file"));
    // Screen readers land in the edit part of an editable box: it carries the name too.
    template_->lineEdit()->setAccessibleName(QStringLiteral("Template"));
    templateBrowse_ = button(QStringLiteral("Browse..."), QStringLiteral("Choose a template file"));
    connect(templateBrowse_, &QPushButton::clicked, this, &PackSpritesDialog::browseTemplate);
    auto row = [](QWidget* a, QWidget* b) {
        auto* l = new QHBoxLayout;
        l->addWidget(a, 1);
        l->addWidget(b);
        return l;
    };
    auto* outputBox = new QGroupBox(QStringLiteral("Output"));
    auto* out = new QFormLayout(outputBox);
    addRow(out, QStringLiteral("S&heet file:"), sheet_, row(sheet_, sheetBrowse));
    out->addRow(QString(), writeData_);
    addRow(out, QStringLiteral("&Data file:"), data_, row(data_, dataBrowse_));
    addRow(out, QStringLiteral("Te&mplate:"), template_, row(template_, templateBrowse_));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    for (QAbstractButton* b : buttons->buttons()) b->setAccessibleName(b->text().remove('&'));
    connect(buttons, &QDialogButtonBox::accepted, this, &PackSpritesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* right = new QVBoxLayout;
    right->addWidget(optionsBox);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(spritesBox, 1);
    left->addWidget(outputBox);
    columns->addLayout(left, 1);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);

    QStringList paths;
    for (const std::string& in : start.inputs) paths << QString::fromStdString(in);
    addInputs(paths);
    updateControls();
}

PackRequest PackSpritesDialog::request() const {
    PackRequest r;
    for (int i = 0; i < inputs_->count(); ++i)
        r.inputs.push_back(inputs_->item(i)->text().toStdString());
    PackOptions& o = r.options;
    o.trim = PackTrim(trim_->currentIndex());
    o.alphaThreshold = threshold_->value();
    o.extrude = extrude_->value();
    o.border = border_->value();
    o.padding = padding_->value();
    o.rotate = rotate_->isChecked();
    o.size = PackSize(size_->currentIndex());
    o.maxWidth = maxWidth_->value();
    o.maxHeight = maxHeight_->value();
    o.aliasDuplicates = alias_->isChecked();
    r.sheetFile = sheet_->text().trimmed().toStdString();
    r.writeData = writeData_->isChecked();
    r.dataFile = data_->text().trimmed().toStdString();
    r.templateName = template_->currentText().trimmed().toStdString();
    return r;
}

void PackSpritesDialog::addInputs(const QStringList& paths) {
    for (const QString& p : paths) {
        if (p.isEmpty() || !inputs_->findItems(p, Qt::MatchExactly).isEmpty()) continue;
        inputs_->addItem(p);
    }
    updateControls();
}

void PackSpritesDialog::addFiles() {
    addInputs(
        QFileDialog::getOpenFileNames(this, QStringLiteral("Add Files"), QString(), imageFilter()));
}

void PackSpritesDialog::addFolder() {
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"));
    if (!dir.isEmpty()) addInputs({dir});
}

void PackSpritesDialog::removeSelected() {
    qDeleteAll(inputs_->selectedItems());
    updateControls();
}

void PackSpritesDialog::browseSheet() {
    const QString p =
        QFileDialog::getSaveFileName(this, QStringLiteral("Sheet File"), sheet_->text(),
                                     QStringLiteral("Images (*.png *.tga *.bmp *.pcx *.spr)"),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!p.isEmpty()) sheet_->setText(p);
}

void PackSpritesDialog::browseData() {
    const QString p =
        QFileDialog::getSaveFileName(this, QStringLiteral("Data File"), data_->text(), QString(),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!p.isEmpty()) data_->setText(p);
}

void PackSpritesDialog::browseTemplate() {
    const QString p = QFileDialog::getOpenFileName(this, QStringLiteral("Template File"));
    if (!p.isEmpty()) template_->setCurrentText(p);
}

void PackSpritesDialog::updateControls() {
    remove_->setEnabled(!inputs_->selectedItems().isEmpty());
    const bool data = writeData_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(data_), static_cast<QWidget*>(dataBrowse_),
                       static_cast<QWidget*>(template_), static_cast<QWidget*>(templateBrowse_)})
        w->setEnabled(data);
}

void PackSpritesDialog::accept() {
    QtPrompts prompts(this);
    if (!checkIntFields(*this, prompts)) return;
    if (!run_ || run_(request())) QDialog::accept();
}
