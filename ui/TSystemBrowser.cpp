#include "ui/TSystemBrowser.h"

#include <QDesktopServices>

namespace {
TSystemBrowser::Hook& TestHook()
{
    static TSystemBrowser::Hook hook;
    return hook;
}
} // namespace

bool TSystemBrowser::Open(const QUrl& url)
{
    if (TestHook()) {
        return TestHook()(url);
    }
    return QDesktopServices::openUrl(url);
}

void TSystemBrowser::SetTestHook(Hook hook)
{
    TestHook() = std::move(hook);
}

QUrl TSystemBrowser::LinkOf(const QString& value)
{
    const QString text = value.trimmed();
    if (text.startsWith(QLatin1String("//"))) {
        return QUrl(QStringLiteral("http:") + text);
    }
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty()) {
        return url;
    }
    return QUrl();
}
