#include "ui/TNoticeEvent.h"

QEvent::Type TNoticeEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TNoticeEvent::TNoticeEvent(quint32 kind, QByteArray buffer)
    : QEvent(EventType())
    , m_kind(kind)
    , m_buffer(std::move(buffer))
{
}
