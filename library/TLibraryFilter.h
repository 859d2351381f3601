#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

// Which stored rows the library shows: a search over title, seller nickname and location, the keyword
// they were collected under, a price range, a location substring, a range of days of collection and one
// seller. Every part that is empty or null lets every row through.
struct TLibraryFilter
{
    QString Search;
    bool ByKeyword = false;
    QString Keyword;
    QVariant MinPrice; // a double, or null for no lower bound
    QVariant MaxPrice;
    QString Location;
    QDate CollectFrom; // the first and the last day of collection, both included; invalid: no bound
    QDate CollectTo;
    // One seller: the rows of its user_id, or, where SellerId is empty, the rows without a user_id under its
    // nickname.
    bool BySeller = false;
    QString SellerId;
    QString SellerNick;

    // False with a message the user can act on when the filter cannot be applied as given.
    bool Validate(QString* error) const;
    bool operator==(const TLibraryFilter& other) const = default;
};

// The order of the rows: a column of the view and its direction; an empty column keeps the order of
// collection (of a listing's or a seller's latest row in a grouped view).
struct TLibrarySort
{
    QString Column;
    bool Descending = false;

    // The newest rows first: what the library shows until a column is chosen.
    static TLibrarySort Newest() { return {QString(), true}; }
    bool operator==(const TLibrarySort& other) const = default;
};

// What one row of the view stands for: a stored row, a listing (its sightings merged) or a seller.
enum class TLibraryGrouping { Rows, Listings, Sellers };
