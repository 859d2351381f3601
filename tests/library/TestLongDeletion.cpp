#include "library/TLibraryQuery.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "tests/storage/TWarningRecorder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

namespace {
const QString OldKeyword = QStringLiteral("旧关键字");
const QString OtherKeyword = QStringLiteral("保留");
const int PageRows = 40;

bool Exec(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    const bool ok
        = statement.Prepare(connection, sql, &error) && statement.Bind(values, &error) && statement.Run(&error);
    if (!ok) {
        qWarning() << sql << error;
    }
    return ok;
}

qint64 Count(TConnection* connection, const QString& where, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    if (!statement.Prepare(connection, QStringLiteral("SELECT count(*) FROM goodslist ") + where, &error)
        || !statement.Bind(values, &error) || !statement.Next()) {
        return -1;
    }
    return statement.Int(0);
}

// Rows as a run stores them, titles of a real listing's length, so that the search index costs what it costs.
bool Fill(TConnection* connection, const QString& keyword, int rows)
{
    return Exec(connection,
                QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?2) "
                               "INSERT INTO goodslist(keyname, title, nick, item_loc, view_price, detail_url, nid) "
                               "SELECT ?1, '实木办公桌 简约现代 家用电脑桌子 卧室写字台 编号' || i || ' 学生书桌', "
                               "'木匠之家旗舰店' || (i % 977), '浙江 杭州', i % 500, "
                               "'//item.taobao.com/item.htm?id=' || i, '' || i FROM n"),
                {keyword, rows});
}

// One search result page stored by a run: its rows appended to the goods query and written in one transaction.
bool WritePage(TDM* dm, int page, QString* error)
{
    TRowSet& rows = *dm->qrGoodsList();
    for (int i = 0; i < PageRows; ++i) {
        if (!rows.Append(error)) {
            return false;
        }
        rows.SetValue(rows.FieldIndex(QStringLiteral("keyname")), OldKeyword);
        rows.SetValue(rows.FieldIndex(QStringLiteral("title")),
                      QStringLiteral("第%1页 第%2个 升降桌").arg(page).arg(i));
        rows.Post();
    }
    return dm->ApplyGoodsRows(error);
}
} // namespace

class TestLongDeletion : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pagesAreWrittenWhileManyRowsAreDeleted();
    void failedBatchKeepsTheBatchesBefore();

private:
    void OpenWriter(TDM* dm);

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestLongDeletion::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("gleanbox.db"));
}

void TestLongDeletion::cleanup()
{
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestLongDeletion::OpenWriter(TDM* dm)
{
    QString error;
    QVERIFY2(dm->OpenDatabase(m_path, &error), qPrintable(error));
    QVERIFY2(dm->OpenGoodsQuery(&error), qPrintable(error));
}

// The library deletes a keyword of 300 000 rows (longer than the busy timeout in one transaction) while a run
// writes pages of that keyword: every page is written, none waits long, the deletion completes, and the rows
// written meanwhile are not deleted with the rows there were when it started.
void TestLongDeletion::pagesAreWrittenWhileManyRowsAreDeleted()
{
    const int oldRows = 300000;
    TDM writer;
    OpenWriter(&writer);
    QVERIFY(Fill(writer.conn(), OldKeyword, oldRows));
    QVERIFY(Fill(writer.conn(), OtherKeyword, 100));
    TLibraryQuery query;
    QString error;
    QVERIFY2(query.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error), qPrintable(error));

    std::atomic<bool> done = false;
    bool deletedAll = false;
    qint64 deleted = 0;
    QString deleteError;
    QElapsedTimer deletion;
    deletion.start();
    std::thread deleter([&]() {
        deletedAll = query.DeleteKeyword(OldKeyword, &deleted, &deleteError);
        done = true;
    });
    int pages = 0;
    qint64 longest = 0;
    while (!done) {
        QElapsedTimer write;
        write.start();
        const bool written = WritePage(&writer, pages + 1, &error);
        longest = std::max(longest, write.elapsed());
        if (!written) {
            break;
        }
        ++pages;
        QThread::msleep(50);
    }
    deleter.join();
    qInfo("deleted %lld rows in %lld ms; %d pages written meanwhile, the longest write took %lld ms", deleted,
          deletion.elapsed(), pages, longest);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(deletedAll, qPrintable(deleteError));
    QCOMPARE(deleted, oldRows);
    QVERIFY(pages >= 3);
    QVERIFY2(longest < TConnection::BusyTimeoutMs / 2, qPrintable(QString::number(longest)));
    QCOMPARE(Count(writer.conn(), QStringLiteral("WHERE keyname = ?"), {OldKeyword}), pages * PageRows);
    QCOMPARE(Count(writer.conn(), QString()), pages * PageRows + 100);
    QVERIFY(Exec(writer.conn(),
                 QStringLiteral("INSERT INTO goodslist_fts(goodslist_fts, rank) VALUES('integrity-check', 1)")));
}

// A batch that fails leaves the batches before it deleted, and the count says how many rows went.
void TestLongDeletion::failedBatchKeepsTheBatchesBefore()
{
    const int rows = 2 * TLibraryQuery::DeleteBatchRows + 1000;
    TDM writer;
    OpenWriter(&writer);
    QVERIFY(Fill(writer.conn(), OldKeyword, rows));
    const qint64 refused = 2 * TLibraryQuery::DeleteBatchRows + 500; // in the third batch
    QVERIFY(Exec(writer.conn(),
                 QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON goodslist WHEN old.id = %1 "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                     .arg(refused)));
    TLibraryQuery query;
    QString error;
    QVERIFY2(query.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error), qPrintable(error));
    qint64 deleted = 0;
    QVERIFY(!query.DeleteKeyword(OldKeyword, &deleted, &error));
    QCOMPARE(error, QStringLiteral("refused"));
    QCOMPARE(deleted, 2 * TLibraryQuery::DeleteBatchRows);
    QCOMPARE(Count(writer.conn(), QString()), 1000);
    // Once the cause is gone, the same deletion deletes the rest.
    QVERIFY(Exec(writer.conn(), QStringLiteral("DROP TRIGGER refuse")));
    QVERIFY2(query.DeleteKeyword(OldKeyword, &deleted, &error), qPrintable(error));
    QCOMPARE(deleted, 1000);
    QCOMPARE(Count(writer.conn(), QString()), 0);
}

QTEST_GUILESS_MAIN(TestLongDeletion)
#include "TestLongDeletion.moc"
