#pragma once

#include "collect/TRunSummary.h"

#include <QString>
#include <QVariant>

class INotifier;
class TCollectionRun;
class TDM;

// Runs collections as recorded runs. A run's record is opened before its first page and closed with how the run
// ended; a caller that must let go of the file while a run goes on (a window closing) closes the record first. Every
// row the run stores carries the run's id. A complete run is compared with the previous complete run of its keyword,
// and the alert rules given apply to it; a run that raised alerts sends one desktop notification that sums them up.
class TRunRecorder
{
public:
    explicit TRunRecorder(TDM& dm, INotifier* notifier = nullptr);

    // source: "window", "watch" or "command". dropPercent and belowPrice are the alert rules (null: none).
    TRunSummary Run(TCollectionRun& run, const QString& keyword, int pages, const QString& source,
                    const QVariant& dropPercent = {}, const QVariant& belowPrice = {});

    // Records the run in progress as stopped with what it stored so far: the file is about to close under it.
    void Abandon();

private:
    void Compare(const QVariant& dropPercent, const QVariant& belowPrice, TRunSummary* summary);
    void Notify(const TRunSummary& summary);

    TDM& m_dm;
    INotifier* m_notifier;
    qint64 m_runId = 0; // the run in progress
    int m_pagesRead = 0;
    int m_rowsStored = 0;
};
