#include "export/TCsvWriter.h"
#include "export/TExportJob.h"
#include "export/TXlsxWriter.h"
#include "storage/engine/TConnection.h"
#include "tests/export/TGoodsFile.h"
#include "tests/export/TWorkbookReader.h"
#include "tests/support/TLocalZone.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The file's columns in an order other than the table's, as after moving a grid column.
const std::vector<TExportColumn> Columns = {{QStringLiteral("comment_count"), QStringLiteral("评价数")},
                                            {QStringLiteral("title"), QStringLiteral("标题")},
                                            {QStringLiteral("view_price"), QStringLiteral("价格")},
                                            {QStringLiteral("nick"), QStringLiteral("旺旺昵称")}};

// Four listings: a comma and quotes, a line break and NULLs, texts that look like formulas, a keyword
// with an apostrophe. The same rows as the grid holds them and as the table stores them.
std::vector<QVariant> GivenRows()
{
    const QVariant null;
    return {qlonglong(12), QStringLiteral("实木 办公桌, 1.2米"), 199.5, QStringLiteral("张三\"店\""),
            qlonglong(0),  QStringLiteral("人体工学椅\n黑色"),   null,  null,
            null,          QStringLiteral("=HYPERLINK(\"x\")"),  -3.25, QStringLiteral("-李四"),
            qlonglong(7),  QStringLiteral("quote keyword"),      2.5,   QStringLiteral("@home")};
}

const char* const InsertRows = "insert into goodslist (keyname, comment_count, title, view_price, nick) values "
                               "('办公桌', 12, '实木 办公桌, 1.2米', 199.5, '张三\"店\"'), "
                               "('椅子', 0, '人体工学椅' || char(10) || '黑色', NULL, NULL), "
                               "('办公桌', NULL, '=HYPERLINK(\"x\")', -3.25, '-李四'), "
                               "('it''s', 7, 'quote keyword', 2.5, '@home')";

const QByteArray CsvHeader = "\xEF\xBB\xBF评价数,标题,价格,旺旺昵称\r\n";
const QByteArray CsvRows[] = {
    "12,\"实木 办公桌, 1.2米\",199.5,\"张三\"\"店\"\"\"\r\n",
    "0,\"人体工学椅\n黑色\",,\r\n",
    ",\"'=HYPERLINK(\"\"x\"\")\",-3.25,'-李四\r\n",
    "7,quote keyword,2.5,'@home\r\n",
};
const QStringList SheetHeader = {"s:评价数", "s:标题", "s:价格", "s:旺旺昵称"};
const QList<QStringList> SheetRows = {
    {"n:12", "s:实木 办公桌, 1.2米", "n:199.5", "s:张三\"店\""},
    {"n:0", "s:人体工学椅\n黑色", "", ""},
    {"", "s:=HYPERLINK(\"x\")", "n:-3.25", "s:-李四"},
    {"n:7", "s:quote keyword", "n:2.5", "s:@home"},
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Pads every row to the widest, since a sheet leaves out empty cells at the end of a row.
QList<QStringList> ReadSheet(const QString& path, int sheet = 1)
{
    QList<QStringList> rows;
    QString error;
    if (!TWorkbookReader::ReadSheet(path, sheet, &rows, &error)) {
        qWarning("%s", qPrintable(error));
    }
    qsizetype width = 0;
    for (const QStringList& row : std::as_const(rows)) {
        width = qMax(width, row.size());
    }
    for (QStringList& row : rows) {
        while (row.size() < width) {
            row.append(QString());
        }
    }
    return rows;
}
} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void csvField_data();
    void csvField();
    void exportReadsBack_data();
    void exportReadsBack();
    void keywordFilter_data();
    void keywordFilter();
    void keywordsAreDistinct();
    void cancelLeavesThePathAsItWas_data();
    void cancelLeavesThePathAsItWas();
    void unwritablePathFails_data();
    void unwritablePathFails();
    void fullSheetContinuesOnNextSheet();
    void sheetCellTexts_data();
    void sheetCellTexts();
    void timeColumnsAreLocalTimes_data();
    void timeColumnsAreLocalTimes();

