#include "app/TExportDialog.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryState.h"
#include "app/TLibraryWindow.h"
#include "app/TPriceChart.h"
#include "app/uStartup.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/engine/TStatement.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/export/TWorkbookReader.h"
#include "tests/support/TLocalZone.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"
#include "ui/TGoodsGrid.h"
#include "ui/TSystemBrowser.h"
#include "ui/uWebForm.h"

#include <QAbstractAxis>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

namespace {
QStringList ViewerUrls; // the pages the viewer opened, for the open hook

void RecordAndClose(TWebForm* form)
{
    if (!QTest::qWaitFor([form]() { return !form->WebBrowser1->url().isEmpty(); }, 15000)) {
        qWarning("the viewer shows no address");
    }
    ViewerUrls.append(form->WebBrowser1->url().toString());
    form->close();
}

// Pairs of a bar's controls that overlap, and controls narrower than their text needs.
QStringList Crowded(const QWidget* bar)
{
    QStringList found;
    QList<QWidget*> controls;
    for (QWidget* child : bar->findChildren<QWidget*>()) {
        if (child->isVisible() && child->parentWidget() == bar) {
            controls.append(child);
        }
    }
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget* control = controls[i];
        const bool squeezable = control->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored;
        if (!squeezable && control->width() < control->minimumSizeHint().width()) {
            found.append(control->objectName() + QStringLiteral(" is cut"));
        }
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            if (control->geometry().intersects(controls[j]->geometry())) {
                found.append(control->objectName() + QLatin1Char('/') + controls[j]->objectName());
            }
        }
    }
    return found;
}

// Controls of the window that lie outside it, or have no room at all.
QStringList OutOfSight(const QWidget* window, const QList<const QWidget*>& controls)
{
    QStringList found;
    for (const QWidget* control : controls) {
        const QRect place(control->mapTo(window, QPoint(0, 0)), control->size());
        if (place.isEmpty() || !window->rect().contains(place)) {
            found.append(control->objectName());
        }
    }
    return found;
}

// Texts of the chart that its layout cut short ("...") or left out of its room: the legend's outside the legend,
// the others outside the chart.
QStringList CutTexts(const QChart* chart)
{
    QStringList cut;
    const QRectF whole(chart->pos(), chart->size());
    const QRectF legend = chart->legend()->geometry().adjusted(-0.5, -0.5, 0.5, 0.5);
    for (const QGraphicsItem* item : chart->scene()->items()) {
        const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
        if (text == nullptr || !text->isVisible()) {
            continue;
        }
        const QRectF room = chart->legend()->isAncestorOf(text) ? legend : whole;
        if (text->toPlainText().contains(QStringLiteral("...")) || !room.contains(text->sceneBoundingRect())) {
            cut.append(text->toPlainText());
        }
    }
    return cut;
}
} // namespace

// The library window over the program's database, driven as a user drives it.
class TestLibraryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonTakesTheFreeCornerOfTheTopBar();
    void showsEveryStoredRowInPages();
    void scrollingToTheEndLoadsTheLastRows();
    void searchAndFiltersSetTheStatusLine();
    void impossiblePriceRangeIsExplained();
    void groupingShowsSightings();
    void refreshShowsRowsStoredMeanwhile();
    void deleteAsksFirst();
    void exportWritesTheFilteredRows();
    void fitsTheScreen();
    void rowsWithoutKeywordHaveTheirOwnEntry();
    void linkCellsOpenAndEveryCellOffersItsPage();
    void chartShowsItsLegendWholeAndCountsWhatItShows();
    void databaseThatDidNotOpenIsExplained();
    void findAndEscapeKeys();
    void sortStaysOnItsColumnAcrossMerging();
    void sortingKeepsTheChartsJob();
    void unusablePriceKeepsTheView_data();
    void unusablePriceKeepsTheView();
    void failedDeletionSaysWhy();
    void exportProposesAndAsksLikeTheMainWindow();
    void collectionTimesAreLocalShownAndExported();
    void rangeOfDaysNarrowsTheRows();
    void sellersAndOneSellersRows();
    void filtersSortAndSizeAreKept();

private:
    void Store(int rows, const QString& keyword, int firstPrice = 1);
    TLibraryWindow* Open();
    bool Settle(TLibraryWindow* window);
    void StoreAt(const QString& title, const QString& nick, const QVariant& time);
    QStringList Column(TLibraryWindow* window, const QString& field);
    void Type(QLineEdit* edit, const QString& text);

    TMainFormFixture* m_fixture = nullptr;
    TMainForm* m_form = nullptr;
    QTemporaryDir m_dir;
};

void TestLibraryWindow::init()
{
    TMainFormFixture::RemoveDataFiles();
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start();
}

void TestLibraryWindow::cleanup()
{
    TMessageBox::SetAskHook({});
    TExportDialog::SetTestHook({});
    TSystemBrowser::SetTestHook({});
    TWebForm::SetOpenHook(nullptr);
    delete m_fixture;
    m_fixture = nullptr;
}

