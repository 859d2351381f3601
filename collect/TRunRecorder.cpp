#include "collect/TRunRecorder.h"

#include "collect/INotifier.h"
#include "collect/TCollectionRun.h"
#include "storage/TAlerts.h"
#include "storage/TRunRecords.h"
#include "storage/uDataModule.h"

namespace {
// How many alerts a notification names before it only counts the rest.
constexpr int NotifiedAlerts = 5;

QString PriceText(const QVariant& price)
{
    return price.isNull() ? QStringLiteral("—") : QString::number(price.toDouble(), 'f', 2);
}
} // namespace

TRunRecorder::TRunRecorder(TDM& dm, INotifier* notifier)
    : m_dm(dm)
    , m_notifier(notifier)
{
}

TRunSummary TRunRecorder::Run(TCollectionRun& run, const QString& keyword, int pages, const QString& source,
                              const QVariant& dropPercent, const QVariant& belowPrice)
{
    TRunSummary summary;
    summary.Keyword = keyword;
    TRunRecords records(m_dm.conn());
    QString error;
    summary.RunId = records.Begin(keyword, source, pages, &error);
    const qint64 id = summary.RunId;
    if (id == 0) {
        summary.RecordError = error;
    }
    m_runId = id;
    m_pagesRead = 0;
    m_rowsStored = 0;
    const QMetaObject::Connection stored = QObject::connect(&run, &TCollectionRun::PageStored, &run, [this](int rows) {
        ++m_pagesRead;
        m_rowsStored += rows;
    });
    m_dm.SetRunId(id);
    summary.Result = run.Run(keyword, pages);
    m_dm.SetRunId(0);
    QObject::disconnect(stored);
    const bool abandoned = m_runId == 0;
    m_runId = 0;
    if (id == 0 || abandoned) {
        return summary;
    }
    const TRunResult& result = summary.Result;
    const QString reason = result.Cause.isEmpty() ? result.StoreError : result.Cause;
    if (!records.Finish(id, result.PagesRead, result.RowsStored, TRunSummary::OutcomeName(result.Outcome), reason,
                        &error)) {
        summary.RecordError = error;
        return summary;
    }
    if (result.Outcome == TRunOutcome::Complete) {
        Compare(dropPercent, belowPrice, &summary);
        Notify(summary);
    }
    return summary;
}

void TRunRecorder::Abandon()
{
    if (m_runId == 0) {
        return;
    }
    QString error; // nothing more can be done about a record the file refuses now
    TRunRecords(m_dm.conn()).Finish(m_runId, m_pagesRead, m_rowsStored, TRunRecords::Stopped, QString(), &error);
    m_runId = 0;
}

// A complete run against the previous complete run of its keyword, and its alerts.
void TRunRecorder::Compare(const QVariant& dropPercent, const QVariant& belowPrice, TRunSummary* summary)
{
    TRunRecords records(m_dm.conn());
    TRunRecord previous;
    QString error;
    if (!records.PreviousComplete(summary->Keyword, summary->RunId, &previous, &error)) {
        summary->RecordError = error;
        return;
    }
    if (previous.Id != 0) {
        std::vector<TRunChange> changes;
        if (!TRunComparison::Compare(m_dm.conn(), previous.Id, summary->RunId, &changes, &error)) {
            summary->RecordError = error;
            return;
        }
        summary->Changes = TRunComparison::Count(changes);
    }
    if (!dropPercent.isNull() || !belowPrice.isNull()) {
        TAlerts alerts(m_dm.conn());
        if (!alerts.Raise(summary->RunId, dropPercent, belowPrice, &summary->Alerts, &error)) {
            summary->RecordError = error;
        }
    }
}

void TRunRecorder::Notify(const TRunSummary& summary)
{
    if (m_notifier == nullptr || summary.Alerts.empty()) {
        return;
    }
    QStringList lines;
    for (const TAlert& alert : summary.Alerts) {
        if (lines.size() == NotifiedAlerts) {
            lines << QStringLiteral("…还有 %1 条").arg(summary.Alerts.size() - NotifiedAlerts);
            break;
        }
        const QString price = alert.OldPrice.isNull()
            ? PriceText(alert.NewPrice)
            : PriceText(alert.OldPrice) + QStringLiteral(" → ") + PriceText(alert.NewPrice);
        lines << alert.Title + QStringLiteral("：") + price;
    }
    m_notifier->Notify(QStringLiteral("%1：%2 条价格提醒").arg(summary.Keyword).arg(summary.Alerts.size()),
                       lines.join(QLatin1Char('\n')));
}