private:
    void AddFormats();
    TExportRequest Request(TExportRequest::Source source, TExportRequest::Format format, const QString& name) const;

    QTemporaryDir m_templateDir;
    QString m_template; // the database with the four listings, made once and copied for every test
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
};

void TestExport::initTestCase()
{
    QVERIFY(m_templateDir.isValid());
    m_template = m_templateDir.filePath(QStringLiteral("goods.db"));
    QString error;
    QVERIFY2(TGoodsFile::Create(m_template, &error), qPrintable(error));
    QVERIFY2(TGoodsFile::Execute(m_template, QString::fromUtf8(InsertRows), &error), qPrintable(error));
}

void TestExport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath(QStringLiteral("goods.db"));
    QVERIFY(QFile::copy(m_template, m_db));
}

void TestExport::AddFormats()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("source");
    QTest::newRow("grid rows to csv") << int(TExportRequest::Csv) << int(TExportRequest::GivenRows);
    QTest::newRow("grid rows to xlsx") << int(TExportRequest::Xlsx) << int(TExportRequest::GivenRows);
    QTest::newRow("table to csv") << int(TExportRequest::Csv) << int(TExportRequest::TableRows);
    QTest::newRow("table to xlsx") << int(TExportRequest::Xlsx) << int(TExportRequest::TableRows);
}

TExportRequest TestExport::Request(TExportRequest::Source source, TExportRequest::Format format,
                                   const QString& name) const
{
    TExportRequest request;
    request.RowSource = source;
    request.FileFormat = format;
    request.Path = m_dir->filePath(name);
    request.Columns = Columns;
    if (source == TExportRequest::GivenRows) {
        request.Rows = GivenRows();
    }
    request.ConnectionString = TGoodsFile::ConnectionString(m_db);
    return request;
}

void TestExport::csvField_data()
{
    QTest::addColumn<QVariant>("cell");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("null") << QVariant() << QByteArray();
    QTest::newRow("empty text") << QVariant(QString("")) << QByteArray();
    QTest::newRow("plain") << QVariant(QString("desk")) << QByteArray("desk");
    QTest::newRow("chinese") << QVariant(QStringLiteral("办公桌")) << QByteArray("办公桌");
    QTest::newRow("comma") << QVariant(QString("a,b")) << QByteArray("\"a,b\"");
    QTest::newRow("quote") << QVariant(QString("say \"hi\"")) << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("line feed") << QVariant(QString("a\nb")) << QByteArray("\"a\nb\"");
    QTest::newRow("cr lf inside") << QVariant(QString("a\r\nb")) << QByteArray("\"a\r\nb\"");
    QTest::newRow("apostrophe inside") << QVariant(QString("it's")) << QByteArray("it's");
    QTest::newRow("guard =") << QVariant(QString("=1+2")) << QByteArray("'=1+2");
    QTest::newRow("guard +") << QVariant(QString("+86 123")) << QByteArray("'+86 123");
    QTest::newRow("guard -") << QVariant(QString("-5")) << QByteArray("'-5");
    QTest::newRow("guard @") << QVariant(QString("@SUM(A1)")) << QByteArray("'@SUM(A1)");
    QTest::newRow("guard tab") << QVariant(QString("\tx")) << QByteArray("'\tx");
    QTest::newRow("guard cr, quoted") << QVariant(QString("\rx")) << QByteArray("\"'\rx\"");
    QTest::newRow("guard with comma") << QVariant(QString("=A1,B1")) << QByteArray("\"'=A1,B1\"");
    QTest::newRow("no guard after a blank") << QVariant(QString(" =1")) << QByteArray(" =1");
    QTest::newRow("negative number unguarded") << QVariant(qlonglong(-5)) << QByteArray("-5");
    QTest::newRow("integer") << QVariant(qlonglong(1234567890123)) << QByteArray("1234567890123");
    QTest::newRow("double shortest") << QVariant(12.3) << QByteArray("12.3");
    QTest::newRow("negative double") << QVariant(-0.1) << QByteArray("-0.1");
    QTest::newRow("whole double") << QVariant(199.0) << QByteArray("199");
    // Every significant digit, never six of them or an exponent.
    QTest::newRow("small fraction") << QVariant(0.000125) << QByteArray("0.000125");
    QTest::newRow("seven digits") << QVariant(12345.67) << QByteArray("12345.67");
    QTest::newRow("eight digits") << QVariant(1234567.5) << QByteArray("1234567.5");
    QTest::newRow("whole million") << QVariant(1000000.0) << QByteArray("1000000");
    QTest::newRow("whole billion") << QVariant(2500000000.0) << QByteArray("2500000000");
}

