#pragma once

#include "ui/uBase.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// A small window showing the progress of a background task, with a cancel button. It appears only once the
// task has run for a moment, so short tasks flash no window. Closing it counts as a cancel.
class TProgressForm : public TBaseForm
{
    Q_OBJECT

public:
    TProgressForm(const QString& caption, const QString& text, int maximum, QWidget* parent = nullptr);

    QLabel* TextLabel = nullptr;
    QProgressBar* Bar = nullptr;
    QPushButton* btnCancel = nullptr;

    void SetText(const QString& text);
    void SetValue(int value);
    bool WasCanceled() const { return m_canceled; }
    // Shows the window after delayMs unless Finish has been called by then.
    void ShowAfter(int delayMs);
    // The task has ended: the window closes without counting as a cancel.
    void Finish();

signals:
    void Canceled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Cancel();

    QTimer* m_showTimer = nullptr;
    bool m_canceled = false;
    bool m_finished = false;
};
