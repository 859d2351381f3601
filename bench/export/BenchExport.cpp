// Creates a goods database with many rows (1 000 000 unless given) and exports the whole table to CSV and
// to Excel, printing for each the time, the file size and the peak resident memory (VmHWM). The peak is
// reset before every export, so each figure is that export's own peak on top of what the process holds.
#include "export/TExportJob.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {
qint64 StatusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

// Writing 5 to clear_refs sets VmHWM back to the current resident size.
void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) {
        refs.write("5");
    }
}

bool Fill(const QString& path, int rows, QString* error)
{
    TDM dm;
    if (!dm.OpenDatabase(path, error)) {
        return false;
    }
    const QString sql
        = QStringLiteral(
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
              "insert into goodslist (keyname, title, pic_url, detail_url, view_price, view_fee, reserve_price, "
              "item_loc, "
              "user_id, nick, shopLink, comment_count) select "
              "case i % 3 when 0 then '办公桌' when 1 then '椅子' else 'desk' end, "
              "'实木办公桌 电脑桌 家用 简约 书桌, 第' || i || '号 \"特价\"', "
              "'//img.example/bao/uploaded/i' || i || '/TB1x.jpg', '//item.example/item.htm?id=' || (500000000 + i), "
              "(i % 1000) + 0.5, (i % 7) * 1.0, (i % 1000) + 99.9, '浙江 杭州', '' || (100000 + i), '店主' || i, "
              "'//store.example/shop' || i, i % 5000 from n")
              .arg(rows);
    const bool filled = dm.conn()->Execute(sql, error);
    dm.CloseDatabase();
    return filled;
}

const std::vector<TExportColumn> Columns = {
    {"title", "标题"},    {"pic_url", "图片"},       {"detail_url", "详细"},      {"view_price", "价格"},
    {"view_fee", "运费"}, {"reserve_price", "原价"}, {"item_loc", "地点"},        {"user_id", "淘宝号"},
    {"nick", "旺旺昵称"}, {"shopLink", "店铺"},      {"comment_count", "评价数"},
};

void Run(TExportRequest request, const char* name)
{
    const QString target = request.Path;
    TExportJob job(std::move(request));
    ResetPeak();
    const qint64 before = StatusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    QString error;
    const bool ok = job.Run(&error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        std::printf("%-8s failed: %s\n", name, qPrintable(error));
        return;
    }
    std::printf("%-8s %lld rows  %.2f s  %.1f MB file  peak %.1f MB (resident before %.1f MB)\n", name,
                static_cast<long long>(job.RowsWritten()), seconds, QFileInfo(target).size() / 1048576.0,
                StatusKb("VmHWM:") / 1024.0, before / 1024.0);
    std::fflush(stdout);
}

void Export(const QString& db, const QString& target, TExportRequest::Format format, const char* name)
{
    TExportRequest request;
    request.RowSource = TExportRequest::TableRows;
    request.FileFormat = format;
    request.Path = target;
    request.Columns = Columns;
    request.ConnectionString = TDBFunc::ConnectionString(db, TDBFunc::Password());
    Run(std::move(request), name);
}

// The keyword list the export dialog offers, read on the window's thread.
void Keywords(const QString& db)
{
    TConnection connection;
    QString error;
    QStringList keywords;
    QElapsedTimer timer;
    timer.start();
    if (!connection.Open(TDBFunc::ConnectionString(db, TDBFunc::Password()), &error)
        || !TExportJob::Keywords(&connection, &keywords, &error)) {
        std::printf("keywords failed: %s\n", qPrintable(error));
        return;
    }
    std::printf("keyword list: %lld keywords in %.2f s\n", static_cast<long long>(keywords.size()),
                timer.nsecsElapsed() / 1e9);
}

// All rows held as the grid holds them, copied as the window copies them, then written to CSV.
void GridRows(const QString& db, const QString& target)
{
    TConnection connection;
    QString error;
    TRowSet rows;
    rows.SetConnection(&connection);
    QElapsedTimer timer;
    timer.start();
    if (!connection.Open(TDBFunc::ConnectionString(db, TDBFunc::Password()), &error)
        || !rows.Open(QStringLiteral("select * from goodslist"), &error)) {
        std::printf("grid rows failed: %s\n", qPrintable(error));
        return;
    }
    const double loaded = timer.nsecsElapsed() / 1e9;
    const qint64 held = StatusKb("VmRSS:");
    timer.restart();
    TExportRequest request;
    request.RowSource = TExportRequest::GivenRows;
    request.FileFormat = TExportRequest::Csv;
    request.Path = target;
    request.Columns = Columns;
    std::vector<int> fields;
    for (const TExportColumn& column : Columns) {
        fields.push_back(rows.FieldIndex(column.Field));
    }
    request.Rows.reserve(static_cast<size_t>(rows.RowCount()) * fields.size());
    for (int row = 0; row < rows.RowCount(); ++row) {
        for (const int field : fields) {
            request.Rows.push_back(rows.Value(row, field));
        }
    }
    std::printf("grid: rows loaded in %.2f s (resident %.1f MB), copied in %.2f s (resident %.1f MB)\n", loaded,
                held / 1024.0, timer.nsecsElapsed() / 1e9, StatusKb("VmRSS:") / 1024.0);
    Run(std::move(request), "grid csv");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("goods.db"));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!Fill(db, rows, &error)) {
        std::printf("filling the database failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("database of %d rows made in %.1f s (%.1f MB)\n", rows, timer.elapsed() / 1000.0,
                QFileInfo(db).size() / 1048576.0);
    // Filling the search index freed a few hundred MB that the allocator keeps; they go back to the system, so
    // that each export's peak is its own and not the fill's.
    malloc_trim(0);
    Export(db, dir.filePath(QStringLiteral("goods.csv")), TExportRequest::Csv, "csv");
    Export(db, dir.filePath(QStringLiteral("goods.xlsx")), TExportRequest::Xlsx, "xlsx");
    Keywords(db);
    GridRows(db, dir.filePath(QStringLiteral("grid.csv")));
    return 0;
}
