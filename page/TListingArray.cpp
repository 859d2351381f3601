#include "page/TListingArray.h"

#include "page/TListingReader.h"
#include "platform/CodePage.h"

#include <rapidjson/document.h>

TListingArray::TListingArray(const rapidjson::Value& value)
    : m_value(&value)
{
}

bool TListingArray::IsArray() const
{
    return m_value->IsArray();
}

int TListingArray::Size() const
{
    return IsArray() ? static_cast<int>(m_value->Size()) : 0;
}

const rapidjson::Value& TListingArray::At(int i) const
{
    return (*m_value)[static_cast<rapidjson::SizeType>(i)];
}

TGoodsListing TListingArray::Auction(int i) const
{
    using R = TListingReader;
    const rapidjson::Value& listing = At(i);
    TGoodsListing row;
    row.Title = R::Text(listing, "raw_title");
    row.PicUrl = R::Text(listing, "pic_url");
    row.DetailUrl = R::Text(listing, "detail_url");
    row.ViewPrice = R::Price(listing, "view_price");
    row.ViewFee = R::Amount(listing, "view_fee");
    row.ReservePrice = R::Price(listing, "reserve_price");
    row.ItemLoc = R::Text(listing, "item_loc");
    row.Nick = R::Text(listing, "nick");
    row.ShopLink = R::Text(listing, "shopLink");
    row.UserId = R::Text(listing, "user_id");
    row.CommentCount = R::Integer(listing, "comment_count");
    // The listing's item number, where the page gives one, tells repeated sightings of a listing apart.
    row.Nid = R::Text(listing, "nid");
    return row;
}

TGoodsListing TListingArray::Item(int i) const
{
    using R = TListingReader;
    const rapidjson::Value& listing = At(i);
    const QVariant price = R::Price(listing, "price");
    const rapidjson::Value* tags = R::Member(listing, "tag_info");
    TGoodsListing row;
    row.Title = R::Text(listing, "title");
    row.PicUrl = R::Text(listing, "pic_url");
    row.DetailUrl = QString(QLatin1String(""));
    row.ViewPrice = price;
    row.ViewFee = R::Amount(listing, "view_fee");
    row.ReservePrice = price;
    row.ItemLoc = tags != nullptr ? JoinTags(*tags) : QString(QLatin1String(""));
    row.Nick = QString(QLatin1String(""));
    row.ShopLink = R::Text(listing, "url");
    row.UserId = QString(QLatin1String(""));
    row.CommentCount = R::Integer(listing, "comment_count");
    return row;
}

QString TListingArray::JoinTags(const rapidjson::Value& tags)
{
    if (!tags.IsArray()) {
        return QString(QLatin1String(""));
    }
    QString joined(QLatin1String(""));
    for (const rapidjson::Value& tag : tags.GetArray()) {
        joined += TListingReader::Text(tag, "tag");
        joined += QLatin1Char(' ');
    }
    // Characters the program's code page lacks become its default character.
    return CodePage::ToUnicode(CodePage::FromUnicode(joined));
}
