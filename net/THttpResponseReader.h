#pragma once

#include "net/ITransport.h"
#include "net/THttpResult.h"
#include "net/TResponseStream.h"

#include <optional>

// Reads one response from a stream: the status line (interim 100 responses skipped, or no status line at all),
// the headers, and the body framed by chunked coding, by Content-Length or by the end of the connection. Status
// codes are not judged; only 204 and 304 mean that no body follows.
class THttpResponseReader
{
public:
    THttpResponseReader(ITransport& transport, int timeoutMs);
    THttpResult Read();

private:
    enum class Start { StatusLine, BodyLine, Failed };

    Start ReadStatusLine();
    Start ClassifyFirstLine(TResponseStream::Status status, QByteArray line);
    bool ReadHeaders(bool take);
    void TakeHeader(const QByteArray& header);
    bool ReadBody();
    bool ReadChunked();
    bool ReadChunkSize(std::optional<qint64>* size);
    bool ReadByLength();
    bool ReadToEnd();
    bool CheckStream(TResponseStream::Status status, const char* what);
    bool Fail(THttpFailure failure, const QString& error);

    TResponseStream m_stream;
    int m_status = 0;
    bool m_chunked = false;
    std::optional<qint64> m_length;
    bool m_lengthTooLarge = false;
    QByteArray m_body;
    QByteArray m_location;
    THttpFailure m_failure = THttpFailure::None;
    QString m_error;
};
