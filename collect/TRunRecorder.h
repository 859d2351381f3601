#pragma once

#include "collect/TRunSummary.h"

#include <QString>
#include <QVariant>

class INotifier;
class TCollectionRun;
class TDM;

// Runs collections as recorded runs. A run's record is opened before its first page, kept up to date after every
// stored page (as "stopped" until the run ends, so that a run cut short by a close or the end of the program reads
// as what it is) and closed with how the run ended. Every row the run stores carries the run's id. A complete run
// is compared with the previous complete run of its keyword, and the alert rules given apply to it; a run that
// raised alerts sends one desktop notification that sums them up.
class TRunRecorder
{
public:
    explicit TRunRecorder(TDM& dm, INotifier* notifier = nullptr);

    // source: "window", "watch" or "command". dropPercent and belowPrice are the alert rules (null: none).
    TRunSummary Run(TCollectionRun& run, const QString& keyword, int pages, const QString& source,
                    const QVariant& dropPercent = {}, const QVariant& belowPrice = {});

private:
    void Compare(const QVariant& dropPercent, const QVariant& belowPrice, TRunSummary* summary);
    void Notify(const TRunSummary& summary);

    TDM& m_dm;
    INotifier* m_notifier;
};
