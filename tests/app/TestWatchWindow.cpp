// The watch lists in the window: the 监控 button and its window, a watch's run in the main window, and the
// scheduler that runs due watches while the window is open.
#include "app/TWatchScheduler.h"
#include "app/TWatchWindow.h"
#include "app/uStartup.h"
#include "storage/TWatchList.h"
#include "storage/uConst.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <memory>

class TestWatchWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buttonSitsBesideTheLibraryButton();
    void addingAWatchShowsIt();
    void badWatchIsRefused();
    void runNowRunsInTheMainWindow();
    void dueWatchRunsAtStartAndTheStatusBarSaysWhenTheNextIsDue();
    void manualRunIsRecordedAsTheWindows();

private:
    TWatchWindow* Open();
    qint64 AddWatch(const QString& keyword, int pages, double everyHours);

    std::unique_ptr<TFakeMarketplace> m_server;
    std::unique_ptr<TMainFormFixture> m_fixture;
    TMainForm* m_form = nullptr;
};

void TestWatchWindow::init()
{
    TMainFormFixture::RemoveDataFiles();
    m_server = std::make_unique<TFakeMarketplace>();
    QVERIFY(m_server->Start());
    m_fixture = std::make_unique<TMainFormFixture>();
    m_form = m_fixture->Start(TMainFormFixture::LocalRun(m_server->Host()));
    QVERIFY(m_form != nullptr);
}

void TestWatchWindow::cleanup()
{
    m_fixture.reset();
    m_server.reset();
}

TWatchWindow* TestWatchWindow::Open()
{
    QTest::mouseClick(m_form->btnWatch, Qt::LeftButton);
    return m_form->Watches();
}

qint64 TestWatchWindow::AddWatch(const QString& keyword, int pages, double everyHours)
{
    TWatch watch;
    watch.Keyword = keyword;
    watch.Pages = pages;
    watch.EveryHours = everyHours;
    QString error;
    const qint64 id = TWatchList(m_fixture->Dm()->conn()).Add(watch, &error);
    if (id == 0) {
        qWarning("%s", qPrintable(error));
    }
    return id;
}

void TestWatchWindow::buttonSitsBesideTheLibraryButton()
{
    QCOMPARE(m_form->btnWatch->text(), QStringLiteral("监控"));
    QCOMPARE(m_form->btnWatch->parentWidget(), m_form->RzPanel1);
    QCOMPARE(m_form->btnLibrary->geometry(), QRect(520, 11, 75, 25));
    QVERIFY(m_form->btnWatch->geometry().left() > m_form->btnLibrary->geometry().right());
    QCOMPARE(m_form->btnWatch->geometry().top(), m_form->btnLibrary->geometry().top());
    // At the window's least width the logo still keeps its room.
    m_form->resize(m_form->MinimumBounds());
    QVERIFY(m_form->btnWatch->geometry().right() < m_form->Image2->geometry().left());
    QVERIFY(m_form->MinimumBounds().width() <= 870);
}

void TestWatchWindow::addingAWatchShowsIt()
{
    TWatchWindow* window = Open();
    QVERIFY(window != nullptr && window->isVisible());
    window->edKeyword->setText(QStringLiteral("办公桌"));
    window->spPages->setValue(2);
    window->spEvery->setValue(12);
    window->chkDrop->setChecked(true);
    window->spDrop->setValue(10);
    QTest::mouseClick(window->btnAdd, Qt::LeftButton);
    QCOMPARE(window->gridWatches->rowCount(), 1);
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColKeyword)->text(), QStringLiteral("办公桌"));
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColPages)->text(), QStringLiteral("2"));
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColDrop)->text(), QStringLiteral("10%"));
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColEnabled)->checkState(), Qt::Checked);
    QVERIFY(m_fixture->Boxes().isEmpty());
}

void TestWatchWindow::badWatchIsRefused()
{
    TWatchWindow* window = Open();
    window->edKeyword->setText(QStringLiteral("한국"));
    QTest::mouseClick(window->btnAdd, Qt::LeftButton);
    QCOMPARE(window->gridWatches->rowCount(), 0);
    QCOMPARE(m_fixture->Boxes().size(), 1);
    QVERIFY(m_fixture->Boxes().first().contains(QStringLiteral("GBK")));
}

void TestWatchWindow::runNowRunsInTheMainWindow()
{
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(4)));
    AddWatch(QStringLiteral("desk"), 1, 24);
    // Started before the watch existed: nothing ran on its own.
    TWatchWindow* window = Open();
    QCOMPARE(window->gridWatches->rowCount(), 1);
    window->gridWatches->selectRow(0);
    QTest::mouseClick(window->btnRunNow, Qt::LeftButton);
    QTRY_VERIFY(!m_form->IsRunning());
    QCOMPARE(m_form->cbSearch->currentText(), QStringLiteral("desk"));
    QCOMPARE(m_form->grid->model()->rowCount(), 4);
    QVERIFY(m_form->RzMemo2->toPlainText().contains(QStringLiteral("=======完成采集=======")));
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColOutcome)->text(), QStringLiteral("完整"));
    QCOMPARE(window->gridWatches->item(0, TWatchWindow::ColRows)->text(), QStringLiteral("4"));
    QCOMPARE(QueryDatabaseFile(DbPath, "select source from collectrun").toString(), QStringLiteral("watch"));
}

void TestWatchWindow::dueWatchRunsAtStartAndTheStatusBarSaysWhenTheNextIsDue()
{
    AddWatch(QStringLiteral("desk"), 1, 2);
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(3)));
    m_fixture->Stop();
    m_form = m_fixture->Start(TMainFormFixture::LocalRun(m_server->Host()));
    QTRY_COMPARE(QueryDatabaseFile(DbPath, "select count(*) from collectrun where outcome = 'complete'").toInt(), 1);
    QTRY_VERIFY(!m_form->IsRunning());
    QCOMPARE(m_form->grid->model()->rowCount(), 3);
    QTRY_VERIFY(m_form->NextWatchPane->isVisible());
    const QString text = m_form->NextWatchPane->text();
    QVERIFY2(text.startsWith(QStringLiteral("下次监控 ")), qPrintable(text));
    // Two hours after the run, give or take the minutes the test took.
    const QTime shown = QTime::fromString(text.mid(5), QStringLiteral("HH:mm"));
    const QTime expected = QTime::currentTime().addSecs(2 * 3600);
    const int apart = qAbs(shown.secsTo(expected));
    QVERIFY2(shown.isValid() && qMin(apart, 86400 - apart) < 180, qPrintable(text));
    QCOMPARE(m_server->Requests().size(), 1); // not due again
}

void TestWatchWindow::manualRunIsRecordedAsTheWindows()
{
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(2)));
    m_form->cbSearch->setEditText(QStringLiteral("desk"));
    m_form->edPageNum->setValue(1);
    QTest::mouseClick(m_form->RzBitBtn1, Qt::LeftButton);
    QTRY_VERIFY(!m_form->IsRunning());
    QCOMPARE(
        QueryDatabaseFile(DbPath, "select source || ' ' || outcome || ' ' || rows_stored from collectrun").toString(),
        QStringLiteral("window complete 2"));
    QCOMPARE(
        QueryDatabaseFile(DbPath, "select count(*) from goodslist where run_id = (select id from collectrun)").toInt(),
        2);
    QVERIFY(!m_form->NextWatchPane->isVisible()); // no watch, no status pane
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestWatchWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}
#include "TestWatchWindow.moc"
