#pragma once

#include "page/TGoodsListing.h"

#include <QString>

#include <rapidjson/fwd.h>

// The listing array of a parsed data block, read one listing at a time by the keys of its framing. It only
// looks at the array: the parsed block it belongs to must outlive it.
class TListingArray
{
public:
    explicit TListingArray(const rapidjson::Value& value);

    bool IsArray() const;
    // The number of listings; 0 when the value is no array.
    int Size() const;
    // Listing i by the keys of the auction list of the page-config framing.
    TGoodsListing Auction(int i) const;
    // Listing i by the shorter keys of the body framing.
    TGoodsListing Item(int i) const;

    // The "tag" of every element followed by one blank, in the program's code page.
    static QString JoinTags(const rapidjson::Value& tags);

private:
    const rapidjson::Value& At(int i) const;

    const rapidjson::Value* m_value;
};
