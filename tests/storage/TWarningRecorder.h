#pragma once

#include "ui/TMessageBox.h"
#include "ui/uPubFunc.h"

#include <QStringList>

// Records the texts of the message boxes shown while it lives, instead of showing them.
class TWarningRecorder
{
public:
    TWarningRecorder()
    {
        InitPubFunc();
        TMessageBox::SetTestHook([this](TMessageBox::Icon icon, const QString& caption, const QString& text) {
            if (icon == TMessageBox::Warning && caption == QStringLiteral("警告")) {
                Texts.append(text);
            } else {
                Texts.append(QStringLiteral("unexpected box: ") + caption + QLatin1Char(' ') + text);
            }
        });
    }
    ~TWarningRecorder() { TMessageBox::SetTestHook({}); }
    TWarningRecorder(const TWarningRecorder&) = delete;
    TWarningRecorder& operator=(const TWarningRecorder&) = delete;

    QStringList Texts;
};
