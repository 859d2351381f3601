#include "ui/TDelayTimerHost.h"

#include "ui/uDelayFunc.h"

#include <QTimerEvent>

TDelayTimerHost::TDelayTimerHost(TDelayProcManager* manager)
    : m_manager(manager)
{
}

int TDelayTimerHost::Arm(int intervalMs)
{
    if (intervalMs < 0) {
        return 0;
    }
    return startTimer(intervalMs, Qt::PreciseTimer);
}

void TDelayTimerHost::Kill(int timerId)
{
    if (timerId != 0) {
        killTimer(timerId);
    }
}

void TDelayTimerHost::timerEvent(QTimerEvent* event)
{
    m_manager->TimerProc(event->timerId());
}
