#include "collect/TRunSummary.h"

#include "storage/TRunRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonValue Price(const QVariant& price)
{
    return price.isNull() ? QJsonValue() : QJsonValue(price.toDouble());
}

QString FirstWord(TRunOutcome outcome)
{
    switch (outcome) {
    case TRunOutcome::Complete:
        return QStringLiteral("完成");
    case TRunOutcome::Failed:
        return QStringLiteral("失败");
    case TRunOutcome::Partial:
        return QStringLiteral("部分完成");
    case TRunOutcome::Stopped:
        break;
    }
    return QStringLiteral("中止");
}
} // namespace

QString TRunSummary::OutcomeName(TRunOutcome outcome)
{
    switch (outcome) {
    case TRunOutcome::Complete:
        return QString::fromLatin1(TRunRecords::Complete);
    case TRunOutcome::Failed:
        return QString::fromLatin1(TRunRecords::Failed);
    case TRunOutcome::Partial:
        return QString::fromLatin1(TRunRecords::Partial);
    case TRunOutcome::Stopped:
        break;
    }
    return QString::fromLatin1(TRunRecords::Stopped);
}

QString TRunSummary::Line() const
{
    return QStringLiteral("%1 %2：%3 页，%4 条；新增 %5，消失 %6，降价 %7，涨价 %8，提醒 %9")
        .arg(FirstWord(Result.Outcome), Keyword)
        .arg(Result.PagesRead)
        .arg(Result.RowsStored)
        .arg(Changes.New)
        .arg(Changes.Gone)
        .arg(Changes.Cheaper)
        .arg(Changes.Dearer)
        .arg(Alerts.size());
}

QByteArray TRunSummary::Json() const
{
    QJsonArray alerts;
    for (const TAlert& alert : Alerts) {
        alerts.append(QJsonObject{{"item_key", alert.ItemKey},
                                  {"title", alert.Title},
                                  {"rule", alert.Rule},
                                  {"old_price", Price(alert.OldPrice)},
                                  {"new_price", Price(alert.NewPrice)},
                                  {"detail_url", alert.DetailUrl}});
    }
    const QJsonObject object{{"keyword", Keyword},
                             {"run_id", RunId},
                             {"outcome", OutcomeName(Result.Outcome)},
                             {"reason", Result.Cause.isEmpty() ? Result.StoreError : Result.Cause},
                             {"pages", Result.PagesRead},
                             {"rows", Result.RowsStored},
                             {"new", Changes.New},
                             {"gone", Changes.Gone},
                             {"down", Changes.Cheaper},
                             {"up", Changes.Dearer},
                             {"alerts", alerts}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
