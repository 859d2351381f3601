#include "ui/TApplication.h"

#include "ui/TMessageBox.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

TApplication* App()
{
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        HandleError(QString::fromUtf8(error.what()));
    } catch (...) {
        HandleError(QStringLiteral("Unknown error"));
    }
    return false;
}

void TApplication::HandleError(const QString& message)
{
    const QString caption = App() != nullptr ? App()->Title() : QString();
    TMessageBox::Show(TMessageBox::Critical, caption, message);
}
