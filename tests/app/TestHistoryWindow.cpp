// One listing's price history, opened from the main grid and from the library as a user opens it, after two
// days of the fake marketplace's pages collected in the main window.
#include "app/TDisplayText.h"
#include "app/THistoryChart.h"
#include "app/THistoryWindow.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/uStartup.h"
#include "library/THistoryQuery.h"
#include "storage/uDBFunc.h"
#include "tests/app/TMarketDays.h"
#include "ui/TApplication.h"
#include "ui/TSystemBrowser.h"
#include "ui/uWebForm.h"

#include <QAction>
#include <QChart>
#include <QDate>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

namespace {
QStringList Opened; // the pages the viewer or the browser opened

void RecordAndClose(TWebForm* form)
{
    if (!QTest::qWaitFor([form]() { return !form->WebBrowser1->url().isEmpty(); }, 15000)) {
        qWarning("the viewer shows no address");
    }
    Opened.append(form->WebBrowser1->url().toString());
    form->close();
}

// The cell of a grid's row whose title starts with a text.
QModelIndex TitleCell(const QTableView* grid, const QString& title)
{
    const QAbstractItemModel* model = grid->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal).toString() != QStringLiteral("标题")) {
            continue;
        }
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, column).data().toString().startsWith(title)) {
                return model->index(row, column);
            }
        }
    }
    return {};
}

// Opens the cell menu on a cell as a right click does, and chooses an entry; false when it has none enabled.
bool ChooseFromCellMenu(QTableView* grid, const QModelIndex& index, const char* entry)
{
    emit grid->customContextMenuRequested(grid->visualRect(index).center());
    const QList<QMenu*> menus = grid->findChildren<QMenu*>(QStringLiteral("CellMenu"));
    QMenu* menu = menus.isEmpty() ? nullptr : menus.last();
    QAction* action = menu != nullptr ? menu->findChild<QAction*>(QLatin1String(entry)) : nullptr;
    const bool enabled = action != nullptr && action->isEnabled();
    if (enabled) {
        action->trigger();
    }
    if (menu != nullptr) {
        menu->close();
    }
    return enabled;
}

void DoubleClick(QTableView* grid, const QModelIndex& index)
{
    const QPoint centre = grid->visualRect(index).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

// The history window of an owner once its listing is read.
THistoryWindow* LoadedHistory(QWidget* owner)
{
    THistoryWindow* window = nullptr;
    const bool loaded = QTest::qWaitFor(
        [&]() {
            window = owner->findChild<THistoryWindow*>();
            return window != nullptr && window->IsLoaded();
        },
        10000);
    return loaded ? window : nullptr;
}

QStringList Row(const THistoryWindow* window, int row)
{
    QStringList cells;
    for (int column = 0; column < THistoryWindow::ColumnCount; ++column) {
        cells.append(window->grid->model()->index(row, column).data().toString());
    }
    return cells;
}

QList<QPointF> LinePoints(const THistoryWindow* window)
{
    for (QAbstractSeries* series : window->chart->chart()->series()) {
        if (series->type() == QAbstractSeries::SeriesTypeLine) {
            auto* line = static_cast<QLineSeries*>(series);
            return line->points();
        }
    }
    return {};
}

QString Day(int daysBack)
{
    return QDate::currentDate().addDays(-daysBack).toString(QStringLiteral("yyyy-MM-dd"));
}
} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void afterTwoDays_data();
    void afterTwoDays();
    void rowWithoutItemNumberOrLink_data();
    void rowWithoutItemNumberOrLink();
    void failureSaysWhy();

private:
    TLibraryWindow* OpenLibrary();

    std::unique_ptr<TMarketDays> m_days;
};

void TestHistoryWindow::cleanup()
{
    TSystemBrowser::SetTestHook({});
    TWebForm::SetOpenHook(nullptr);
    Opened.clear();
    m_days.reset();
}

TLibraryWindow* TestHistoryWindow::OpenLibrary()
{
    QTest::mouseClick(m_days->Form()->btnLibrary, Qt::LeftButton);
    TLibraryWindow* library = m_days->Form()->Library();
    const bool loaded = library != nullptr && QTest::qWaitFor([library]() {
                            library->WaitForWorker();
                            return library->Model()->TotalRows() >= 0 && library->Model()->IsLoaded(0);
                        });
    return loaded ? library : nullptr;
}

