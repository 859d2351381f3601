// What changed between two runs, in the library's comparison view, after two days of the fake marketplace's
// pages collected in the main window: the changes, their sort, filter and export, a listing's history from
// them, and runs that did not end complete.
#include "app/TComparisonModel.h"
#include "app/TComparisonWindow.h"
#include "app/TExportDialog.h"
#include "app/THistoryWindow.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/uStartup.h"
#include "tests/app/TMarketDays.h"
#include "ui/TApplication.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The rows as the grid shows them: kind, title, old and new price, change, change in percent.
QStringList Shown(const TComparisonWindow* window)
{
    QStringList rows;
    const QAbstractItemModel* model = window->grid->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = TComparisonModel::ColKind; column <= TComparisonModel::ColPercent; ++column) {
            cells.append(model->index(row, column).data().toString());
        }
        rows.append(cells.join(QLatin1Char('|')));
    }
    return rows;
}

void ClickHeader(QTableView* grid, int column)
{
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void Choose(QComboBox* box, const QVariant& data)
{
    const int index = box->findData(data);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void SelectRuns(QTableWidget* runs, std::initializer_list<int> rows)
{
    runs->clearSelection();
    for (const int row : rows) {
        runs->selectionModel()->select(runs->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

const QString Cheaper = QStringLiteral("降价|一号 碎花连衣裙 夏季|100.00|85.00|-15.00|-15.0%");
const QString Dearer = QStringLiteral("涨价|二号 雪纺连衣裙|50.00|55.00|+5.00|+10.0%");
const QString New = QStringLiteral("新增|五号 复古连衣裙|—|9.90|—|—");
const QString Gone = QStringLiteral("消失|三号 针织连衣裙|30.00|—|—|—");
} // namespace

class TestComparisonWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void changesAfterTwoDays_data();
    void changesAfterTwoDays();
    void partialRunIsRefused();

private:
    bool StartDays(bool body);
    TComparisonWindow* Open();

    std::unique_ptr<TMarketDays> m_days;
    qint64 m_first = 0;
    qint64 m_second = 0;
};

void TestComparisonWindow::cleanup()
{
    TExportDialog::SetTestHook({});
    m_days.reset();
}

bool TestComparisonWindow::StartDays(bool body)
{
    m_days = std::make_unique<TMarketDays>(body);
    if (!m_days->Start()) {
        return false;
    }
    m_first = m_days->RunDay(0);
    m_second = m_days->RunDay(1);
    return m_first != 0 && m_second != 0;
}

// The library, then its 比较, once the window has compared what it starts on.
TComparisonWindow* TestComparisonWindow::Open()
{
    QTest::mouseClick(m_days->Form()->btnLibrary, Qt::LeftButton);
    TLibraryWindow* library = m_days->Form()->Library();
    if (library == nullptr) {
        return nullptr;
    }
    library->WaitForWorker();
    QTest::mouseClick(library->btnCompare, Qt::LeftButton);
    auto* window = library->findChild<TComparisonWindow*>();
    if (window == nullptr || !window->isVisible()) {
        return nullptr;
    }
    const bool compared = QTest::qWaitFor([window]() {
        window->WaitForWorker();
        QCoreApplication::processEvents();
        return window->Compared().Newer.Id != 0 || window->lblStatus->text().startsWith(QStringLiteral("无法"));
    });
    return compared ? window : nullptr;
}

void TestComparisonWindow::changesAfterTwoDays_data()
{
    QTest::addColumn<bool>("body");
    QTest::newRow("page-config framing") << false;
    QTest::newRow("body framing") << true;
}

void TestComparisonWindow::changesAfterTwoDays()
{
    QFETCH(bool, body);
    QVERIFY(StartDays(body));
    TComparisonWindow* window = Open();
    QVERIFY(window != nullptr);
    QVERIFY2(window->lblStatus->text().isEmpty(), qPrintable(window->lblStatus->text()));
    // The keyword's last two complete runs, which the run list shows newest first.
    QCOMPARE(window->cbKeyword->currentText(), TMarketDays::Keyword());
    QCOMPARE(window->Compared().Older.Id, m_first);
    QCOMPARE(window->Compared().Newer.Id, m_second);
    QCOMPARE(window->gridRuns->rowCount(), 2);
    QCOMPARE(window->gridRuns->item(0, TComparisonWindow::RunId)->text(), QString::number(m_second));
    QCOMPARE(window->gridRuns->item(0, TComparisonWindow::RunOutcome)->text(), QStringLiteral("完整"));
    QVERIFY(window->lblCaption->text().contains(QStringLiteral("运行 %1").arg(m_first)));
    // The listing without an item number has not changed, so it is no row.
    QCOMPARE(Shown(window), (QStringList{Cheaper, Dearer, New, Gone}));

    // Sorted by the change in percent, largest first (none last); the title's click before leaves the order of
    // the comparison.
    ClickHeader(window->grid, TComparisonModel::ColPercent);
    ClickHeader(window->grid, TComparisonModel::ColPercent);
    QCOMPARE(window->grid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(Shown(window).mid(0, 2), (QStringList{Dearer, Cheaper}));
    ClickHeader(window->grid, TComparisonModel::ColOld);
    QCOMPARE(Shown(window), (QStringList{New, Gone, Dearer, Cheaper}));

    // Filtered by kind, whose entries count the listings.
    QCOMPARE(window->cbKind->itemText(window->cbKind->findData(QStringLiteral("cheaper"))),
             QStringLiteral("降价（1）"));
    Choose(window->cbKind, QStringLiteral("cheaper"));
    QCOMPARE(Shown(window), QStringList{Cheaper});

    // Exported as shown, through the export dialog, which offers no table rows here.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changes.csv"));
    bool tableOffered = true;
    TExportDialog::SetTestHook([&](TExportDialog& dialog) {
        tableOffered = dialog.rbTableRows->isEnabled();
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
        return true;
    });
    QTest::mouseClick(window->btnExport, Qt::LeftButton);
    QVERIFY(!tableOffered);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The listing's page: in the body framing, the listing link the page gives.
    const QString link
        = body ? QStringLiteral("https://item.example/item.htm?id=1") : QStringLiteral("//item.example/item.htm?id=1");
    QCOMPARE(QString::fromUtf8(file.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("变化,标题,原价,新价,差额,幅度,商品编号,详细"),
                          QStringLiteral("降价,一号 碎花连衣裙 夏季,100,85,-15,-15,1,") + link}));

    // A listing's history from its row.
    const QModelIndex title = window->grid->model()->index(0, TComparisonModel::ColTitle);
    const QPoint centre = window->grid->visualRect(title).center();
    QTest::mouseClick(window->grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(window->grid->viewport(), Qt::LeftButton, {}, centre);
    THistoryWindow* history = nullptr;
    QVERIFY(QTest::qWaitFor([&]() {
        history = window->findChild<THistoryWindow*>();
        return history != nullptr && history->IsLoaded();
    }));
    QCOMPARE(history->History().Sightings.size(), size_t(2));
}

// A run that did not end complete is marked, says so when chosen, and is not compared; the keyword's latest
// comparison passes over it.
void TestComparisonWindow::partialRunIsRefused()
{
    QVERIFY(StartDays(false));
    const qint64 partial = m_days->RunPartial();
    QVERIFY(partial > m_second);
    TComparisonWindow* window = Open();
    QVERIFY(window != nullptr);
    QCOMPARE(window->Compared().Newer.Id, m_second);
    QCOMPARE(window->gridRuns->rowCount(), 3);
    const QTableWidgetItem* outcome = window->gridRuns->item(0, TComparisonWindow::RunOutcome);
    QCOMPARE(outcome->text(), QStringLiteral("不完整"));
    QVERIFY(!window->gridRuns->item(0, TComparisonWindow::RunReason)->text().isEmpty());
    QVERIFY(outcome->toolTip().contains(QStringLiteral("不能比较")));
    QVERIFY(outcome->foreground() != window->gridRuns->item(1, TComparisonWindow::RunOutcome)->foreground());

    SelectRuns(window->gridRuns, {0, 1});
    const QString refused = QStringLiteral("编号 %1 的运行不完整，不能比较").arg(partial);
    QVERIFY2(window->lblStatus->text().startsWith(refused), qPrintable(window->lblStatus->text()));
    QTest::mouseClick(window->btnCompareRuns, Qt::LeftButton);
    window->WaitForWorker();
    QCoreApplication::processEvents();
    QVERIFY(window->lblStatus->text().startsWith(refused));
    QCOMPARE(window->Compared().Newer.Id, m_second); // what was shown stays

    // One run alone is no comparison; the two complete ones are, chosen in the list.
    SelectRuns(window->gridRuns, {1});
    QTest::mouseClick(window->btnCompareRuns, Qt::LeftButton);
    QVERIFY(window->lblStatus->text().contains(QStringLiteral("选择两次运行")));
    SelectRuns(window->gridRuns, {2, 1});
    QVERIFY(window->lblStatus->text().isEmpty());
    QTest::mouseClick(window->btnCompareRuns, Qt::LeftButton);
    QTRY_COMPARE(window->Compared().Older.Id, m_first);
    QCOMPARE(window->Model()->rowCount(), 4);
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestComparisonWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}
#include "TestComparisonWindow.moc"
