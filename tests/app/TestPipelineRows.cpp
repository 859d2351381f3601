// The rows the page pipeline writes, field by field, for every page the tests hold: the saved page, a page of
// the body framing, generated pages, and pages whose texts hold characters code page 936 lacks, escapes and
// surrogate pairs. The expected rows are kept in tests/fixtures/pipeline-rows.txt; MERCATIX_RECORD_ROWS=1
// writes that file from the rows of the run instead of comparing.
#include "collect/TPagePipeline.h"
#include "net/PageText.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TSqlite.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/app/TSearchPages.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray ReadFixture(const char* name)
{
    QFile file(QStringLiteral(MERCATIX_FIXTURES_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SavedPage()
{
    return "<html><head><script>\n" + ReadFixture("search-page-config-2018.js") + "\ng_srp_loadCss();</script>";
}

// A listing whose texts hold raw characters that code page 936 lacks (Hangul, an emoji, a Latin letter with
// a hook), the same as \u escapes, a surrogate pair and the short escapes.
QByteArray UnicodeListing()
{
    return ReadFixture("unicode-listing.json").trimmed();
}

QByteArray UnicodePage(bool body)
{
    const QByteArray listings = "[" + UnicodeListing() + "," + UnicodeListing() + "]";
    if (body) {
        return "{\"x\":1,\"body\":" + listings + "},\"srpbase\":1";
    }
    return "<script>g_page_config = {\"mods\":{\"itemlist\":{\"data\":{\"auctions\":" + listings
        + "}}}};\ng_srp_loadCss();</script>";
}

// Runs one page through the pipeline into a fresh database; returns the count stored.
int RunPage(const QByteArray& page, const QString& dbPath, QString* error)
{
    TDM dm;
    if (!dm.OpenDatabase(dbPath, error) || !dm.OpenGoodsQuery(error)) {
        return -1;
    }
    const QString keyword = QStringLiteral("办公桌");
    const std::optional<QString> text = PageText::FromUtf8(page);
    if (!text) {
        return 0;
    }
    QString block;
    TPageResult result = TPagePipeline::Cut(*text, &block);
    if (result.Ok()) {
        result = TPagePipeline(dm).Store(keyword, block, result.Framing);
    }
    *error = result.Failure == TPageFailure::StoreFailed ? result.Detail : QString();
    return result.Stored;
}

QString Escaped(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

// Every stored row as one line: each column the pipeline writes, with its storage class and its exact value.
QStringList FileRows(const QString& name, const QString& dbPath)
{
    TDM dm;
    QString error;
    if (!dm.OpenDatabase(dbPath, &error)) {
        return {error};
    }
    sqlite3* db = dm.conn()->Handle();
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(
        db,
        "SELECT id, keyname, goodstypeno, title, pic_url, detail_url, view_price, view_fee, "
        "reserve_price, item_loc, user_id, nick, shopLink, comment_count, nid, pid FROM goodslist ORDER BY id",
        -1, &statement, nullptr);
    QStringList lines;
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        QStringList fields{name};
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            const QString column = QString::fromUtf8(sqlite3_column_name(statement, c));
            switch (sqlite3_column_type(statement, c)) {
            case SQLITE_INTEGER:
                fields << column + QStringLiteral("=i:") + QString::number(sqlite3_column_int64(statement, c));
                break;
            case SQLITE_FLOAT:
                fields << column + QStringLiteral("=f:")
                        + QString::number(sqlite3_column_double(statement, c), 'g', 17);
                break;
            case SQLITE_TEXT:
                fields << column + QStringLiteral("=t:")
                        + Escaped(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                                                    sqlite3_column_bytes(statement, c)));
                break;
            default:
                fields << column + QStringLiteral("=null");
            }
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    sqlite3_finalize(statement);
    return lines;
}

QString ExpectedPath()
{
    return QStringLiteral(MERCATIX_FIXTURES_DIR "/pipeline-rows.txt");
}

QStringList ExpectedRows(const QString& name)
{
    QFile file(ExpectedPath());
    QStringList rows;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(name + QLatin1Char('\t'))) {
                rows << line;
            }
        }
    }
    return rows;
}
} // namespace

class TestPipelineRows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rowsMatch_data();
    void rowsMatch();
    void cleanupTestCase();

private:
    QStringList m_recorded;
};

void TestPipelineRows::initTestCase()
{
    QVERIFY(!ReadFixture("search-page-config-2018.js").isEmpty());
}

void TestPipelineRows::rowsMatch_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<int>("count");
    const QList<std::tuple<const char*, QByteArray, int>> pages = {
        {"saved page", SavedPage(), 36},
        {"saved listings, body framing", ReadFixture("search-page-body.html"), 36},
        {"generated page of 44", TSearchPages::Page(44), 44},
        {"generated page, second", TSearchPages::Page(40, 44), 40},
        {"unicode, page config", UnicodePage(false), 2},
        {"unicode, body framing", UnicodePage(true), 2},
    };
    for (const auto& [name, page, count] : pages) {
        QTest::addRow("%s", name) << QString::fromLatin1(name) << page << count;
    }
}

void TestPipelineRows::rowsMatch()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, page);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("rows.db"));
    QString error;
    QTEST(RunPage(page, dbPath, &error), "count");
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList rows = FileRows(name, dbPath);
    if (qEnvironmentVariableIntValue("MERCATIX_RECORD_ROWS") == 1) {
        m_recorded << rows;
        return;
    }
    const QStringList expected = ExpectedRows(name);
    QCOMPARE(rows.size(), expected.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList got = rows[i].split(QLatin1Char('\t'));
        const QStringList want = expected[i].split(QLatin1Char('\t'));
        QCOMPARE(got.size(), want.size());
        for (qsizetype f = 0; f < got.size(); ++f) {
            QCOMPARE(got[f], want[f]);
        }
    }
}

void TestPipelineRows::cleanupTestCase()
{
    if (!m_recorded.isEmpty()) {
        QFile file(ExpectedPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(m_recorded.join(QLatin1Char('\n')).toUtf8() + '\n');
    }
}

QTEST_GUILESS_MAIN(TestPipelineRows)
#include "TestPipelineRows.moc"