void TestHistoryWindow::afterTwoDays_data()
{
    QTest::addColumn<bool>("body");
    QTest::addColumn<QString>("page");
    QTest::newRow("page-config framing") << false << "http://item.example/item.htm?id=1";
    QTest::newRow("body framing") << true << "https://item.example/item.htm?id=1";
}

void TestHistoryWindow::afterTwoDays()
{
    QFETCH(bool, body);
    QFETCH(QString, page);
    m_days = std::make_unique<TMarketDays>(body);
    QVERIFY(m_days->Start());
    QVERIFY(m_days->RunDay(0) != 0);
    QVERIFY(m_days->RunDay(1) != 0);
    TMainForm* form = m_days->Form();

    // The cheaper listing, from the main grid's cell menu.
    const QModelIndex cheaper = TitleCell(form->grid, QStringLiteral("一号"));
    QVERIFY(cheaper.isValid());
    QVERIFY(ChooseFromCellMenu(form->grid, cheaper, "actHistory"));
    THistoryWindow* window = LoadedHistory(form);
    QVERIFY(window != nullptr && window->isVisible());
    QVERIFY2(window->lblStatus->text().isEmpty(), qPrintable(window->lblStatus->text()));
    QCOMPARE(window->lblTitle->text(), QStringLiteral("一号 碎花连衣裙 夏季"));
    const TListingHistory& history = window->History();
    QCOMPARE(history.FirstTime.left(10), Day(1));
    QCOMPARE(history.LastTime.left(10), Day(0));
    QCOMPARE(window->lblSummary->text(),
             QStringLiteral("首次采集 %1　最近采集 %2　最低价 85.00　最高价 100.00　共 2 次采集")
                 .arg(TDisplayText::Time(history.FirstTime), TDisplayText::Time(history.LastTime)));
    QCOMPARE(window->grid->model()->rowCount(), 2);
    const QString keyword = TMarketDays::Keyword();
    QCOMPARE(Row(window, 0),
             (QStringList{TDisplayText::Time(history.FirstTime), "100.00", "0.00", "12", keyword, "完整"}));
    QCOMPARE(Row(window, 1),
             (QStringList{TDisplayText::Time(history.LastTime), "85.00", "0.00", "15", keyword, "完整"}));
    // A step: the old price holds until the second day's sighting, then drops.
    const QList<QPointF> points = LinePoints(window);
    QCOMPARE(points.size(), 3);
    QCOMPARE(points[0].y(), 100.0);
    QCOMPARE(points[1], QPointF(points[2].x(), 100.0));
    QCOMPARE(points[2].y(), 85.0);
    QVERIFY(points[2].x() - points[0].x() > 23 * 3600 * 1000.0);
    QCOMPARE(window->chart->chart()->title(), QStringLiteral("价格历史（2 次采集）"));

    // Its page opens as a link of the grid opens: in the viewer, or in the browser for a full address.
    TWebForm::SetOpenHook(RecordAndClose);
    TSystemBrowser::SetTestHook([](const QUrl& url) {
        Opened.append(url.toString());
        return true;
    });
    QVERIFY(window->btnOpenPage->isEnabled());
    QTest::mouseClick(window->btnOpenPage, Qt::LeftButton);
    QTRY_COMPARE(Opened, QStringList{page});

    // The listing without an item number, by a double-click on its title: the same window shows it.
    DoubleClick(form->grid, TitleCell(form->grid, QStringLiteral("无编号")));
    window = LoadedHistory(form);
    QVERIFY(window != nullptr);
    QCOMPARE(form->findChildren<THistoryWindow*>().size(), 1);
    QCOMPARE(window->History().ItemKey, QStringLiteral("900"));
    QCOMPARE(window->grid->model()->rowCount(), 2);
    QCOMPARE(LinePoints(window).size(), 3); // level
    QVERIFY(window->lblSummary->text().contains(QStringLiteral("最低价 60.00　最高价 60.00　共 2 次采集")));

    // From the library: the new listing, seen once, by a double-click; the dearer one from the cell menu.
    TLibraryWindow* library = OpenLibrary();
    QVERIFY(library != nullptr);
    DoubleClick(library->grid, TitleCell(library->grid, QStringLiteral("五号")));
    window = LoadedHistory(library);
    QVERIFY(window != nullptr);
    QCOMPARE(window->grid->model()->rowCount(), 1);
    QVERIFY2(window->lblSummary->text().startsWith(QStringLiteral("只采集到一次：") + Day(0)),
             qPrintable(window->lblSummary->text()));
    QVERIFY(window->lblSummary->text().endsWith(QStringLiteral("价格 9.90")));
    QVERIFY(window->chart->chart()->title().startsWith(QStringLiteral("只采集到一次")));
    QVERIFY(window->chart->chart()->series().isEmpty());
    QVERIFY(ChooseFromCellMenu(library->grid, TitleCell(library->grid, QStringLiteral("二号")), "actHistory"));
    QVERIFY(QTest::qWaitFor([window]() { return window->IsLoaded() && window->History().Sightings.size() == 2; }));
    QCOMPARE(Row(window, 1).mid(1, 3), (QStringList{"55.00", "0.00", "31"}));
    QCOMPARE(LinePoints(window).back().y(), 55.0);
}

