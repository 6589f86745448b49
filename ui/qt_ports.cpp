#include "ui/qt_ports.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStringDecoder>
#include <QVBoxLayout>

#include "edit/size_model.h"
#include "model/export_settings.h"
#include "model/settings.h"
#include "ui/int_field.h"
#include "ui/qt_clipboard.h"
#include "view/clipboard.h"

MsgResult QtPrompts::message(const std::string& text, MsgIcon icon, MsgButtons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(QStringLiteral("Tarquil 1.25"));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    default: break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int r = box.exec();
    QGuiApplication::restoreOverrideCursor();
    switch (r) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

bool runFormDialog(QDialog& dlg, QFormLayout* form, std::function<std::string()> check) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    dlg.setAccessibleName(dlg.windowTitle());
    // A refused number keeps the dialog open with the field to mend in focus.
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, [&dlg, check] {
        QtPrompts prompts(&dlg);
        if (!checkIntFields(dlg, prompts)) return;
        if (check) {
            if (const std::string refusal = check(); !refusal.empty()) {
                prompts.message(refusal, MsgIcon::Warning, MsgButtons::Ok);
                return;
            }
        }
        dlg.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addLayout(form);
    layout->addWidget(buttons);
    return dlg.exec() == QDialog::Accepted;
}

std::optional<SequenceLoadOptions> QtPrompts::sequenceLoadOptions(const SequenceLoadOptions& d) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Sequence load options"));
    auto* single = new QRadioButton(QStringLiteral("single frame"));
    auto* all = new QRadioButton(QStringLiteral("all frames"));
    auto* range = new QRadioButton(QStringLiteral("range"));
    auto* frames = new IntField(1, 100, d.frames, QStringLiteral("Load N Frames"));
    auto* every = new IntField(1, 100, d.every, QStringLiteral("Every Nth Frame"));
    QRadioButton* modes[3] = {single, all, range};
    modes[d.mode >= 0 && d.mode <= 2 ? d.mode : 1]->setChecked(true);
    auto refresh = [=] {
        frames->setEnabled(range->isChecked());
        every->setEnabled(!single->isChecked());
    };
    for (auto* m : modes) QObject::connect(m, &QRadioButton::toggled, &dlg, refresh);
    refresh();
    auto* form = new QFormLayout;
    form->addRow(single);
    form->addRow(all);
    form->addRow(range);
    form->addRow(QStringLiteral("Load N Frames:"), frames);
    form->addRow(QStringLiteral("Every Nth Frame:"), every);
    if (!runFormDialog(dlg, form)) return std::nullopt;
    SequenceLoadOptions o;
    o.mode = single->isChecked()  ? SEQ_LOAD_SINGLE
             : range->isChecked() ? SEQ_LOAD_RANGE
                                  : SEQ_LOAD_ALL;
    o.frames = frames->value();
    o.every = every->value();
    return o;
}

std::optional<SequenceSaveOptions> QtPrompts::sequenceSaveOptions(const SequenceSaveOptions& d) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Sequence save options"));
    auto* increment =
        new IntField(-1000000, 1000000, d.increment, QStringLiteral("Filesequence Increment"));
    auto* first = new IntField(0, 65536, d.firstNumber, QStringLiteral("Filesequence Start"));
    auto* start = new IntField(0, 65565, d.startFrame, QStringLiteral("Start Frame"));
    auto* count = new IntField(1, 655536, d.framesToSave, QStringLiteral("Save N Frames"));
    auto* all = new QRadioButton(QStringLiteral("all frames"));
    auto* range = new QRadioButton(QStringLiteral("range"));
    auto* single = new QCheckBox(QStringLiteral("Save frames to single file"));
    (d.mode == 1 ? range : all)->setChecked(true);
    single->setChecked(d.singleFile);
    const bool spr = d.singleFile;
    auto refresh = [=] {
        count->setEnabled(range->isChecked());
        start->setEnabled(range->isChecked());
        increment->setEnabled(!spr && !single->isChecked());
        first->setEnabled(!spr);
        single->setEnabled(!spr);
    };
    QObject::connect(all, &QRadioButton::toggled, &dlg, refresh);
    QObject::connect(single, &QCheckBox::toggled, &dlg, refresh);
    refresh();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Filesequence Increment"), increment);
    form->addRow(QStringLiteral("Filesequence Start"), first);
    form->addRow(QStringLiteral("Start Frame"), start);
    form->addRow(QStringLiteral("Save N Frames:"), count);
    form->addRow(all);
    form->addRow(range);
    form->addRow(single);
    if (!runFormDialog(dlg, form)) return std::nullopt;
    SequenceSaveOptions o;
    o.increment = increment->value();
    o.firstNumber = first->value();
    o.startFrame = start->value();
    o.framesToSave = count->value();
    o.mode = range->isChecked() ? 1 : 0;
    o.singleFile = single->isChecked();
    return o;
}

