#include "app/uStartup.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace {
const QString Start = QStringLiteral("=======开始采集=======");
const QString Finished = QStringLiteral("=======完成采集=======");
const QString Stopped = QStringLiteral("=======中止采集=======");
const QString Page1 = QStringLiteral("正在采集第1页");
const QString Fetched = QStringLiteral("完成网络提取");
const QString Saved = QStringLiteral("完成数据保存");
const QString NothingSaved = QStringLiteral("没有数据保存");

// The messages of the log, each line checked for its "hh:nn:ss:   " prefix.
QStringList Messages(const TMainForm* form)
{
    static const QRegularExpression prefix(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:   "));
    QStringList messages;
    for (const QString& line : form->RzMemo2->toPlainText().split(QLatin1Char('\n'))) {
        if (!prefix.match(line).hasMatch()) {
            messages.append(QStringLiteral("<bad line> ") + line);
            continue;
        }
        messages.append(line.mid(12));
    }
    return messages;
}

QList<QByteArray> Targets(const TFakeMarketplace& server)
{
    QList<QByteArray> targets;
    for (const QByteArray& request : server.Requests()) {
        targets.append(TFakeMarketplace::Target(request));
    }
    return targets;
}

// Rows of goodslist as another connection sees them in the file.
int FileRowCount()
{
    return QueryDatabaseFile(DbPath, QStringLiteral("select count(*) from goodslist")).toInt();
}

void Collect(TMainForm* form, const QString& keyword, int pages)
{
    form->cbSearch->setEditText(keyword);
    form->edPageNum->setValue(pages);
    QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
}
} // namespace

class TestCollectionRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void threePagesWithOffsets();
    void onePageSendsNoOffset();
    void offsetIsTheSumOfStoredListings();
    void columnLayoutSurvivesARun();
    void noServer();
    void emptySecondPageEndsTheRun();
    void stopDuringLastPage();
    void stopBetweenRunsDoesNotCarryOver();
    void everyRunStartsWithAnEmptyGrid();
    void typedPageCountIsClamped_data();
    void typedPageCountIsClamped();
    void collectDuringRunIsIgnored();
    void closeDuringRunStoresNothingMore();
    void storeErrorEndsRunWithoutClosingLine();

private:
    TFakeMarketplace* m_server = nullptr;
    TMainFormFixture* m_fixture = nullptr;
    TMainForm* m_form = nullptr;
};

void TestCollectionRun::init()
{
    TMainFormFixture::RemoveDataFiles();
    m_server = new TFakeMarketplace;
    QVERIFY(m_server->Start());
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start(TMainFormFixture::LocalRun(m_server->Host()));
}

void TestCollectionRun::cleanup()
{
    delete m_fixture;
    delete m_server;
}

void TestCollectionRun::threePagesWithOffsets()
{
    const QString keyword = QStringLiteral("办公 桌");
    m_server->ServePage(TSearchPages::Target(keyword, 0), TSearchPages::Page(44, 0));
    m_server->ServePage(TSearchPages::Target(keyword, 44), TSearchPages::Page(44, 44));
    m_server->ServePage(TSearchPages::Target(keyword, 88), TSearchPages::Page(44, 88));
    Collect(m_form, keyword, 3);
    QCOMPARE(Targets(*m_server),
             QList<QByteArray>({TSearchPages::Target(keyword, 0), TSearchPages::Target(keyword, 44),
                                TSearchPages::Target(keyword, 88)}));
    QCOMPARE(m_form->grid->model()->rowCount(), 132);
    QCOMPARE(FileRowCount(), 132);
    QCOMPARE(m_form->RunProgressPane->text(), QStringLiteral("本次采集共 132 条"));
    const QStringList page = {Fetched, Saved, QString()};
    QCOMPARE(Messages(m_form),
             QStringList({Start, Page1}) + page + QStringList({"正在采集第2页"}) + page + QStringList({"正在采集第3页"})
                 + page + QStringList({Finished}));
}

