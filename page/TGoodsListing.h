#pragma once

#include <QString>
#include <QVariant>

// One listing of a page read by the goods row's rules: the values of the columns that come from the listing.
// The keyword, the collection time and the row's own numbers are the store's to add.
struct TGoodsListing
{
    QString Title;
    QString PicUrl;
    QString DetailUrl;
    QVariant ViewPrice; // null when the page gives no price that reads as a number
    double ViewFee = 0;
    QVariant ReservePrice;
    QString ItemLoc;
    QString Nick;
    QString ShopLink;
    QString UserId;
    qint64 CommentCount = 0;
    QString Nid; // the listing's item number; empty when the page gives none
};