std::optional<std::pair<int, int>> QtPrompts::newSize(int width, int height) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("New size"));
    auto* w = new IntField(SIZE_FIELD_MIN, SIZE_FIELD_MAX, width, QStringLiteral("Width"));
    auto* h = new IntField(SIZE_FIELD_MIN, SIZE_FIELD_MAX, height, QStringLiteral("Height"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Width"), w);
    form->addRow(QStringLiteral("Height"), h);
    // Both fields from the size of a picture on the clipboard; nothing changes without one.
    auto* fromClipboard = new QPushButton(QStringLiteral("Clipboardsize"));
    fromClipboard->setObjectName(QStringLiteral("clipboardSize"));
    fromClipboard->setAccessibleName(fromClipboard->text());
    fromClipboard->setAutoDefault(false);
    QObject::connect(fromClipboard, &QPushButton::clicked, &dlg, [w, h] {
        QtClipboardPort port;
        if (const auto size = clipboardPictureSize(port)) {
            w->setValue(size->first);
            h->setValue(size->second);
        }
    });
    form->addRow(fromClipboard);
    // A size within the fields' range may still be over the largest picture there can be.
    if (!runFormDialog(dlg, form, [w, h] { return pictureSizeRefusal(w->value(), h->value()); }))
        return std::nullopt;
    return std::make_pair(w->value(), h->value());
}

QString qtEightBitText(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString out = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError()) return out;
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QStringList qtFilterList(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        // Qt hands the chosen filter back with its blanks collapsed: keep them collapsed here
        // so that the choice is found among the filters ("PCX 8Bit  (*.pcx)").
        QString name = parts[i].simplified();
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses of the entry's name.
        if (!name.contains(QLatin1Char('(')))
            name += QStringLiteral(" (") + pattern + QLatin1Char(')');
        out << name;
    }
    return out;
}

int qtFilterIndex(const QStringList& filters, const QString& chosen) {
    const QString wanted = chosen.simplified();
    for (int i = 0; i < filters.size(); ++i)
        if (filters[i].simplified() == wanted) return i + 1;
    return 0;
}

std::optional<FileChoice> QtPrompts::saveFile(const std::string& title, const std::string& filter,
                                              const std::string& initialPath, int filterIndex) {
    const QStringList filters = qtFilterList(filter);
    QFileDialog dlg(parent_, QString::fromStdString(title), QString::fromStdString(initialPath));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dlg.selectNameFilter(filters[filterIndex - 1]);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    FileChoice c;
    c.path = dlg.selectedFiles().first().toStdString();
    c.filterIndex = qtFilterIndex(filters, dlg.selectedNameFilter());
    if (c.filterIndex < 1) c.filterIndex = 1;
    return c;
}

