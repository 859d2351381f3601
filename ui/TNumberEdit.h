#pragma once

#include <QSpinBox>

// A whole-number field that accepts any typed text and settles it when editing ends:
// a number is rounded and brought into range, anything else becomes 1.
class TNumberEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    // The value a text stands for within [minimum, maximum].
    static int Interpret(const QString& text, int minimum, int maximum);

    // Settles the typed text now and returns the value.
    int ReadValue();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int valueFromText(const QString& text) const override;
    void focusOutEvent(QFocusEvent* event) override;
};
