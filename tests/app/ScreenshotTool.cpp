// Makes the README's screenshot: a real three-page run against the fake marketplace, then a picture of the window.
// Usage: ScreenshotTool <output.png>   (under a display, e.g. xvfb-run)
#include "app/uStartup.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

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
        const QString keyword = QStringLiteral("办公桌");
        for (int page = 0; page < 3; ++page) {
            server.ServePage(TSearchPages::Target(keyword, page * 44), TSearchPages::Page(44, page * 44));
        }
        TMainFormFixture fixture;
        TRunParams params;
        params.Host = server.Host();
        TMainForm* form = fixture.Start(params);
        form->cbSearch->setEditText(keyword);
        form->edPageNum->setValue(3);
        QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
        QTest::qWait(500);
        code = form->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    }
    DoneModules();
    return code;
}
