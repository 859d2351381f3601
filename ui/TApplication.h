#pragma once

#include <QApplication>

// The application object: its title (the task bar text) and the top-level error handler.
// An error that escapes an event handler is shown in a box and the program goes on.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    // Settings that must be made before the application object exists (the browser engine's among them).
    static void PrepareProcess();

    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error that ended the running handler.
    static void HandleError(const QString& message);

private:
    void LoadQtTranslations();

    QString m_title;
};

TApplication* App();
