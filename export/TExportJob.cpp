#include "export/TExportJob.h"

#include "export/TCsvWriter.h"
#include "export/TExportTemporary.h"
#include "export/TXlsxWriter.h"
#include "platform/TTimeText.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TJetDialect.h"
#include "storage/engine/TRowSet.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {
const qsizetype GivenRowsPerReport = 10000;

QString QuoteText(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A stored time as the local date and time it stands for; a value that is no time stays as it is.
QVariant TimeCell(const QVariant& value)
{
    const QDateTime time = TTimeText::LocalTime(value);
    return time.isValid() ? QVariant(time) : value;
}

std::unique_ptr<TTableWriter> NewWriter(TExportRequest::Format format)
{
    if (format == TExportRequest::Csv) {
        return std::make_unique<TCsvWriter>();
    }
    return std::make_unique<TXlsxWriter>();
}
} // namespace

TExportJob::TExportJob(TExportRequest request)
    : m_request(std::move(request))
{
}

TExportJob::~TExportJob() = default;

bool TExportJob::Run(QString* error)
{
    m_written = 0;
    if (m_request.Columns.empty()) {
        *error = QStringLiteral("没有可导出的列");
        return false;
    }
    // A killed export leaves its temporary file; the next export to the folder removes it.
    TExportTemporary::RemoveStale(QFileInfo(m_request.Path).absolutePath());
    std::unique_ptr<TTableWriter> writer = NewWriter(m_request.FileFormat);
    if (!writer->Open(m_request.Path, error)) {
        return false;
    }
    const bool written = WriteHeader(writer.get(), error)
        && (m_request.RowSource == TExportRequest::GivenRows ? WriteGivenRows(writer.get(), error)
                                                             : WriteTableRows(writer.get(), error));
    if (!written || StopRequested(error)) {
        writer->Discard();
        return false;
    }
    return writer->Commit(error);
}

bool TExportJob::StopRequested(QString* error) const
{
    if (!m_cancel) {
        return false;
    }
    *error = QStringLiteral("导出已取消");
    return true;
}

void TExportJob::Report(qint64 total)
{
    if (m_progress) {
        m_progress(m_written, total);
    }
}

bool TExportJob::WriteHeader(TTableWriter* writer, QString* error)
{
    std::vector<QVariant> titles;
    for (const TExportColumn& column : m_request.Columns) {
        titles.emplace_back(column.Title);
    }
    return writer->WriteRow(titles, error);
}

bool TExportJob::WriteGivenRows(TTableWriter* writer, QString* error)
{
    const size_t width = m_request.Columns.size();
    const auto total = static_cast<qint64>(m_request.Rows.size() / width);
    std::span<const QVariant> values(m_request.Rows);
    // Rows without a time column are written as they are given.
    const bool times = std::any_of(m_request.Columns.begin(), m_request.Columns.end(),
                                   [](const TExportColumn& column) { return column.Time; });
    std::vector<QVariant> cells(width);
    Report(total);
    for (qint64 row = 0; row < total; ++row) {
        std::span<const QVariant> given = values.subspan(static_cast<size_t>(row) * width, width);
        if (times) {
            for (size_t column = 0; column < width; ++column) {
                cells[column] = Cell(column, given[column]);
            }
            given = cells;
        }
        if (StopRequested(error) || !writer->WriteRow(given, error)) {
            return false;
        }
        ++m_written;
        if (m_written % GivenRowsPerReport == 0) {
            Report(total);
        }
    }
    Report(total);
    return true;
}

QString TExportJob::KeywordCondition() const
{
    const QString keyword
        = m_request.FilterKeyword ? QStringLiteral(" and keyname = %1").arg(QuoteText(m_request.Keyword)) : QString();
    return keyword + m_request.TableCondition;
}

// The rows there are now; rows stored while the export runs come after lastId and stay out.
bool TExportJob::CountTableRows(TConnection* connection, qint64* total, qint64* lastId, QString* error)
{
    TRowSet count;
    count.SetConnection(connection);
    const QString sql
        = QStringLiteral("select count(*), coalesce(max(id), 0) from goodslist where 1=1") + KeywordCondition();
    if (!count.Open(sql, error)) {
        return false;
    }
    *total = count.Value(0, 0).toLongLong();
    *lastId = count.Value(0, 1).toLongLong();
    return true;
}

// The next chunk of rows after an id, the id first and then the columns of the file.
QString TExportJob::ChunkSql(qint64 afterId, qint64 lastId) const
{
    QStringList names;
    for (const TExportColumn& column : m_request.Columns) {
        names.append(TJetDialect::QuoteName(column.Field));
    }
    return QStringLiteral("select id, ") + names.join(QLatin1String(", "))
        + QStringLiteral(" from goodslist where id > ") + QString::number(afterId) + QStringLiteral(" and id <= ")
        + QString::number(lastId) + KeywordCondition() + QStringLiteral(" order by id limit ")
        + QString::number(ChunkRows);
}

bool TExportJob::WriteTableRows(TTableWriter* writer, QString* error)
{
    TConnection connection;
    if (!connection.Open(m_request.ConnectionString, error)) {
        return false;
    }
    qint64 total = 0;
    qint64 lastId = 0;
    if (!CountTableRows(&connection, &total, &lastId, error)) {
        return false;
    }
    const int width = static_cast<int>(m_request.Columns.size());
    std::vector<QVariant> cells(static_cast<size_t>(width));
    TRowSet chunk;
    chunk.SetConnection(&connection);
    qint64 afterId = 0;
    Report(total);
    while (afterId < lastId) {
        if (StopRequested(error) || !chunk.Open(ChunkSql(afterId, lastId), error)) {
            return false;
        }
        if (chunk.RowCount() == 0) {
            break;
        }
        for (int row = 0; row < chunk.RowCount(); ++row) {
            for (int column = 0; column < width; ++column) {
                cells[static_cast<size_t>(column)] = Cell(static_cast<size_t>(column), chunk.Value(row, column + 1));
            }
            if (StopRequested(error) || !writer->WriteRow(cells, error)) {
                return false;
            }
            ++m_written;
        }
        afterId = chunk.Value(chunk.RowCount() - 1, 0).toLongLong();
        Report(total);
    }
    return true;
}

QVariant TExportJob::Cell(size_t column, const QVariant& value) const
{
    return m_request.Columns[column].Time ? TimeCell(value) : value;
}

bool TExportJob::Keywords(TConnection* connection, QStringList* keywords, QString* error)
{
    TRowSet rows;
    rows.SetConnection(connection);
    if (!rows.Open(QStringLiteral("select distinct keyname from goodslist where keyname <> '' order by keyname"),
                   error)) {
        return false;
    }
    keywords->clear();
    for (int row = 0; row < rows.RowCount(); ++row) {
        keywords->append(rows.Value(row, 0).toString());
    }
    return true;
}
