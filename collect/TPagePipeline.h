#pragma once

#include "page/TPageResult.h"

#include <QString>

#include <functional>

class TDM;

// What a collection run does with one downloaded page: cut the data block out of the page text, parse it,
// hand its listing array with the keyword to the store of its framing (SaveAuctionList or SaveItemList) and
// write the new rows to the database file (ApplyGoodsRows, one transaction). The data module's goods query
// must be open. Nothing here raises: every failure comes back in the result.
class TPagePipeline
{
public:
    explicit TPagePipeline(TDM& dm);

    // The first half: the data block of the page, which may be empty (TPageListings::Cut).
    static TPageResult Cut(QString page, QString* block);

    // The second half: parses a block cut in the given framing and stores its listings. A block that does
    // not parse or holds no listing array stores nothing. When the store fails, the rows it posted before
    // the failure stay pending in the goods query (none of them reaches the file).
    TPageResult Store(const QString& keyword, const QString& block, qint32 framing);

    // How the stored rows reach the file: by default ApplyGoodsRows on the calling thread. A caller may
    // write them otherwise (on another thread while its own goes on) with the same outcome.
    using Writer = std::function<bool(QString* error)>;
    void SetWriter(Writer writer);

private:
    TDM& m_dm;
    Writer m_writer;
};
