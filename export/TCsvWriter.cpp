#include "export/TCsvWriter.h"

#include "export/CellValue.h"
#include "export/TExportTemporary.h"
#include "platform/TSystemError.h"

#include <QFileInfo>
#include <QLocale>

#include <cerrno>

namespace {
const qsizetype FlushBytes = 1 << 20;

QByteArray NumberText(const QVariant& cell)
{
    const int type = cell.metaType().id();
    if (type == QMetaType::Double || type == QMetaType::Float) {
        // The fewest digits that read back as the same number, never in exponent form: a price of a million is
        // "1000000", which every program reads as the number it is, not "1e+06".
        return QByteArray::number(cell.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    if (type == QMetaType::ULongLong) {
        return QByteArray::number(cell.toULongLong());
    }
    return QByteArray::number(cell.toLongLong());
}

bool StartsLikeFormula(const QString& text)
{
    if (text.isEmpty()) {
        return false;
    }
    switch (text.at(0).unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

bool NeedsQuotes(const QByteArray& text)
{
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            return true;
        }
    }
    return false;
}
} // namespace

TCsvWriter::TCsvWriter() = default;

TCsvWriter::~TCsvWriter()
{
    Discard();
}

QByteArray TCsvWriter::Field(const QVariant& cell)
{
    if (cell.isNull()) {
        return QByteArray();
    }
    if (CellValue::IsNumber(cell)) {
        return NumberText(cell);
    }
    if (CellValue::IsDateTime(cell)) {
        return cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    }
    QString text = CellValue::Text(cell);
    if (StartsLikeFormula(text)) {
        text.prepend(QLatin1Char('\''));
    }
    QByteArray bytes = text.toUtf8();
    if (!NeedsQuotes(bytes)) {
        return bytes;
    }
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

bool TCsvWriter::Open(const QString& path, QString* error)
{
    Discard();
    if (QFileInfo(path).isDir()) {
        *error = TSystemError::Text(EISDIR);
        return false;
    }
    QString temporary;
    if (!TExportTemporary::Create(path, &temporary, error)) {
        return false;
    }
    m_file = std::make_unique<QFile>(temporary);
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = TSystemError::Last();
        Discard();
        return false;
    }
    m_path = path;
    m_buffer.reserve(FlushBytes + 4096);
    m_buffer.append("\xEF\xBB\xBF");
    return true;
}

bool TCsvWriter::WriteRow(std::span<const QVariant> cells, QString* error)
{
    if (m_file == nullptr) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            m_buffer.append(',');
        }
        m_buffer.append(Field(cells[i]));
    }
    m_buffer.append("\r\n");
    return m_buffer.size() < FlushBytes || Flush(error);
}

bool TCsvWriter::Flush(QString* error)
{
    errno = 0;
    if (m_file->write(m_buffer) != m_buffer.size() || !m_file->flush()) {
        *error = errno != 0 ? TSystemError::Last() : m_file->errorString();
        return false;
    }
    m_buffer.clear();
    return true;
}

bool TCsvWriter::Commit(QString* error)
{
    if (m_file == nullptr) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    if (!Flush(error)) {
        Discard();
        return false;
    }
    m_file->close();
    if (!TExportTemporary::Replace(m_file->fileName(), m_path, error)) {
        Discard();
        return false;
    }
    m_file.reset();
    return true;
}

void TCsvWriter::Discard()
{
    if (m_file != nullptr) {
        m_file->close();
        m_file->remove();
        m_file.reset();
    }
    m_buffer.clear();
}
