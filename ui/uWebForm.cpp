#include "ui/uWebForm.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

namespace {
TWebForm::OpenHook Hook = nullptr;
}

TWebForm::TWebForm(QWidget* parent)
    : TBaseForm(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName("WebForm");
    setWindowTitle("WebForm");
    // The browser engine starts with the first view, so it costs nothing until a page is opened.
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName("WebBrowser1");
    WebBrowser1->setGeometry(rect());
}

void TWebForm::SetOpenHook(OpenHook hook)
{
    Hook = hook;
}

bool TWebForm::ShowPage(const QString& address, QString* error)
{
    setWindowTitle(QStringLiteral("打开"));
    const QUrl url(address);
    if (!url.isValid()) {
        *error = QStringLiteral("无法打开“%1”：%2").arg(address, url.errorString());
        return false;
    }
    WebBrowser1->load(url);
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_loop = &loop;
    show();
    if (Hook != nullptr) {
        QTimer::singleShot(0, this, [this]() { Hook(this); });
    }
    loop.exec();
    m_loop = nullptr;
    return true;
}

void TWebForm::resizeEvent(QResizeEvent* event)
{
    TBaseForm::resizeEvent(event);
    WebBrowser1->setGeometry(rect());
}

void TWebForm::closeEvent(QCloseEvent* event)
{
    if (m_loop != nullptr) {
        m_loop->quit();
    }
    event->accept();
}
