// What the write of one page's rows costs by itself: the saved page's rows, as the pipeline stores them, go
// into goodslist in one transaction with its durable commit, once into an encrypted file as the program keeps
// its data and once into a plain file. The difference between the two is the cipher's work on the pages the
// write touches; a figure's wall time over its processor time is the wait for the sync.
#include "bench/TBenchPages.h"
#include "collect/TPagePipeline.h"
#include "net/PageText.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

struct TPageRows
{
    QString TableSql;
    QString InsertSql;
    QList<QVariantList> Rows;
};

bool ReadRows(TConnection* connection, TPageRows* page, QString* error)
{
    TStatement table;
    if (!table.Prepare(connection, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'goodslist'"), error)
        || !table.Next()) {
        return false;
    }
    page->TableSql = table.Value(0).toString();
    TStatement rows;
    if (!rows.Prepare(connection, QStringLiteral("SELECT * FROM goodslist"), error)) {
        return false;
    }
    while (rows.Next()) {
        QVariantList row;
        for (int column = 1; column < rows.ColumnCount(); ++column) { // every column but the id
            row.append(rows.Value(column));
        }
        page->Rows.append(row);
    }
    QStringList columns;
    if (rows.Failed() || !connection->Columns(QStringLiteral("goodslist"), &columns, error)) {
        return false;
    }
    columns.removeFirst();
    QStringList parameters;
    for (int i = 1; i <= columns.size(); ++i) {
        parameters.append(QStringLiteral("?%1").arg(i));
    }
    page->InsertSql = QStringLiteral("INSERT INTO goodslist (%1) VALUES (%2)")
                          .arg(columns.join(QLatin1Char(',')), parameters.join(QLatin1Char(',')));
    return true;
}

// The saved page run through the pipeline once, read back from the file.
const TPageRows& PageRows()
{
    static const TPageRows page = [] {
        TPageRows result;
        TDM dm;
        QString error;
        if (!dm.OpenDatabase(Dir().filePath(QStringLiteral("rows.db")), &error) || !dm.OpenGoodsQuery(&error)) {
            qFatal("cannot open the rows' file: %s", qPrintable(error));
        }
        QString block;
        const TPageResult cut
            = TPagePipeline::Cut(PageText::FromUtf8(TBenchPages::FixturePage()).value_or(QString()), &block);
        const TPageResult run = TPagePipeline(dm).Store(QStringLiteral("办公桌"), block, cut.Framing);
        if (run.Stored == 0 || !ReadRows(dm.conn(), &result, &error)) {
            qFatal("cannot read the page's rows: %s", qPrintable(error));
        }
        return result;
    }();
    return page;
}

void Check(bool ok, const QString& error)
{
    if (!ok) {
        qFatal("write benchmark: %s", qPrintable(error));
    }
}

// range(0): 1 into an encrypted file with the program's password, 0 into a plain file.
void BM_WritePageRows(benchmark::State& state)
{
    const bool encrypted = state.range(0) == 1;
    const TPageRows& page = PageRows();
    const QString path = Dir().filePath(encrypted ? QStringLiteral("encrypted.db") : QStringLiteral("plain.db"));
    const QString connectionString = TDBFunc::ConnectionString(path, encrypted ? TDBFunc::Password() : QString());
    QString error;
    TConnection connection;
    Check(QFile::exists(path) || TConnection::CreateDatabase(connectionString, &error), error);
    Check(connection.Open(connectionString, &error), error);
    QStringList tables;
    Check(connection.Tables(&tables, &error), error);
    Check(tables.contains(QStringLiteral("goodslist")) || connection.Execute(page.TableSql, &error), error);
    QFile file(path);
    const bool plain = file.open(QIODevice::ReadOnly) && file.read(15) == "SQLite format 3";
    Check(plain != encrypted, QStringLiteral("the file is not what it should be"));
    TStatement insert;
    Check(insert.Prepare(&connection, page.InsertSql, &error), error);
    for (auto _ : state) {
        Check(connection.Execute(QStringLiteral("BEGIN"), &error), error);
        for (const QVariantList& row : page.Rows) {
            insert.Reset();
            Check(insert.Bind(row, &error) && insert.Run(&error), error);
        }
        Check(connection.Execute(QStringLiteral("COMMIT"), &error), error);
    }
    state.SetLabel(encrypted ? "encrypted file" : "plain file");
}
} // namespace

BENCHMARK(BM_WritePageRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
