#pragma once

#include "library/TGroupedView.h"
#include "library/TLibraryFilter.h"
#include "library/TLibrarySql.h"

#include <QString>
#include <QStringList>

// The sellers among the view's rows (by user_id, else by nickname), each once: its user_id and nickname as its
// latest row gives them, its listings, sightings, lowest, median and highest price, the comments of its listings
// (each listing's highest count, summed) and its latest collection time, in the view's order. Made once into a
// temporary table of the connection, from one pass over the view's rows in the order of seller and price, and
// read by position.
class TSellerGroups : public TGroupedView
{
public:
    struct TSource
    {
        TLibrarySql::TSchema Schema;
        TLibrarySql::TCondition Where;
        QString ItemKey; // the key's SQL (TLibrarySql::ItemKey)
    };

    static const QStringList& Columns();

    bool Build(TConnection* connection, const TSource& source, const TLibrarySort& sort, QString* error);
    qint64 Count() const override { return m_count; }
    bool Read(TConnection* connection, qint64 first, int limit, std::vector<TLibraryRow>* rows,
              QString* error) const override;

private:
    struct TTally;
    static QString OrderSql(const TLibrarySort& sort, bool collectTime);
    static bool SumUp(TConnection* connection, const TSource& source, QString* error);

    qint64 m_count = 0;
};
