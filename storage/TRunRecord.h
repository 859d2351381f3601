#pragma once

#include <QString>

// One collection run as the table collectrun keeps it. Times are local, ISO 8601 with the offset from UTC.
struct TRunRecord
{
    qint64 Id = 0;
    QString Keyword; // as stored in goodslist.keyname
    QString Source; // "window", "watch" or "command"
    QString Started, Finished; // Finished empty while running
    int PagesAsked = 0, PagesRead = 0, RowsStored = 0;
    QString Outcome; // "complete", "failed", "partial", "stopped"; empty while running
    QString Reason; // the "原因：" cause; empty when complete
};
