// The option dialogs of the image operations and tools: "Scale", "Resize", "Set maximum values",
// "AnimMaster - Optimizer V1.0", "Create Mask" and "Rename item". Each only fills its
// answer; the commands themselves live in the document.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "edit/size_model.h"
#include "model/custom_colours.h"
#include "tools/animmaster/animmaster.h"
#include "ui/colour_chooser.h"
#include "ui/int_field.h"
#include "ui/qt_ports.h"

namespace {

// Width, Height and "preserve aspect ratio" wired to the dialog model; the fields only show the
// numbers the model computes.
struct SizeFields {
    SizeFields(QDialog& dlg, QFormLayout* form, int width, int height, bool preserveAspect)
        : model(width, height, preserveAspect),
          w(new IntField(SIZE_FIELD_MIN, SIZE_FIELD_MAX, width, QStringLiteral("Width"))),
          h(new IntField(SIZE_FIELD_MIN, SIZE_FIELD_MAX, height, QStringLiteral("Height"))),
          preserve(new QCheckBox(QStringLiteral("preserve aspect ratio"))) {
        preserve->setChecked(model.preserveAspect());
        form->addRow(QStringLiteral("Width"), w);
        form->addRow(QStringLiteral("Height"), h);
        form->addRow(preserve);
        QObject::connect(w, &QSpinBox::valueChanged, &dlg, [this](int v) {
            if (busy) return;
            model.editWidth(v);
            show();
        });
        QObject::connect(h, &QSpinBox::valueChanged, &dlg, [this](int v) {
            if (busy) return;
            model.editHeight(v);
            show();
        });
        QObject::connect(preserve, &QCheckBox::toggled, &dlg, [this](bool on) {
            model.setPreserveAspect(on);
            show();
        });
    }
    void show() {
        busy = true;
        w->setValue(model.width());
        h->setValue(model.height());
        busy = false;
    }
    // Refused on OK: a size past the largest picture there can be.
    std::string refusal() const { return pictureSizeRefusal(model.width(), model.height()); }
    SizeDialogModel model;
    IntField* w;
    IntField* h;
    QCheckBox* preserve;
    bool busy = false;
};

}  // namespace

std::optional<MaxSizeOptions> QtPrompts::maxSize(const MaxSizeOptions& d) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Set maximum values"));
    auto* w = new IntField(0, 65535, d.width, QStringLiteral("Width"));
    auto* h = new IntField(0, 65535, d.height, QStringLiteral("Height"));
    // Two boxes of the same text: the tool tip says which side each one frees.
    auto* autoW = new QCheckBox(QStringLiteral("automatic"));
    autoW->setToolTip(QStringLiteral("Width automatic"));
    autoW->setAccessibleName(autoW->toolTip());
    auto* autoH = new QCheckBox(QStringLiteral("automatic"));
    autoH->setToolTip(QStringLiteral("Height automatic"));
    autoH->setAccessibleName(autoH->toolTip());
    auto* method = new QComboBox;
    method->addItems({QStringLiteral("Rows"), QStringLiteral("MaxRects")});
    method->setAccessibleName(QStringLiteral("Method"));
    method->setCurrentIndex(d.method == 1 ? 1 : 0);
    auto* padding = new IntField(0, 65535, d.padding, QStringLiteral("Padding"));
    // Ticking a box disables its field; padding applies to MaxRects only.
    QObject::connect(autoW, &QCheckBox::toggled, w, &QWidget::setDisabled);
    QObject::connect(autoH, &QCheckBox::toggled, h, &QWidget::setDisabled);
    QObject::connect(method, &QComboBox::currentIndexChanged, padding,
                     [padding](int i) { padding->setEnabled(i == 1); });
    autoW->setChecked(d.autoWidth);
    autoH->setChecked(d.autoHeight);
    padding->setEnabled(method->currentIndex() == 1);
    auto* rowW = new QHBoxLayout;
    rowW->addWidget(w);
    rowW->addWidget(autoW);
    auto* rowH = new QHBoxLayout;
    rowH->addWidget(h);
    rowH->addWidget(autoH);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Width"), rowW);
    form->addRow(QStringLiteral("Height"), rowH);
    form->addRow(QStringLiteral("Method"), method);
    form->addRow(QStringLiteral("Padding"), padding);
    if (!runFormDialog(dlg, form)) return std::nullopt;
    MaxSizeOptions r;
    r.width = w->value();
    r.height = h->value();
    r.autoWidth = autoW->isChecked();
    r.autoHeight = autoH->isChecked();
    r.method = method->currentIndex();
    r.padding = padding->value();
    return r;
}

