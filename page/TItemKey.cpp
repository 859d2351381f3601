#include "page/TItemKey.h"

#include <QList>
#include <QStringView>

QString TItemKey::IdParameter(const QString& link)
{
    const qsizetype query = link.indexOf(QLatin1Char('?'));
    if (query < 0) {
        return QString();
    }
    qsizetype end = link.indexOf(QLatin1Char('#'), query);
    if (end < 0) {
        end = link.size();
    }
    const QStringView parameters = QStringView(link).mid(query + 1, end - query - 1);
    for (const QStringView parameter : parameters.split(QLatin1Char('&'))) {
        if (parameter.startsWith(QLatin1String("id=")) && parameter.size() > 3) {
            return parameter.mid(3).toString();
        }
    }
    return QString();
}

QString TItemKey::Of(const QString& nid, const QString& detailUrl, const QString& listingUrl, qint64 rowId)
{
    if (const QString trimmed = nid.trimmed(); !trimmed.isEmpty()) {
        return trimmed;
    }
    const QString& link = detailUrl.isEmpty() ? listingUrl : detailUrl;
    if (const QString id = IdParameter(link); !id.isEmpty()) {
        return id;
    }
    return link.isEmpty() ? QStringLiteral("#%1").arg(rowId) : link;
}
