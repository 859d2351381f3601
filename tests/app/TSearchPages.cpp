#include "tests/app/TSearchPages.h"

#include "platform/CodePage.h"

#include <QString>
#include <QStringList>

#include <cstdlib>

namespace TSearchPages {

static QByteArray Listing(int n)
{
    return QStringLiteral("{\"nid\":\"%1\",\"raw_title\":\"商品 %1 \\\"特价\\\"\",\"pic_url\":\"//img.example/%1.jpg\","
                          "\"detail_url\":\"//item.example/item.htm?id=%1\",\"view_price\":\"%1.50\","
                          "\"view_fee\":\"0.00\",\"item_loc\":\"浙江 杭州\",\"nick\":\"店主%1\",\"user_id\":\"%1\","
                          "\"shopLink\":\"//store.example/shop%1\",\"comment_count\":\"%1\"}")
        .arg(n)
        .toUtf8();
}

QByteArray Page(int count, int first)
{
    QByteArray listings;
    for (int i = 0; i < count; ++i) {
        listings += (i > 0 ? "," : "") + Listing(first + i);
    }
    return "<html><head><script>\n    g_page_config = {\"pageName\":\"mainsrp\",\"mods\":{\"itemlist\":{\"status\":"
           "\"show\",\"data\":{\"auctions\":["
        + listings + "]}}}};\n    g_srp_flushHtml();\n    g_srp_loadCss();\n</script></head><body></body></html>";
}

static QString Escaped(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
}

static QString ListingJson(const TListing& listing, bool body)
{
    const int n = std::abs(listing.Number);
    QString link = listing.Link.isEmpty() ? QStringLiteral("//item.example/item.htm?id=%1").arg(n) : listing.Link;
    if (listing.Number == 0) {
        return body
            ? QStringLiteral("{\"title\":\"%1\",\"price\":\"%2\"}").arg(Escaped(listing.Title), listing.Price)
            : QStringLiteral("{\"raw_title\":\"%1\",\"view_price\":\"%2\"}").arg(Escaped(listing.Title), listing.Price);
    }
    if (body) {
        return QStringLiteral("{\"title\":\"%1\",\"pic_url\":\"//img.example/%2.jpg\",\"price\":\"%3\","
                              "\"view_fee\":\"0.00\",\"url\":\"https:%4\",\"tag_info\":[{\"tag\":\"浙江 杭州\"}],"
                              "\"comment_count\":\"%5\",\"nick\":\"店主%2\"}")
            .arg(Escaped(listing.Title))
            .arg(n)
            .arg(listing.Price, link)
            .arg(listing.Comments);
    }
    const QString number = listing.Number >= 0 ? QStringLiteral("\"nid\":\"%1\",").arg(n) : QString();
    return QStringLiteral("{%1\"raw_title\":\"%2\",\"pic_url\":\"//img.example/%3.jpg\",\"detail_url\":\"%4\","
                          "\"view_price\":\"%5\",\"view_fee\":\"0.00\",\"item_loc\":\"浙江 杭州\",\"nick\":\"店主%3\","
                          "\"user_id\":\"%3\",\"shopLink\":\"//store.example/shop%3\",\"comment_count\":\"%6\"}")
        .arg(number, Escaped(listing.Title))
        .arg(n)
        .arg(link, listing.Price)
        .arg(listing.Comments);
}

QByteArray PageOf(const QList<TListing>& listings, bool body)
{
    QStringList items;
    for (const TListing& listing : listings) {
        items.append(ListingJson(listing, body));
    }
    const QByteArray array = (QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']')).toUtf8();
    if (body) {
        return "<html><body><script>var data = {\"status\":0,\"body\":" + array
            + "},\"srpbase\":{\"v\":1}};</script></body></html>";
    }
    return "<html><head><script>\n    g_page_config = {\"pageName\":\"mainsrp\",\"mods\":{\"itemlist\":{\"status\":"
           "\"show\",\"data\":{\"auctions\":"
        + array + "}}}};\n    g_srp_flushHtml();\n    g_srp_loadCss();\n</script></head><body></body></html>";
}

QByteArray Target(const QString& keyword, int offset)
{
    QByteArray target = "/search?q=" + CodePage::FromUnicode(keyword).replace(" ", "%20");
    if (offset > 0) {
        target += "&s=" + QByteArray::number(offset);
    }
    return target;
}

} // namespace TSearchPages
