#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Search result pages as the marketplace sends them, with listings in the page-config framing.
namespace TSearchPages {
// A page of count listings numbered from first (0 listings give an empty array).
QByteArray Page(int count, int first = 0);

// A listing of a page built to order: its item number (none below 0: the listing is known by its link's id
// only; 0: neither an item number nor any link), title, price text, comments and detail link.
struct TListing
{
    int Number;
    QString Title;
    QString Price;
    int Comments = 0;
    QString Link; // empty: "//item.example/item.htm?id=<number>"
};
// A page of these listings in the page-config framing (auctions with item numbers), or in the body framing
// (shorter keys, no item numbers: every listing is known by its link, given as an https address).
QByteArray PageOf(const QList<TListing>& listings, bool body);
// The target of the search for a keyword of letters, digits and blanks, and an offset: the keyword as code page
// bytes, its blanks as "%20".
QByteArray Target(const QString& keyword, int offset);
} // namespace TSearchPages
