#pragma once

#include <QString>

// What makes two rows sightings of the same listing: the listing's item number where the page gave one,
// else the id= parameter of its detail link, else the link itself (the detail link, or the listing link
// of a row that has none). A row without any of them is a listing of its own.
class TItemKey
{
public:
    static QString Of(const QString& nid, const QString& detailUrl, const QString& listingUrl, qint64 rowId);
    // The value of the query parameter "id" of a link; empty when there is none.
    static QString IdParameter(const QString& link);
};