// Rows as the collection run leaves them, titled "<keyword> <n>", one listing every two rows.
void TestLibraryWindow::Store(int rows, const QString& keyword, int firstPrice)
{
    TStatement insert;
    QString error;
    QVERIFY(
        insert.Prepare(m_fixture->Dm()->conn(),
                       QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1) "
                                      "INSERT INTO goodslist(keyname, title, view_price, item_loc, nick, detail_url, "
                                      "collect_time) SELECT ?, ? || ' ' || i, ? + i, '浙江 杭州', '店' || (i % 3), "
                                      "'//item.htm?id=' || ? || (i / 2), '2026-12-10T10:00:00+08:00' FROM n"),
                       &error));
    QVERIFY(insert.Bind({rows, keyword, keyword, firstPrice, keyword}, &error));
    QVERIFY2(insert.Run(&error), qPrintable(error));
}

// One row with its seller and time of collection, as another program might have stored it.
void TestLibraryWindow::StoreAt(const QString& title, const QString& nick, const QVariant& time)
{
    TStatement insert;
    QString error;
    QVERIFY(insert.Prepare(m_fixture->Dm()->conn(),
                           QStringLiteral("INSERT INTO goodslist(keyname, title, nick, view_price, detail_url, "
                                          "collect_time) VALUES ('桌', ?1, ?2, 10, '//item.htm?id=' || ?1, ?3)"),
                           &error));
    QVERIFY(insert.Bind({title, nick, time}, &error));
    QVERIFY2(insert.Run(&error), qPrintable(error));
}

// The texts a column of the grid shows, top to bottom.
QStringList TestLibraryWindow::Column(TLibraryWindow* window, const QString& field)
{
    QStringList texts;
    const int column = window->Model()->ColumnOfField(field);
    for (int row = 0; row < window->grid->model()->rowCount(); ++row) {
        texts.append(window->grid->model()->index(row, column).data().toString());
    }
    return texts;
}

TLibraryWindow* TestLibraryWindow::Open()
{
    QTest::mouseClick(m_form->btnLibrary, Qt::LeftButton);
    TLibraryWindow* window = m_form->Library();
    if (window != nullptr) {
        Settle(window);
    }
    return window;
}

// Waits until the worker has nothing left and its answers have arrived.
bool TestLibraryWindow::Settle(TLibraryWindow* window)
{
    for (int round = 0; round < 5; ++round) {
        window->WaitForWorker();
        QCoreApplication::processEvents();
    }
    return QTest::qWaitFor([window]() { return window->Model()->TotalRows() >= 0; }, 5000);
}

void TestLibraryWindow::Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->clear();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
    }
    QTest::qWait(300); // the pause after typing
}

void TestLibraryWindow::buttonTakesTheFreeCornerOfTheTopBar()
{
    QCOMPARE(m_form->btnLibrary->text(), QStringLiteral("数据库"));
    QCOMPARE(m_form->btnLibrary->parentWidget(), m_form->RzPanel1);
    QCOMPARE(m_form->btnLibrary->geometry(), QRect(520, 11, 75, 25));
    QCOMPARE(m_form->btnExport->geometry(), QRect(520, 51, 75, 25));
    QCOMPARE(m_form->RzBitBtn1->geometry(), QRect(424, 11, 75, 25));
    QVERIFY(m_form->btnLibrary->geometry().right() < m_form->Image2->geometry().left());
}

void TestLibraryWindow::showsEveryStoredRowInPages()
{
    Store(700, QStringLiteral("办公桌"));
    TLibraryWindow* window = Open();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QAbstractItemModelTester tester(window->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(window->Model()->rowCount(), 700);
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 700 条，350 个商品"));
    QAbstractItemModel* model = window->grid->model();
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c) {
        titles.append(model->headerData(c, Qt::Horizontal).toString());
    }
    QCOMPARE(
        titles.mid(0, 11),
        (QStringList{"标题", "图片", "详细", "价格", "运费", "原价", "地点", "淘宝号", "旺旺昵称", "店铺", "评价数"}));
    QCOMPARE(titles.mid(11), (QStringList{"关键字", "采集时间"}));
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("办公桌 699")); // the newest first
    QCOMPARE(window->grid->horizontalHeader()->sortIndicatorSection(), -1);
    QCOMPARE(window->chart->Stats().Count, 700);
    // Only the pages near what the grid shows are loaded.
    QVERIFY(!window->Model()->IsLoaded(699));
    // Sorting by a title is done by the database.
    window->grid->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder);
    QVERIFY(Settle(window));
    QCOMPARE(model->index(0, 3).data().toDouble(), 700.0);
}

