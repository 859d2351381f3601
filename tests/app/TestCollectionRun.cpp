#include "app/uStartup.h"
#include "platform/CodePage.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TFullListener.h"
#include "tests/support/TestDatabase.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <thread>

Q_DECLARE_METATYPE(TResponseScript)

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
    void windowStaysLiveDuringStalledDownload();
    void closeDuringStalledDownloadEndsAtOnce();
    void windowStaysLiveDuringPause();
    void windowStaysLiveWhileAnotherWriterHoldsTheFile();
    void closeDuringHeldWriteHidesWindowAndKeepsRows();
    void failedRunSaysWhy_data();
    void failedRunSaysWhy();
    void nextRunClearsTheCause();
    void keywordReachesServerIntact_data();
    void keywordReachesServerIntact();
    void keywordOutsideCodePageIsRefused();
    void enterInKeywordBoxStartsRun_data();
    void enterInKeywordBoxStartsRun();

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

// The server goes first: no request of a case that failed reaches a handler once its window is gone.
void TestCollectionRun::cleanup()
{
    delete m_server;
    m_server = nullptr;
    delete m_fixture;
    m_fixture = nullptr;
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
    QCOMPARE(Messages(m_form),
             QStringList({Start, Page1, Fetched, QStringLiteral("错误： 椅子"),
                          QStringLiteral("原因：无法连接 127.0.0.1:1"), Finished}));
}

void TestCollectionRun::emptySecondPageEndsTheRun()
{
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(44));
    m_server->ServePage(TSearchPages::Target("desk", 44), TSearchPages::Page(0));
    Collect(m_form, "desk", 5);
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(Messages(m_form).mid(Messages(m_form).size() - 2), QStringList({NothingSaved, Finished}));
}

// A stop pressed once the last page has downloaded, while it is being stored: the page is kept.
void TestCollectionRun::stopDuringLastPage()
{
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(1)); });
    QPushButton* stop = m_form->RzBitBtn2;
    TMainForm* form = m_form;
    connect(form->RzMemo2, &QPlainTextEdit::textChanged, stop, [form, stop]() {
        const QStringList messages = Messages(form);
        if (messages.size() >= 2 && messages.last() == Fetched
            && messages.at(messages.size() - 2) == QStringLiteral("正在采集第3页")) {
            QMetaObject::invokeMethod(stop, &QPushButton::click, Qt::QueuedConnection);
        }
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

// A server that never answers: the window paints, ticks and answers its buttons meanwhile, and 停止 gives the
// download up at once: the run ends without waiting for the silence deadline, and nothing of the page is kept.
void TestCollectionRun::windowStaysLiveDuringStalledDownload()
{
    m_server->Enqueue(TResponseScript().Stall());
    QVERIFY(m_form->RzBitBtn1->isEnabled() && !m_form->RzBitBtn2->isEnabled());
    TMainForm* form = m_form;
    QStringList seen;
    bool collectEnabled = true;
    bool stopEnabled = false;
    QTimer::singleShot(300, form, [&]() {
        seen = Messages(form);
        collectEnabled = form->RzBitBtn1->isEnabled();
        stopEnabled = form->RzBitBtn2->isEnabled();
        form->RzMemo2->viewport()->repaint();
        QTest::mouseClick(form->RzBitBtn2, Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    Collect(m_form, "desk", 3);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(seen, QStringList({Start, Page1}));
    QVERIFY(!collectEnabled && stopEnabled);
    QCOMPARE(Messages(m_form), QStringList({Start, Page1, Stopped}));
    QCOMPARE(m_server->Requests().size(), 1);
    QCOMPARE(m_form->grid->model()->rowCount(), 0);
    const int silence = TMainFormFixture::LocalRun({}).TimeoutMs;
    QVERIFY2(elapsed < silence - 1000, qPrintable(QString::number(elapsed)));
    QVERIFY(m_form->RzBitBtn1->isEnabled() && !m_form->RzBitBtn2->isEnabled());
}

// The pause after a page waits without holding the window: its timers keep firing.
void TestCollectionRun::windowStaysLiveDuringPause()
{
    TRunParams params = TMainFormFixture::LocalRun(m_server->Host());
    params.PauseMs = 1000;
    delete m_fixture;
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start(params);
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(1)); });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks]() { ++ticks; });
    ticker.start(50);
    Collect(m_form, "desk", 1);
    QCOMPARE(Messages(m_form).last(), Finished);
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
}