void TestExport::csvField()
{
    QFETCH(QVariant, cell);
    QTEST(TCsvWriter::Field(cell), "field");
}

// Headers in the file's column order, numbers as numbers, NULL as empty cells, Chinese intact, and an
// older, longer file at the path replaced entirely.
void TestExport::exportReadsBack_data()
{
    AddFormats();
}

void TestExport::exportReadsBack()
{
    QFETCH(int, format);
    QFETCH(int, source);
    TExportRequest request = Request(TExportRequest::Source(source), TExportRequest::Format(format), "out");
    WriteAll(request.Path, QByteArray(100000, 'x'));
    TExportJob job(request);
    QString error;
    QVERIFY2(job.Run(&error), qPrintable(error));
    QCOMPARE(job.RowsWritten(), 4);
    if (format == TExportRequest::Csv) {
        QCOMPARE(ReadAll(request.Path), CsvHeader + CsvRows[0] + CsvRows[1] + CsvRows[2] + CsvRows[3]);
    } else {
        QCOMPARE(ReadSheet(request.Path), QList<QStringList>({SheetHeader}) + SheetRows);
    }
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // the database and the file
}

void TestExport::keywordFilter_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QList<int>>("rows");
    QTest::newRow("chinese keyword") << QStringLiteral("办公桌") << QList<int>({0, 2});
    QTest::newRow("keyword with apostrophe") << QStringLiteral("it's") << QList<int>({3});
    QTest::newRow("unknown keyword") << QStringLiteral("x' or '1'='1") << QList<int>();
}

void TestExport::keywordFilter()
{
    QFETCH(QString, keyword);
    QFETCH(QList<int>, rows);
    for (const auto format : {TExportRequest::Csv, TExportRequest::Xlsx}) {
        TExportRequest request = Request(TExportRequest::TableRows, format, "filtered");
        request.FilterKeyword = true;
        request.Keyword = keyword;
        TExportJob job(request);
        QString error;
        QVERIFY2(job.Run(&error), qPrintable(error));
        QCOMPARE(job.RowsWritten(), rows.size());
        QByteArray csv = CsvHeader;
        QList<QStringList> sheet = {SheetHeader};
        for (const int row : rows) {
            csv += CsvRows[row];
            sheet.append(SheetRows.at(row));
        }
        if (format == TExportRequest::Csv) {
            QCOMPARE(ReadAll(request.Path), csv);
        } else {
            QCOMPARE(ReadSheet(request.Path), sheet);
        }
    }
}

void TestExport::keywordsAreDistinct()
{
    QString error;
    QVERIFY2(TGoodsFile::Execute(m_db, "insert into goodslist (keyname) values (''), (NULL)", &error),
             qPrintable(error));
    TConnection connection;
    QVERIFY2(connection.Open(TGoodsFile::ConnectionString(m_db), &error), qPrintable(error));
    QStringList keywords;
    QVERIFY2(TExportJob::Keywords(&connection, &keywords, &error), qPrintable(error));
    QCOMPARE(keywords, QStringList({"it's", "办公桌", "椅子"}));
}

