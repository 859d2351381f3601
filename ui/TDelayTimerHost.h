#pragma once

#include <QObject>

class TDelayProcManager;

// Receives the scheduler's timer events and hands each timer id to the scheduler.
class TDelayTimerHost : public QObject
{
    Q_OBJECT

public:
    explicit TDelayTimerHost(TDelayProcManager* manager);

    int Arm(int intervalMs);
    void Kill(int timerId);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    TDelayProcManager* m_manager;
};