// Another writer holds the file while a page is stored: the write waits for it on its own thread, so the
// window's timers go on firing, and one of them ends the other writer's transaction; the rows then reach
// the file. Written on the window's thread, the write would have waited out the busy timeout and failed.
void TestCollectionRun::windowStaysLiveWhileAnotherWriterHoldsTheFile()
{
    TConnection other;
    QString error;
    QVERIFY2(other.Open(TDBFunc::ConnectionString(DbPath, TDBFunc::Password()), &error), qPrintable(error));
    QObject* scope = m_fixture->Scope();
    bool released = false;
    m_server->SetHandler([scope, &other, &released](const QByteArray&) {
        QMetaObject::invokeMethod(
            scope,
            [scope, &other, &released]() {
                QString failure;
                QVERIFY2(other.Execute("BEGIN IMMEDIATE", &failure), qPrintable(failure));
                QTimer::singleShot(700, scope, [&other, &released]() {
                    QString ignored;
                    released = other.Execute("COMMIT", &ignored);
                });
            },
            Qt::QueuedConnection);
        return TResponseScript::WithLength(200, TSearchPages::Page(4));
    });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks]() { ++ticks; });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    Collect(m_form, "desk", 1);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(released);
    QCOMPARE(Messages(m_form).last(), Finished);
    QCOMPARE(FileRowCount(), 4);
    QVERIFY(m_fixture->Boxes().isEmpty());
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QVERIFY2(elapsed < TConnection::BusyTimeoutMs, qPrintable(QString::number(elapsed)));
}

// Closed while another program holds the file and the page's rows wait to be written, the window disappears
// at once; the rows still reach the file when the other program lets it go.
void TestCollectionRun::closeDuringHeldWriteHidesWindowAndKeepsRows()
{
    TConnection other;
    QString error;
    QVERIFY2(other.Open(TDBFunc::ConnectionString(DbPath, TDBFunc::Password()), &error), qPrintable(error));
    TMainForm* form = m_form;
    std::thread releaser;
    bool visibleWhileHeld = true;
    bool released = false;
    m_server->SetHandler([&](const QByteArray&) {
        QMetaObject::invokeMethod(
            form,
            [&]() {
                QString failure;
                QVERIFY2(other.Execute("BEGIN IMMEDIATE", &failure), qPrintable(failure));
                QTimer::singleShot(300, form, [form]() { form->close(); });
                // The window's thread waits for the write from here on, so the file is let go from another.
                releaser = std::thread([&]() {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
                    visibleWhileHeld = form->isVisible();
                    QString ignored;
                    released = other.Execute("COMMIT", &ignored);
                });
            },
            Qt::QueuedConnection);
        return TResponseScript::WithLength(200, TSearchPages::Page(4));
    });
    Collect(m_form, "desk", 1);
    if (releaser.joinable()) {
        releaser.join();
    }
    QVERIFY(released);
    QVERIFY(!visibleWhileHeld);
    QCOMPARE(FileRowCount(), 4);
}

// Closing the window gives the download up at once; nothing of that page is stored.
void TestCollectionRun::closeDuringStalledDownloadEndsAtOnce()
{
    m_server->SetHandler([](const QByteArray& request) {
        const QByteArray target = TFakeMarketplace::Target(request);
        return target.endsWith("&s=4")
            ? TResponseScript::Raw("HTTP/1.0 200 OK\r\n\r\n" + TSearchPages::Page(4, 4).left(200)).Stall()
            : TResponseScript::WithLength(200, TSearchPages::Page(4));
    });
    TMainForm* form = m_form;
    QElapsedTimer clock;
    connect(form->RzMemo2, &QPlainTextEdit::textChanged, form, [&]() {
        if (Messages(form).last() == QStringLiteral("正在采集第2页")) {
            QTimer::singleShot(200, form, [&]() {
                clock.start();
                form->close();
            });
        }
    });
    Collect(m_form, "desk", 5);
    const qint64 afterClose = clock.elapsed();
    QVERIFY(clock.isValid());
    QVERIFY2(afterClose < 1000, qPrintable(QString::number(afterClose)));
    QCOMPARE(m_server->Requests().size(), 2);
    QCOMPARE(FileRowCount(), 4);
}