void TestExport::cancelLeavesThePathAsItWas_data()
{
    AddFormats();
}

// A cancel after the first rows: the old file stays as it was and no temporary file is left behind.
void TestExport::cancelLeavesThePathAsItWas()
{
    QFETCH(int, format);
    QFETCH(int, source);
    const int count = TExportJob::ChunkRows * 2 + 500;
    QString error;
    QVERIFY2(TGoodsFile::Execute(m_db,
                                 QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n "
                                                "where i < %1) insert into goodslist (title) select 't' || i from n")
                                     .arg(count),
                                 &error),
             qPrintable(error));
    TExportRequest request = Request(TExportRequest::Source(source), TExportRequest::Format(format), "kept.file");
    request.Rows.clear();
    for (int i = 0; i < count * 4; ++i) {
        request.Rows.emplace_back(QStringLiteral("cell"));
    }
    WriteAll(request.Path, "old");
    TExportJob job(request);
    qint64 doneAtCancel = -1;
    job.SetProgress([&job, &doneAtCancel](qint64 done, qint64) {
        if (done > 0 && doneAtCancel < 0) {
            doneAtCancel = done;
            job.Cancel();
        }
    });
    QVERIFY(!job.Run(&error));
    QVERIFY(job.Cancelled());
    QVERIFY(doneAtCancel > 0 && doneAtCancel < count);
    QCOMPARE(ReadAll(request.Path), QByteArray("old"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestExport::unwritablePathFails_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("path");
    QTest::newRow("csv, missing folder") << int(TExportRequest::Csv) << "missing/out.csv";
    QTest::newRow("xlsx, missing folder") << int(TExportRequest::Xlsx) << "missing/out.xlsx";
    QTest::newRow("csv, parent is a file") << int(TExportRequest::Csv) << "goods.db/out.csv";
    QTest::newRow("xlsx, parent is a file") << int(TExportRequest::Xlsx) << "goods.db/out.xlsx";
    QTest::newRow("csv, path is a folder") << int(TExportRequest::Csv) << ".";
    QTest::newRow("xlsx, path is a folder") << int(TExportRequest::Xlsx) << ".";
}

void TestExport::unwritablePathFails()
{
    QFETCH(int, format);
    QFETCH(QString, path);
    TExportRequest request = Request(TExportRequest::GivenRows, TExportRequest::Format(format), path);
    TExportJob job(request);
    QString error;
    QVERIFY(!job.Run(&error));
    QVERIFY(!job.Cancelled());
    QVERIFY2(!error.isEmpty(), "a failure names its reason");
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"goods.db"}));
}

void TestExport::fullSheetContinuesOnNextSheet()
{
    const QString path = m_dir->filePath("sheets.xlsx");
    TXlsxWriter writer(3);
    QString error;
    QVERIFY2(writer.Open(path, &error), qPrintable(error));
    for (const QVariant& cell :
         {QVariant(QStringLiteral("标题")), QVariant(1), QVariant(2), QVariant(3), QVariant(4)}) {
        QVERIFY2(writer.WriteRow({&cell, 1}, &error), qPrintable(error));
    }
    QVERIFY2(writer.Commit(&error), qPrintable(error));
    QCOMPARE(TWorkbookReader::SheetNames(path), QStringList({"Sheet1", "Sheet2"}));
    QCOMPARE(ReadSheet(path, 1), QList<QStringList>({{"s:标题"}, {"n:1"}, {"n:2"}}));
    QCOMPARE(ReadSheet(path, 2), QList<QStringList>({{"s:标题"}, {"n:3"}, {"n:4"}}));
}

