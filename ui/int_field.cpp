#include "ui/int_field.h"

#include <QLineEdit>
#include <algorithm>
#include <climits>

#include "model/int_field.h"

IntField::IntField(int min, int max, int value, const QString& name, QWidget* parent)
    : QSpinBox(parent), min_(min), max_(max) {
    // Qt's range is as wide as an int, so that no typed digit is refused or clamped.
    setRange(INT_MIN, INT_MAX);
    setValue(value);
    setAccessibleName(name);
    setToolTip(name);
}

std::optional<int> IntField::allowedValue() const {
    // The box shows numbers in the locale's digits; the rule reads plain ones.
    const QString typed = text().trimmed();
    bool ok = false;
    const qlonglong n = locale().toLongLong(typed, &ok);
    const auto v = intFieldValue(ok ? std::to_string(n) : typed.toStdString(), min_, max_);
    if (!v) return std::nullopt;
    return int(*v);
}

void IntField::setText(const QString& text) { lineEdit()->setText(text); }

QString IntField::text() const { return lineEdit()->text(); }

void IntField::stepBy(int steps) {
    const long long v =
        (allowedValue() ? *allowedValue() : value()) + (long long)steps * singleStep();
    setValue(int(std::clamp<long long>(v, min_, max_)));
    selectAll();
}

QAbstractSpinBox::StepEnabled IntField::stepEnabled() const {
    StepEnabled e = StepNone;
    if (value() < max_) e |= StepUpEnabled;
    if (value() > min_) e |= StepDownEnabled;
    return e;
}

QSize IntField::hintFor(QSize base) const {
    // Qt sizes the box for its widest number, which the wide range makes eleven characters;
    // the allowed range's widest number is what is really typed.
    const QFontMetrics fm(font());
    const int wide = fm.horizontalAdvance(QStringLiteral("-2147483648"));
    const int allowed = std::max(fm.horizontalAdvance(QString::number(min_)),
                                 fm.horizontalAdvance(QString::number(max_)));
    base.setWidth(base.width() - wide + allowed);
    return base;
}

QSize IntField::sizeHint() const { return hintFor(QSpinBox::sizeHint()); }

QSize IntField::minimumSizeHint() const { return hintFor(QSpinBox::minimumSizeHint()); }

bool checkIntFields(QWidget& dialog, Prompts& prompts) {
    for (IntField* f : dialog.findChildren<IntField*>()) {
        if (!f->isEnabledTo(&dialog) || !f->isVisibleTo(&dialog)) continue;
        if (f->allowedValue()) continue;
        prompts.message(intRangeMessage(f->minimumAllowed(), f->maximumAllowed()), MsgIcon::Warning,
                        MsgButtons::Ok);
        f->setFocus();
        f->selectAll();
        return false;
    }
    return true;
}
