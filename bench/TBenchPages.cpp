#include "bench/TBenchPages.h"

#include <QFile>

namespace TBenchPages {

static QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(path));
    }
    return file.readAll();
}

static bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray FixturePage()
{
    return "<script>" + ReadFile(QStringLiteral(MERCATIX_FIXTURE_PAGE)) + "\n g_srp_loadCss();</script>";
}

// One listing with the members a real one carries, most of which the store does not read.
static QByteArray Listing(int n)
{
    return QStringLiteral(
               R"({"i2iTags":{"samestyle":{"url":""},"similar":{"url":"/search?type=similar&app=i2i&rec_type=1&nid=%1"}},)"
               R"("p4pTags":[],"nid":"%1","category":"50009860","pid":"",)"
               R"("title":"南方黑<span class=H>芝麻</span><span class=H>糊</span>原味720g*2袋 营养早餐冲饮 %1",)"
               R"("raw_title":"南方黑芝麻糊原味720g*2袋 黑芝麻糊营养早餐冲饮冲调 \"特价\" %1",)"
               R"("pic_url":"//g-search1.alicdn.example/img/bao/uploaded/i4/i1/%1/TB2yrytGNWYBuNjy1zkXXXGGpXa.jpg",)"
               R"("detail_url":"//detail.example/item.htm?id=%1\u0026ad_id=\u0026am_id=\u0026cm_id=140105335569ed55e27b",)"
               R"("view_price":"%2.90","view_fee":"0.00","item_loc":"广西 南宁","view_sales":"16199人付款",)"
               R"("comment_count":"%3","user_id":"18482%1","nick":"南方黑芝麻旗舰店%1",)"
               R"("shopcard":{"levelClasses":[{"levelClass":"icon-supple-level-jinguan"}],"isTmall":true,)"
               R"("delivery":[480,0,0],"description":[488,1,1423],"service":[484,1,764],)"
               R"("encryptedUserId":"UvFg0OmIYOFgGMgTT","sellerCredit":16,"totalRate":10000},)"
               R"("icon":[{"title":"尚天猫，就购了","dom_class":"icon-service-tianmao","position":"1","show_type":"0",)"
               R"("icon_category":"baobei","outer_text":"0","html":"","icon_key":"icon-service-tianmao",)"
               R"("trace":"srpservice","traceIdx":4,"innerText":"天猫宝贝","url":"//www.example/"},)"
               R"({"title":"保险理赔","dom_class":"icon-service-baoxian","position":"99","show_type":"1",)"
               R"("icon_category":"baobei","outer_text":"0","html":"","icon_key":"icon-service-baoxian",)"
               R"("trace":"srpservice","traceIdx":5,"innerText":"分组-保险理赔","iconPopupComplex":{"popup_title":)"
               R"("保险理赔","subIcons":[{"dom_class":"icon-service-yunfeixian","icon_content":"卖家赠送退货运费险"}]}}],)"
               R"("comment_url":"//detail.example/item.htm?id=%1\u0026on_comment=1",)"
               R"("shopLink":"//store.example/shop/view_shop.htm?user_number_id=18482%1","risk":""})")
        .arg(n)
        .arg(n % 500 + 9)
        .arg(n * 37 % 100000)
        .toUtf8();
}

// One entry of the navigation module, the bulk of a real page besides the listings.
static QByteArray NavEntry(int n)
{
    return QStringLiteral(R"({"type":"brand","text":"品牌%1","value":"20000:%1","trace":"nav","isMulti":true,)"
                          R"("pic":"//img.example/brand/%1.png","sub":[{"text":"系列%1","value":"%1;1"}]})")
        .arg(n)
        .toUtf8();
}

QByteArray GeneratedPage(int listings, int targetBytes)
{
    QByteArray auctions;
    for (int i = 0; i < listings; ++i) {
        auctions += (i > 0 ? "," : "") + Listing(600000000 + i);
    }
    const QByteArray head = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>办公桌_淘宝搜索</title>";
    const QByteArray config = "<script>\n    g_page_config = {\"pageName\":\"mainsrp\",\"mods\":{\"itemlist\":{"
                              "\"status\":\"show\",\"data\":{\"postFeeText\":\"运费\",\"auctions\":["
        + auctions + "]}},\"nav\":{\"status\":\"show\",\"data\":{\"common\":[";
    const QByteArray tail = "]}}}};\n    g_srp_flushHtml();\n    g_srp_loadCss();\n</script></head>"
                            "<body><div id=\"main\"></div></body></html>";
    QByteArray nav;
    for (int n = 0; head.size() + config.size() + nav.size() + tail.size() < targetBytes; ++n) {
        nav += (n > 0 ? "," : "") + NavEntry(n);
    }
    return head + config + nav + tail;
}

QByteArray TextBody(int size)
{
    const QByteArray piece = QStringLiteral("<li class=\"item\">办公桌 实木 简约 现代 %1</li>\n").toUtf8();
    QByteArray body;
    body.reserve(size);
    while (body.size() + piece.size() <= size) {
        body += piece;
    }
    body += QByteArray(size - body.size(), ' ');
    return body;
}

bool WritePages(const QString& folder)
{
    return WriteFile(folder + QStringLiteral("/fixture.html"), FixturePage())
        && WriteFile(folder + QStringLiteral("/generated.html"), GeneratedPage());
}

} // namespace TBenchPages