bool QtPrompts::exportTextureOptions(ExportTextureSettings& s) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Export 3df Texture"));
    auto* format = new QComboBox;
    for (const auto& c : kExportFormatChoices) format->addItem(QString::fromLatin1(c.text));
    format->setCurrentIndex(s.format >= 0 && s.format < kExportFormatCount ? s.format : 0);
    auto* mipmap = new QComboBox;
    for (const char* t : kExportMipmapChoices) mipmap->addItem(QString::fromLatin1(t));
    mipmap->setCurrentIndex(s.mipmap >= 0 && s.mipmap < 12 ? s.mipmap : 0);
    auto* resample = new QComboBox;
    for (const char* t : kExportResampleChoices) resample->addItem(QString::fromLatin1(t));
    resample->setCurrentIndex(s.resample >= 0 && s.resample < 10 ? s.resample : 0);
    auto* size = new IntField(1, 32768, s.mipmapSize, QStringLiteral("Size"));
    auto* width = new IntField(1, 32768, s.width, QStringLiteral("Width"));
    auto* height = new IntField(1, 32768, s.height, QStringLiteral("Height"));
    // Three choices a row, so that the dialog fits a screen of 800 pixels with its title bar.
    auto radios = [](QStringList texts, int checked, QButtonGroup* group) {
        auto* box = new QWidget;
        auto* l = new QGridLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        for (int i = 0; i < texts.size(); ++i) {
            auto* r = new QRadioButton(texts[i]);
            group->addButton(r, i);
            l->addWidget(r, i / 3, i % 3);
            if (i == checked) r->setChecked(true);
        }
        return box;
    };
    auto* headerGroup = new QButtonGroup(&dlg);
    auto* ditherGroup = new QButtonGroup(&dlg);
    auto* nccGroup = new QButtonGroup(&dlg);
    QStringList headers;
    for (const char* t : kExportHeaderChoices) headers << QString::fromLatin1(t);
    QWidget* header = radios(headers, s.header, headerGroup);
    QWidget* dither = radios({QStringLiteral("disabled"), QStringLiteral("error diffusion"),
                              QStringLiteral("ordered 4x4")},
                             s.dither, ditherGroup);
    QWidget* ncc =
        radios({QStringLiteral("statistic ncc table"), QStringLiteral("heuristic ncc table")},
               s.ncc, nccGroup);
    auto* swap = new QCheckBox(QStringLiteral("swap 16-bit byte order"));
    swap->setChecked(s.swap != 0);
    auto* comment = new QCheckBox(QStringLiteral("Insert Copyright notice"));
    comment->setChecked(s.comment != 0);
    auto* commentText = new QPlainTextEdit(QString::fromStdString(s.commentText));
    auto* save = new QCheckBox(QStringLiteral("Save settings"));
    save->setChecked(s.save != 0);
    // Colour-correct mipmaps, for every header; sRGB only where the container can say so.
    auto* filter = new QComboBox;
    for (const char* t : kExportMipFilterChoices) filter->addItem(QString::fromLatin1(t));
    filter->setCurrentIndex(s.mipFilter >= 0 && s.mipFilter < 3 ? s.mipFilter : 0);
    auto* srgb = new QCheckBox(QStringLiteral("sRGB image (linear-light mipmaps)"));
    srgb->setChecked(s.srgb != 0);
    auto* premultiply = new QCheckBox(QStringLiteral("Premultiply alpha"));
    premultiply->setChecked(s.premultiply != 0);
    auto* bleed = new QCheckBox(QStringLiteral("Alpha bleed (colour transparent texels)"));
    bleed->setChecked(s.alphaBleed != 0);
    auto refresh = [=] {
        const int f = format->currentIndex(), h = headerGroup->checkedId();
        comment->setEnabled(h == 0 && f == 12);
        commentText->setEnabled(comment->isChecked() && h == 0 && f == 12);
        swap->setEnabled(f >= 6 && f <= 11 && h == 2);
        size->setEnabled(mipmap->currentIndex() == 11);
        width->setEnabled(resample->currentIndex() == 2);
        height->setEnabled(resample->currentIndex() == 2);
        dither->setEnabled(resample->currentIndex() != 0);
        ncc->setEnabled(f == 4 || f == 9);
        filter->setEnabled(mipmap->currentIndex() != 0);
        srgb->setEnabled(h == 3 || h == 4);
    };
    // Leaving Width or Height rounds both down to even values; below 2 becomes 1.
    auto even = [=] {
        for (QSpinBox* b : {width, height}) b->setValue(b->value() < 2 ? 1 : b->value() & ~1);
    };
    // The boxes are named by their labels, not by the choice they show.
    format->setAccessibleName(QStringLiteral("Format"));
    mipmap->setAccessibleName(QStringLiteral("Mipmaps"));
    resample->setAccessibleName(QStringLiteral("Resample"));
    filter->setAccessibleName(QStringLiteral("Mipmap filter"));
    commentText->setAccessibleName(QStringLiteral("Comment"));
    QObject::connect(format, &QComboBox::currentIndexChanged, &dlg, refresh);
    QObject::connect(mipmap, &QComboBox::currentIndexChanged, &dlg, refresh);
    QObject::connect(resample, &QComboBox::currentIndexChanged, &dlg, refresh);
    // Toggled rather than clicked: a choice made through the accessibility interface (or in code)
    // refreshes the controls as a click does.
    QObject::connect(headerGroup, &QButtonGroup::idToggled, &dlg, refresh);
    QObject::connect(comment, &QCheckBox::toggled, &dlg, refresh);
    QObject::connect(width, &QSpinBox::editingFinished, &dlg, even);
    QObject::connect(height, &QSpinBox::editingFinished, &dlg, even);
    refresh();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Format"), format);
    form->addRow(QStringLiteral("Mipmaps"), mipmap);
    form->addRow(QStringLiteral("Size"), size);
    form->addRow(QStringLiteral("Resample"), resample);
    form->addRow(QStringLiteral("Width"), width);
    form->addRow(QStringLiteral("Height"), height);
    form->addRow(QStringLiteral("Header"), header);
    form->addRow(QStringLiteral("Dithering"), dither);
    form->addRow(QStringLiteral("Narrow channel compression"), ncc);
    form->addRow(QStringLiteral("Mipmap filter"), filter);
    form->addRow(srgb);
    form->addRow(premultiply);
    form->addRow(bleed);
    form->addRow(swap);
    form->addRow(comment);
    form->addRow(commentText);
    form->addRow(save);
    const auto check = [=]() -> std::string {
        if (resample->currentIndex() != 2) return "";
        return pictureSizeRefusal(width->value(), height->value());
    };
    if (!runFormDialog(dlg, form, check)) return false;
    s.format = format->currentIndex();
    s.mipmap = mipmap->currentIndex();
    s.resample = resample->currentIndex();
    s.mipmapSize = size->value();
    s.width = width->value();
    s.height = height->value();
    s.header = headerGroup->checkedId() < 0 ? 0 : headerGroup->checkedId();
    s.dither = ditherGroup->checkedId() < 0 ? 0 : ditherGroup->checkedId();
    s.ncc = nccGroup->checkedId() < 0 ? 0 : nccGroup->checkedId();
    s.swap = swap->isChecked();
    s.comment = comment->isChecked();
    s.commentText =
        commentText->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdString();
    s.save = save->isChecked();
    s.mipFilter = filter->currentIndex();
    s.srgb = srgb->isChecked();
    s.premultiply = premultiply->isChecked();
    s.alphaBleed = bleed->isChecked();
    return true;
}