void TestLibraryWindow::scrollingToTheEndLoadsTheLastRows()
{
    Store(1000, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    window->grid->scrollToBottom();
    QCoreApplication::processEvents();
    QVERIFY(Settle(window));
    QVERIFY(QTest::qWaitFor([window]() { return window->Model()->IsLoaded(999); }, 5000));
    QCOMPARE(window->grid->model()->index(999, 0).data().toString(), QStringLiteral("桌 0"));
    window->grid->verticalScrollBar()->setValue(window->grid->verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    QVERIFY(Settle(window));
    const int middle = window->grid->rowAt(window->grid->viewport()->height() / 2);
    QVERIFY(QTest::qWaitFor([&]() { return window->Model()->IsLoaded(middle); }, 5000));
    QCOMPARE(window->grid->model()->index(middle, 0).data().toString(), QStringLiteral("桌 %1").arg(999 - middle));
}

void TestLibraryWindow::searchAndFiltersSetTheStatusLine()
{
    Store(30, QStringLiteral("办公桌"), 10);
    Store(20, QStringLiteral("椅子"), 100);
    TLibraryWindow* window = Open();
    Type(window->edSearch, QStringLiteral("办公桌 1"));
    QVERIFY(Settle(window));
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 11 条，6 个商品")); // 1 and 10..19
    Type(window->edSearch, QStringLiteral("\"*(NEAR%_"));
    QVERIFY(Settle(window));
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 0 条，0 个商品"));
    window->edSearch->clear();
    const int chairs = window->cbKeyword->findData(QStringLiteral("椅子"));
    QVERIFY(chairs > 0);
    QCOMPARE(window->cbKeyword->itemText(chairs), QStringLiteral("椅子（20）"));
    window->cbKeyword->setCurrentIndex(chairs);
    emit window->cbKeyword->activated(chairs);
    Type(window->edMinPrice, QStringLiteral("110"));
    QVERIFY(Settle(window));
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 10 条，5 个商品"));
    QCOMPARE(window->chart->Stats().Count, 10);
    QCOMPARE(window->chart->Stats().Median, 114.5);
}

void TestLibraryWindow::impossiblePriceRangeIsExplained()
{
    Store(10, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    Type(window->edMinPrice, QStringLiteral("50"));
    Type(window->edMaxPrice, QStringLiteral("5"));
    QVERIFY(window->lblStatus->text().contains(QStringLiteral("最低价")));
    QCOMPARE(window->Model()->rowCount(), 0); // 50 and up: nothing, the range was not applied
    Type(window->edMaxPrice, QStringLiteral("abc"));
    QVERIFY(window->lblStatus->text().contains(QStringLiteral("不是数字")));
}

void TestLibraryWindow::groupingShowsSightings()
{
    Store(10, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    window->chkGroup->setChecked(true);
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 5);
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 5 个商品（相同商品已合并）"));
    QAbstractItemModel* model = window->grid->model();
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("次数"));
    QCOMPARE(model->index(0, 1).data().toInt(), 2); // the listing seen last first: rows 8 and 9
    QCOMPARE(model->index(0, 2).data().toDouble(), 9.0); // the lowest of 9 and 10
    QCOMPARE(model->index(0, 3).data().toDouble(), 10.0);
    window->chkGroup->setChecked(false);
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 10);
}

void TestLibraryWindow::refreshShowsRowsStoredMeanwhile()
{
    Store(5, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    QCOMPARE(window->Model()->rowCount(), 5);
    Store(3, QStringLiteral("椅"));
    QTest::keyClick(window, Qt::Key_F5);
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 8);
    QVERIFY(window->cbKeyword->findData(QStringLiteral("椅")) > 0);
}

void TestLibraryWindow::deleteAsksFirst()
{
    Store(6, QStringLiteral("桌"));
    Store(4, QStringLiteral("椅"));
    TLibraryWindow* window = Open();
    QStringList questions;
    bool answer = false;
    TMessageBox::SetAskHook([&](const QString&, const QString& text) {
        questions.append(text);
        return answer;
    });
    window->grid->selectionModel()->select(window->grid->model()->index(0, 0), QItemSelectionModel::Select);
    window->grid->selectionModel()->select(window->grid->model()->index(2, 5), QItemSelectionModel::Select);
    QTest::mouseClick(window->btnDelete, Qt::LeftButton);
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions.first().contains(QStringLiteral("2 行")));
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 10); // No keeps every row
    answer = true;
    QTest::mouseClick(window->btnDelete, Qt::LeftButton);
    QVERIFY(Settle(window));
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 8);
    QCOMPARE(window->grid->model()->index(0, 0).data().toString(), QStringLiteral("椅 2")); // 椅 3 and 椅 1 went
    window->cbKeyword->setCurrentIndex(window->cbKeyword->findData(QStringLiteral("椅")));
    QTest::mouseClick(window->btnDeleteKeyword, Qt::LeftButton);
    QVERIFY(questions.last().contains(QStringLiteral("椅")));
    QVERIFY(Settle(window));
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 6);
    QVERIFY(m_fixture->Boxes().isEmpty());
}

void TestLibraryWindow::exportWritesTheFilteredRows()
{
    Store(8, QStringLiteral("桌"));
    Store(5, QStringLiteral("椅"));
    TLibraryWindow* window = Open();
    Type(window->edSearch, QStringLiteral("椅"));
    QVERIFY(Settle(window));
    const QString path = m_dir.filePath(QStringLiteral("view.csv"));
    TExportDialog::SetTestHook([path](TExportDialog& dialog) {
        dialog.rbGridRows->setChecked(true);
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
        return true;
    });
    QTest::mouseClick(window->btnExport, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this]() { return !m_fixture->Boxes().isEmpty(); }, 10000));
    QVERIFY2(m_fixture->Boxes().first().contains(QStringLiteral("已导出 5 行")),
             qPrintable(m_fixture->Boxes().first()));
    const QString text = QString::fromUtf8(ReadFileBytes(path));
    QVERIFY(text.contains(QStringLiteral("椅 4")));
    QVERIFY(!text.contains(QStringLiteral("桌 ")));
    QVERIFY(text.startsWith(QStringLiteral("\xFEFF标题")) || text.startsWith(QStringLiteral("标题")));
}

