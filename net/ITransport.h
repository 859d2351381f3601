#pragma once

#include <QtGlobal>

// The byte stream a response is read from: a socket in the program, a scripted stream in tests.
class ITransport
{
public:
    enum class ReadStatus { Data, Closed, Failed };
    struct ReadResult
    {
        ReadStatus status;
        qint64 size = 0; // bytes stored, for Data
    };

    virtual ~ITransport() = default;
    // Waits at most timeoutMs for bytes and stores up to maxSize of them. Closed means the peer ended the stream
    // (closed or reset); Failed means the wait ran out or the stream broke otherwise.
    virtual ReadResult Read(char* data, qint64 maxSize, int timeoutMs) = 0;
};
