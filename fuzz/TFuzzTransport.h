#pragma once

#include "net/ITransport.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>

// A stream that hands out the fuzzer's bytes in pieces of a fixed size, then ends as closed.
class TFuzzTransport : public ITransport
{
public:
    TFuzzTransport(QByteArrayView bytes, qint64 pieceSize)
        : m_bytes(bytes)
        , m_pieceSize(std::max<qint64>(1, pieceSize))
    {
    }

    ReadResult Read(char* data, qint64 maxSize, int) override
    {
        const qint64 size = std::min({maxSize, m_pieceSize, m_bytes.size() - m_pos});
        if (size <= 0) {
            return {ReadStatus::Closed, 0};
        }
        std::memcpy(data, m_bytes.data() + m_pos, static_cast<size_t>(size));
        m_pos += size;
        return {ReadStatus::Data, size};
    }

private:
    QByteArrayView m_bytes;
    qint64 m_pieceSize;
    qint64 m_pos = 0;
};