// Opened at its default size, centred, where the screen has room; else on the whole available area. On every
// screen (the suite runs this case on 800 × 600, 1024 × 768 and at double scale too) and at 800 pixels wide,
// every control is inside the window, no control of the bars covers another or is cut (the button of a seller
// the rows are narrowed to included), and the search box keeps its room.
void TestLibraryWindow::fitsTheScreen()
{
    Store(200, QStringLiteral("办公桌"), 1000);
    QString error;
    QVERIFY2(m_fixture->Dm()->conn()->Execute(
                 "UPDATE goodslist SET nick = '一个名字很长很长的家具旗舰店铺专营店' WHERE nick = '店1'", &error),
             qPrintable(error));
    TLibraryWindow* window = Open();
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect area = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    QVERIFY2(area.contains(frame),
             qPrintable(QStringLiteral("%1,%2 %3x%4 on %5x%6")
                            .arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height())
                            .arg(area.width())
                            .arg(area.height())));
    const QSize margins = frame.size() - window->size();
    if (area.width() >= TLibraryWindow::DefaultWidth + margins.width()
        && area.height() >= TLibraryWindow::DefaultHeight + margins.height()) {
        QCOMPARE(window->size(), QSize(TLibraryWindow::DefaultWidth, TLibraryWindow::DefaultHeight));
        QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
    }
    QList<const QWidget*> controls = QList<const QWidget*>{
        window->edSearch, window->btnRefresh, window->btnExport, window->btnDelete, window->btnDeleteKeyword,
        window->deTo,     window->grid,       window->chart,     window->lblStatus};
    // Then again with the rows narrowed to a seller of a long name, whose button joins the filters.
    for (const bool narrowed : {false, true}) {
        if (narrowed) {
            window->chkSellers->setChecked(true);
            QVERIFY(Settle(window));
            QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {},
                              window->grid->visualRect(window->grid->model()->index(0, 0)).center());
            QVERIFY(Settle(window));
            QVERIFY(window->btnSeller->isVisible());
            controls.append(window->btnSeller);
        }
        for (const int width : {window->width(), 800 - margins.width()}) {
            window->resize(width, window->height());
            window->layout()->activate();
            QCoreApplication::processEvents();
            QCOMPARE(window->width(), width); // the window can be this narrow
            QCOMPARE(Crowded(window->findChild<QWidget*>("filterBar")), QStringList());
            QCOMPARE(Crowded(window->findChild<QWidget*>("actionBar")), QStringList());
            QCOMPARE(OutOfSight(window, controls), QStringList());
            QVERIFY2(window->edSearch->width() >= TLibraryWindow::MinSearchWidth,
                     qPrintable(QString::number(window->edSearch->width())));
            QTest::qWait(50); // the chart lays itself out
            QVERIFY2(CutTexts(window->chart->chart()).isEmpty(),
                     qPrintable(CutTexts(window->chart->chart()).join(QLatin1Char('|'))));
        }
    }
}

// Rows stored without a keyword are an entry of the keyword list of their own: counted, shown and deleted.
void TestLibraryWindow::rowsWithoutKeywordHaveTheirOwnEntry()
{
    Store(3, QString());
    Store(5, QStringLiteral("桌"));
    QString error;
    QVERIFY2(m_fixture->Dm()->conn()->Execute("INSERT INTO goodslist(title, keyname) VALUES ('旧行', NULL)", &error),
             qPrintable(error));
    TLibraryWindow* window = Open();
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 9 条，6 个商品"));
    QCOMPARE(window->cbKeyword->itemText(0), QStringLiteral("全部关键字（9）"));
    QCOMPARE(window->cbKeyword->itemText(1), QStringLiteral("（无关键字）（4）"));
    window->cbKeyword->setCurrentIndex(1);
    emit window->cbKeyword->activated(1);
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 4);
    QStringList questions;
    TMessageBox::SetAskHook([&questions](const QString&, const QString& text) {
        questions.append(text);
        return true;
    });
    QTest::mouseClick(window->btnDeleteKeyword, Qt::LeftButton);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions.first().contains(QStringLiteral("没有关键字")), qPrintable(questions.first()));
    QVERIFY(Settle(window));
    QVERIFY(Settle(window));
    QCOMPARE(window->cbKeyword->currentIndex(), 0); // the entry is gone
    QCOMPARE(window->Model()->rowCount(), 5);
    QCOMPARE(window->cbKeyword->count(), 2);
}

