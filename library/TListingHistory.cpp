#include "library/TListingHistory.h"

#include <QDateTime>

#include <algorithm>

void TListingHistory::Summarise()
{
    FirstTime.clear();
    LastTime.clear();
    Lowest = Highest = QVariant();
    Steps.clear();
    for (const TSighting& sighting : Sightings) {
        if (!sighting.CollectTime.isEmpty()) {
            if (FirstTime.isEmpty()) {
                FirstTime = sighting.CollectTime;
            }
            LastTime = sighting.CollectTime;
        }
        if (sighting.Price.isNull()) {
            continue;
        }
        const double price = sighting.Price.toDouble();
        if (Lowest.isNull() || price < Lowest.toDouble()) {
            Lowest = price;
        }
        if (Highest.isNull() || price > Highest.toDouble()) {
            Highest = price;
        }
        const QDateTime time = QDateTime::fromString(sighting.CollectTime, Qt::ISODate);
        if (!time.isValid()) {
            continue;
        }
        // The line runs level at the old price up to the new sighting, then steps to the new price.
        const qint64 msecs = time.toMSecsSinceEpoch();
        if (!Steps.empty()) {
            Steps.push_back({msecs, Steps.back().Price});
        }
        Steps.push_back({msecs, price});
    }
    if (Steps.size() < 2) {
        Steps.clear(); // one point is no line
    }
}

QString TListingHistory::PageLink() const
{
    for (auto sighting = Sightings.rbegin(); sighting != Sightings.rend(); ++sighting) {
        if (!sighting->DetailUrl.isEmpty()) {
            return sighting->DetailUrl;
        }
        if (!sighting->ShopLink.isEmpty()) {
            return sighting->ShopLink;
        }
    }
    return QString();
}
