#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the requests to end the program, SIGTERM (a logout, `kill`, a stop by the session) and SIGINT (Ctrl+C in a
// terminal), into the Qt signal Received on the thread that made the object, so that the program can end as its
// user would end it. The handler only writes the signal's number to a pipe, which a socket notifier reads in the
// event loop. A second request of the same kind, once the first has been taken, ends the program at once (the
// handler gives the signal its default action back), so that a close that hangs can still be cut short. One object
// at a time per process; destroying it gives both signals their default action back.
class TTerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

    // False when the pipe or the handlers could not be set up (or another object holds them): the signals then
    // keep their default action.
    bool IsInstalled() const { return m_notifier != nullptr; }

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
