#include "tests/app/TSearchPages.h"

#include "platform/CodePage.h"

#include <QString>

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

QByteArray Target(const QString& keyword, int offset)
{
    QByteArray target = "/search?q=" + CodePage::FromUnicode(keyword).replace(" ", "%20");
    if (offset > 0) {
        target += "&s=" + QByteArray::number(offset);
    }
    return target;
}

} // namespace TSearchPages
