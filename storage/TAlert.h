#pragma once

#include <QString>
#include <QVariant>

// An alert a watch's rule raised for a listing of a run (table alertlog).
struct TAlert
{
    qint64 Id = 0, RunId = 0;
    QString ItemKey, Title, DetailUrl;
    QVariant OldPrice, NewPrice;
    QString Rule; // "drop" or "below"
    QString Raised; // time
    QString Keyword; // of the run (for lists)
};