// A click on a link cell opens the page viewer, as in the main grid; the cell menu offers the row's detail page
// from any cell, and says so when no program can open it.
void TestLibraryWindow::linkCellsOpenAndEveryCellOffersItsPage()
{
    Store(2, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    ViewerUrls.clear();
    TWebForm::SetOpenHook(RecordAndClose);
    QAbstractItemModel* model = window->grid->model();
    const QModelIndex detail = model->index(0, 2);
    QCOMPARE(detail.data().toString(), QStringLiteral("//item.htm?id=桌0"));
    QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {}, window->grid->visualRect(detail).center());
    QCOMPARE(ViewerUrls.size(), 1);
    QVERIFY2(ViewerUrls.first().startsWith(QStringLiteral("http://item.htm")), qPrintable(ViewerUrls.first()));
    const QModelIndex title = model->index(1, 0);
    QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {}, window->grid->visualRect(title).center());
    QCOMPARE(ViewerUrls.size(), 1); // a plain cell opens nothing

    QList<QUrl> opened;
    bool browserThere = true;
    TSystemBrowser::SetTestHook([&](const QUrl& url) {
        opened.append(url);
        return browserThere;
    });
    for (const bool there : {true, false}) {
        browserThere = there;
        std::unique_ptr<QMenu> menu(TGoodsGrid::CreateCellMenu(
            window->grid, title, TGoodsGrid::DetailPageColumn(window->grid, TRowSetModel::FieldNameRole)));
        auto* open = menu->findChild<QAction*>("actOpenInBrowser");
        QVERIFY(open->isEnabled());
        open->trigger();
    }
    QCOMPARE(opened, QList<QUrl>(2, QUrl(QStringLiteral("http://item.htm?id=桌0"))));
    QCOMPARE(m_fixture->Boxes().size(), 1); // only when no program opened it
    QVERIFY2(m_fixture->Boxes().first().contains(QStringLiteral("没有可以打开网页")),
             qPrintable(m_fixture->Boxes().first()));
}

// At the window's default size and at 800 pixels wide the chart's legend and texts are whole, prices of five
// digits and two decimals included; merged, its bars count listings.
void TestLibraryWindow::chartShowsItsLegendWholeAndCountsWhatItShows()
{
    Store(400, QStringLiteral("办公桌"), 10000);
    QString error;
    QVERIFY(m_fixture->Dm()->conn()->Execute("UPDATE goodslist SET view_price = view_price + 0.25", &error));
    TLibraryWindow* window = Open();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    for (const int width : {window->width(), 800 - (window->frameGeometry().width() - window->width())}) {
        window->resize(width, window->height());
        QTest::qWait(50);
        QChart* chart = window->chart->chart();
        QVERIFY(!chart->legend()->markers().isEmpty());
        QVERIFY2(CutTexts(chart).isEmpty(), qPrintable(CutTexts(chart).join(QLatin1Char('|'))));
    }
    QChart* chart = window->chart->chart();
    QCOMPARE(chart->axes(Qt::Vertical).first()->titleText(), QStringLiteral("行数"));
    window->chkGroup->setChecked(true);
    QVERIFY(Settle(window));
    QTest::qWait(50);
    chart = window->chart->chart();
    QCOMPARE(chart->axes(Qt::Vertical).first()->titleText(), QStringLiteral("商品数"));
    QCOMPARE(chart->legend()->markers().first()->label(), QStringLiteral("商品数"));
    QCOMPARE(window->chart->Stats().Count, 200);
    QCOMPARE(CutTexts(chart), QStringList());
}

// Over a database that did not open, the status line says why and the chart stops waiting.
void TestLibraryWindow::databaseThatDidNotOpenIsExplained()
{
    const QString missing = m_dir.filePath(QStringLiteral("no-such-folder/gleanbox.db"));
    TLibraryWindow window(m_fixture->Dm(), TDBFunc::ConnectionString(missing, TDBFunc::Password()), {}, m_form);
    window.show();
    QVERIFY(QTest::qWaitFor(
        [&window]() {
            window.WaitForWorker();
            return window.lblStatus->text().contains(QStringLiteral("无法打开数据库"));
        },
        5000));
    QVERIFY(QTest::qWaitFor([&window]() { return window.chart->chart()->title().contains(QStringLiteral("无法统计")); },
                            5000));
    QVERIFY(!window.lblStatus->text().contains(QStringLiteral("正在查询")));
}

