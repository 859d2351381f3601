#pragma once

#include "library/TLibraryRow.h"

#include <QString>

#include <vector>

class TConnection;

// A view whose rows stand for groups of stored rows (listings, sellers), made once for a filter and an order and
// then read by position: a row's key is its position, from 1.
class TGroupedView
{
public:
    virtual ~TGroupedView() = default;

    virtual qint64 Count() const = 0;
    // Up to limit rows from the 0-based position first, in the view's order.
    virtual bool Read(TConnection* connection, qint64 first, int limit, std::vector<TLibraryRow>* rows,
                      QString* error) const = 0;
};
