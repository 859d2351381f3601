#pragma once

#include "library/TGroupedView.h"
#include "library/TLibraryFilter.h"
#include "library/TLibrarySql.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The listings among the view's rows, each once: its latest row, its number of sightings and its lowest and highest
// price, in the view's order. Only each listing's latest id and figures are held; a page reads its rows by id. Over
// every row of a file whose listings are summed up (TItemSummary) the listings come from that summary, so that a
// million rows group in a fraction of a second; a filter, or rows without an item key, group the rows themselves.
class TListingGroups : public TGroupedView
{
public:
    struct TSource
    {
        TLibrarySql::TSchema Schema;
        TLibrarySql::TCondition Where;
        QString ItemKey; // the key's SQL (TLibrarySql::ItemKey)
        bool FromSummary = false; // every row, each with its key, in a file with the summary
        QString SelectList; // the columns of a stored row (TLibraryQuery::Columns)
    };

    bool Build(TConnection* connection, const TSource& source, const TLibrarySort& sort, QString* error);
    qint64 Count() const override { return static_cast<qint64>(m_groups.size()); }
    bool Read(TConnection* connection, qint64 first, int limit, std::vector<TLibraryRow>* rows,
              QString* error) const override;
    // The latest price of every listing, ascending.
    bool Prices(TConnection* connection, std::vector<double>* prices, QString* error) const;

    // The columns a grouped row adds to those of a stored row.
    static const QStringList& OwnColumns();

private:
    struct TGroup
    {
        qint64 LastId = 0;
        qint64 Sightings = 0;
        double MinPrice = 0; // NaN: no price
        double MaxPrice = 0;
    };

    bool ReadGroups(TConnection* connection, const QString& sql, const QVariantList& values, QString* error);
    void SortGroups(const TLibrarySort& sort);
    QString OrderSql(const TLibrarySort& sort, const QString& own, bool* joined) const;
    bool ReadChunk(TConnection* connection, qint64 first, qint64 end, std::vector<TLibraryRow>* rows,
                   QString* error) const;
    bool ReadPrices(TConnection* connection, const QStringList& keys,
                    QHash<QString, std::pair<QVariant, QVariant>>* out, QString* error) const;

    TSource m_source;
    std::vector<TGroup> m_groups;
    bool m_pricesKnown = false; // else a page reads the prices of its listings
};