// Ctrl+F goes to the search box with its text chosen; Esc closes the window.
void TestLibraryWindow::findAndEscapeKeys()
{
    Store(3, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->edSearch->setText(QStringLiteral("桌"));
    QVERIFY(Settle(window));
    window->grid->setFocus();
    QTest::keyClick(window->grid, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window->edSearch));
    QCOMPARE(window->edSearch->selectedText(), QStringLiteral("桌"));
    QTest::keyClick(window->edSearch, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

// The sort stays on its column when the view merges listings and back, wherever that column stands; a column
// only the merged view has leaves the rows in their order of collection, the newest first.
void TestLibraryWindow::sortStaysOnItsColumnAcrossMerging()
{
    Store(10, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    QHeaderView* header = window->grid->horizontalHeader();
    QAbstractItemModel* model = window->grid->model();
    header->setSortIndicator(3, Qt::DescendingOrder); // 价格
    QVERIFY(Settle(window));
    QCOMPARE(model->index(0, 3).data().toDouble(), 10.0);
    window->chkGroup->setChecked(true);
    QVERIFY(Settle(window));
    const int latest = window->Model()->ColumnOfField(QStringLiteral("view_price"));
    QCOMPARE(model->headerData(latest, Qt::Horizontal).toString(), QStringLiteral("最新价"));
    QCOMPARE(header->sortIndicatorSection(), latest);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(model->index(0, latest).data().toDouble(), 10.0);
    window->chkGroup->setChecked(false);
    QVERIFY(Settle(window));
    QCOMPARE(header->sortIndicatorSection(), 3);
    QCOMPARE(model->index(0, 3).data().toDouble(), 10.0);
    window->chkGroup->setChecked(true);
    QVERIFY(Settle(window));
    header->setSortIndicator(1, Qt::DescendingOrder); // 次数
    QVERIFY(Settle(window));
    window->chkGroup->setChecked(false);
    QVERIFY(Settle(window));
    QCOMPARE(header->sortIndicatorSection(), -1);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("桌 9"));
}

// A sort cancels the grid's reads, never the chart's: the chart gets its prices.
void TestLibraryWindow::sortingKeepsTheChartsJob()
{
    Store(300, QStringLiteral("桌"));
    QTest::mouseClick(m_form->btnLibrary, Qt::LeftButton);
    TLibraryWindow* window = m_form->Library();
    window->grid->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder); // at once, while the jobs wait
    QVERIFY(Settle(window));
    QVERIFY(QTest::qWaitFor([window]() { return window->chart->Stats().Count == 300; }, 5000));
    QVERIFY(!window->chart->chart()->title().contains(QStringLiteral("正在统计")));
}

// A price that is no finite number is refused with a message, like a reversed range; the rows shown stay
// as they were, read and not blank, and the chart does not wait.
void TestLibraryWindow::unusablePriceKeepsTheView_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("letters") << "edMaxPrice"
                             << "abc";
    QTest::newRow("infinity") << "edMaxPrice"
                              << "inf";
    QTest::newRow("negative infinity") << "edMinPrice"
                                       << "-inf";
    QTest::newRow("not a number") << "edMinPrice"
                                  << "nan";
    QTest::newRow("beyond any number") << "edMaxPrice"
                                       << "1e999";
}

void TestLibraryWindow::unusablePriceKeepsTheView()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    Store(10, QStringLiteral("桌"));
    TLibraryWindow* window = Open();
    Type(window->findChild<QLineEdit*>(field), typed);
    QVERIFY(Settle(window));
    QVERIFY2(window->lblStatus->text().contains(QStringLiteral("不是数字")), qPrintable(window->lblStatus->text()));
    QCOMPARE(window->Model()->Filter().MinPrice, QVariant());
    QCOMPARE(window->Model()->Filter().MaxPrice, QVariant());
    QCOMPARE(window->Model()->rowCount(), 10);
    window->grid->viewport()->repaint();
    QVERIFY(Settle(window));
    QVERIFY(window->Model()->IsLoaded(0));
    QCOMPARE(window->grid->model()->index(0, 0).data().toString(), QStringLiteral("桌 9"));
    QVERIFY(!window->chart->chart()->title().contains(QStringLiteral("正在统计")));
}

// A deletion that fails says why in the status line and in a box, never that rows were deleted; the rows stay.
void TestLibraryWindow::failedDeletionSaysWhy()
{
    Store(6, QStringLiteral("桌"));
    QString error;
    QVERIFY2(m_fixture->Dm()->conn()->Execute("CREATE TRIGGER keep BEFORE DELETE ON goodslist BEGIN "
                                              "SELECT RAISE(ABORT, 'rows are kept'); END",
                                              &error),
             qPrintable(error));
    TLibraryWindow* window = Open();
    TMessageBox::SetAskHook([](const QString&, const QString&) { return true; });
    window->grid->selectionModel()->select(window->grid->model()->index(0, 0), QItemSelectionModel::Select);
    QTest::mouseClick(window->btnDelete, Qt::LeftButton);
    QVERIFY(Settle(window));
    QVERIFY(Settle(window));
    const QString status = window->lblStatus->text();
    QVERIFY2(status.contains(QStringLiteral("删除失败")) && status.contains(QStringLiteral("rows are kept")),
             qPrintable(status));
    QVERIFY(!status.contains(QStringLiteral("已删除")));
    QCOMPARE(m_fixture->Boxes().size(), 1);
    QVERIFY(m_fixture->Boxes().first().startsWith(QStringLiteral("删除失败|")));
    QCOMPARE(window->Model()->rowCount(), 6);
    QVERIFY(window->Model()->IsLoaded(0));
}

