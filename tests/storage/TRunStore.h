#pragma once

#include "page/TListingArray.h"
#include "page/TPageData.h"
#include "storage/TRunRecords.h"
#include "storage/uDataModule.h"

#include <QList>
#include <QTemporaryDir>

#include <rapidjson/document.h>

// One listing of a page of the page-config framing; a null item number or link leaves the key out.
struct TListingSpec
{
    const char* Nid;
    const char* Title;
    const char* Price;
    const char* DetailUrl = nullptr;
};

// The auction array of a page with these listings.
inline QByteArray Auctions(std::initializer_list<TListingSpec> listings)
{
    QStringList items;
    for (const TListingSpec& listing : listings) {
        QStringList members{QStringLiteral("\"raw_title\":\"%1\"").arg(QString::fromUtf8(listing.Title)),
                            QStringLiteral("\"view_price\":\"%1\"").arg(QLatin1String(listing.Price))};
        if (listing.Nid != nullptr) {
            members.append(QStringLiteral("\"nid\":\"%1\"").arg(QLatin1String(listing.Nid)));
        }
        if (listing.DetailUrl != nullptr) {
            members.append(QStringLiteral("\"detail_url\":\"%1\"").arg(QLatin1String(listing.DetailUrl)));
        }
        items.append(QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}'));
    }
    return (QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']')).toUtf8();
}

// A database file of its own and the data module on it, storing listings as the runs of a collection do: a
// run recorded, its pages stored with its id, and the run finished with its outcome.
class TRunStore
{
public:
    QTemporaryDir Dir;
    QString Path = Dir.filePath(QStringLiteral("gleanbox.db"));
    TDM Dm;

    bool Open(QString* error) { return Dm.OpenDatabase(Path, error) && Dm.OpenGoodsQuery(error); }
    TConnection* Connection() const { return Dm.conn(); }

    // Stores the pages as one run of the keyword; the run's id, or 0 with the error.
    qint64 Run(const QString& keyword, const QList<QByteArray>& pages, const QString& outcome, QString* error)
    {
        TRunRecords records(Connection());
        const qint64 id = records.Begin(keyword, QStringLiteral("watch"), static_cast<int>(pages.size()), error);
        int rows = 0;
        Dm.SetRunId(id);
        for (qsizetype i = 0; id != 0 && i < pages.size(); ++i) {
            TPageData::TParsed parsed;
            TPageData::Parse(pages.at(i), &parsed);
            const TListingArray listings(parsed.Document);
            if (!Dm.SaveAuctionList(keyword, listings, error) || !Dm.ApplyGoodsRows(error)) {
                return 0;
            }
            rows += listings.Size();
        }
        Dm.SetRunId(0);
        const QString reason = outcome == QLatin1String(TRunRecords::Complete) ? QString() : QStringLiteral("超时");
        if (id == 0 || !records.Finish(id, static_cast<int>(pages.size()), rows, outcome, reason, error)) {
            return 0;
        }
        return id;
    }
};
