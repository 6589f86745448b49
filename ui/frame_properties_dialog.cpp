// "Frame Properties": the duration of the current frame or of every frame.
#include <QButtonGroup>
#include <QDialog>
#include <QFormLayout>
#include <QRadioButton>

#include "ui/int_field.h"
#include "ui/qt_ports.h"

std::optional<FrameTiming> QtPrompts::frameProperties(const FrameTiming& d) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Frame Properties"));
    dlg.setObjectName(QStringLiteral("FrameProperties"));
    auto* duration = new IntField(FrameTiming::kMinMs, FrameTiming::kMaxMs, d.durationMs,
                                  QStringLiteral("Duration (ms)"));
    duration->setObjectName(QStringLiteral("duration"));
    auto* current = new QRadioButton(QStringLiteral("Current frame"));
    auto* all = new QRadioButton(QStringLiteral("All frames"));
    current->setObjectName(QStringLiteral("currentFrame"));
    all->setObjectName(QStringLiteral("allFrames"));
    auto* reach = new QButtonGroup(&dlg);
    reach->addButton(current);
    reach->addButton(all);
    (d.allFrames ? all : current)->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Duration (ms)"), duration);
    form->addRow(QStringLiteral("Apply to"), current);
    form->addRow(QString(), all);
    if (!runFormDialog(dlg, form)) return std::nullopt;
    return FrameTiming{duration->value(), all->isChecked()};
}