void TestHistoryWindow::rowWithoutItemNumberOrLink_data()
{
    QTest::addColumn<bool>("body");
    QTest::newRow("page-config framing") << false;
    QTest::newRow("body framing") << true;
}

// Such a row is a listing of its own, known by its row once it is stored.
void TestHistoryWindow::rowWithoutItemNumberOrLink()
{
    QFETCH(bool, body);
    m_days = std::make_unique<TMarketDays>(body);
    QVERIFY(m_days->Start());
    QVERIFY(m_days->RunListings({{0, QStringLiteral("无链接 连衣裙"), QStringLiteral("12.50")},
                                 {7, QStringLiteral("七号 连衣裙"), QStringLiteral("70.00")}})
            != 0);
    QVERIFY(m_days->RunListings({{0, QStringLiteral("无链接 连衣裙"), QStringLiteral("11.00")}}) != 0);
    TMainForm* form = m_days->Form();
    DoubleClick(form->grid, TitleCell(form->grid, QStringLiteral("无链接")));
    THistoryWindow* window = LoadedHistory(form);
    QVERIFY(window != nullptr);
    QVERIFY2(window->lblStatus->text().isEmpty(), qPrintable(window->lblStatus->text()));
    QVERIFY(window->History().ItemKey.startsWith(QLatin1Char('#')));
    QCOMPARE(window->grid->model()->rowCount(), 1); // the first run's row is another listing
    QVERIFY(window->lblSummary->text().startsWith(QStringLiteral("只采集到一次")));
    QVERIFY(!window->btnOpenPage->isEnabled());
    TLibraryWindow* library = OpenLibrary();
    QVERIFY(library != nullptr);
    DoubleClick(library->grid, TitleCell(library->grid, QStringLiteral("无链接")));
    window = LoadedHistory(library);
    QVERIFY(window != nullptr);
    QCOMPARE(window->grid->model()->rowCount(), 1);
    QVERIFY(window->History().ItemKey.startsWith(QLatin1Char('#')));
}

// A history that cannot be read says why instead of waiting.
void TestHistoryWindow::failureSaysWhy()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no-such-folder/gleanbox.db"));
    THistoryWindow window(TDBFunc::ConnectionString(path, TDBFunc::Password()));
    window.Load({0, QStringLiteral("1")});
    QVERIFY(QTest::qWaitFor([&window]() { return window.IsLoaded(); }, 10000));
    QVERIFY2(window.lblStatus->text().startsWith(QStringLiteral("无法读取价格历史：无法打开数据库")),
             qPrintable(window.lblStatus->text()));
    QCOMPARE(window.chart->chart()->title(), QStringLiteral("价格历史：无法读取"));
    QCOMPARE(window.grid->model()->rowCount(), 0);
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestHistoryWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}
#include "TestHistoryWindow.moc"