void TestCollectionRun::onePageSendsNoOffset()
{
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(44));
    Collect(m_form, "desk", 1);
    QCOMPARE(Targets(*m_server), QList<QByteArray>({"/search?q=desk"}));
    QCOMPARE(Messages(m_form).last(), Finished);
}

// Pages of different sizes: the next offset is the number of listings stored so far, not pages times a size.
void TestCollectionRun::offsetIsTheSumOfStoredListings()
{
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(44, 0));
    m_server->ServePage(TSearchPages::Target("desk", 44), TSearchPages::Page(40, 44));
    m_server->ServePage(TSearchPages::Target("desk", 84), TSearchPages::Page(7, 84));
    Collect(m_form, "desk", 3);
    QCOMPARE(Targets(*m_server), QList<QByteArray>({"/search?q=desk", "/search?q=desk&s=44", "/search?q=desk&s=84"}));
    QCOMPARE(m_form->grid->model()->rowCount(), 91);
}

// A run reopens the goods query; the columns the user moved and resized stay as they were.
void TestCollectionRun::columnLayoutSurvivesARun()
{
    QHeaderView* header = m_form->grid->horizontalHeader();
    header->moveSection(header->visualIndex(5), 0);
    header->resizeSection(2, 123);
    header->resizeSection(5, 77);
    const QByteArray before = header->saveState();
    QList<int> order;
    for (int visual = 0; visual < header->count(); ++visual) {
        order.append(header->logicalIndex(visual));
    }
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(3));
    Collect(m_form, "desk", 1);
    QCOMPARE(m_form->grid->model()->rowCount(), 3);
    QList<int> after;
    for (int visual = 0; visual < header->count(); ++visual) {
        after.append(header->logicalIndex(visual));
    }
    QCOMPARE(after, order);
    QCOMPARE(header->logicalIndex(0), 5);
    QCOMPARE(header->sectionSize(2), 123);
    QCOMPARE(header->sectionSize(5), 77);
    QCOMPARE(header->saveState(), before);
}

void TestCollectionRun::noServer()
{
    delete m_fixture;
    m_fixture = new TMainFormFixture;
    TRunParams params;
    params.Host = QStringLiteral("127.0.0.1:1");
    m_form = m_fixture->Start(params);
    Collect(m_form, QStringLiteral("椅子"), 3);
    QCOMPARE(Messages(m_form), QStringList({Start, Page1, Fetched, QStringLiteral("错误： 椅子"), Finished}));
}

void TestCollectionRun::emptySecondPageEndsTheRun()
{
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(44));
    m_server->ServePage(TSearchPages::Target("desk", 44), TSearchPages::Page(0));
    Collect(m_form, "desk", 5);
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(Messages(m_form).mid(Messages(m_form).size() - 2), QStringList({NothingSaved, Finished}));
}

void TestCollectionRun::stopDuringLastPage()
{
    QPushButton* stop = m_form->RzBitBtn2;
    m_server->SetHandler([stop](const QByteArray& request) {
        const QByteArray target = TFakeMarketplace::Target(request);
        if (target.endsWith("&s=2")) {
            QMetaObject::invokeMethod(stop, &QPushButton::click, Qt::QueuedConnection);
        }
        return TResponseScript::WithLength(200, TSearchPages::Page(1));
    });
    Collect(m_form, "desk", 3);
    QCOMPARE(m_server->Requests().size(), 3);
    QCOMPARE(FileRowCount(), 3);
    QCOMPARE(Messages(m_form).last(), Stopped);
}

void TestCollectionRun::stopBetweenRunsDoesNotCarryOver()
{
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(2)); });
    QTest::mouseClick(m_form->RzBitBtn2, Qt::LeftButton);
    Collect(m_form, "desk", 2);
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(Messages(m_form).last(), Finished);
}

