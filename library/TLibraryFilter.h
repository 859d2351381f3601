#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

// Which stored rows the library shows: a search over title, seller nickname and location, the keyword
// they were collected under, a price range, a location substring and the day of collection. Every part
// that is empty or null lets every row through.
struct TLibraryFilter
{
    QString Search;
    bool ByKeyword = false;
    QString Keyword;
    QVariant MinPrice; // a double, or null for no lower bound
    QVariant MaxPrice;
    QString Location;
    QDate CollectDate;

    // False with a message the user can act on when the filter cannot be applied as given.
    bool Validate(QString* error) const;
    bool operator==(const TLibraryFilter& other) const = default;
};

// The order of the rows: a column of the view and its direction; an empty column keeps the order of
// collection.
struct TLibrarySort
{
    QString Column;
    bool Descending = false;

    bool operator==(const TLibrarySort& other) const = default;
};
