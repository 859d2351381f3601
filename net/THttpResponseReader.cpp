#include "net/THttpResponseReader.h"

#include "net/HttpLimits.h"
#include "platform/AsciiBlank.h"

#include <QList>

#include <limits>

namespace {

bool BeginsWithHttp(QByteArrayView line)
{
    return line.size() >= 5 && line.first(5).compare("HTTP/", Qt::CaseInsensitive) == 0;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The second blank-separated field of a status line as a number; 0 when it is missing or not a number.
int StatusCode(const QByteArray& line)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    return fields.size() > 1 ? fields[1].toInt() : 0;
}

// A decimal with an optional sign. An empty optional means the text is no number; a number beyond 64 bits sets
// tooLarge.
std::optional<qint64> ParseDecimal(QByteArrayView text, bool* tooLarge)
{
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() - (c - '0')) / 10) {
            *tooLarge = true;
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

bool NamesChunked(QByteArrayView value)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] != ',' && value[i] != ';' && !IsBlank(value[i]))
            continue;
        if (value.sliced(start, i - start).compare("chunked", Qt::CaseInsensitive) == 0)
            return true;
        start = i + 1;
    }
    return false;
}

} // namespace

THttpResponseReader::THttpResponseReader(ITransport& transport, int timeoutMs)
    : m_stream(transport, timeoutMs)
{
}

THttpResult THttpResponseReader::Read()
{
    bool ok = false;
    switch (ReadStatusLine()) {
    case Start::StatusLine:
        ok = ReadHeaders(true) && ReadBody();
        break;
    case Start::BodyLine:
        ok = ReadToEnd();
        break;
    case Start::Failed:
        break;
    }
    THttpResult result = ok ? THttpResult() : THttpResult::Failure(m_failure, m_error);
    result.ok = ok;
    if (ok)
        result.body = std::move(m_body);
    result.status = m_status;
    result.location = m_location;
    return result;
}

THttpResponseReader::Start THttpResponseReader::ReadStatusLine()
{
    for (;;) {
        QByteArray line;
        TResponseStream::Status status;
        do {
            status = m_stream.ReadLine(&line, HttpLimits::MaxLine);
            if (m_stream.Consumed() > HttpLimits::MaxHead) {
                Fail(THttpFailure::TooLarge, QStringLiteral("the response head is too long"));
                return Start::Failed;
            }
        } while (status == TResponseStream::Status::Ok && line.isEmpty());
        const Start start = ClassifyFirstLine(status, line);
        if (start != Start::StatusLine)
            return start;
        m_status = StatusCode(line);
        if (m_status != 100)
            return start;
        if (!ReadHeaders(false))
            return Start::Failed;
    }
}

// A line beginning with "HTTP/" is a status line; any other line begins a body that runs to the end of the
// connection, the line's end given as CR LF.
THttpResponseReader::Start THttpResponseReader::ClassifyFirstLine(TResponseStream::Status status, QByteArray line)
{
    using Status = TResponseStream::Status;
    // Without a status line the first line belongs to the body and may be as long as a body.
    if (status == Status::TooLong && !m_stream.BufferStartsWith("HTTP/"))
        status = m_stream.ReadLine(&line, HttpLimits::MaxBody);
    const bool statusLine = BeginsWithHttp(line);
    if (status == Status::Ok && statusLine)
        return Start::StatusLine;
    if ((status == Status::Ok || status == Status::Closed) && !line.isEmpty() && !statusLine) {
        m_body = line;
        if (status == Status::Ok)
            m_body += "\r\n";
        return Start::BodyLine;
    }
    CheckStream(status == Status::Ok ? Status::Closed : status, "status line");
    return Start::Failed;
}

// Reads header lines up to the empty line; a line that begins with a blank continues the header before it.
// Headers of an interim response are read past without being taken.
bool THttpResponseReader::ReadHeaders(bool take)
{
    QByteArray header;
    QByteArray line;
    for (;;) {
        if (!CheckStream(m_stream.ReadLine(&line, HttpLimits::MaxLine), "header section"))
            return false;
        if (m_stream.Consumed() > HttpLimits::MaxHead)
            return Fail(THttpFailure::TooLarge, QStringLiteral("the response head is too long"));
        if (line.isEmpty())
            break;
        if (IsBlank(line[0])) {
            if (!header.isEmpty())
                header += ' ' + line.trimmed();
            if (header.size() > HttpLimits::MaxLine)
                return Fail(THttpFailure::TooLarge, QStringLiteral("a folded header is too long"));
            continue;
        }
        if (take)
            TakeHeader(header);
        header = line;
    }
    if (take)
        TakeHeader(header);
    return true;
}

