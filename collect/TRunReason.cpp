#include "collect/TRunReason.h"

#include "collect/TRunParams.h"

#include <QUrl>

namespace {
// A cause stays short enough for the status pane; a longer redirect target is shown by its host.
constexpr qsizetype MaxShownAddress = 60;

bool IsRedirect(int status)
{
    return status >= 300 && status < 400;
}

QString Seconds(int ms)
{
    return QString::number(qMax(1, (ms + 500) / 1000));
}

// ": title" after a cause, when the page has one.
QString WithTitle(const QString& cause, const QString& title)
{
    return title.isEmpty() ? cause : cause + QStringLiteral("：") + title;
}
} // namespace

QString TRunReason::Of(const THttpResult& download, const TPageResult& page, const TRunParams& params)
{
    if (page.Ok() || page.Failure == TPageFailure::StoreFailed || download.failure == THttpFailure::Aborted) {
        return {};
    }
    if (download.failure != THttpFailure::None) {
        return OfDownload(download, params);
    }
    const QString status = OfStatus(download, page);
    return status.isEmpty() ? OfPage(page) : status;
}

QString TRunReason::ShownAddress(const QByteArray& location)
{
    const QString address = QString::fromLatin1(location);
    if (address.size() <= MaxShownAddress) {
        return address;
    }
    const QUrl url(address);
    if (url.isValid() && !url.host().isEmpty()) {
        return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                   .toString()
            + QStringLiteral("/…");
    }
    return address.left(MaxShownAddress) + QStringLiteral("…");
}

QString TRunReason::FullAddress(const THttpResult& download)
{
    if (!IsRedirect(download.status) || download.location.isEmpty()) {
        return {};
    }
    const QString address = QString::fromLatin1(download.location);
    return ShownAddress(download.location) == address ? QString() : address;
}

QString TRunReason::OfDownload(const THttpResult& download, const TRunParams& params)
{
    switch (download.failure) {
    case THttpFailure::ConnectTimeout:
        return QStringLiteral("连接超时：%1 在 %2 秒内没有应答").arg(params.Host, Seconds(params.ConnectTimeoutMs));
    case THttpFailure::Silence:
        return QStringLiteral("服务器无响应：%1 秒内没有收到数据").arg(Seconds(params.TimeoutMs));
    case THttpFailure::Deadline:
        return QStringLiteral("服务器无响应：%1 秒内没有传完页面").arg(Seconds(params.PageDeadlineMs));
    case THttpFailure::CutOff:
        return QStringLiteral("页面数据不完整：连接在页面传完之前中断");
    case THttpFailure::TooLarge:
        return QStringLiteral("页面过大");
    case THttpFailure::Encoding:
        return QStringLiteral("页面不是有效的 UTF-8 文本");
    case THttpFailure::Resolve:
        return QStringLiteral("无法连接 %1：找不到服务器").arg(params.Host);
    default:
        return QStringLiteral("无法连接 %1").arg(params.Host);
    }
}

// A status other than success explains a page without data better than the page itself.
QString TRunReason::OfStatus(const THttpResult& download, const TPageResult& page)
{
    const int status = download.status;
    if (IsRedirect(status)) {
        const QString cause = QStringLiteral("服务器要求 HTTPS 或登录：HTTP %1").arg(status);
        return download.location.isEmpty() ? cause
                                           : cause + QStringLiteral("，转到 ") + ShownAddress(download.location);
    }
    if (status != 0 && (status < 200 || status >= 300)) {
        const QString cause = QStringLiteral("服务器返回 HTTP %1").arg(status);
        const bool titled = page.Failure == TPageFailure::NoBlock || page.Failure == TPageFailure::LoginPage;
        return page.Detail.isEmpty() || !titled ? cause
                                                : cause + QStringLiteral("（") + page.Detail + QStringLiteral("）");
    }
    return {};
}

QString TRunReason::OfPage(const TPageResult& page)
{
    switch (page.Failure) {
    case TPageFailure::NoBlock:
        return WithTitle(QStringLiteral("页面中没有商品数据"), page.Detail);
    case TPageFailure::LoginPage:
        return WithTitle(QStringLiteral("网站要求先登录才能搜索（返回的是登录页）"), page.Detail);
    case TPageFailure::CutOff:
    case TPageFailure::NotParsed:
        return QStringLiteral("页面数据不完整");
    default:
        return QStringLiteral("页面中没有商品数据");
    }
}
