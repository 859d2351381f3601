#include "ui/TMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {
TMessageBox::Hook& TestHook()
{
    static TMessageBox::Hook hook;
    return hook;
}

TMessageBox::AskHook& AskTestHook()
{
    static TMessageBox::AskHook hook;
    return hook;
}

QMessageBox::Icon ToQtIcon(TMessageBox::Icon icon)
{
    switch (icon) {
    case TMessageBox::Information:
        return QMessageBox::Information;
    case TMessageBox::Warning:
        return QMessageBox::Warning;
    case TMessageBox::Critical:
        return QMessageBox::Critical;
    case TMessageBox::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void TMessageBox::Show(Icon icon, const QString& caption, const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() != app->thread()) {
        // Boxes belong to the GUI thread; the caller waits there until the box has been closed.
        QMetaObject::invokeMethod(
            app, [=]() { Show(icon, caption, text); }, Qt::BlockingQueuedConnection);
        return;
    }
    if (TestHook()) {
        TestHook()(icon, caption, text);
        return;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void TMessageBox::SetTestHook(Hook hook)
{
    TestHook() = std::move(hook);
}

bool TMessageBox::Ask(const QString& caption, const QString& text)
{
    if (AskTestHook()) {
        return AskTestHook()(caption, text);
    }
    if (TestHook()) {
        TestHook()(Plain, caption, text);
        return false;
    }
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

void TMessageBox::SetAskHook(AskHook hook)
{
    AskTestHook() = std::move(hook);
}
