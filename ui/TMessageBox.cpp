#include "ui/TMessageBox.h"

#include "ui/uPubFunc.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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

void ShowNoticeBox(int kind, const QString& caption, const QString& text)
{
    TMessageBox::Show(kind == TPubFunc::NoticeInformation ? TMessageBox::Information : TMessageBox::Warning, caption,
                      text);
}

// Wherever the window library is linked in, the notices of every layer are shown as this program's boxes.
[[maybe_unused]] const bool NoticeBoxesRegistered = (TPubFunc::SetBoxShower(&ShowNoticeBox), true);
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

bool TMessageBox::Ask(Icon icon, const QString& caption, const QString& text, const QString& yes, const QString& no,
                      bool yesIsDefault)
{
    if (AskTestHook()) {
        return AskTestHook()(caption, text);
    }
    if (TestHook()) {
        TestHook()(icon, caption, text);
        return false;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* first = box.addButton(yes, QMessageBox::YesRole);
    QPushButton* second = box.addButton(no, QMessageBox::NoRole);
    box.setDefaultButton(yesIsDefault ? first : second);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == first;
}

void TMessageBox::SetAskHook(AskHook hook)
{
    AskTestHook() = std::move(hook);
}

void TMessageBox::SetTestHook(Hook hook)
{
    TestHook() = std::move(hook);
}

bool TMessageBox::Ask(const QString& caption, const QString& text)
{
    return Ask(Plain, caption, text, QStringLiteral("是"), QStringLiteral("否"), false);
}
