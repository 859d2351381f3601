#pragma once

#include "ui/uBase.h"

class QEventLoop;
class QWebEngineView;

// A modal tool window that shows one web page.
class TWebForm : public TBaseForm
{
    Q_OBJECT

public:
    explicit TWebForm(QWidget* parent = nullptr);

    QWebEngineView* WebBrowser1 = nullptr;

    // Navigates to the address, then shows the window modally; returns when the user has closed it.
    // An address that does not parse as a URL fails with the reason before the window is shown.
    bool ShowPage(const QString& address, QString* error);

    // Tests watch every viewer that opens (e.g. to check it and close it); the hook runs once the window shows.
    using OpenHook = void (*)(TWebForm* form);
    static void SetOpenHook(OpenHook hook);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QEventLoop* m_loop = nullptr;
};