std::optional<std::pair<int, int>> QtPrompts::scaleSize(int width, int height) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Scale"));
    auto* form = new QFormLayout;
    SizeFields fields(dlg, form, width, height, imageDialogFlags().preserveAspect);
    if (!runFormDialog(dlg, form, [&fields] { return fields.refusal(); }) || !fields.model.valid())
        return std::nullopt;
    imageDialogFlags().preserveAspect = fields.model.preserveAspect();
    return std::make_pair(fields.model.width(), fields.model.height());
}

std::optional<ResizeChoice> QtPrompts::resizeCanvas(const ResizeChoice& d) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Resize"));
    auto* form = new QFormLayout;
    SizeFields fields(dlg, form, d.width, d.height, imageDialogFlags().preserveAspect);
    auto* centre = new QCheckBox(QStringLiteral("center image"));
    centre->setChecked(d.centre);
    form->addRow(centre);
    if (!runFormDialog(dlg, form, [&fields] { return fields.refusal(); }) || !fields.model.valid())
        return std::nullopt;
    imageDialogFlags().preserveAspect = fields.model.preserveAspect();
    return ResizeChoice{fields.model.width(), fields.model.height(), centre->isChecked()};
}

bool QtPrompts::animMasterOptions(AnimMasterOptions& o) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("AnimMaster - Optimizer V1.0"));
    auto* key = new QLineEdit(QString::fromStdString(animMasterKeyText(o.colorKey)));
    key->setMaxLength(10);
    key->setAccessibleName(QStringLiteral("ColorKey"));
    auto* pick = new QPushButton(QStringLiteral("Color"));
    QObject::connect(pick, &QPushButton::clicked, &dlg, [this, &dlg, key] {
        const uint32_t k = animMasterParseKey(key->text().toStdString());
        // The key is a pixel word (0x00RRGGBB), the dialog speaks Windows colour values; Cancel
        // leaves the text as it is.
        if (const auto c = chooseColour(&dlg, settings(), rgbToColourRef(k & 0xFFFFFFu)))
            key->setText(QString::fromStdString(animMasterKeyText(colourRefToRgb(*c))));
    });
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(key);
    keyRow->addWidget(pick);
    auto* type = new QComboBox;
    type->addItems({QStringLiteral("Single buffer"), QStringLiteral("Double buffer"),
                    QStringLiteral("Uni Buffer"), QStringLiteral("-do nothing-")});
    type->setAccessibleName(QStringLiteral("Buffertype"));
    type->setCurrentIndex(std::clamp(o.bufferType, 0, 3));
    auto* unique = new QCheckBox(QStringLiteral("Set unique pixels to colorkey"));
    unique->setChecked(o.cutoutUnique);
    auto* alpha = new QCheckBox(QStringLiteral("Set zero alpha pixel to colorkey"));
    alpha->setChecked(o.cutoutAlpha);
    auto* keep = new QCheckBox(QStringLiteral("Do not affect the alpha channel"));
    keep->setChecked(o.keepAlpha);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ColorKey"), keyRow);
    form->addRow(QStringLiteral("Buffertype"), type);
    form->addRow(unique);
    form->addRow(alpha);
    form->addRow(keep);
    if (!runFormDialog(dlg, form)) return false;
    o.colorKey = animMasterParseKey(key->text().toStdString());
    o.bufferType = type->currentIndex();
    o.cutoutUnique = unique->isChecked();
    o.cutoutAlpha = alpha->isChecked();
    o.keepAlpha = keep->isChecked();
    return true;
}

std::optional<int> QtPrompts::maskBias(int bias) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Create Mask"));
    auto* value = new IntField(0, 255, bias, QStringLiteral("Bias 0-255"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Bias 0-255"), value);
    form->addRow(new QLabel(QStringLiteral("Clear alpha bits below bias")));
    if (!runFormDialog(dlg, form)) return std::nullopt;
    return value->value();
}

std::optional<std::string> QtPrompts::renameItem(const std::string& name) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Rename item"));
    auto* edit = new QLineEdit(qtEightBitText(name));
    edit->setMaxLength(128);
    edit->setAccessibleName(QStringLiteral("Name"));
    auto* form = new QFormLayout;
    form->addRow(edit);
    if (!runFormDialog(dlg, form)) return std::nullopt;
    return edit->text().toStdString();
}
