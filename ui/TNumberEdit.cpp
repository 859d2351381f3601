#include "ui/TNumberEdit.h"

#include <cmath>

TNumberEdit::TNumberEdit(QWidget* parent)
    : QSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
}

int TNumberEdit::Interpret(const QString& text, int minimum, int maximum)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return 1 < minimum ? minimum : (1 > maximum ? maximum : 1);
    }
    const double rounded = std::nearbyint(number);
    if (rounded < minimum) {
        return minimum;
    }
    if (rounded > maximum) {
        return maximum;
    }
    return static_cast<int>(rounded);
}

int TNumberEdit::ReadValue()
{
    const int settled = Interpret(text(), minimum(), maximum());
    setValue(settled);
    return settled;
}

QValidator::State TNumberEdit::validate(QString& input, int&) const
{
    bool ok = false;
    const int number = input.toInt(&ok);
    if (ok && number >= minimum() && number <= maximum() && input == QString::number(number)) {
        return QValidator::Acceptable;
    }
    return QValidator::Intermediate;
}

void TNumberEdit::fixup(QString& input) const
{
    input = QString::number(Interpret(input, minimum(), maximum()));
}

int TNumberEdit::valueFromText(const QString& text) const
{
    return Interpret(text, minimum(), maximum());
}

void TNumberEdit::focusOutEvent(QFocusEvent* event)
{
    ReadValue();
    QSpinBox::focusOutEvent(event);
}
