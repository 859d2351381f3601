#pragma once

#include "collect/TRunResult.h"
#include "storage/TAlert.h"
#include "storage/TRunComparison.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A recorded run as its callers report it: the run's result, its record and what changed since the previous
// complete run of its keyword.
struct TRunSummary
{
    QString Keyword;
    qint64 RunId = 0; // 0 when the run could not be recorded
    TRunResult Result;
    TRunComparison::TCounts Changes; // all 0 unless the run was complete and had a previous complete run
    std::vector<TAlert> Alerts; // the alerts this run raised
    QString RecordError; // why the run or its comparison could not be recorded; empty when all went well

    // "complete", "failed", "partial" or "stopped", as the run's record keeps it.
    static QString OutcomeName(TRunOutcome outcome);
    // "完成 <关键字>：<页> 页，<条> 条；新增 a，消失 b，降价 c，涨价 d，提醒 e", its first word telling how the run
    // ended when it did not complete.
    QString Line() const;
    // One JSON object on one line: keyword, run_id, outcome, reason, pages, rows, new, gone, down, up, alerts.
    QByteArray Json() const;
};
