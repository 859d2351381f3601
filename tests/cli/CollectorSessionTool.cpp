// Not a test: prints the README's example session of mercatix-collect, run in-process against the fake
// marketplace (two "days" of one keyword) with a private home folder.
// Usage: CollectorSessionTool   (HOME pointing at an empty folder)
#include "cli/TCollector.h"
#include "collect/INotifier.h"
#include "storage/uConst.h"
#include "tests/support/TFakeMarketplace.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
class TPrinted : public INotifier
{
public:
    explicit TPrinted(QTextStream& out)
        : m_out(out)
    {
    }
    void Notify(const QString& summary, const QString& body) override
    {
        m_out << "[desktop notification] " << summary << " / " << QString(body).replace('\n', QStringLiteral(" / "))
              << Qt::endl;
    }

private:
    QTextStream& m_out;
};

QByteArray Listing(int id, const char* title, const char* price)
{
    return QStringLiteral("{\"nid\":\"%1\",\"raw_title\":\"%2\",\"detail_url\":\"//item.example/item.htm?id=%1\","
                          "\"view_price\":\"%3\"}")
        .arg(id)
        .arg(QString::fromUtf8(title), QString::fromUtf8(price))
        .toUtf8();
}

TResponseScript Page(const QList<QByteArray>& listings)
{
    return TResponseScript::WithLength(200, "<script>g_page_config = {\"mods\":{\"itemlist\":{\"data\":{\"auctions\":["
                                                + listings.join(',') + "]}}}};\ng_srp_loadCss();</script>");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TFakeMarketplace server;
    if (!server.Start()) {
        return 1;
    }
    server.Enqueue(Page({Listing(1, "实木办公桌 1.2米", "399.00"), Listing(2, "升降办公桌 电动", "1299.00"),
                         Listing(3, "简约电脑桌 家用", "159.00")}));
    server.Enqueue(Page({}));
    server.Enqueue(Page({Listing(1, "实木办公桌 1.2米", "329.00"), Listing(2, "升降办公桌 电动", "1349.00"),
                         Listing(4, "折叠小书桌", "89.00")}));
    server.Enqueue(Page({}));
    QTextStream out(stdout);
    TPrinted notifier(out);
    TRunParams params;
    params.Host = server.Host();
    const QList<QStringList> session = {
        {"watch", "add", "办公桌", "--pages", "2", "--every", "6", "--drop", "10", "--below", "100"},
        {"watch", "run"},
        {"watch", "list"},
        {"watch", "run", "--all", "--json"},
    };
    for (const QStringList& arguments : session) {
        out << "$ mercatix-collect " << arguments.join(' ') << Qt::endl;
        TCollector collector(out, out, &notifier, params);
        const int status = collector.Execute(arguments);
        out << "$ echo $?" << Qt::endl << status << Qt::endl;
    }
    return 0;
}