// What the server does decides the log lines after "完成网络提取"; "%host" stands for the host the run used.
void TestCollectionRun::failedRunSaysWhy_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::addColumn<bool>("fullListener");
    QTest::addColumn<QStringList>("tail");
    const QString error = QStringLiteral("错误： desk");
    const auto noBlock = [&](const QString& cause) {
        return QStringList({error, QStringLiteral("原因：") + cause, Finished});
    };
    const auto noListings = [&](const QString& cause) {
        return QStringList({NothingSaved, QStringLiteral("原因：") + cause, Finished});
    };
    const auto page = [](const QByteArray& data) { return TResponseScript::WithLength(200, data); };
    QTest::newRow("404 with a title") << TResponseScript::WithLength(404, "<html><title>404 Not Found</title></html>")
                                      << false << noBlock("服务器返回 HTTP 404（404 Not Found）");
    QTest::newRow("500 without body") << TResponseScript::WithLength(500, "") << false
                                      << noBlock("服务器返回 HTTP 500");
    QTest::newRow("redirect to https")
        << TResponseScript::WithLength(302, "", {"Location: https://s.taobao.com/search?q=desk"}) << false
        << noBlock("服务器要求 HTTPS 或登录：HTTP 302，转到 https://s.taobao.com/search?q=desk");
    const QString longTarget
        = QStringLiteral("https://login.example/member/login.jhtml?redirectURL=") + QString(300, QLatin1Char('x'));
    QTest::newRow("redirect to a long address: short cause, whole address in the log")
        << TResponseScript::WithLength(302, "", {"Location: " + longTarget.toLatin1()}) << false
        << QStringList({error, QStringLiteral("原因：服务器要求 HTTPS 或登录：HTTP 302，转到 https://login.example/…"),
                        QStringLiteral("转到的完整地址：") + longTarget, Finished});
    QTest::newRow("page titled like a login page")
        << page("<html><head><title>亲，请登录</title></head><body>…</body></html>") << false
        << noBlock("页面中没有商品数据：亲，请登录");
    QTest::newRow("login form") << page("<html><head><title>亲，请登录</title></head><body><form id=\"login-form\" "
                                        "method=post><input name=TPL_username><input type=password name=TPL_password>"
                                        "</form></body></html>")
                                << false << noBlock("网站要求先登录才能搜索（返回的是登录页）：亲，请登录");
    QTest::newRow("empty page") << page("") << false << noBlock("页面中没有商品数据");
    QTest::newRow("binary garbage") << page("\x89PNG\r\n\x1a\n\xff\xd8\xff\xe0") << false
                                    << noBlock("页面不是有效的 UTF-8 文本");
    QTest::newRow("connection ends inside the page")
        << TResponseScript::Raw("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + TSearchPages::Page(3).left(400))
        << false << noBlock("页面数据不完整：连接在页面传完之前中断");
    QTest::newRow("page ends inside the data")
        << TResponseScript::Raw("HTTP/1.0 200 OK\r\n\r\n" + TSearchPages::Page(3).left(400)) << false
        << noBlock("页面数据不完整");
    QTest::newRow("page too large") << TResponseScript::Raw("HTTP/1.0 200 OK\r\nContent-Length: 100000000000\r\n\r\n")
                                    << false << noBlock("页面过大");
    QTest::newRow("silent server") << TResponseScript().Stall() << false << noBlock("服务器无响应：1 秒内没有收到数据");
    QTest::newRow("a byte every 200 ms") << TResponseScript().Drip("HTTP/1.0 200 OK\r\n\r\n" + TSearchPages::Page(3), 1,
                                                                   200)
                                         << false << noBlock("服务器无响应：2 秒内没有传完页面");
    QTest::newRow("listener never accepts")
        << TResponseScript() << true << noBlock("连接超时：%host 在 1 秒内没有应答");
    QTest::newRow("block does not parse")
        << page("<script>g_page_config = {\"mods\":{\"itemlist\" 1}};\ng_srp_loadCss();</script>") << false
        << noListings("页面数据不完整");
    QTest::newRow("no listing array") << page("<script>g_page_config = {\"mods\":{}};\ng_srp_loadCss();</script>")
                                      << false << noListings("页面中没有商品数据");
    QTest::newRow("empty listing array ends the results quietly")
        << page(TSearchPages::Page(0)) << false << QStringList({NothingSaved, Finished});
}

void TestCollectionRun::failedRunSaysWhy()
{
    QFETCH(TResponseScript, script);
    QFETCH(bool, fullListener);
    QFETCH(QStringList, tail);
    TFullListener listener;
    TRunParams params = TMainFormFixture::LocalRun(m_server->Host());
    if (fullListener) {
        QVERIFY(listener.Port() != 0);
        params.Host = QStringLiteral("127.0.0.1:%1").arg(listener.Port());
    }
    params.ConnectTimeoutMs = 1000;
    params.TimeoutMs = 1000;
    params.PageDeadlineMs = 2000;
    delete m_fixture;
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start(params);
    m_server->Enqueue(script);
    tail.replaceInStrings(QStringLiteral("%host"), params.Host);

    Collect(m_form, "desk", 3);

    QCOMPARE(Messages(m_form), QStringList({Start, Page1, Fetched}) + tail);
    const QString reason = tail.size() > 2 ? tail[1] : QString();
    QCOMPARE(m_form->RzStatusPane1->text().startsWith(QStringLiteral("原因：")) ? m_form->RzStatusPane1->text() : "",
             reason);
}

