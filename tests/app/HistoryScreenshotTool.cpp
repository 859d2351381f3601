// Makes the README's pictures of a listing's price history and of the comparison of two runs: two days of the fake
// marketplace's page collected in the main window (a price that dropped), the history of that listing, then a third
// run cut short and the library's comparison view.
// Usage: HistoryScreenshotTool <history.png> <comparison.png>   (under a display, e.g. xvfb-run)
#include "app/TComparisonWindow.h"
#include "app/THistoryWindow.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/uStartup.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "tests/app/TMarketDays.h"
#include "ui/TApplication.h"

#include <QPushButton>
#include <QTest>

namespace {
bool Save(QWidget* window, const char* path)
{
    QTest::qWait(300);
    return window->grab().save(QString::fromLocal8Bit(path));
}

bool ShowHistory(TMainForm* form, const char* path)
{
    THistoryWindow* window = THistoryWindow::ShowFor(form, TDBFunc::ConnectionString(DbPath, TDBFunc::Password()),
                                                     {0, QStringLiteral("1")});
    window->resize(780, 560);
    return QTest::qWaitFor([window]() { return window->IsLoaded(); }, 10000) && Save(window, path);
}

bool ShowComparison(TMainForm* form, const char* path)
{
    QTest::mouseClick(form->btnLibrary, Qt::LeftButton);
    TLibraryWindow* library = form->Library();
    library->WaitForWorker();
    QTest::mouseClick(library->btnCompare, Qt::LeftButton);
    auto* window = library->findChild<TComparisonWindow*>();
    if (window == nullptr) {
        return false;
    }
    window->resize(1000, 640);
    const bool compared = QTest::qWaitFor([window]() { return window->Compared().Newer.Id != 0; }, 10000);
    return compared && Save(window, path);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        return 2;
    }
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    int code = 1;
    {
        TMarketDays days(false);
        if (days.Start() && days.RunDay(0) != 0 && days.RunDay(1) != 0 && ShowHistory(days.Form(), argv[1])
            && days.RunPartial() != 0 && ShowComparison(days.Form(), argv[2])) {
            code = 0;
        }
    }
    DoneModules();
    return code;
}
