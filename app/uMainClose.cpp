// Closing the window on a request from outside the program: a termination signal ends it as its user would.
#include "app/uMain.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace {
const int RetryMs = 50;

// Dismisses a box, dialog, menu or page viewer open over the window, as Esc or its close button would.
void Dismiss(QWidget* widget)
{
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        dialog->reject();
    } else {
        widget->close();
    }
}
} // namespace

void TMainForm::CloseOnRequest()
{
    if (m_closed) {
        return;
    }
    // The code that opened a box or a menu goes on once it is dismissed, and the window must not close under it;
    // while the database is being opened or upgraded the connection is not to be touched. So the close waits for
    // the event loop that holds neither.
    QWidget* over = QApplication::activePopupWidget();
    if (over == nullptr) {
        over = QApplication::activeModalWidget();
    }
    if (over != nullptr || m_opening) {
        if (over != nullptr) {
            Dismiss(over);
        }
        QTimer::singleShot(RetryMs, this, &TMainForm::CloseOnRequest);
        return;
    }
    close();
}