SettingsStore& QtPrompts::settings() {
    if (settingsSource_) return settingsSource_();
    static QtSettingsStore store;
    return store;
}

void QtPrompts::busy(bool on) {
    if (on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void QtPrompts::status(const std::string& text) {
    if (!status_) return;
    // The main window's first pane, when there is one, else the bar's own message area.
    if (auto* pane = status_->findChild<QLabel*>(QStringLiteral("statusPane0")))
        pane->setText(QString::fromStdString(text));
    else
        status_->showMessage(QString::fromStdString(text));
}

// QSettings' own user-scope INI file would end in ".ini"; naming the path keeps the editor and
// tarquil-cli on one file.
QtSettingsStore::QtSettingsStore()
    : settings_(QString::fromStdString(IniSettingsStore::defaultPath()), QSettings::IniFormat) {}

QtSettingsStore::QtSettingsStore(const QString& iniPath)
    : settings_(iniPath, QSettings::IniFormat) {}

QString QtSettingsStore::key(const std::string& section, const std::string& name) {
    QString s = QString::fromStdString(section);
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return s + QLatin1Char('/') + QString::fromStdString(name);
}

int QtSettingsStore::getInt(const std::string& section, const std::string& name, int def) const {
    bool ok = false;
    const int v = settings_.value(key(section, name)).toString().toInt(&ok, 0);
    return ok ? v : def;
}

std::string QtSettingsStore::getString(const std::string& section, const std::string& name,
                                       const std::string& def) const {
    const QVariant v = settings_.value(key(section, name));
    return v.isValid() ? v.toString().toStdString() : def;
}

void QtSettingsStore::setInt(const std::string& section, const std::string& name, int value) {
    settings_.setValue(key(section, name), value);
}

void QtSettingsStore::setString(const std::string& section, const std::string& name,
                                const std::string& value) {
    settings_.setValue(key(section, name), QString::fromStdString(value));
}

bool QtSettingsStore::contains(const std::string& section, const std::string& name) const {
    return settings_.contains(key(section, name));
}

void QtSettingsStore::remove(const std::string& section, const std::string& name) {
    settings_.remove(key(section, name));
}

void QtSettingsStore::removeSection(const std::string& section) {
    QString s = QString::fromStdString(section);
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    settings_.remove(s);
}

void QtProgress::begin(int total) {
    if (!bar_ || total <= 0) return;
    if (!progress_) {
        if (pane_) {
            progress_ = new QProgressBar(pane_);
            progress_->setGeometry(pane_->rect());
        } else {
            progress_ = new QProgressBar(bar_);
            bar_->addWidget(progress_, 1);
        }
        progress_->setAccessibleName(QStringLiteral("Progress"));
    }
    progress_->setRange(0, std::min(total, 65535));
    progress_->setValue(0);
    progress_->show();
}

void QtProgress::step() {
    if (progress_) {
        progress_->setValue(progress_->value() + 1);
        // The last step removes the bar.
        if (progress_->value() >= progress_->maximum()) {
            delete progress_;
            progress_ = nullptr;
        }
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtProgress::end() {
    if (progress_) progress_->hide();
}
