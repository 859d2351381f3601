#pragma once

#include <QWidget>

// The common look of every window, and the handler of the notice message.
class TCommForm : public QWidget
{
    Q_OBJECT

public:
    explicit TCommForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // "宋体" at a character height of 15 pixels; fontconfig substitutes an installed CJK font.
    static QFont WindowFont();

protected:
    bool event(QEvent* event) override;
};