void TestCollectionRun::everyRunStartsWithAnEmptyGrid()
{
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(5)); });
    Collect(m_form, "desk", 2);
    QCOMPARE(m_form->grid->model()->rowCount(), 10);
    Collect(m_form, "desk", 1);
    QCOMPARE(m_form->grid->model()->rowCount(), 5);
    QCOMPARE(FileRowCount(), 15);
}

void TestCollectionRun::typedPageCountIsClamped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("requests");
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("250") << "250" << 100;
}

void TestCollectionRun::typedPageCountIsClamped()
{
    QFETCH(QString, typed);
    QFETCH(int, requests);
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(1)); });
    auto* line = m_form->edPageNum->findChild<QLineEdit*>();
    line->setFocus();
    line->selectAll();
    for (QChar c : typed) {
        QTest::keyClick(line, c.toLatin1());
    }
    QTest::mouseClick(m_form->RzBitBtn1, Qt::LeftButton);
    QCOMPARE(m_server->Requests().size(), requests);
    QCOMPARE(m_form->edPageNum->value(), requests);
}

void TestCollectionRun::collectDuringRunIsIgnored()
{
    QPushButton* collect = m_form->RzBitBtn1;
    std::atomic<bool> exportEnabled = true;
    QPushButton* exportButton = m_form->btnExport;
    m_server->SetHandler([collect, exportButton, &exportEnabled](const QByteArray& request) {
        if (!TFakeMarketplace::Target(request).contains("&s=")) {
            QMetaObject::invokeMethod(collect, &QPushButton::click, Qt::QueuedConnection);
            QMetaObject::invokeMethod(
                exportButton, [exportButton, &exportEnabled]() { exportEnabled = exportButton->isEnabled(); },
                Qt::QueuedConnection);
        }
        return TResponseScript::WithLength(200, TSearchPages::Page(3));
    });
    Collect(m_form, "desk", 2);
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(Messages(m_form).count(Start), 1);
    QCOMPARE(Messages(m_form).last(), Finished);
    QVERIFY(!exportEnabled); // no export while a run changes the grid
    QVERIFY(m_form->btnExport->isEnabled());
}

void TestCollectionRun::closeDuringRunStoresNothingMore()
{
    TMainForm* form = m_form;
    m_server->SetHandler([form](const QByteArray& request) {
        if (TFakeMarketplace::Target(request).endsWith("&s=4")) {
            QMetaObject::invokeMethod(form, &QWidget::close, Qt::QueuedConnection);
        }
        return TResponseScript::WithLength(200, TSearchPages::Page(4));
    });
    Collect(m_form, "desk", 5);
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(FileRowCount(), 4); // the first page only: the second arrived after the database had closed
    QVERIFY(m_fixture->Boxes().isEmpty());
}

void TestCollectionRun::storeErrorEndsRunWithoutClosingLine()
{
    TMainForm* form = m_form;
    m_server->SetHandler([form](const QByteArray& request) {
        if (TFakeMarketplace::Target(request).endsWith("&s=2")) {
            // Before the second page is stored, the table disappears behind the program's back.
            QMetaObject::invokeMethod(
                form,
                []() {
                    TConnection other;
                    QString error;
                    QVERIFY(other.Open(TDBFunc::ConnectionString(DbPath, TDBFunc::Password()), &error));
                    QVERIFY2(other.Execute("drop table goodslist", &error), qPrintable(error));
                },
                Qt::QueuedConnection);
        }
        return TResponseScript::WithLength(200, TSearchPages::Page(2));
    });
    m_fixture->ClearBoxes();
    Collect(m_form, "desk", 3);
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(Messages(m_form).last(), Fetched); // the run ended while storing page 2: no closing line
    QVERIFY(!Messages(m_form).contains(Finished) && !Messages(m_form).contains(Stopped));
    QCOMPARE(m_fixture->Boxes().size(), 1);
    QVERIFY2(m_fixture->Boxes().first().contains("goodslist"), qPrintable(m_fixture->Boxes().first()));
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestCollectionRun test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestCollectionRun.moc"