// The library's export proposes its file as the main window's does (the keyword filtered by and the time, in
// the folder and format of the last export, whichever window made it), starts its keyword list on that
// keyword, and asks before it replaces a file.
void TestLibraryWindow::exportProposesAndAsksLikeTheMainWindow()
{
    Store(4, QStringLiteral("桌"));
    Store(3, QStringLiteral("椅子"));
    QStringList asked;
    TMessageBox::SetAskHook([&asked](const QString&, const QString& text) {
        asked.append(text);
        return false;
    });
    const QString first = m_dir.filePath(QStringLiteral("first.csv"));
    TExportDialog::SetTestHook([first](TExportDialog& dialog) {
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(first);
        return true;
    });
    QTest::mouseClick(m_form->btnExport, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor(
        [this]() { return !m_form->IsExporting() && QFileInfo::exists(m_dir.filePath("first.csv")); }, 10000));
    TLibraryWindow* window = Open();
    const int chairs = window->cbKeyword->findData(QStringLiteral("椅子"));
    window->cbKeyword->setCurrentIndex(chairs);
    emit window->cbKeyword->activated(chairs);
    QVERIFY(Settle(window));
    QString proposed;
    QString listed;
    bool csv = false;
    TExportDialog::SetTestHook([&](TExportDialog& dialog) {
        proposed = dialog.Path();
        listed = dialog.cbKeyword->currentText();
        csv = dialog.rbCsv->isChecked();
        dialog.edPath->setText(first); // a file that exists
        return true;
    });
    asked.clear();
    QTest::mouseClick(window->btnExport, Qt::LeftButton);
    const QRegularExpression name(QStringLiteral("^")
                                  + QRegularExpression::escape(QFileInfo(m_dir.path()).absoluteFilePath())
                                  + QStringLiteral("/椅子_\\d{8}-\\d{4}\\.csv$"));
    QVERIFY2(name.match(proposed).hasMatch(), qPrintable(proposed));
    QVERIFY(csv);
    QCOMPARE(listed, QStringLiteral("椅子"));
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.first().contains(QStringLiteral("已存在")), qPrintable(asked.first()));
    QVERIFY(!m_form->IsExporting()); // not replaced: nothing exports
}

// Times of collection are shown as the local date and time, whatever offset they were stored with, and the export
// writes them as date cells of that local time.
void TestLibraryWindow::collectionTimesAreLocalShownAndExported()
{
    const TLocalZone zone("CST-8"); // eight hours east of UTC
    StoreAt(QStringLiteral("早"), QStringLiteral("店"), QStringLiteral("2026-12-10T10:05:59+08:00"));
    StoreAt(QStringLiteral("晚"), QStringLiteral("店"), QStringLiteral("2026-12-10T15:30:00Z"));
    StoreAt(QStringLiteral("旧"), QStringLiteral("店"), QVariant()); // stored before times were kept
    TLibraryWindow* window = Open();
    QCOMPARE(Column(window, QStringLiteral("title")), (QStringList{"旧", "晚", "早"}));
    QCOMPARE(Column(window, QStringLiteral("collect_time")),
             (QStringList{QString(), "2026-12-10 23:30", "2026-12-10 10:05"}));
    const QString path = m_dir.filePath(QStringLiteral("times.xlsx"));
    TExportDialog::SetTestHook([path](TExportDialog& dialog) {
        dialog.rbGridRows->setChecked(true);
        dialog.rbXlsx->setChecked(true);
        dialog.edPath->setText(path);
        return true;
    });
    QTest::mouseClick(window->btnExport, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this]() { return !m_fixture->Boxes().isEmpty(); }, 10000));
    QList<QStringList> rows;
    QString error;
    QVERIFY2(TWorkbookReader::ReadSheet(path, 1, &rows, &error), qPrintable(error));
    const qsizetype time = rows.first().indexOf(QStringLiteral("s:采集时间"));
    QVERIFY(time >= 0);
    QStringList times;
    for (const QStringList& row : rows.mid(1)) {
        times.append(row.value(time));
    }
    QCOMPARE(times, (QStringList{"d:2026-12-10 10:05:59", "d:2026-12-10 23:30:00", ""})); // in the order of the ids
}

// A range of days takes the rows from its first day's midnight to its last day's last second; a range that ends
// before it starts is refused and the rows shown stay.
void TestLibraryWindow::rangeOfDaysNarrowsTheRows()
{
    StoreAt(QStringLiteral("a"), QStringLiteral("店"), QStringLiteral("2026-12-01T23:59:59+08:00"));
    StoreAt(QStringLiteral("b"), QStringLiteral("店"), QStringLiteral("2026-12-02T00:00:00+08:00"));
    StoreAt(QStringLiteral("c"), QStringLiteral("店"), QStringLiteral("2026-12-03T23:59:59+08:00"));
    StoreAt(QStringLiteral("d"), QStringLiteral("店"), QStringLiteral("2026-12-04T00:00:00+08:00"));
    TLibraryWindow* window = Open();
    window->deFrom->setDate(QDate(2026, 12, 2));
    window->deTo->setDate(QDate(2026, 12, 3));
    QCOMPARE(window->Model()->rowCount(), 4); // not applied until the box is ticked
    window->chkDate->setChecked(true);
    QVERIFY(Settle(window));
    QCOMPARE(Column(window, QStringLiteral("title")), (QStringList{"c", "b"}));
    window->deFrom->setDate(QDate(2026, 12, 4));
    QVERIFY(Settle(window));
    QVERIFY2(window->lblStatus->text().contains(QStringLiteral("晚于")), qPrintable(window->lblStatus->text()));
    QCOMPARE(Column(window, QStringLiteral("title")), (QStringList{"c", "b"}));
    window->deTo->setDate(QDate(2026, 12, 4));
    QVERIFY(Settle(window));
    QCOMPARE(Column(window, QStringLiteral("title")), (QStringList{"d"}));
}

