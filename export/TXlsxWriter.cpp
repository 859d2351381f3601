#include "export/TXlsxWriter.h"

#include "export/CellValue.h"
#include "export/TExportTemporary.h"
#include "platform/TSystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <xlsxwriter.h>

namespace {
// The longest text a cell holds, in characters (UTF-16 code units, as the spreadsheet counts them).
const qsizetype CellTextChars = 32767;

QString Reason(lxw_error code)
{
    switch (code) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return TSystemError::Text(ENOMEM);
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("无法写入工作簿文件：%1").arg(TSystemError::Last());
    default:
        return QStringLiteral("工作簿出错（%1）").arg(QString::fromUtf8(lxw_strerror(code)));
    }
}

// How a date cell shows its date and time, as the library shows them.
const char* const DateTimeFormat = "yyyy-mm-dd hh:mm";

// A date and time the workbook can hold: from 1900 on, to the end of 9999.
bool InWorkbookRange(const QDateTime& time)
{
    return time.isValid() && time.date().year() >= 1900 && time.date().year() <= 9999;
}

// Cuts a text to the cell limit without splitting a surrogate pair.
QString FitCell(QString text)
{
    if (text.size() <= CellTextChars) {
        return text;
    }
    qsizetype end = CellTextChars;
    if (text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    text.truncate(end);
    return text;
}

// U+FFFE and U+FFFF are no XML characters at all; one of them would make the whole sheet unreadable.
// Control characters need nothing here: the library writes them as "_xHHHH_" escapes.
QString XmlSafe(QString text)
{
    text.remove(QChar(0xFFFE));
    text.remove(QChar(0xFFFF));
    return text;
}
} // namespace

TXlsxWriter::TXlsxWriter(int sheetRows)
    : m_sheetRows(qMax(2, sheetRows))
{
}

TXlsxWriter::~TXlsxWriter()
{
    Discard();
}

bool TXlsxWriter::Open(const QString& path, QString* error)
{
    Discard();
    const QFileInfo target(path);
    if (target.isDir()) {
        *error = TSystemError::Text(EISDIR);
        return false;
    }
    // The placeholder shows at once whether the folder takes a file, and keeps the name for the workbook.
    if (!TExportTemporary::Create(path, &m_temporary, error)) {
        return false;
    }
    m_path = target.absoluteFilePath();

    lxw_workbook_options options;
    std::memset(&options, 0, sizeof(options));
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    const QByteArray name = QFile::encodeName(m_temporary);
    m_workbook = workbook_new_opt(name.constData(), &options);
    if (m_workbook == nullptr) {
        *error = QStringLiteral("无法创建工作簿");
        RemoveTemporary();
        return false;
    }
    m_dateFormat = workbook_add_format(m_workbook);
    if (m_dateFormat != nullptr) {
        format_set_num_format(m_dateFormat, DateTimeFormat);
    }
    return AddSheet(error);
}

bool TXlsxWriter::AddSheet(QString* error)
{
    ++m_sheetCount;
    const QByteArray name = QStringLiteral("Sheet%1").arg(m_sheetCount).toUtf8();
    m_sheet = workbook_add_worksheet(m_workbook, name.constData());
    if (m_sheet == nullptr) {
        *error = QStringLiteral("the worksheet cannot be added");
        return false;
    }
    m_row = 0;
    return true;
}

bool TXlsxWriter::WriteRow(std::span<const QVariant> cells, QString* error)
{
    if (m_workbook == nullptr) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    const bool first = m_sheetCount == 1 && m_row == 0;
    if (first) {
        m_firstRow.assign(cells.begin(), cells.end());
    }
    if (m_row >= m_sheetRows) {
        if (!AddSheet(error) || !WriteRow(m_firstRow, error)) {
            return false;
        }
    }
    for (size_t column = 0; column < cells.size(); ++column) {
        if (!WriteCell(static_cast<int>(column), cells[column], error)) {
            return false;
        }
    }
    ++m_row;
    return true;
}

bool TXlsxWriter::WriteCell(int column, const QVariant& cell, QString* error)
{
    if (cell.isNull()) {
        return true;
    }
    const auto row = static_cast<lxw_row_t>(m_row);
    const auto col = static_cast<lxw_col_t>(column);
    lxw_error rc = LXW_NO_ERROR;
    if (CellValue::IsNumber(cell)) {
        rc = worksheet_write_number(m_sheet, row, col, cell.toDouble(), nullptr);
    } else if (CellValue::IsDateTime(cell) && InWorkbookRange(cell.toDateTime())) {
        const QDateTime time = cell.toDateTime();
        lxw_datetime value{time.date().year(), time.date().month(),  time.date().day(),
                           time.time().hour(), time.time().minute(), static_cast<double>(time.time().second())};
        rc = worksheet_write_datetime(m_sheet, row, col, &value, m_dateFormat);
    } else {
        const QString text = CellValue::Text(cell);
        if (text.isEmpty()) {
            return true;
        }
        const QByteArray bytes = FitCell(XmlSafe(text)).toUtf8();
        rc = worksheet_write_string(m_sheet, row, col, bytes.constData(), nullptr);
    }
    if (rc != LXW_NO_ERROR) {
        *error = Reason(rc);
        return false;
    }
    return true;
}

bool TXlsxWriter::Commit(QString* error)
{
    if (m_workbook == nullptr) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    // The workbook makes its file afresh, so that it gets the permissions of any new file.
    QFile::remove(m_temporary);
    const lxw_error rc = workbook_close(m_workbook); // frees the workbook whatever the outcome
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_dateFormat = nullptr;
    if (rc != LXW_NO_ERROR) {
        *error = Reason(rc);
        RemoveTemporary();
        return false;
    }
    if (!TExportTemporary::Replace(m_temporary, m_path, error)) {
        RemoveTemporary();
        return false;
    }
    m_temporary.clear();
    return true;
}

void TXlsxWriter::Discard()
{
    if (m_workbook != nullptr) {
        lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        m_sheet = nullptr;
    }
    m_dateFormat = nullptr; // freed with its workbook
    RemoveTemporary();
    m_sheetCount = 0;
    m_row = 0;
    m_firstRow.clear();
}

void TXlsxWriter::RemoveTemporary()
{
    if (!m_temporary.isEmpty()) {
        QFile::remove(m_temporary);
        m_temporary.clear();
    }
}
