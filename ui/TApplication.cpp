#include "ui/TApplication.h"

#include "ui/TMessageBox.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <exception>
#include <unistd.h>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    LoadQtTranslations();
}

// Qt's own dialogs and buttons (the file dialog, OK and Cancel) speak the program's language.
void TApplication::LoadQtTranslations()
{
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    } else {
        delete translator;
    }
}

void TApplication::PrepareProcess()
{
    // The browser engine shares its graphics contexts with the widgets, and refuses to start as root
    // unless its sandbox is off.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
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
