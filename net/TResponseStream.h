#pragma once

#include "net/ITransport.h"

#include <QByteArray>

// Buffered reading of a response: lines ended by CR LF, a bare LF or a bare CR, exact byte counts, and the rest
// of the stream. Every wait for more bytes is bounded by the timeout, which starts again with each packet.
class TResponseStream
{
public:
    enum class Status { Ok, Closed, Failed, TooLong };

    TResponseStream(ITransport& transport, int timeoutMs);

    // Reads one line without its end. At the end of the stream a started line is returned as Closed with the
    // bytes received; TooLong leaves the bytes buffered when no line end comes within maxLength bytes.
    Status ReadLine(QByteArray* line, qint64 maxLength);
    // Appends exactly size bytes; Closed when the stream ends first.
    Status ReadExact(qint64 size, QByteArray* out);
    // Appends everything up to the end of the stream; TooLong when out would grow beyond maxSize.
    Status ReadToEnd(QByteArray* out, qint64 maxSize);
    // Whether the buffered bytes begin with the prefix, in any letter case.
    bool BufferStartsWith(QByteArrayView prefix) const;
    // Bytes taken from the stream so far, line ends included.
    qint64 Consumed() const { return m_consumed; }

private:
    Status Fill();
    Status EnsureData();
    qint64 Available() const { return m_buffer.size() - m_pos; }
    void Take(qint64 size, QByteArray* out);

    ITransport& m_transport;
    int m_timeoutMs;
    QByteArray m_buffer;
    qint64 m_pos = 0;
    qint64 m_consumed = 0;
    bool m_skipLf = false; // the last line ended in CR: an LF right after it belongs to that line end
};
