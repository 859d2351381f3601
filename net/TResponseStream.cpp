#include "net/TResponseStream.h"

namespace {
constexpr qint64 ReadSize = 64 * 1024;
}

TResponseStream::TResponseStream(ITransport& transport, int timeoutMs)
    : m_transport(transport)
    , m_timeoutMs(timeoutMs)
{
}

TResponseStream::Status TResponseStream::Fill()
{
    if (m_pos > 0 && m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    } else if (m_pos >= ReadSize) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qint64 oldSize = m_buffer.size();
    m_buffer.resize(oldSize + ReadSize);
    const ITransport::ReadResult result = m_transport.Read(m_buffer.data() + oldSize, ReadSize, m_timeoutMs);
    m_buffer.resize(oldSize + (result.status == ITransport::ReadStatus::Data ? result.size : 0));
    switch (result.status) {
    case ITransport::ReadStatus::Data:
        return Status::Ok;
    case ITransport::ReadStatus::Closed:
        return Status::Closed;
    case ITransport::ReadStatus::Failed:
        break;
    }
    return Status::Failed;
}

// Makes at least one byte available, first dropping the LF that completes a CR line end.
TResponseStream::Status TResponseStream::EnsureData()
{
    for (;;) {
        if (Available() == 0) {
            const Status status = Fill();
            if (status != Status::Ok)
                return status;
        }
        if (!m_skipLf)
            return Status::Ok;
        m_skipLf = false;
        if (m_buffer[m_pos] == '\n') {
            ++m_pos;
            ++m_consumed;
        }
    }
}

void TResponseStream::Take(qint64 size, QByteArray* out)
{
    out->append(m_buffer.constData() + m_pos, size);
    m_pos += size;
    m_consumed += size;
}

TResponseStream::Status TResponseStream::ReadLine(QByteArray* line, qint64 maxLength)
{
    line->clear();
    Status status = EnsureData();
    qint64 scanned = 0;
    while (status == Status::Ok) {
        const char* begin = m_buffer.constData() + m_pos;
        const qint64 end = qMin(Available(), maxLength + 1);
        for (qint64 i = scanned; i < end; ++i) {
            if (begin[i] == '\r' || begin[i] == '\n') {
                m_skipLf = begin[i] == '\r';
                Take(i, line);
                ++m_pos;
                ++m_consumed;
                return Status::Ok;
            }
        }
        scanned = Available();
        if (scanned > maxLength)
            return Status::TooLong;
        status = Fill();
    }
    if (status == Status::Closed)
        Take(Available(), line);
    return status;
}

TResponseStream::Status TResponseStream::ReadExact(qint64 size, QByteArray* out)
{
    while (size > 0) {
        const Status status = EnsureData();
        if (status != Status::Ok)
            return status;
        const qint64 part = qMin(size, Available());
        Take(part, out);
        size -= part;
    }
    return Status::Ok;
}

TResponseStream::Status TResponseStream::ReadToEnd(QByteArray* out, qint64 maxSize)
{
    for (;;) {
        const Status status = EnsureData();
        if (status == Status::Closed)
            return Status::Ok;
        if (status != Status::Ok)
            return status;
        if (out->size() + Available() > maxSize)
            return Status::TooLong;
        Take(Available(), out);
    }
}

bool TResponseStream::BufferStartsWith(QByteArrayView prefix) const
{
    if (Available() < prefix.size())
        return false;
    return QByteArrayView(m_buffer.constData() + m_pos, prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}
