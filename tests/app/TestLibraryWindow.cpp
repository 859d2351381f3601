#include "app/TExportDialog.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/TPriceChart.h"
#include "app/uStartup.h"
#include "storage/engine/TStatement.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

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

private:
    void Store(int rows, const QString& keyword, int firstPrice = 1);
    TLibraryWindow* Open();
    bool Settle(TLibraryWindow* window);
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
    delete m_fixture;
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
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("办公桌 0"));
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
    QCOMPARE(window->grid->model()->index(999, 0).data().toString(), QStringLiteral("桌 999"));
    window->grid->verticalScrollBar()->setValue(window->grid->verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    QVERIFY(Settle(window));
    const int middle = window->grid->rowAt(window->grid->viewport()->height() / 2);
    QVERIFY(QTest::qWaitFor([&]() { return window->Model()->IsLoaded(middle); }, 5000));
    QCOMPARE(window->grid->model()->index(middle, 0).data().toString(), QStringLiteral("桌 %1").arg(middle));
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
    QCOMPARE(model->index(0, 1).data().toInt(), 2);
    QCOMPARE(model->index(0, 2).data().toDouble(), 1.0); // the lowest of 1 and 2
    QCOMPARE(model->index(0, 3).data().toDouble(), 2.0);
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
    QCOMPARE(window->grid->model()->index(0, 0).data().toString(), QStringLiteral("桌 1"));
    window->cbKeyword->setCurrentIndex(window->cbKeyword->findData(QStringLiteral("椅")));
    QTest::mouseClick(window->btnDeleteKeyword, Qt::LeftButton);
    QVERIFY(questions.last().contains(QStringLiteral("椅")));
    QVERIFY(Settle(window));
    QVERIFY(Settle(window));
    QCOMPARE(window->Model()->rowCount(), 4);
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