void TestCollectionRun::nextRunClearsTheCause()
{
    const QString hint = m_form->RzStatusPane1->text();
    m_server->Enqueue(TResponseScript::WithLength(404, ""));
    Collect(m_form, "desk", 1);
    QCOMPARE(m_form->RzStatusPane1->text(), QStringLiteral("原因：服务器返回 HTTP 404"));
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(0)));
    Collect(m_form, "desk", 1);
    QCOMPARE(m_form->RzStatusPane1->text(), hint);
}

// The request target for a keyword, byte for byte.
void TestCollectionRun::keywordReachesServerIntact_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QByteArray>("target");
    const auto gbk = [](const char16_t* text) { return CodePage::FromUnicode(QString::fromUtf16(text)); };
    QTest::newRow("plain") << "desk" << QByteArray("/search?q=desk");
    QTest::newRow("Chinese, raw code page bytes") << QStringLiteral("连衣裙") << "/search?q=" + gbk(u"连衣裙");
    QTest::newRow("blank") << QStringLiteral("连衣裙 夏季") << "/search?q=" + gbk(u"连衣裙") + "%20" + gbk(u"夏季");
    QTest::newRow("ampersand cannot set the offset")
        << QStringLiteral("T恤&s=440") << "/search?q=T" + gbk(u"恤") + "%26s=440";
    QTest::newRow("reserved characters") << "a#b%c+d\"e<f>g" << QByteArray("/search?q=a%23b%25c%2Bd%22e%3Cf%3Eg");
    QTest::newRow("control characters and DEL") << "a\tb\x01"
                                                   "c\x7f\x1f"
                                                << QByteArray("/search?q=a%09b%01c%7F%1F");
    QTest::newRow("other ASCII goes out raw")
        << "?=/:;,@!~'()*[]{}|\\^`$" << QByteArray("/search?q=?=/:;,@!~'()*[]{}|\\^`$");
    // Second bytes in the ASCII range (0x40 "@", 0x5C "\\", 0x7E "~") stay inside their characters.
    QTest::newRow("two-byte characters with ASCII second bytes") << QString::fromUtf16(u"丂乗") + "~"
                                                                 << "/search?q=" + gbk(u"丂乗") + "~";
    QTest::newRow("empty") << "" << QByteArray("/search?q=");
}

void TestCollectionRun::keywordReachesServerIntact()
{
    QFETCH(QString, keyword);
    QFETCH(QByteArray, target);
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(0)); });
    Collect(m_form, keyword, 1);
    QCOMPARE(Targets(*m_server), QList<QByteArray>({target}));
    QVERIFY(m_server->Requests().first().startsWith("GET " + target + " HTTP/1.0\r\n"));
}

void TestCollectionRun::keywordOutsideCodePageIsRefused()
{
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(1)); });
    m_fixture->ClearBoxes();
    Collect(m_form, QStringLiteral("连衣裙\U0001F600"), 1);
    QCOMPARE(m_fixture->Boxes().size(), 1);
    QVERIFY2(m_fixture->Boxes().first().contains(QStringLiteral("“\U0001F600”")),
             qPrintable(m_fixture->Boxes().first()));
    QVERIFY(m_server->Requests().isEmpty());
    QCOMPARE(m_form->RzMemo2->toPlainText(), QString());
}

// A key typed by the user goes to the focus widget: the combo box, which is its line edit's focus proxy and hands
// the key on to the line edit without the line edit's event filters. Enter starts one run and adds no history.
void TestCollectionRun::enterInKeywordBoxStartsRun_data()
{
    QTest::addColumn<bool>("toLineEdit");
    QTest::addColumn<int>("key");
    QTest::newRow("Return to the combo box, as a display server sends it") << false << int(Qt::Key_Return);
    QTest::newRow("Enter of the keypad to the combo box") << false << int(Qt::Key_Enter);
    QTest::newRow("Return to the line edit") << true << int(Qt::Key_Return);
}

void TestCollectionRun::enterInKeywordBoxStartsRun()
{
    QFETCH(bool, toLineEdit);
    QFETCH(int, key);
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(2)); });
    m_form->edPageNum->setValue(1);
    QLineEdit* box = m_form->cbSearch->lineEdit();
    box->setText(QString(150, QLatin1Char('k')));
    QCOMPARE(box->text().size(), TMainForm::MaxKeywordLength);
    box->setText(QStringLiteral("desk"));
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_form->cbSearch));
    const int history = m_form->cbSearch->count();
    QTest::keyClick(toLineEdit ? static_cast<QWidget*>(box) : m_form->cbSearch, Qt::Key(key));
    QCOMPARE(Targets(*m_server), QList<QByteArray>({"/search?q=desk"}));
    QCOMPARE(Messages(m_form).count(Start), 1);
    QCOMPARE(Messages(m_form).last(), Finished);
    QCOMPARE(m_form->cbSearch->count(), history);
    QCOMPARE(m_form->cbSearch->currentText(), QStringLiteral("desk"));
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
