// Makes the README's screenshot: a run against the fake marketplace serving the saved 2018 search page,
// then a picture of the whole window with the rows it stored.
// Usage: ScreenshotTool <output.png>   (under a display, e.g. xvfb-run)
#include "app/uStartup.h"
#include "tests/TestPaths.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {
// The saved page data in a page of its own: the data statement, then the script call that ends the block.
QByteArray SavedPage()
{
    QFile file(QStringLiteral(MERCATIX_FIXTURES_DIR "/search-page-config-2018.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>芝麻糊-淘宝搜索</title>\n<script>\n"
        + file.readAll() + "\n    g_srp_flushHtml();\n    g_srp_loadCss();\n</script></head><body></body></html>\n";
}

bool TakeScreenshot(const QString& output)
{
    const QByteArray page = SavedPage();
    if (page.isEmpty()) {
        qWarning("the saved page is missing");
        return false;
    }
    TFakeMarketplace server;
    if (!server.Start()) {
        return false;
    }
    const QString keyword = QStringLiteral("芝麻糊");
    server.ServePage(TSearchPages::Target(keyword, 0), page);
    TMainFormFixture fixture;
    TRunParams params = TMainFormFixture::LocalRun(server.Host());
    TMainForm* form = fixture.Start(params);
    form->cbSearch->setEditText(keyword);
    form->edPageNum->setValue(1);
    QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
    // The run may go on after the click has returned; wait until it has ended.
    if (!QTest::qWaitFor([form]() { return !form->IsRunning() && form->grid->model()->rowCount() > 0; }, 60000)) {
        qWarning("the run stored no rows");
        return false;
    }
    QTest::qWait(300);
    return form->grab().save(output);
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
