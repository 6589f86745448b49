// The whole-number field of every dialog. Qt's own spin box clamps what is typed to its range
// and drops the digit that would leave it (70000 in a 1 to 65535 field becomes 7000); this one
// keeps every digit as typed and leaves the range to OK, which refuses a number outside it with
// "Please enter an integer between %1 and %2." and keeps the dialog open.
#pragma once

#include <QSpinBox>

#include "model/ports.h"

class IntField : public QSpinBox {
    Q_OBJECT
public:
    // `name` is the accessible name and tool tip (the field's label).
    IntField(int min, int max, int value, const QString& name, QWidget* parent = nullptr);

    int minimumAllowed() const { return min_; }
    int maximumAllowed() const { return max_; }
    // The number as typed when it lies in the range.
    std::optional<int> allowedValue() const;
    // Replaces the typed text, as typing over the selection would.
    void setText(const QString& text);
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // The arrows and the Up and Down keys stay inside the range.
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;

private:
    QSize hintFor(QSize base) const;
    int min_, max_;
};

// Checks the enabled, shown fields of `dialog` in the order they were made: the first one out
// of its range gets the range message, the focus and its text selected. True when all fit.
bool checkIntFields(QWidget& dialog, Prompts& prompts);
