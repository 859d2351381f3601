// Makes the README's picture of the watch window: a watch of two runs against the fake marketplace on two
// "days", the second with a price that dropped, a listing gone and a new one, and the alerts they raised.
// Usage: WatchScreenshotTool <output.png>   (under a display, e.g. xvfb-run)
#include "app/TWatchWindow.h"
#include "app/uStartup.h"
#include "storage/TWatchList.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/support/TFakeMarketplace.h"
#include "ui/TApplication.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {
QByteArray Listing(int id, const char* title, const char* price)
{
    return QStringLiteral("{\"nid\":\"%1\",\"raw_title\":\"%2\",\"detail_url\":\"//item.example/item.htm?id=%1\","
                          "\"view_price\":\"%3\",\"nick\":\"店铺%1\",\"user_id\":\"%1\",\"item_loc\":\"浙江 杭州\"}")
        .arg(id)
        .arg(QString::fromUtf8(title), QString::fromUtf8(price))
        .toUtf8();
}

QByteArray Page(const QList<QByteArray>& listings)
{
    return "<script>g_page_config = {\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[" + listings.join(',')
        + "]}}}};\ng_srp_loadCss();</script>";
}

bool TakeScreenshot(const QString& output)
{
    TFakeMarketplace server;
    if (!server.Start()) {
        return false;
    }
    server.Enqueue(TResponseScript::WithLength(
        200, Page({Listing(1, "实木办公桌 1.2米", "399.00"), Listing(2, "升降办公桌 电动", "1299.00"),
                   Listing(3, "简约电脑桌 家用", "159.00")})));
    server.Enqueue(TResponseScript::WithLength(
        200, Page({Listing(1, "实木办公桌 1.2米", "329.00"), Listing(2, "升降办公桌 电动", "1349.00"),
                   Listing(4, "折叠小书桌", "89.00")})));
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start(TMainFormFixture::LocalRun(server.Host()));
    TWatch watch;
    watch.Keyword = QStringLiteral("办公桌");
    watch.Pages = 1;
    watch.EveryHours = 6;
    watch.DropPercent = 10;
    watch.BelowPrice = 100;
    QString error;
    if (TWatchList(fixture.Dm()->conn()).Add(watch, &error) == 0) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    QTest::mouseClick(form->btnWatch, Qt::LeftButton);
    TWatchWindow* window = form->Watches();
    for (int day = 0; day < 2; ++day) {
        window->gridWatches->selectRow(0);
        QTest::mouseClick(window->btnRunNow, Qt::LeftButton);
        if (!QTest::qWaitFor([form]() { return !form->IsRunning(); }, 60000)) {
            return false;
        }
    }
    window->gridWatches->resizeColumnsToContents();
    window->gridAlerts->resizeColumnsToContents();
    window->raise();
    QTest::qWait(300);
    return window->grab().save(output);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    const bool saved = TakeScreenshot(QString::fromLocal8Bit(argv[1]));
    DoneModules();
    return saved ? 0 : 1;
}
