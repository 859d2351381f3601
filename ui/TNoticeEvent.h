#pragma once

#include <QByteArray>
#include <QEvent>

// The notice message: a kind and a byte buffer (the text's bytes and a zero byte).
class TNoticeEvent : public QEvent
{
public:
    static QEvent::Type EventType();

    TNoticeEvent(quint32 kind, QByteArray buffer);

    quint32 Kind() const { return m_kind; }
    const QByteArray& Buffer() const { return m_buffer; }

private:
    quint32 m_kind;
    QByteArray m_buffer;
};
