// Creates a goods database with many rows (1 000 000 unless given) and exports the whole table to CSV and
// to Excel, printing for each the time, the file size and the peak resident memory (VmHWM). The peak is
// reset before every export, so each figure is that export's own peak on top of what the process holds.
#include "export/TExportJob.h"
#include "storage/engine/TConnection.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

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

void Export(const QString& db, const QString& target, TExportRequest::Format format, const char* name)
{
    TExportRequest request;
    request.RowSource = TExportRequest::TableRows;
    request.FileFormat = format;
    request.Path = target;
    request.Columns = Columns;
    request.ConnectionString = TDBFunc::ConnectionString(db, TDBFunc::Password());
    TExportJob job(std::move(request));
    ResetPeak();
    const qint64 before = StatusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    QString error;
    const bool ok = job.Run(&error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        std::printf("%-5s failed: %s\n", name, qPrintable(error));
        return;
    }
    std::printf("%-5s %lld rows  %.2f s  %.1f MB file  peak %.1f MB (resident before %.1f MB)\n", name,
                static_cast<long long>(job.RowsWritten()), seconds, QFileInfo(target).size() / 1048576.0,
                StatusKb("VmHWM:") / 1024.0, before / 1024.0);
    std::fflush(stdout);
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
    Export(db, dir.filePath(QStringLiteral("goods.csv")), TExportRequest::Csv, "csv");
    Export(db, dir.filePath(QStringLiteral("goods.xlsx")), TExportRequest::Xlsx, "xlsx");
    return 0;
}
