#pragma once

#include <QString>
#include <QVariant>

#include <vector>

// Every sighting of one listing, whatever keyword it was collected under, in the order they were stored, with
// what the history window shows of them: the first and last collection, the lowest and highest price and the
// corners of the price's step line.
struct TListingHistory
{
    struct TSighting
    {
        qint64 Id = 0;
        QString CollectTime; // ISO 8601 with the offset from UTC; empty for rows collected before times were kept
        QVariant Price, Fee; // view_price, view_fee; null where none
        QVariant Comments; // comment_count
        QString Keyword;
        qint64 RunId = 0; // 0 for rows stored outside a recorded run
        QString Outcome, Reason; // of the run; empty while it runs or without one
        QString Title, DetailUrl, ShopLink;
    };
    // A corner of the step line: the price holds from one sighting until the next.
    struct TStep
    {
        qint64 Msecs = 0; // since the epoch
        double Price = 0;
    };

    QString ItemKey;
    std::vector<TSighting> Sightings;
    QString FirstTime, LastTime; // of the first and the last sighting that has a collection time
    QVariant Lowest, Highest; // null when no sighting has a price
    std::vector<TStep> Steps; // empty unless two or more sightings have a time and a price

    // Sets the summary and the steps from the sightings.
    void Summarise();
    bool SeenOnce() const { return Sightings.size() == 1; }
    // The latest sighting's page: its detail link, or its listing link where it has none.
    QString PageLink() const;
};
