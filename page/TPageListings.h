#pragma once

#include "page/TListingArray.h"
#include "page/TPageData.h"
#include "page/TPageResult.h"

#include <QString>

// What the page format gives a collection run for one downloaded page: the data block cut out of the page
// text, then the block parsed and its listing array found. Nothing here raises and nothing is stored: every
// failure comes back in the result.
class TPageListings
{
public:
    // The first half: the data block of the page, which may be empty, into *block. The page text is consumed:
    // a page of many megabytes is never held twice. The result holds the framing found and, when the block is
    // empty, the failure NoBlock or CutOff; Stored is 0.
    static TPageResult Cut(QString page, QString* block);

    // The second half: parses a block cut in the given framing and finds its listing array. The failure is
    // NotParsed or NoListings when there is none; Stored is 0 either way.
    TPageResult Read(const QString& block, qint32 framing);

    // The listing array of the last successful Read; it lives as long as this object.
    TListingArray Listings() const;

private:
    TPageData::TParsed m_parsed;
    const rapidjson::Value* m_listings = nullptr;
};
