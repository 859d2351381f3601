#include "ui/TSystemBrowser.h"

#include "ui/TMessageBox.h"

#include <QDesktopServices>
#include <QDir>

namespace {
TSystemBrowser::Hook& TestHook()
{
    static TSystemBrowser::Hook hook;
    return hook;
}
} // namespace

bool TSystemBrowser::Open(const QUrl& url)
{
    const bool opened = TestHook() ? TestHook()(url) : QDesktopServices::openUrl(url);
    if (opened) {
        return true;
    }
    if (url.isLocalFile()) {
        TMessageBox::Show(TMessageBox::Warning, QStringLiteral("打开文件夹"),
                          QStringLiteral("没有可以打开文件夹 %1 的程序。请安装文件管理器，或自己打开这个文件夹。")
                              .arg(QDir::toNativeSeparators(url.toLocalFile())));
    } else {
        TMessageBox::Show(
            TMessageBox::Warning, QStringLiteral("在浏览器中打开"),
            QStringLiteral("没有可以打开网页 %1 的程序。请安装网页浏览器，或用“复制链接”把地址复制到浏览器中。")
                .arg(url.toString()));
    }
    return false;
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
