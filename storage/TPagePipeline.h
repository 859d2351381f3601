#pragma once

#include "storage/TPageData.h"

#include <QString>

#include <functional>

class TDM;

// Why a page gave no rows.
enum class TPageFailure {
    None, // the listing array went to the store and was written; an empty array is no failure
    NoBlock, // no marker of either framing: not a search result page (Detail: the page's title, if it has one)
    LoginPage, // no marker of either framing, and the page asks for a login (Detail: its title, if it has one)
    CutOff, // a start marker without its end marker after it: the page ends early or lost its data
    NotParsed, // the block is no complete JSON value, or it nests deeper than TPageData::MaxDepth
    NoListings, // the block parsed but holds no listing array where its framing keeps one
    StoreFailed, // the store refused the listings or the write failed (Detail: the store's message)
};

// The outcome of one page.
struct TPageResult
{
    int Stored = 0; // elements of the listing array handed to the store, one row each; 0 on every failure
    qint32 Framing = TPageData::NoFraming; // the framing the page was read in
    TPageFailure Failure = TPageFailure::None;
    QString Detail; // what the user can act on, for the failures that name one; empty otherwise

    bool Ok() const { return Failure == TPageFailure::None; }
};

// What a collection run does with one downloaded page: cut the data block out of the page text, parse it,
// hand its listing array with the keyword to the store of its framing (SaveAuctionList or SaveItemList) and
// write the new rows to the database file (ApplyGoodsRows, one transaction). The data module's goods query
// must be open. Run does it all; Cut and Store are its two halves, for a caller that does other work between
// them. Nothing here raises: every failure comes back in the result.
class TPagePipeline
{
public:
    explicit TPagePipeline(TDM& dm);

    // The whole page. The page text is consumed: a page of many megabytes is never held twice.
    TPageResult Run(const QString& keyword, QString page);

    // The same for a page held as UTF-8 bytes (PageText::HeldUtf8 of the downloaded body): no text of the
    // whole page is ever made, and the rows are the same.
    TPageResult RunUtf8(const QString& keyword, QByteArray page);

    // The first half: the data block of the page, which may be empty, into *block. The result holds the
    // framing found and, when the block is empty, the failure NoBlock or CutOff; Stored is 0.
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
    // Stores the block of text that starts at from.
    TPageResult StoreUtf8(const QString& keyword, QByteArray text, qsizetype from, qint32 framing);

    TDM& m_dm;
    Writer m_writer;
};