// Texts a sheet cell cannot hold as they are: cut at 32 767 characters, and without the two code points XML
// forbids (either would make the whole sheet unreadable).
void TestExport::sheetCellTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");
    const QString chinese = QStringLiteral("办公桌椅书架").repeated(6667).left(40000);
    QTest::newRow("40 000 Chinese characters") << chinese << chinese.left(32767);
    QTest::newRow("exactly the limit") << chinese.left(32767) << chinese.left(32767);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("pair across the cut is left out whole")
        << QString(32766, QLatin1Char('x')) + emoji + "tail" << QString(32766, QLatin1Char('x'));
    QTest::newRow("U+FFFE and U+FFFF") << QStringLiteral("价") + QChar(0xFFFE) + QStringLiteral("格") + QChar(0xFFFF)
                                       << QStringLiteral("价格");
}

void TestExport::sheetCellTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    const QString path = m_dir->filePath("texts.xlsx");
    TXlsxWriter writer;
    QString error;
    QVERIFY2(writer.Open(path, &error), qPrintable(error));
    const QVariant value(text);
    const QVariant after(QStringLiteral("next"));
    QVERIFY2(writer.WriteRow({&value, 1}, &error), qPrintable(error));
    QVERIFY2(writer.WriteRow({&after, 1}, &error), qPrintable(error));
    QVERIFY2(writer.Commit(&error), qPrintable(error));
    const QList<QStringList> rows = ReadSheet(path);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].first().size(), cell.size() + 2);
    QCOMPARE(rows[0].first(), "s:" + cell);
    QCOMPARE(rows[1].first(), QStringLiteral("s:next"));
}

// Stored times (ISO 8601 with their offset) in a time column become the local time they stand for: date cells of
// a workbook, "yyyy-MM-dd HH:mm:ss" in a CSV file; a text that is no time stays a text, no time stays empty.
void TestExport::timeColumnsAreLocalTimes_data()
{
    AddFormats();
}

void TestExport::timeColumnsAreLocalTimes()
{
    QFETCH(int, format);
    QFETCH(int, source);
    const TLocalZone zone("CST-8"); // eight hours east of UTC
    const QStringList times{"2026-12-10T10:00:00+08:00", "2026-12-10T02:30:00Z", "not a time", QString()};
    TExportRequest request = Request(TExportRequest::Source(source), TExportRequest::Format(format), "times");
    request.Columns = {{QStringLiteral("title"), QStringLiteral("标题")},
                       {QStringLiteral("collect_time"), QStringLiteral("采集时间"), true}};
    request.Rows.clear();
    for (qsizetype i = 0; i < times.size(); ++i) {
        const QString title = QString(QLatin1Char('a' + i));
        const QVariant time = times[i].isNull() ? QVariant() : QVariant(times[i]);
        request.Rows.push_back(title);
        request.Rows.push_back(time);
        QString error;
        QVERIFY2(TGoodsFile::Execute(
                     m_db,
                     QStringLiteral("insert into goodslist (keyname, title, collect_time) values "
                                    "('times', '%1', %2)")
                         .arg(title, time.isNull() ? QStringLiteral("NULL") : QStringLiteral("'%1'").arg(times[i])),
                     &error),
                 qPrintable(error));
    }
    request.TableCondition = QStringLiteral(" and keyname = 'times'");
    TExportJob job(request);
    QString error;
    QVERIFY2(job.Run(&error), qPrintable(error));
    if (format == TExportRequest::Csv) {
        QCOMPARE(ReadAll(request.Path),
                 QByteArray("\xEF\xBB\xBF标题,采集时间\r\na,2026-12-10 10:00:00\r\n"
                            "b,2026-12-10 10:30:00\r\nc,not a time\r\nd,\r\n"));
    } else {
        QCOMPARE(ReadSheet(request.Path),
                 QList<QStringList>({{"s:标题", "s:采集时间"},
                                     {"s:a", "d:2026-12-10 10:00:00"},
                                     {"s:b", "d:2026-12-10 10:30:00"},
                                     {"s:c", "s:not a time"},
                                     {"s:d", ""}}));
    }
}

QTEST_GUILESS_MAIN(TestExport)

#include "TestExport.moc"