// 按卖家 shows a row per seller; a click on a seller shows its rows, and the seller's button shows every seller's
// rows again.
void TestLibraryWindow::sellersAndOneSellersRows()
{
    Store(9, QStringLiteral("桌")); // sellers 店0, 店1, 店2, three rows each
    TLibraryWindow* window = Open();
    window->chkSellers->setChecked(true);
    QVERIFY(Settle(window));
    QVERIFY(!window->chkGroup->isEnabled());
    QVERIFY(!window->btnDelete->isEnabled());
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 3 个卖家，5 个商品"));
    QAbstractItemModel* model = window->grid->model();
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c) {
        titles.append(model->headerData(c, Qt::Horizontal).toString());
    }
    QCOMPARE(
        titles,
        (QStringList{"旺旺昵称", "淘宝号", "商品数", "次数", "最低价", "中位价", "最高价", "评价总数", "最近采集"}));
    QCOMPARE(Column(window, QStringLiteral("nick")), (QStringList{"店2", "店1", "店0"})); // the newest first
    QCOMPARE(Column(window, QStringLiteral("median_price")), (QStringList{"6", "5", "4"})); // of 3, 6, 9 and so on
    const QModelIndex seller = model->index(1, 0);
    QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {}, window->grid->visualRect(seller).center());
    QVERIFY(Settle(window));
    QVERIFY(!window->chkSellers->isChecked());
    QVERIFY(window->btnSeller->isVisible());
    QVERIFY2(window->btnSeller->text().contains(QStringLiteral("店1")), qPrintable(window->btnSeller->text()));
    QCOMPARE(Column(window, QStringLiteral("title")), (QStringList{"桌 7", "桌 4", "桌 1"}));
    QCOMPARE(window->lblStatus->text(), QStringLiteral("共 3 条，3 个商品"));
    QTest::mouseClick(window->btnSeller, Qt::LeftButton);
    QVERIFY(Settle(window));
    QVERIFY(!window->btnSeller->isVisible());
    QCOMPARE(window->Model()->rowCount(), 9);
}

// The filters, the view, the sort and the window's size come back at the next opening of the library, after a
// restart of the program too, and they stay out of the settings file.
void TestLibraryWindow::filtersSortAndSizeAreKept()
{
    Store(30, QStringLiteral("办公桌"), 10);
    Store(20, QStringLiteral("椅子"), 100);
    TLibraryWindow* window = Open();
    Type(window->edSearch, QStringLiteral("椅"));
    const int chairs = window->cbKeyword->findData(QStringLiteral("椅子"));
    window->cbKeyword->setCurrentIndex(chairs);
    emit window->cbKeyword->activated(chairs);
    Type(window->edMinPrice, QStringLiteral("105.5"));
    window->deFrom->setDate(QDate(2026, 12, 10));
    window->deTo->setDate(QDate(2026, 12, 11));
    window->chkDate->setChecked(true);
    window->chkSellers->setChecked(true);
    QVERIFY(Settle(window));
    QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {},
                      window->grid->visualRect(window->grid->model()->index(0, 0)).center()); // seller 店1
    window->chkGroup->setChecked(true);
    QVERIFY(Settle(window));
    window->grid->horizontalHeader()->setSortIndicator(window->Model()->ColumnOfField("view_price"),
                                                       Qt::DescendingOrder);
    QVERIFY(Settle(window));
    window->resize(900, 560);
    const TLibraryFilter filter = window->Model()->Filter();
    const QStringList shown = Column(window, QStringLiteral("title"));
    QCOMPARE(shown, (QStringList{"椅子 19", "椅子 16", "椅子 13", "椅子 10", "椅子 7"}));
    window->close();

    m_form = m_fixture->Restart();
    window = Open();
    QCOMPARE(window->size(), QSize(900, 560));
    QCOMPARE(window->edSearch->text(), QStringLiteral("椅"));
    QCOMPARE(window->cbKeyword->currentData().toString(), QStringLiteral("椅子"));
    QCOMPARE(window->edMinPrice->text(), QStringLiteral("105.5"));
    QVERIFY(window->chkDate->isChecked());
    QCOMPARE(window->deFrom->date(), QDate(2026, 12, 10));
    QCOMPARE(window->deTo->date(), QDate(2026, 12, 11));
    QVERIFY(window->btnSeller->isVisible());
    QVERIFY(window->chkGroup->isChecked());
    QVERIFY(!window->chkSellers->isChecked());
    QVERIFY(window->Model()->Filter() == filter);
    QCOMPARE(window->Model()->Sort(), (TLibrarySort{QStringLiteral("view_price"), true}));
    QCOMPARE(window->grid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(Column(window, QStringLiteral("title")), shown);
    QVERIFY(QFileInfo::exists(TLibraryState::Path()));
    const QString settings = QString::fromUtf8(ReadFileBytes(IniPath));
    QVERIFY2(!settings.contains(QStringLiteral("105.5"))
                 && !settings.contains(QStringLiteral("sort"), Qt::CaseInsensitive),
             qPrintable(settings));
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestLibraryWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}
#include "TestLibraryWindow.moc"