void THttpResponseReader::TakeHeader(const QByteArray& header)
{
    const qsizetype colon = header.indexOf(':');
    if (colon < 0)
        return;
    const QByteArrayView name = QByteArrayView(header).first(colon).trimmed();
    const QByteArrayView value = QByteArrayView(header).sliced(colon + 1).trimmed();
    if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
        m_chunked = m_chunked || NamesChunked(value);
    } else if (name.compare("Location", Qt::CaseInsensitive) == 0) {
        m_location = value.toByteArray();
    } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
        bool tooLarge = false;
        const std::optional<qint64> length = ParseDecimal(value, &tooLarge);
        if (length)
            m_length = length;
        m_lengthTooLarge = m_lengthTooLarge || tooLarge;
    }
}

bool THttpResponseReader::ReadBody()
{
    if (m_status == 204 || m_status == 304)
        return true;
    if (m_chunked)
        return ReadChunked();
    if (m_length || m_lengthTooLarge)
        return ReadByLength();
    return ReadToEnd();
}

bool THttpResponseReader::ReadChunked()
{
    for (;;) {
        std::optional<qint64> size;
        if (!ReadChunkSize(&size))
            return false;
        if (!size || *size == 0)
            return true;
        if (m_body.size() + *size > HttpLimits::MaxBody)
            return Fail(THttpFailure::TooLarge, QStringLiteral("the body is too large"));
        if (!CheckStream(m_stream.ReadExact(*size, &m_body), "chunked body"))
            return false;
    }
}

// Reads the next chunk-size line, empty lines before it skipped. The size is the run of hexadecimal digits
// before the first blank or ";"; a line that holds no such number leaves size empty and ends the body.
bool THttpResponseReader::ReadChunkSize(std::optional<qint64>* size)
{
    const qint64 start = m_stream.Consumed();
    QByteArray line;
    do {
        if (!CheckStream(m_stream.ReadLine(&line, HttpLimits::MaxLine), "chunked body"))
            return false;
        if (m_stream.Consumed() - start > HttpLimits::MaxLine)
            return Fail(THttpFailure::TooLarge, QStringLiteral("a chunk-size line is too long"));
    } while (line.isEmpty());
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && !IsBlank(line[end]))
        ++end;
    if (end == 0)
        return true;
    qint64 value = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const int digit = HexDigit(line[i]);
        if (digit < 0)
            return true;
        value = value * 16 + digit;
        if (value > HttpLimits::MaxBody)
            return Fail(THttpFailure::TooLarge, QStringLiteral("a chunk size is too large"));
    }
    *size = value;
    return true;
}

bool THttpResponseReader::ReadByLength()
{
    if (m_lengthTooLarge || *m_length > HttpLimits::MaxBody)
        return Fail(THttpFailure::TooLarge, QStringLiteral("the Content-Length is too large"));
    if (*m_length < 1)
        return true;
    return CheckStream(m_stream.ReadExact(*m_length, &m_body), "body");
}

bool THttpResponseReader::ReadToEnd()
{
    return CheckStream(m_stream.ReadToEnd(&m_body, HttpLimits::MaxBody), "body");
}

bool THttpResponseReader::CheckStream(TResponseStream::Status status, const char* what)
{
    const QString part = QString::fromLatin1(what);
    switch (status) {
    case TResponseStream::Status::Ok:
        return true;
    case TResponseStream::Status::Closed:
        return Fail(THttpFailure::CutOff, QStringLiteral("the connection ended before the %1 was complete").arg(part));
    case TResponseStream::Status::TooLong:
        return Fail(THttpFailure::TooLarge, QStringLiteral("the %1 is too long").arg(part));
    case TResponseStream::Status::Failed:
        break;
    }
    return Fail(THttpFailure::Silence,
                QStringLiteral("no data arrived within the wait, or the connection broke, in the %1").arg(part));
}

bool THttpResponseReader::Fail(THttpFailure failure, const QString& error)
{
    m_failure = failure;
    m_error = error;
    return false;
}
