#pragma once

#include <QString>
#include <QVariant>

// A keyword collected again and again: its pages, its interval, the alert rules it carries and its last run.
struct TWatch
{
    qint64 Id = 0;
    QString Keyword;
    int Pages = 3; // 1..100
    double EveryHours = 24; // 0.5..168
    QVariant DropPercent; // null: no rule; else > 0 (a drop of at least P % since the previous complete run)
    QVariant BelowPrice; // null: no rule; else >= 0 (a price at or below X)
    bool Enabled = true;
    qint64 LastRunId = 0; // 0: never ran
};
