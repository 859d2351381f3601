// Makes the README's picture of the library window: real runs against the fake marketplace serving the saved
// search page, then the library with a search, and a picture of that window.
// Usage: LibraryScreenshotTool <output.png>   (under a display, e.g. xvfb-run)
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/uStartup.h"
#include "tests/TestPaths.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
// The saved page in the page framing the collection run reads.
QByteArray SavedPage()
{
    return "<html><head><script>\n    "
        + ReadFileBytes(QStringLiteral(MERCATIX_FIXTURES_DIR "/search-page-config-2018.js"))
        + "\n    g_srp_flushHtml();\n    g_srp_loadCss();\n</script></head><body></body></html>";
}

void Collect(TMainForm* form, const QString& keyword)
{
    form->cbSearch->setEditText(keyword);
    form->edPageNum->setValue(1);
    QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
    QTest::qWaitFor([form]() { return !form->IsRunning(); }, 20000);
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
    int code = 1;
    {
        TFakeMarketplace server;
        server.Start();
        for (const QString& keyword : {QStringLiteral("黑芝麻糊"), QStringLiteral("芝麻糊")}) {
            server.ServePage(TSearchPages::Target(keyword, 0), SavedPage());
            server.ServePage(TSearchPages::Target(keyword, 36), TSearchPages::Page(0));
        }
        TMainFormFixture::RemoveDataFiles();
        TMainFormFixture fixture;
        TRunParams params = TMainFormFixture::LocalRun(server.Host());
        TMainForm* form = fixture.Start(params);
        Collect(form, QStringLiteral("黑芝麻糊"));
        Collect(form, QStringLiteral("芝麻糊"));
        Collect(form, QStringLiteral("黑芝麻糊"));
        QTest::mouseClick(form->btnLibrary, Qt::LeftButton);
        TLibraryWindow* library = form->Library();
        library->resize(1180, 620);
        library->edSearch->setText(QStringLiteral("南方黑芝麻"));
        QTest::qWait(400);
        for (int round = 0; round < 5; ++round) {
            library->WaitForWorker();
            QTest::qWait(50);
        }
        QTest::qWait(300);
        code = library->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    }
    DoneModules();
    return code;
}
